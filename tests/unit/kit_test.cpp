#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "kit/kapkit.h"
#include "kit/kit_check.h"
#include "kit/kit_report.h"
#include "kit/kit_rules.h"

namespace fs = std::filesystem;

// The sample kit of tools/kapfixtures.py (driver_files for every language
// and release, *.dll from ACAD2004 on), built here in a fresh folder.
static const char *const sample_levels[RELEASE_COUNT] = {"6,0,0,0", "7,0,0,0", "7,1,0,0", "8,0,0,0",
                                                         "8,1,0,0", "8,2,0,0", "9,0,0,0"};

static void write_file(const fs::path &path, const std::string &content) {
    std::ofstream(path, std::ios::binary) << content;
}

static std::string make_sample_kit() {
    char root[] = "/tmp/kapkit_test.XXXXXX";
    EXPECT_NE(nullptr, mkdtemp(root));
    fs::path kit = fs::path(root) / "kit";
    for (const char *language : language_folder_table) {
        for (int r = 0; r < RELEASE_COUNT; ++r) {
            fs::path folder = kit / language / release_folder_names[r];
            std::error_code ec;
            fs::create_directories(folder, ec);
            std::string level = sample_levels[r];
            write_file(folder / "kap.hif",
                       "[Kap]\nname=Kap HDI driver\nheidiversion=" + level + "\n");
            write_file(folder / "kapvl.hdi", "hdi driver " + level + "\n");
            write_file(folder / "kapvl.drc", "drc " + level + "\n");
            write_file(folder / "kapvl.hlp", "help\n");
            write_file(folder / "kapvl.cnt", "contents\n");
            if (r >= ACAD2004 - ACAD2000)
                write_file(folder / "kapvl.dll", "resource library " + level + "\n");
        }
    }
    return kit.string();
}

static void remove_tree(const std::string &kit) {
    std::error_code ec;
    fs::remove_all(fs::path(kit).parent_path(), ec);
}

static std::string place(const Finding &f) {
    std::string text = language_folder_table[f.language];
    if (f.release >= 0)
        text += std::string("/") + release_folder_names[f.release];
    if (f.file[0] != '\0')
        text += std::string("/") + f.file;
    return text;
}

static std::vector<std::string> findings_of(const std::string &kit) {
    KitReport report;
    check_kit(kit.c_str(), &report, nullptr);
    std::vector<std::string> found;
    for (int i = 0; i < report.count; ++i)
        found.push_back(std::string(finding_code(report.findings[i].kind)) + " " +
                        place(report.findings[i]));
    free_kit_report(&report);
    return found;
}

static fs::path at(const std::string &kit, const char *relative) {
    return fs::path(kit) / relative;
}

static void hif(const std::string &kit, const char *folder, const std::string &text) {
    write_file(at(kit, folder) / "kap.hif", text);
}

TEST(KitCheck, EachFaultIsFoundWhereItIs) {
    using Plant = std::function<void(const std::string &)>;
    const std::string long_name = std::string(150, 'a') + ".hdi";
    const std::string too_long_name = std::string(245, 'b') + ".hdi";
    struct Row {
        const char *name;
        Plant plant;
        std::vector<std::string> expected;
    } rows[] = {
        {"the full sample kit", [](const std::string &) {}, {}},
        {"a release folder is missing",
         [](const std::string &k) { fs::remove_all(at(k, "Polski/ACAD2006")); },
         {"folder-missing Polski/ACAD2006"}},
        {"a file instead of a release folder",
         [](const std::string &k) {
             fs::remove_all(at(k, "English/ACAD2005"));
             write_file(at(k, "English/ACAD2005"), "x");
         },
         {"folder-not-a-folder English/ACAD2005"}},
        {"a language folder is missing",
         [](const std::string &k) { fs::remove_all(at(k, "Magyar")); },
         {"folder-missing Magyar"}},
        {"a release folder that is a looping link",
         [](const std::string &k) {
             fs::remove_all(at(k, "English/ACAD2004"));
             fs::create_symlink("ACAD2004", at(k, "English/ACAD2004"));
         },
         {"folder-unreadable English/ACAD2004"}},
        {"no kap.hif",
         [](const std::string &k) { fs::remove(at(k, "English/ACAD2005/kap.hif")); },
         {"hif-missing English/ACAD2005/kap.hif"}},
        {"kap.hif is a folder",
         [](const std::string &k) {
             fs::remove(at(k, "English/ACAD2005/kap.hif"));
             fs::create_directory(at(k, "English/ACAD2005/kap.hif"));
         },
         {"hif-unreadable English/ACAD2005/kap.hif"}},
        {"no heidiversion line",
         [](const std::string &k) { hif(k, "Deutsch/ACAD2002", "[Kap]\nversion=7,1,0,0\n"); },
         {"level-missing Deutsch/ACAD2002/kap.hif"}},
        {"a minor field the release never has",
         [](const std::string &k) { hif(k, "English/ACAD2005", "heidiversion=8,2,0,0\n"); },
         {"minor-mismatch English/ACAD2005/kap.hif", "level-differs English/ACAD2005/kap.hif"}},
        {"ACAD2000 pins no minor field",
         [](const std::string &k) { hif(k, "English/ACAD2000", "heidiversion=6,5,0,0\n"); },
         {"level-differs English/ACAD2000/kap.hif"}},
        {"another revision in one language",
         [](const std::string &k) { hif(k, "Cesky/ACAD2007", "heidiversion=9,0,0,1\n"); },
         {"level-differs Cesky/ACAD2007/kap.hif"}},
        {"no driver resource file",
         [](const std::string &k) { fs::remove(at(k, "Polski/ACAD2006/kapvl.drc")); },
         {"file-missing Polski/ACAD2006/*.drc"}},
        {"no resource library for 2004",
         [](const std::string &k) { fs::remove(at(k, "Japanese/ACAD2004/kapvl.dll")); },
         {"file-missing Japanese/ACAD2004/*.dll"}},
        {"a driver that is a broken link",
         [](const std::string &k) {
             fs::remove(at(k, "English/ACAD2005/kapvl.hdi"));
             fs::create_symlink("gone.hdi", at(k, "English/ACAD2005/kapvl.hdi"));
         },
         {"file-unreadable English/ACAD2005/kapvl.hdi"}},
        {"two drivers",
         [](const std::string &k) { write_file(at(k, "Deutsch/ACAD2004/old.HDI"), "x"); },
         {"several-matches Deutsch/ACAD2004/kapvl.hdi",
          "several-matches Deutsch/ACAD2004/old.HDI"}},
        {"a name only the short name matches",
         [](const std::string &k) { write_file(at(k, "Deutsch/ACAD2004/x.hdi_old"), "x"); },
         {"short-name-match Deutsch/ACAD2004/x.hdi_old"}},
        {"a folder named like a driver",
         [](const std::string &k) { fs::create_directory(at(k, "Deutsch/ACAD2004/a.hdi")); },
         {"folder-named-like-file Deutsch/ACAD2004/a.hdi"}},
        {"no help files",
         [](const std::string &k) {
             fs::remove(at(k, "Russkii/ACAD2000/kapvl.hlp"));
             fs::remove(at(k, "Russkii/ACAD2000/kapvl.cnt"));
         },
         {"optional-file-missing Russkii/ACAD2000/*.hlp",
          "optional-file-missing Russkii/ACAD2000/*.cnt"}},
        {"a read-only file",
         [](const std::string &k) {
             fs::permissions(at(k, "Italiano/ACAD2007/kapvl.cnt"), fs::perms::owner_read);
         },
         {"read-only Italiano/ACAD2007/kapvl.cnt"}},
        {"a long name",
         [&long_name](const std::string &k) {
             fs::rename(at(k, "English/ACAD2005/kapvl.hdi"), at(k, "English/ACAD2005") / long_name);
         },
         {"path-long English/ACAD2005/" + long_name}},
        {"a name no kit folder is short enough for",
         [&too_long_name](const std::string &k) {
             fs::rename(at(k, "English/ACAD2005/kapvl.hdi"),
                        at(k, "English/ACAD2005") / too_long_name);
         },
         {"path-too-long English/ACAD2005/" + too_long_name}},
        {"names in other cases are found as Windows finds them",
         [](const std::string &k) {
             fs::rename(at(k, "English"), at(k, "english"));
             fs::rename(at(k, "english/ACAD2005"), at(k, "english/acad2005"));
             fs::rename(at(k, "english/acad2005/kap.hif"), at(k, "english/acad2005/KAP.HIF"));
             fs::rename(at(k, "english/acad2005/kapvl.drc"), at(k, "english/acad2005/KAPVL.DRC"));
         },
         {}},
        {"5 MB of kap.hif without a line feed",
         [](const std::string &k) { hif(k, "English/ACAD2005", std::string(5 << 20, 'h')); },
         {"level-missing English/ACAD2005/kap.hif"}},
        {"5 MB of NUL bytes as kap.hif",
         [](const std::string &k) { hif(k, "English/ACAD2005", std::string(5 << 20, '\0')); },
         {"level-missing English/ACAD2005/kap.hif"}},
        {"a name with bytes outside ASCII",
         [](const std::string &k) { write_file(at(k, "English/ACAD2005/pil\xe9.hdi"), "x"); },
         {"several-matches English/ACAD2005/kapvl.hdi",
          "several-matches English/ACAD2005/pil\xe9.hdi"}},
        {"links that loop or lead back up are never followed",
         [](const std::string &k) {
             fs::create_symlink("loop", at(k, "English/ACAD2005/loop"));
             fs::create_symlink("..", at(k, "English/ACAD2005/up"));
             fs::create_symlink(".", at(k, "English/ACAD2005/ACAD2005"));
         },
         {}},
    };
    for (const Row &row : rows) {
        std::string kit = make_sample_kit();
        row.plant(kit);
        EXPECT_EQ(row.expected, findings_of(kit)) << row.name;
        remove_tree(kit);
    }
}

TEST(KitCheck, FoldersAndFilesTheCheckingUserCannotRead) {
    std::string kit = make_sample_kit();
    fs::permissions(fs::path(kit).parent_path(), fs::perms::all);
    fs::permissions(at(kit, "English/ACAD2005/kap.hif"), fs::perms::owner_write);
    fs::permissions(at(kit, "Deutsch/ACAD2004/kapvl.drc"), fs::perms::owner_write);
    fs::permissions(at(kit, "Polski/ACAD2006"), fs::perms::owner_write);
    const std::vector<std::string> expected = {"file-unreadable Deutsch/ACAD2004/kapvl.drc",
                                               "hif-unreadable English/ACAD2005/kap.hif",
                                               "folder-unreadable Polski/ACAD2006"};
    if (geteuid() != 0) {
        EXPECT_EQ(expected, findings_of(kit));
    } else {
        // Root reads everything, so the check runs as nobody in a child.
        int channel[2];
        ASSERT_EQ(0, pipe(channel));
        pid_t child = fork();
        ASSERT_LE(0, child);
        if (child == 0) {
            bool dropped = setgid(65534) == 0 && setuid(65534) == 0;
            std::string lines;
            for (const std::string &found : findings_of(kit))
                lines += found + "\n";
            ssize_t written = dropped ? write(channel[1], lines.data(), lines.size()) : -1;
            _exit(written == static_cast<ssize_t>(lines.size()) ? 0 : 1);
        }
        close(channel[1]);
        std::string text;
        char buffer[256];
        for (ssize_t n; (n = read(channel[0], buffer, sizeof(buffer))) > 0;)
            text.append(buffer, static_cast<size_t>(n));
        close(channel[0]);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_EQ(0, status);
        std::string wanted;
        for (const std::string &line : expected)
            wanted += line + "\n";
        EXPECT_EQ(wanted, text);
    }
    fs::permissions(at(kit, "Polski/ACAD2006"), fs::perms::owner_all);
    remove_tree(kit);
}

// Runs the command line; returns the status, with stdout and stderr.
static int run_kapkit(std::vector<std::string> args, std::string *out, std::string *err) {
    args.insert(args.begin(), "kapkit");
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(&arg[0]);
    FILE *files[2] = {tmpfile(), tmpfile()};
    int status = kapkit_main(static_cast<int>(argv.size()), argv.data(), files[0], files[1]);
    std::string *texts[2] = {out, err};
    for (int i = 0; i < 2; ++i) {
        rewind(files[i]);
        texts[i]->clear();
        for (int c = fgetc(files[i]); c != EOF; c = fgetc(files[i]))
            texts[i]->push_back(static_cast<char>(c));
        fclose(files[i]);
    }
    return status;
}

TEST(Kapkit, ExitStatusAndWhereTheWordsGo) {
    std::string kit = make_sample_kit();
    std::string file = kit + "/English/ACAD2005/kap.hif";
    std::string loop = kit + "/loop";
    fs::create_symlink("loop", loop);
    struct Row {
        std::vector<std::string> args;
        int status;
        const char *out_has; // "" when nothing may go to standard output
        const char *err_has;
    } rows[] = {
        {{"check", kit}, 0, "75 folders checked, 0 errors, 0 warnings", ""},
        {{"check", kit, "--json"}, 0, "\"findings\": []", ""},
        {{"check", kit + "/none"}, 2, "", "there is no such folder"},
        {{"check", file}, 2, "", "this is a file, not a folder"},
        {{"check", loop}, 2, "", "the folder cannot be read"},
        {{"check"}, 2, "", "usage: kapkit check KIT_FOLDER [--json]"},
        {{"check", kit, "--yaml"}, 2, "", "usage:"},
        {{"verify", kit}, 2, "", "usage:"},
    };
    for (const Row &row : rows) {
        std::string out;
        std::string err;
        EXPECT_EQ(row.status, run_kapkit(row.args, &out, &err)) << row.args.back();
        if (row.out_has[0] == '\0') {
            EXPECT_EQ("", out) << row.args.back();
        }
        EXPECT_NE(std::string::npos, out.find(row.out_has)) << out;
        EXPECT_NE(std::string::npos, err.find(row.err_has)) << err;
    }
    fs::remove(at(kit, "Polski/ACAD2006/kapvl.drc"));
    std::string out;
    std::string err;
    EXPECT_EQ(1, run_kapkit({"check", kit}, &out, &err));
    remove_tree(kit);
}

TEST(Kapkit, MatrixAndFindingLines) {
    std::string kit = make_sample_kit();
    fs::remove(at(kit, "Polski/ACAD2006/kapvl.drc"));
    write_file(at(kit, "Deutsch/ACAD2004/old.hdi"), "x");
    std::string out;
    std::string err;
    ASSERT_EQ(1, run_kapkit({"check", kit}, &out, &err));
    const char *lines[] = {
        ": 75 folders checked, 1 error, 2 warnings\n\n",
        "\n          ACAD2000  ACAD2000i ACAD2002  ACAD2004  ACAD2005  ACAD2006  ACAD2007\n",
        "\nCesky     -         -         -         ok        ok        ok        ok\n",
        "\nDeutsch   ok        ok        ok        warning   ok        ok        ok\n",
        "\nPolski    -         -         -         ok        ok        ERROR     ok\n",
        "\nerror    Polski/ACAD2006/*.drc: no file matches: the installer stops with \"DRC file "
        "is missing.\"\n",
        "\nwarning  Deutsch/ACAD2004/old.hdi: one of 2 files matching *.hdi: the installer copies "
        "only one, and which one depends on the file system's order\n",
    };
    for (const char *line : lines)
        EXPECT_NE(std::string::npos, out.find(line)) << line << "\nin:\n" << out;
    remove_tree(kit);
}

TEST(KitRules, ShortNamesAndPathRoom) {
    struct Row {
        const char *name;
        bool matches;
    } names[] = {{"x.hdi_old", true}, {"b.hdix", true},     {"X.HDIOLD", true},
                 {"x.hdi", false},    {"x.hd", false},      {"hdi_old", false},
                 {".hdi_old", false}, {"x.hdi.bak", false}, {"x.old.hdix", true}};
    for (const auto &row : names)
        EXPECT_EQ(row.matches, short_name_matches(row.name, "*.hdi")) << row.name;

    // 259 bytes less "\English\ACAD2005\" and the name.
    EXPECT_EQ(259 - 18 - 9, longest_kit_folder("English", ACAD2005, "kapvl.hdi"));
    EXPECT_EQ(259 - 20 - 7, longest_kit_folder("ChineseS", ACAD2000i, "kap.hif"));
    EXPECT_GT(0, longest_kit_folder("English", ACAD2005, std::string(250, 'n').c_str()));

    uint16_t minor = 99;
    EXPECT_FALSE(release_pinned_minor(ACAD2000, &minor));
    HostRelease pinned[] = {ACAD2000i, ACAD2002, ACAD2004, ACAD2005, ACAD2006, ACAD2007};
    uint16_t minors[] = {0, 1, 0, 1, 2, 0};
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(release_pinned_minor(pinned[i], &minor));
        EXPECT_EQ(minors[i], minor) << pinned[i];
    }
}

TEST(KitRules, OfferedLanguagesFollowTheDialog) {
    int offered[RELEASE_COUNT] = {};
    for (int language = 0; language < LANGUAGE_COUNT; ++language) {
        for (int r = 0; r < RELEASE_COUNT; ++r)
            offered[r] += language_offered(language, release_at(r));
    }
    int expected[RELEASE_COUNT] = {9, 9, 9, 12, 12, 12, 12};
    for (int r = 0; r < RELEASE_COUNT; ++r)
        EXPECT_EQ(expected[r], offered[r]) << r;
    EXPECT_FALSE(language_offered(10, ACAD2002)); // Polski
    EXPECT_TRUE(language_offered(1, ACAD2000));   // ChineseS, shown as "Modern Chinese"
}

TEST(KitRules, JoinsPathsWithOneSeparator) {
    struct Row {
        const char *kit, *relative, *separator, *joined;
    } rows[] = {
        {"kit", "English", "/", "kit/English"},
        {"kit/", "English", "/", "kit/English"},
        {"K:\\kit", "a\\b", "\\", "K:\\kit\\a\\b"},
        {"K:\\", "a", "\\", "K:\\a"},
        {"K:/kit/", "a", "\\", "K:/kit/a"},
        {"kit", "", "/", "kit"},
        {"/", "a", "/", "/a"},
    };
    for (const Row &row : rows) {
        char out[PATH_BUFFER_SIZE];
        ASSERT_TRUE(join_kit_path(out, sizeof(out), row.kit, row.relative, row.separator));
        EXPECT_STREQ(row.joined, out);
    }
    char small[8];
    EXPECT_FALSE(join_kit_path(small, sizeof(small), "kit", "English", "/"));
}

TEST(KitRules, ProgressOnlyAfterASecondThenEachSecond) {
    unsigned long last = 5000; // the start
    struct Row {
        unsigned long now;
        bool due;
    } rows[] = {{5000, false}, {5999, false}, {6000, true}, {6500, false}, {7000, true}};
    for (const Row &row : rows)
        EXPECT_EQ(row.due, progress_due(row.now, &last)) << row.now;
}

TEST(KitReport, JsonStringsStayValid) {
    struct Row {
        const char *text, *json;
    } rows[] = {
        {"kapvl.hdi", "\"kapvl.hdi\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"tab\there\n", "\"tab\\u0009here\\u000a\""},
        {"pil\xe9", "\"pil\\u00e9\""},
    };
    for (const Row &row : rows) {
        FILE *file = tmpfile();
        print_json_string(file, row.text);
        rewind(file);
        char got[64] = {};
        ASSERT_NE(nullptr, fgets(got, sizeof(got), file));
        fclose(file);
        EXPECT_STREQ(row.json, got);
    }
}
