#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
        found.push_back(std::string(is_error(report.findings[i].kind) ? "error " : "warning ") +
                        finding_code(report.findings[i].kind) + " " + place(report.findings[i]));
    free_kit_report(&report);
    return found;
}

static fs::path at(const std::string &kit, const char *relative) {
    return fs::path(kit) / relative;
}

static void hif(const std::string &kit, const char *folder, const std::string &text) {
    write_file(at(kit, folder) / "kap.hif", text);
}

// The line for the file in every language folder that the release offers.
static std::vector<std::string> in_every(const std::string &finding, int release,
                                         const char *file) {
    std::vector<std::string> lines;
    for (int language = 0; language < LANGUAGE_COUNT; ++language) {
        if (language_offered(language, release_at(release)))
            lines.push_back(finding + " " + language_folder_table[language] + "/" +
                            release_folder_names[release] + "/" + file);
    }
    return lines;
}

static std::vector<std::string> joined(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    std::sort(all.begin(), all.end());
    return all;
}

static void set_level(const std::string &kit, int release, const char *level) {
    for (const char *language : language_folder_table) {
        if (fs::exists(fs::path(kit) / language / release_folder_names[release]))
            hif(kit, (std::string(language) + "/" + release_folder_names[release]).c_str(),
                std::string("heidiversion=") + level + "\n");
    }
}

TEST(KitCheck, EachFaultIsFoundWhereItIs) {
    using Plant = std::function<void(const std::string &)>;
    // In English/ACAD2005 a name of n bytes leaves 259 - 18 - n for the kit
    // folder: under 100 is a warning, under 3 (a drive root) an error.
    auto named = [](size_t length) { return std::string(length - 4, 'n') + ".hdi"; };
    auto rename_driver = [](const std::string &k, const std::string &name) {
        fs::rename(at(k, "English/ACAD2005/kapvl.hdi"), at(k, "English/ACAD2005") / name);
    };
    std::vector<std::string> flood = {"warning several-matches English/ACAD2005/kapvl.hdi"};
    for (int i = 0; i < FINDINGS_SHOWN_PER_FOLDER - 1; ++i)
        flood.push_back("warning several-matches English/ACAD2005/s" + std::to_string(10 + i) +
                        ".hdi");
    struct Row {
        const char *name;
        Plant plant;
        std::vector<std::string> expected;
    } rows[] = {
        {"the full sample kit", [](const std::string &) {}, {}},
        {"a release folder is missing",
         [](const std::string &k) { fs::remove_all(at(k, "Polski/ACAD2006")); },
         {"error folder-missing Polski/ACAD2006"}},
        {"a file instead of a release folder",
         [](const std::string &k) {
             fs::remove_all(at(k, "English/ACAD2005"));
             write_file(at(k, "English/ACAD2005"), "x");
         },
         {"error folder-not-a-folder English/ACAD2005"}},
        {"a language folder is missing",
         [](const std::string &k) { fs::remove_all(at(k, "Magyar")); },
         {"error folder-missing Magyar"}},
        {"a release folder that is a looping link",
         [](const std::string &k) {
             fs::remove_all(at(k, "English/ACAD2004"));
             fs::create_symlink("ACAD2004", at(k, "English/ACAD2004"));
         },
         {"error folder-unreadable English/ACAD2004"}},
        {"no kap.hif",
         [](const std::string &k) { fs::remove(at(k, "English/ACAD2005/kap.hif")); },
         {"error hif-missing English/ACAD2005/kap.hif"}},
        {"kap.hif is a folder",
         [](const std::string &k) {
             fs::remove(at(k, "English/ACAD2005/kap.hif"));
             fs::create_directory(at(k, "English/ACAD2005/kap.hif"));
         },
         {"error hif-unreadable English/ACAD2005/kap.hif"}},
        {"no heidiversion line",
         [](const std::string &k) { hif(k, "Deutsch/ACAD2002", "[Kap]\nversion=7,1,0,0\n"); },
         {"error level-missing Deutsch/ACAD2002/kap.hif"}},
        {"a minor field the release never has",
         [](const std::string &k) { hif(k, "English/ACAD2005", "heidiversion=8,3,0,0\n"); },
         {"error minor-mismatch English/ACAD2005/kap.hif",
          "warning level-differs English/ACAD2005/kap.hif"}},
        {"a smaller minor field, the one of the ACAD2005 column",
         [](const std::string &k) { hif(k, "English/ACAD2006", "heidiversion=8,1,5,0\n"); },
         joined({{"error minor-mismatch English/ACAD2006/kap.hif",
                  "warning level-differs English/ACAD2006/kap.hif",
                  "error level-of-other-release English/ACAD2006/kap.hif"},
                 in_every("error level-of-other-release", 4, "kap.hif")})},
        {"the 2007 build in every ACAD2004 folder",
         [](const std::string &k) { set_level(k, 3, "9,0,12,0"); },
         joined({in_every("error level-of-other-release", 3, "kap.hif"),
                 in_every("warning major-unusual", 3, "kap.hif"),
                 in_every("error level-of-other-release", 6, "kap.hif")})},
        {"the 2000i build in every ACAD2000 folder",
         [](const std::string &k) { set_level(k, 0, "7,0,0,0"); },
         joined({in_every("error level-of-other-release", 0, "kap.hif"),
                 in_every("warning major-unusual", 0, "kap.hif"),
                 in_every("error level-of-other-release", 1, "kap.hif")})},
        {"an empty level",
         [](const std::string &k) { hif(k, "English/ACAD2004", "heidiversion=\n"); },
         {"error level-zero English/ACAD2004/kap.hif"}},
        {"ACAD2000 pins no minor field",
         [](const std::string &k) { hif(k, "English/ACAD2000", "heidiversion=6,5,0,0\n"); },
         {"warning level-differs English/ACAD2000/kap.hif"}},
        {"another revision in one language",
         [](const std::string &k) { hif(k, "Cesky/ACAD2007", "heidiversion=9,0,0,1\n"); },
         {"warning level-differs Cesky/ACAD2007/kap.hif"}},
        {"no driver resource file",
         [](const std::string &k) { fs::remove(at(k, "Polski/ACAD2006/kapvl.drc")); },
         {"error file-missing Polski/ACAD2006/*.drc"}},
        {"no resource library for 2004",
         [](const std::string &k) { fs::remove(at(k, "Japanese/ACAD2004/kapvl.dll")); },
         {"error file-missing Japanese/ACAD2004/*.dll"}},
        {"a driver that is a broken link",
         [](const std::string &k) {
             fs::remove(at(k, "English/ACAD2005/kapvl.hdi"));
             fs::create_symlink("gone.hdi", at(k, "English/ACAD2005/kapvl.hdi"));
         },
         {"error file-unreadable English/ACAD2005/kapvl.hdi"}},
        {"two drivers",
         [](const std::string &k) { write_file(at(k, "Deutsch/ACAD2004/old.HDI"), "x"); },
         {"warning several-matches Deutsch/ACAD2004/kapvl.hdi",
          "warning several-matches Deutsch/ACAD2004/old.HDI"}},
        {"a name only the short name matches",
         [](const std::string &k) { write_file(at(k, "Deutsch/ACAD2004/x.hdi_old"), "x"); },
         {"warning short-name-match Deutsch/ACAD2004/x.hdi_old"}},
        {"a folder named like a driver",
         [](const std::string &k) { fs::create_directory(at(k, "Deutsch/ACAD2004/a.hdi")); },
         {"error folder-named-like-file Deutsch/ACAD2004/a.hdi"}},
        {"a folder in place of the driver",
         [](const std::string &k) {
             fs::remove(at(k, "English/ACAD2005/kapvl.hdi"));
             fs::create_directory(at(k, "English/ACAD2005/kapvl.hdi"));
         },
         {"error folder-named-like-file English/ACAD2005/kapvl.hdi"}},
        {"an empty driver and resource library; an empty help file is no error",
         [](const std::string &k) {
             for (const char *name : {"kapvl.hdi", "kapvl.dll", "kapvl.hlp"})
                 write_file(at(k, "Deutsch/ACAD2005") / name, "");
         },
         {"error file-empty Deutsch/ACAD2005/kapvl.dll",
          "error file-empty Deutsch/ACAD2005/kapvl.hdi"}},
        {"names Windows cannot hold, in files the installer copies",
         [](const std::string &k) {
             fs::path folder = at(k, "Japanese/ACAD2005");
             fs::rename(folder / "kapvl.hdi", folder / "kapv\xe9l.hdi");
             fs::rename(folder / "kapvl.drc", folder / "AUX.drc");
             fs::rename(folder / "kapvl.cnt", folder / "a\\b.cnt");
         },
         {"error name-refused Japanese/ACAD2005/AUX.drc",
          "error name-refused Japanese/ACAD2005/a\\b.cnt",
          "error name-refused Japanese/ACAD2005/kapv\xe9l.hdi"}},
        {"names Windows cannot hold, elsewhere",
         [](const std::string &k) {
             for (const char *name : {"read\x01me.txt", "notes.", "lpt1", "a:b.txt"})
                 write_file(at(k, "English/ACAD2000") / name, "x");
         },
         {"warning name-unportable English/ACAD2000/a:b.txt",
          "warning name-unportable English/ACAD2000/lpt1",
          "warning name-unportable English/ACAD2000/notes.",
          "warning name-unportable English/ACAD2000/read\x01me.txt"}},
        {"names that Windows takes for one",
         [](const std::string &k) {
             write_file(at(k, "English/ACAD2005/KAP.HIF"), "heidiversion=8,1,0,0\n");
             fs::create_directory(at(k, "ENGLISH"));
             fs::create_directory(at(k, "Deutsch/acad2005"));
         },
         {"error names-differ-in-case Deutsch/ACAD2005/ACAD2005",
          "error names-differ-in-case English/ENGLISH",
          "error names-differ-in-case English/ACAD2005/KAP.HIF"}},
        {"a flood of one finding is cut",
         [](const std::string &k) {
             for (int i = 10; i < 40; ++i)
                 write_file(at(k, "English/ACAD2005") / ("s" + std::to_string(i) + ".hdi"), "x");
         },
         flood},
        {"no help files",
         [](const std::string &k) {
             fs::remove(at(k, "Russkii/ACAD2000/kapvl.hlp"));
             fs::remove(at(k, "Russkii/ACAD2000/kapvl.cnt"));
         },
         {"warning optional-file-missing Russkii/ACAD2000/*.hlp",
          "warning optional-file-missing Russkii/ACAD2000/*.cnt"}},
        {"a read-only file",
         [](const std::string &k) {
             fs::permissions(at(k, "Italiano/ACAD2007/kapvl.cnt"), fs::perms::owner_read);
         },
         {"warning read-only Italiano/ACAD2007/kapvl.cnt"}},
        {"a name that leaves 100 characters for the kit folder",
         [&](const std::string &k) { rename_driver(k, named(141)); },
         {}},
        {"a name that leaves 99",
         [&](const std::string &k) { rename_driver(k, named(142)); },
         {"warning path-long English/ACAD2005/" + named(142)}},
        {"a name that leaves 3, a drive root",
         [&](const std::string &k) { rename_driver(k, named(238)); },
         {"warning path-long English/ACAD2005/" + named(238)}},
        {"a name that leaves 2",
         [&](const std::string &k) { rename_driver(k, named(239)); },
         {"error path-too-long English/ACAD2005/" + named(239)}},
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
         {"error level-missing English/ACAD2005/kap.hif"}},
        {"5 MB of NUL bytes as kap.hif",
         [](const std::string &k) { hif(k, "English/ACAD2005", std::string(5 << 20, '\0')); },
         {"error level-missing English/ACAD2005/kap.hif"}},
        {"a name with bytes outside ASCII",
         [](const std::string &k) { write_file(at(k, "English/ACAD2005/pil\xe9.hdi"), "x"); },
         {"warning several-matches English/ACAD2005/kapvl.hdi",
          "error name-refused English/ACAD2005/pil\xe9.hdi",
          "warning several-matches English/ACAD2005/pil\xe9.hdi"}},
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
        std::vector<std::string> found = findings_of(kit);
        std::vector<std::string> expected = row.expected;
        std::sort(found.begin(), found.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, found) << row.name;
        remove_tree(kit);
    }
}

TEST(KitCheck, FoldersAndFilesTheCheckingUserCannotRead) {
    std::string kit = make_sample_kit();
    fs::permissions(fs::path(kit).parent_path(), fs::perms::all);
    fs::permissions(at(kit, "English/ACAD2005/kap.hif"), fs::perms::owner_write);
    fs::permissions(at(kit, "Deutsch/ACAD2004/kapvl.drc"), fs::perms::none);
    fs::permissions(at(kit, "Polski/ACAD2006"), fs::perms::owner_write);
    // Names listed, nothing opened: one finding, not one per file.
    fs::permissions(at(kit, "Italiano/ACAD2004"), fs::perms::owner_read | fs::perms::others_read);
    const std::vector<std::string> expected = {"error file-unreadable Deutsch/ACAD2004/kapvl.drc",
                                               "error hif-unreadable English/ACAD2005/kap.hif",
                                               "error folder-unreadable Italiano/ACAD2004",
                                               "error folder-unreadable Polski/ACAD2006"};
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
    fs::permissions(at(kit, "Italiano/ACAD2004"), fs::perms::owner_all);
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
    // A build server's long path: only the kit's own path must fit the system.
    fs::path deep = fs::path(kit).parent_path();
    while (deep.string().size() < 3880)
        deep /= std::string(200, 'd');
    deep /= std::string(4080 - deep.string().size() - 1, 'e'); // a file's path: over 4,096
    fs::create_directories(deep);
    std::string deep_kit = (deep / "kit").string();
    fs::create_directory_symlink(kit, deep_kit);
    std::string clean_kit = "75 folders checked, 0 errors, 0 warnings";
    struct Row {
        std::vector<std::string> args;
        int status;
        const char *out_has; // null when nothing may go to standard output
        const char *err_has; // null when nothing may go to standard error
    } rows[] = {
        {{"check", kit}, 0, clean_kit.c_str(), nullptr},
        {{"check", deep_kit}, 0, clean_kit.c_str(), nullptr},
        {{"check", "--json", "--", kit}, 0, "\"findings\": []", nullptr},
        {{"--version"}, 0, "kapkit 1.", nullptr},
        {{"check", kit + "/none"}, 2, nullptr, "there is no such folder"},
        {{"check", "--json", kit + "/none"}, 2, "\"error\": \"there is no such folder\"", "none"},
        {{"check", file}, 2, nullptr, "this is a file, not a folder"},
        {{"check", loop}, 2, nullptr, "cannot be read (Too many levels of symbolic links)"},
        {{"check", std::string(5000, 'x')}, 2, nullptr, "(File name too long)"},
        {{"check", kit + "/English"}, 2, nullptr, "this is a language folder"},
        {{"check", kit + "/English/ACAD2005"}, 2, nullptr, "this is a release folder"},
        {{"check", kit + "/.."}, 2, nullptr, "no language folder"},
        {{"check"}, 2, nullptr, "no kit folder given\nusage: kapkit check"},
        {{"check", kit, "--yaml"}, 2, nullptr, "unknown option \"--yaml\"\nusage:"},
        {{"check", kit, "more"}, 2, nullptr, "\"more\" is one too many"},
        {{"check", "--", "-x"}, 2, nullptr, "-x: there is no such folder"},
        {{"verify", kit}, 2, nullptr, "unknown command \"verify\""},
    };
    for (const Row &row : rows) {
        std::string out;
        std::string err;
        EXPECT_EQ(row.status, run_kapkit(row.args, &out, &err)) << row.args.back();
        if (row.out_has != nullptr)
            EXPECT_NE(std::string::npos, out.find(row.out_has)) << out;
        else
            EXPECT_EQ("", out);
        if (row.err_has != nullptr)
            EXPECT_NE(std::string::npos, err.find(row.err_has)) << err;
        else
            EXPECT_EQ("", err);
    }
    // Warnings alone pass; one error fails.
    std::string out;
    std::string err;
    write_file(at(kit, "Deutsch/ACAD2004/x.hdi_old"), "x");
    EXPECT_EQ(0, run_kapkit({"check", kit}, &out, &err)) << out;
    fs::remove(at(kit, "Polski/ACAD2006/kapvl.drc"));
    EXPECT_EQ(1, run_kapkit({"check", kit}, &out, &err)) << out;
    fs::remove_all(fs::path(kit).parent_path() / std::string(200, 'd'));
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

    // What was read, as it was read; a flood told in one line.
    kit = make_sample_kit();
    hif(kit, "English/ACAD2004", "\xef\xbb\xbfheidiversion=8,0,0,0\n");
    hif(kit, "English/ACAD2005", "heidiversion=8.1.12.0\n");
    for (int i = 0; i < 30; ++i)
        write_file(at(kit, "Deutsch/ACAD2004") / ("s" + std::to_string(i) + ".hdi"), "x");
    ASSERT_EQ(1, run_kapkit({"check", kit}, &out, &err));
    const char *read_lines[] = {
        "\nerror    English/ACAD2004/kap.hif: has no heidiversion line; the nearest is "
        "\"\\xef\\xbb\\xbfheidiversion=8,0,0,0\": the installer stops",
        "\nerror    English/ACAD2005/kap.hif: heidiversion line \"heidiversion=8.1.12.0\" gives "
        "8.0.0.0, whose minor field 0 no ACAD2005 host has (every one has 1): the installer "
        "refuses the driver with its DDK message\n",
        "\nwarning  Deutsch/ACAD2004: 11 more several-matches findings like the above\n",
    };
    for (const char *line : read_lines)
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
