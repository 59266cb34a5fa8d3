// kapdeploy's deciders: the command line, the outcome of a product judged
// by the installer's checks, the exit code, the journal's text and what a
// later run does with a change left unfinished.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "deploy/deploy_checks.h"
#include "deploy/deploy_command.h"
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
        {{"install", "--product", "a", "--product", "b", "--language", "English"},
         "an option is given twice"},
        {{"detect", "--product", "all", "--language", "English", "--dry-run"},
         "unknown option for this sub-command"},
        {{"remove", "--product", "all", "--language", "English", "--dry-run", "--log", "x"},
         nullptr},
        {{"--version", "--kit", "x"}, "unknown option for this sub-command"},
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
        {{"remove", "--product", "all", "--log", "x.log"}, nullptr, "x.log"},
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
    Journal journal = {{{JOURNAL_REPLACE, false, "kapvl.hdi"}, {JOURNAL_DELETE, true, "k l.hlp"}},
                       2};
    const std::string whole = journal_text(journal);
    ASSERT_EQ(ended("kapdeploy journal 1\nreplace drv kapvl.hdi\ndelete help k l.hlp\n", 2), whole);
    Journal back;
    ASSERT_EQ(JOURNAL_WHOLE, read_journal(whole.data(), whole.size(), &back));
    ASSERT_EQ(2, back.count);
    EXPECT_EQ(JOURNAL_DELETE, back.entries[1].op);
    EXPECT_TRUE(back.entries[1].in_help_folder);
    EXPECT_STREQ("k l.hlp", back.entries[1].name);
    std::string six = "kapdeploy journal 1\n";
    for (int i = 0; i <= DEPLOY_STEP_COUNT; ++i)
        six += "replace drv f" + std::to_string(i) + "\n";
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
        {ended(six, DEPLOY_STEP_COUNT + 1), JOURNAL_FOREIGN},
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
