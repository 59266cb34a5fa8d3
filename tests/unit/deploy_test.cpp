// kapdeploy's deciders: the command line, the outcome of a product judged
// by the installer's checks, the exit code, the journal's text and what a
// later run does with a change left unfinished.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "deploy/deploy_build.h"
#include "deploy/deploy_checks.h"
#include "deploy/deploy_command.h"
#include "deploy/deploy_entry_rules.h"
#include "deploy/deploy_journal.h"
#include "deploy/deploy_log_rules.h"
#include "deploy/deploy_recovery_rules.h"

static const char *parse(std::vector<const char *> args, DeployCommand *command) {
    args.insert(args.begin(), "kapdeploy");
    return parse_deploy_command(static_cast<int>(args.size()), const_cast<char **>(args.data()),
                                command);
}

TEST(DeployCommand, WrongLinesAreRefusedInWords) {
    struct Row {
        std::vector<const char *> args;
        const char *problem; // null: well formed
    } rows[] = {
        {{}, "no sub-command"},
        {{"setup"}, "unknown sub-command"},
        {{"list"}, nullptr},
        {{"list", "--kit", "K:\\kit"}, nullptr},
        {{"list", "--product", "x"}, "unknown option for this sub-command"},
        {{"install", "--product", "all"}, "--product and --language are required"},
        {{"install", "--product", "all", "--language"}, "an option lacks its value"},
        {{"install", "--kit", "--log", "x", "--product", "all", "--language", "English"},
         "an option lacks its value"},
        {{"install", "--product", "", "--language", "English"}, "an option's value is empty"},
        {{"install", "--product", "all", "--language", "Klingon"},
         "unknown language folder (Cesky, ChineseS, ChineseT, Deutsch, English, Espanol, "
         "Francais, Italiano, Japanese, Magyar, Polski or Russkii)"},
        {{"install", "--product", "a", "--product", "b", "--language", "English"},
         "an option is given twice"},
        {{"detect", "--product", "all", "--language", "English", "--dry-run"},
         "unknown option for this sub-command"},
        {{"remove", "--product", "all", "--language", "English", "--dry-run", "--log", "x"},
         nullptr},
        {{"--version", "--kit", "x"}, "unknown option for this sub-command"},
        // A recorded build is removed without the kit's language; only
        // install may go back to an older build.
        {{"remove", "--product", "all"}, nullptr},
        {{"remove", "--language", "English"}, "--product is required"},
        {{"detect", "--product", "all"}, "--product and --language are required"},
        {{"install", "--product", "all", "--language", "English", "--allow-downgrade"}, nullptr},
        {{"remove", "--product", "all", "--allow-downgrade"},
         "unknown option for this sub-command"},
        {{"detect", "--product", "all", "--language", "English", "--log", "C:\\k.log"}, nullptr},
        // --log "C:\out\" --dry-run, as Windows splits it
        {{"install", "--product", "all", "--language", "English", "--log", "C:\\out\" --dry-run"},
         "the value holds a quote: a \\ before a closing quote keeps the quote and takes in the "
         "rest of the line; leave that \\ out"},
    };
    for (const Row &row : rows) {
        DeployCommand command;
        const char *problem = parse(row.args, &command);
        EXPECT_STREQ(row.problem, problem);
    }
    // What the refusal names, and the log it still reaches.
    struct Refused {
        std::vector<const char *> args;
        const char *option; // named as lacking or holding a wrong value
        const char *log;
    } refused[] = {
        {{"remove", "--kit", "K:\\kit\" --log x", "--product", "all", "--language", "English"},
         "--kit",
         nullptr},
        {{"install", "--kit", "--log", "K:\\x.log", "--product", "all", "--language", "English"},
         "--kit",
         "K:\\x.log"},
        {{"install", "--product", "all", "--language", "English", "--frob", "--log", "x.log"},
         nullptr,
         "x.log"},
        {{"detect", "--log", "x.log", "--product", "all", "--language", "Klingon"},
         "--language",
         "x.log"},
        {{"install", "--product", "all", "--log", "x.log"}, nullptr, "x.log"},
        {{"install", "--product", "all", "--language", "English", "--log", "--dry-run"},
         "--log",
         nullptr},
        {{"list", "--log", "x.log"}, nullptr, nullptr},
    };
    for (const Refused &r : refused) {
        DeployCommand command;
        EXPECT_NE(nullptr, parse(r.args, &command)) << r.args[1];
        EXPECT_STREQ(r.option, command.culprit_option) << r.args[1];
        EXPECT_STREQ(r.log, command.log) << r.args[1];
    }
    DeployCommand command;
    EXPECT_NE(nullptr, parse({"install", "--product", "all", "--language", "Klingon"}, &command));
    ASSERT_EQ(nullptr, parse({"install", "--product", "all", "--language", "chineses"}, &command));
    EXPECT_STREQ("ChineseS", command.language);
    struct Choice {
        const char *selector;
        bool selected;
    } choices[] = {{"ALL", true},
                   {"autocad 2005", true},
                   {"autodesk\\autocad\\r16.1", true},
                   {"AutoCAD", false},
                   {"R16.1", false}};
    for (const Choice &c : choices)
        EXPECT_EQ(c.selected,
                  product_selected(c.selector, "AutoCAD 2005", "Autodesk\\AutoCAD\\R16.1"))
            << c.selector;
}

TEST(DeployChecks, TheWorstOutcomeGivesTheExitCode) {
    struct Row {
        std::vector<ProductOutcome> outcomes;
        int code;
    } rows[] = {
        {{}, 1603},
        {{OUTCOME_DONE, OUTCOME_ALREADY}, 0},
        {{OUTCOME_DONE, OUTCOME_IN_USE}, 1618},
        // The retry finishes the held one; the next run reports the refusal.
        {{OUTCOME_IN_USE, OUTCOME_REFUSED}, 1618},
        {{OUTCOME_FAILED, OUTCOME_IN_USE}, 1618},
        {{OUTCOME_REFUSED, OUTCOME_DONE}, 1603},
        {{OUTCOME_IN_USE, OUTCOME_DONE}, 1618},
        {{OUTCOME_ABSENT, OUTCOME_DONE}, 0},
        {{OUTCOME_ABSENT, OUTCOME_IN_USE, OUTCOME_ALREADY}, 1618},
        {{OUTCOME_ABSENT, OUTCOME_REFUSED}, 1603},
        {{OUTCOME_ABSENT}, 1603},
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.code,
                  combine_exit_code(row.outcomes.data(), static_cast<int>(row.outcomes.size())));
    // No product registered, or none of those selected present.
    struct Nothing {
        DeployAction action;
        int code;
    } nothing[] = {
        {ACTION_INSTALL, 1603}, {ACTION_DETECT, 1}, {ACTION_REMOVE, 0}, {ACTION_LIST, 0}};
    for (const Nothing &n : nothing)
        EXPECT_EQ(n.code, nothing_there_exit_code(n.action)) << n.action;
}

TEST(DeployChecks, DetectionCountsThePresentProducts) {
    struct Row {
        std::vector<ProductOutcome> outcomes; // OUTCOME_DONE: installed
        int code;
    } rows[] = {
        {{}, 1},
        {{OUTCOME_DONE}, 0},
        {{OUTCOME_ABSENT, OUTCOME_DONE}, 0},
        {{OUTCOME_ABSENT}, 1},
        {{OUTCOME_DONE, OUTCOME_FAILED}, 1},
        {{OUTCOME_IN_USE, OUTCOME_DONE}, 1},
        {{OUTCOME_DONE, OUTCOME_REFUSED, OUTCOME_ABSENT}, 1},
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.code,
                  detect_exit_code(row.outcomes.data(), static_cast<int>(row.outcomes.size())));
}

// The kit's kap.hif for one language and release. The checks build its
// path with Windows separators; natively that is one file name.
static std::string kit_with_hif(const char *language, const char *release, const char *hif) {
    std::string kit = testing::TempDir() + "deploy_kit";
    FILE *f = fopen((kit + "\\" + language + "\\" + release + "\\kap.hif").c_str(), "w");
    EXPECT_NE(nullptr, f);
    fputs(hif, f);
    fclose(f);
    return kit;
}

TEST(DeployChecks, RefusalsAreTheInstallersInOneLine) {
    struct Row {
        char digit;
        FourPartVersion host;
        const char *language;
        const char *hif;    // null: no kap.hif
        const char *reason; // null: the product fits
        bool names_hif;     // the reason ends with kap.hif's path
    } rows[] = {
        {'8', {8, 1, 0, 0}, "English", "heidiversion=8,1,0,0\n", nullptr, false},
        {'7',
         {7, 2, 0, 0},
         "English",
         "",
         "The chosen application is not an AutoCAD application or is corrupted. The setup will "
         "close",
         false},
        {'9',
         {9, 1, 0, 0},
         "English",
         "",
         "The chosen application is corrupted. The setup will close.",
         false},
        {'7',
         {7, 1, 0, 0},
         "Polski",
         "",
         "the installer does not offer Polski for this release (only for 2004 and later)",
         false},
        {'8',
         {8, 1, 0, 0},
         "English",
         nullptr,
         "The installation HIF file could not be opened. Check out whether this file exists or "
         "not in your install directory. If this is not the case, contact your driver provider "
         "to get it. Installation failed.",
         true},
        {'8',
         {8, 1, 0, 0},
         "English",
         "version=8,1,0,0\n",
         "There are some missing information in the installation HIF file. Please contact your "
         "driver provider to get a new HIF file.",
         true},
        {'8',
         {8, 1, 0, 0},
         "English",
         "heidiversion=8,1,0,1\n",
         "The driver was built with a Driver Development Kit (DDK) more recent than the one used "
         "for the targetted application.In order to install the driver, you must either update "
         "your application to the same DDK level or use a less recent driver. Installation "
         "failed.",
         false},
        {'8',
         {8, 1, 0, 0},
         "English",
         "heidiversion=8,1,3,0\n",
         "the driver's build differs from the host's (the installer stops here without a word)",
         false},
    };
    for (const Row &row : rows) {
        std::string kit = row.hif != nullptr ? kit_with_hif(row.language, "ACAD2005", row.hif)
                                             : testing::TempDir() + "deploy_kit";
        std::string hif = kit + "\\" + row.language + "\\ACAD2005\\kap.hif";
        ProductJudgement judged;
        bool fits = judge_product(row.digit, row.host, kit.c_str(), row.language, &judged);
        EXPECT_EQ(row.reason == nullptr, fits) << judged.reason;
        std::string reason = row.reason == nullptr ? "" : row.reason;
        EXPECT_EQ(row.names_hif ? reason + " (" + hif + ")" : reason, judged.reason);
        remove(hif.c_str());
    }
}

static std::string journal_text(const Journal &journal) {
    char text[JOURNAL_MOST_BYTES];
    size_t len = format_journal(journal, text, sizeof text);
    return std::string(text, len);
}

// The end line of a body, as the program writes it.
static std::string ended(const std::string &body, int count) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : body)
        hash = (hash ^ c) * 16777619u;
    char end[32];
    snprintf(end, sizeof end, "end %d %08lx\n", count, static_cast<unsigned long>(hash));
    return body + end;
}

TEST(DeployJournal, OnlyAWholeJournalOfOurOwnCommits) {
    Journal journal = {{{JOURNAL_REPLACE, FOLDER_DRV, "kapvl.hdi"},
                        {JOURNAL_DELETE, FOLDER_HELP, "k l.hlp"},
                        {JOURNAL_REPLACE, FOLDER_LOCATION, "kapdeploy.record"}},
                       3};
    const std::string whole = journal_text(journal);
    ASSERT_EQ(ended("kapdeploy journal 1\nreplace drv kapvl.hdi\ndelete help k l.hlp\n"
                    "replace location kapdeploy.record\n",
                    3),
              whole);
    Journal back;
    ASSERT_EQ(JOURNAL_WHOLE, read_journal(whole.data(), whole.size(), &back));
    ASSERT_EQ(3, back.count);
    EXPECT_EQ(JOURNAL_DELETE, back.entries[1].op);
    EXPECT_EQ(FOLDER_HELP, back.entries[1].folder);
    EXPECT_STREQ("k l.hlp", back.entries[1].name);
    EXPECT_EQ(FOLDER_LOCATION, back.entries[2].folder);
    std::string too_many = "kapdeploy journal 1\n";
    for (int i = 0; i <= JOURNAL_MOST_ENTRIES; ++i)
        too_many += "replace drv f" + std::to_string(i) + "\n";
    std::string flipped = whole;
    flipped[25] ^= 1;
    struct Row {
        std::string text;
        JournalState state;
    } rows[] = {
        {"", JOURNAL_TORN},
        {std::string(whole.size(), '\0'), JOURNAL_TORN},
        {whole.substr(0, 7), JOURNAL_TORN}, // cut inside its first line
        {whole.substr(0, 20), JOURNAL_TORN},
        {whole.substr(0, whole.size() - 1), JOURNAL_TORN},
        {whole.substr(0, 64) + std::string(whole.size() - 64, '\0'), JOURNAL_TORN},
        {"kapdeploy journal 1\nreplace drv kapvl.hdi\n", JOURNAL_TORN}, // no end line
        {flipped, JOURNAL_TORN},
        {ended("kapdeploy journal 1\nreplace drv kapvl.hdi\n", 2), JOURNAL_TORN},
        {whole + "x", JOURNAL_TORN},
        {"my notes about the plotter\n", JOURNAL_FOREIGN},
        {"kapdeploy journal 2\n", JOURNAL_FOREIGN},
        {std::string("kapdeploy journal 1\n") + std::string(JOURNAL_MOST_BYTES, 'x'),
         JOURNAL_FOREIGN},
        // Whole, yet not what this program writes: nothing is touched.
        {ended("kapdeploy journal 1\nreplace drv ..\\x.hdi\n", 1), JOURNAL_FOREIGN},
        {ended("kapdeploy journal 1\nmove drv x\n", 1), JOURNAL_FOREIGN},
        {ended("kapdeploy journal 1\nreplace C: x.hdi\n", 1), JOURNAL_FOREIGN},
        {ended(too_many, JOURNAL_MOST_ENTRIES + 1), JOURNAL_FOREIGN},
        {ended("kapdeploy journal 1\n", 0), JOURNAL_WHOLE},
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.state, read_journal(row.text.data(), row.text.size(), &back))
            << testing::PrintToString(row.text);
    char small[40];
    EXPECT_EQ(0u, format_journal(journal, small, sizeof small));
}

TEST(DeployRecovery, WholeJournalsFinishTheRestUndo) {
    // Found: target, .kapnew, .kapold. Steps: new in, old back, drop target,
    // drop new, drop old.
    struct Row {
        JournalState journal;
        JournalOp op;
        FilesFound found;
        RecoveryStep step;
    } rows[] = {
        {JOURNAL_NONE, JOURNAL_REPLACE, {true, false, false}, {}},
        {JOURNAL_NONE, JOURNAL_REPLACE, {true, true, false}, {0, 0, 0, 1, 0}},
        {JOURNAL_NONE, JOURNAL_REPLACE, {false, true, false}, {0, 0, 0, 1, 0}},
        {JOURNAL_NONE, JOURNAL_REPLACE, {false, false, true}, {0, 1, 0, 0, 0}},
        {JOURNAL_NONE, JOURNAL_REPLACE, {true, false, true}, {0, 0, 0, 0, 1}},
        {JOURNAL_NONE, JOURNAL_REPLACE, {false, true, true}, {0, 1, 0, 1, 0}},
        {JOURNAL_NONE, JOURNAL_REPLACE, {true, true, true}, {0, 0, 0, 1, 1}},
        {JOURNAL_TORN, JOURNAL_REPLACE, {false, true, true}, {0, 1, 0, 1, 0}},
        {JOURNAL_TORN, JOURNAL_REPLACE, {true, true, true}, {0, 0, 0, 1, 1}},
        {JOURNAL_TORN, JOURNAL_REPLACE, {true, true, false}, {0, 0, 0, 1, 0}},
        {JOURNAL_TORN, JOURNAL_REPLACE, {true, false, true}, {0, 0, 0, 0, 1}},
        {JOURNAL_TORN, JOURNAL_REPLACE, {false, false, true}, {0, 1, 0, 0, 0}},
        {JOURNAL_WHOLE, JOURNAL_REPLACE, {true, true, false}, {1, 0, 0, 0, 0}},
        {JOURNAL_WHOLE, JOURNAL_REPLACE, {false, true, false}, {1, 0, 0, 0, 0}},
        {JOURNAL_WHOLE, JOURNAL_REPLACE, {false, true, true}, {1, 0, 0, 0, 1}},
        {JOURNAL_WHOLE, JOURNAL_REPLACE, {true, true, true}, {1, 0, 0, 0, 1}},
        {JOURNAL_WHOLE, JOURNAL_REPLACE, {true, false, true}, {0, 0, 0, 0, 1}},
        {JOURNAL_WHOLE, JOURNAL_REPLACE, {true, false, false}, {}},
        {JOURNAL_WHOLE, JOURNAL_REPLACE, {false, false, true}, {0, 1, 0, 0, 0}},
        {JOURNAL_WHOLE, JOURNAL_REPLACE, {false, false, false}, {}},
        {JOURNAL_WHOLE, JOURNAL_DELETE, {true, false, false}, {0, 0, 1, 0, 0}},
        {JOURNAL_WHOLE, JOURNAL_DELETE, {false, false, true}, {0, 0, 0, 0, 1}},
        {JOURNAL_WHOLE, JOURNAL_DELETE, {true, false, true}, {0, 0, 1, 0, 1}},
        {JOURNAL_WHOLE, JOURNAL_DELETE, {true, true, true}, {0, 0, 1, 1, 1}},
        {JOURNAL_WHOLE, JOURNAL_DELETE, {false, false, false}, {}},
        {JOURNAL_FOREIGN, JOURNAL_REPLACE, {true, true, true}, {}},
        {JOURNAL_FOREIGN, JOURNAL_DELETE, {false, true, true}, {}},
    };
    for (const Row &row : rows) {
        RecoveryStep got = recovery_step(row.journal, row.op, row.found);
        const RecoveryStep &want = row.step;
        EXPECT_TRUE(got.new_in == want.new_in && got.old_back == want.old_back &&
                    got.drop_target == want.drop_target && got.drop_new == want.drop_new &&
                    got.drop_old == want.drop_old)
            << "journal " << row.journal << " op " << row.op << " found " << row.found.target
            << row.found.next << row.found.old;
    }
}

TEST(DeployLog, OffsetsAndFoldersOfTheLog) {
    struct Offset {
        long minutes;
        const char *text;
    } offsets[] = {{0, "+00:00"}, {60, "+01:00"}, {-330, "-05:30"}, {765, "+12:45"}};
    for (const Offset &o : offsets) {
        char text[8];
        utc_offset_text(text, o.minutes);
        EXPECT_STREQ(o.text, text);
    }
    struct Path {
        const char *path;
        std::vector<std::string> folders; // to make, in order
    } paths[] = {
        {"C:\\Kap\\logs\\kapdeploy.log", {"C:\\Kap", "C:\\Kap\\logs"}},
        {"C:\\kapdeploy.log", {}},
        {"C:\\a\\\\b\\x.log", {"C:\\a", "C:\\a\\\\b"}},
        {"\\\\srv\\share\\Kap\\x.log", {"\\\\srv\\share\\Kap"}},
        {"\\\\srv\\share\\x.log", {}},
        {"\\\\srv\\x.log", {}},
    };
    for (const Path &p : paths) {
        size_t ends[8];
        int count = folder_ends(p.path, ends, 8);
        std::vector<std::string> folders;
        for (int i = 0; i < count; ++i)
            folders.emplace_back(p.path, ends[i]);
        EXPECT_EQ(p.folders, folders) << p.path;
    }
}

static const char D1[] = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
static const char D2[] = "fedcba9876543210fedcba9876543210fedcba9876543210fedcba9876543210";

static BuildRecord two_file_build() {
    BuildRecord r = {"KapTest\\P1", "English", {8, 1, 0, 3}, "", "20261210", 41, {}, 2};
    snprintf(r.digest, sizeof r.digest, "%s", D2);
    r.files[0] = BuildFile{false, "kapvx.hdi", ""};
    r.files[1] = BuildFile{true, "kap vx.hlp", ""};
    snprintf(r.files[0].digest, DIGEST_TEXT_SIZE, "%s", D1);
    snprintf(r.files[1].digest, DIGEST_TEXT_SIZE, "%s", D2);
    return r;
}

TEST(DeployBuild, TheRecordReadsBackOnlyWhole) {
    const BuildRecord r = two_file_build();
    char text[RECORD_MOST_BYTES];
    size_t len = format_build_record(r, text, sizeof text);
    const std::string whole(text, len);
    ASSERT_EQ(std::string("kapdeploy record 1\nproduct KapTest\\P1\nlanguage English\n"
                          "version 8.1.0.3\nbuild ") +
                  D2 + "\ninstalled 20261210\nsize 41\nfile drv " + D1 + " kapvx.hdi\nfile help " +
                  D2 + " kap vx.hlp\nend 2\n",
              whole);
    BuildRecord back;
    ASSERT_TRUE(read_build_record(whole.data(), whole.size(), &back));
    EXPECT_STREQ("KapTest\\P1", back.product_key);
    EXPECT_EQ(0, compare_versions(r.version, back.version));
    ASSERT_EQ(2, back.count);
    EXPECT_TRUE(back.files[1].in_help_folder);
    EXPECT_STREQ("kap vx.hlp", back.files[1].name);
    EXPECT_EQ(41ul, back.size_kb);
    auto replaced = [&](const std::string &from, const std::string &to) {
        std::string t = whole;
        return t.replace(t.find(from), from.size(), to);
    };
    // Each is no record of ours: never read as a build, never acted on.
    const std::string broken[] = {
        "",
        whole.substr(0, whole.size() - 1),
        whole.substr(0, whole.find("end")),
        whole + "x",
        replaced("end 2", "end 3"),
        replaced("version 8.1.0.3", "version 8.1.0"),
        replaced("version 8.1.0.3", "version 8.1.0.65536"),
        replaced("version 8.1.0.3", "version 8.1.-0.3"),
        replaced("kapvx.hdi", "..\\kapvx.hdi"),
        replaced("file help", "file C:"),
        replaced(std::string("build ") + D2, std::string("build ") + D2 + "0"),
        replaced(std::string("build ") + D2, "build " + std::string(64, 'G')),
        replaced("language English\n", ""),
        replaced("kapdeploy record 1", "kapdeploy record 2"),
        replaced("size 41", "size -1"),
    };
    for (const std::string &text2 : broken)
        EXPECT_FALSE(read_build_record(text2.data(), text2.size(), &back))
            << testing::PrintToString(text2);
    char small[64];
    EXPECT_EQ(0u, format_build_record(r, small, sizeof small));
}

TEST(DeployBuild, AVersionDecidesTheChangeAndTheDigestARebuild) {
    const BuildRecord r = two_file_build(); // 8.1.0.3, digest D2
    struct Row {
        FourPartVersion version;
        const char *digest;
        BuildChange change;
    } rows[] = {
        {{8, 1, 0, 3}, D2, BUILD_SAME},      {{8, 1, 0, 3}, D1, BUILD_REBUILT},
        {{8, 1, 0, 4}, D1, BUILD_UPGRADE},   {{8, 1, 1, 0}, D2, BUILD_UPGRADE},
        {{9, 0, 0, 0}, D1, BUILD_UPGRADE},   {{8, 1, 0, 2}, D1, BUILD_DOWNGRADE},
        {{8, 0, 9, 9}, D2, BUILD_DOWNGRADE}, {{7, 65535, 65535, 65535}, D1, BUILD_DOWNGRADE},
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.change, judge_build_change(&r, row.version, row.digest))
            << row.version.major << "." << row.version.minor << "." << row.version.build << "."
            << row.version.revision;
    EXPECT_EQ(BUILD_FIRST, judge_build_change(nullptr, {0, 0, 0, 0}, D1));
    // The old build's file is replaced where the new one holds its name in
    // another case, deleted where only the other folder does.
    EXPECT_TRUE(build_holds(r.files, r.count, BuildFile{false, "KAPVX.HDI", ""}));
    EXPECT_FALSE(build_holds(r.files, r.count, BuildFile{true, "kapvx.hdi", ""}));
    EXPECT_FALSE(build_holds(r.files, r.count, BuildFile{false, "kapvy.hdi", ""}));
    char manifest[512];
    ASSERT_NE(0u, format_build_manifest(r.files, r.count, manifest, sizeof manifest));
    EXPECT_EQ(std::string(D1) + " drv/kapvx.hdi\n" + D2 + " help/kap vx.hlp\n", manifest);
}

TEST(DeployEntry, TheEntryNamesTheProductAndRunsTheKeptCopy) {
    char text[1024];
    ASSERT_TRUE(entry_key_name(text, sizeof text, "KapTest\\P1"));
    EXPECT_STREQ("KapHdiDriver KapTest/P1", text);
    ASSERT_TRUE(entry_display_name(text, sizeof text, "English", "AutoCAD 2005"));
    EXPECT_STREQ("Kap HDI driver (English) for AutoCAD 2005", text);
    ASSERT_TRUE(entry_uninstall_command(text, sizeof text, "C:\\Windows\\system32\\cmd.exe",
                                        "C:\\Program Files\\Kap", "KapTest\\P1"));
    EXPECT_STREQ("\"C:\\Windows\\system32\\cmd.exe\" /d /c \"\"C:\\Program "
                 "Files\\Kap\\kapdeploy.exe\" remove --product \"KapTest\\P1\" && if exist "
                 "\"C:\\Program Files\\Kap\\kapdeploy.exe.kapold\" (del /f /q \"C:\\Program "
                 "Files\\Kap\\kapdeploy.exe.kapold\" & rd \"C:\\Program Files\\Kap\")\"",
                 text);
    EXPECT_FALSE(entry_uninstall_command(text, sizeof text, "cmd.exe", "C:\\Kap", "A\"B"));
    EXPECT_FALSE(entry_uninstall_command(text, 40, "cmd.exe", "C:\\Kap", "KapTest\\P1"));
    EXPECT_STREQ("", text);
    EXPECT_FALSE(entry_key_name(text, 16, "KapTest\\P1"));
}
