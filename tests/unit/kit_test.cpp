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
#include "kit/kit_hosts.h"
#include "kit/kit_levels.h"
#include "kit/kit_names.h"
#include "kit/kit_report.h"
#include "kit/pe_image.h"

namespace fs = std::filesystem;

// The sample kit of tools/kapfixtures.py (driver_files for every language
// and release, *.dll from ACAD2004 on), built here in a fresh folder.
static const char *const sample_levels[RELEASE_COUNT] = {"6,0,0,0", "7,0,0,0", "7,1,0,0", "8,0,0,0",
                                                         "8,1,0,0", "8,2,0,0", "9,0,0,0"};

static void write_file(const fs::path &path, const std::string &content) {
    std::ofstream(path, std::ios::binary) << content;
}

// A PE image of our own making, one section holding the tag: by default a
// 32-bit x86 DLL, as AutoCAD loads its drivers and resource libraries.
static std::string tiny_image(const std::string &tag, unsigned machine = 0x14c,
                              unsigned flags = 0x2102, unsigned magic = 0x10b) {
    std::string image(0x400, '\0');
    auto put = [&](size_t at, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            image[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
    };
    image.replace(0, 2, "MZ");
    put(0x3c, 0x40, 4);
    image.replace(0x40, 2, "PE");
    put(0x44, machine, 2);
    put(0x46, 1, 2);    // one section
    put(0x54, 0xe0, 2); // the optional header's size
    put(0x56, flags, 2);
    const size_t optional = 0x58;
    put(optional, magic, 2);
    put(optional + 28, 0x10000000, 4); // image base
    put(optional + 32, 0x1000, 4);     // section alignment
    put(optional + 36, 0x200, 4);      // file alignment
    put(optional + 48, 4, 2);          // subsystem version 4.0
    put(optional + 56, 0x2000, 4);     // size of image
    put(optional + 60, 0x200, 4);      // size of headers
    put(optional + 68, 2, 2);          // Windows GUI
    put(optional + 92, 16, 4);         // data directories
    const size_t section = optional + 0xe0;
    image.replace(section, 6, ".rdata");
    put(section + 8, 0x200, 4);
    put(section + 12, 0x1000, 4);
    put(section + 16, 0x200, 4); // raw size
    put(section + 20, 0x200, 4); // raw data at
    put(section + 36, 0x40000040, 4);
    image.replace(0x200, tag.size() < 0x200 ? tag.size() : 0x200, tag);
    return image;
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
            write_file(folder / "kapvl.hdi", tiny_image("hdi driver " + level));
            write_file(folder / "kapvl.drc", "drc " + level + "\n");
            write_file(folder / "kapvl.hlp", "help\n");
            write_file(folder / "kapvl.cnt", "contents\n");
            if (r >= ACAD2004 - ACAD2000)
                write_file(folder / "kapvl.dll", tiny_image("resource library " + level));
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
        found.push_back(std::string(finding_severity(report.findings[i]) == SEVERITY_ERROR
                                        ? "error "
                                        : "warning ") +
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
    auto level_row = [](const char *folder, const char *line) {
        return [folder, line](const std::string &k) {
            hif(k, folder, std::string("heidiversion=") + line + "\n");
        };
    };
    // The release's level in every folder, then one folder's line.
    auto column_row = [](int release, const char *level, const char *folder, const char *line) {
        return [=](const std::string &k) {
            set_level(k, release, level);
            hif(k, folder, std::string("heidiversion=") + line + "\n");
        };
    };
    auto library = [](const char *folder, const char *name, std::string bytes) {
        return [folder, name, bytes](const std::string &k) {
            write_file(at(k, folder) / name, bytes);
        };
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
         {"error folder-unreadable English/ACAD2004",
          "warning symbolic-link English/ACAD2004/ACAD2004"}},
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
        // A level is wrong only in the folder of the release it does not fit.
        {"a minor field no release has",
         level_row("English/ACAD2005", "8,3,0,0"),
         {"error level-of-no-release English/ACAD2005/kap.hif",
          "warning level-differs English/ACAD2005/kap.hif"}},
        {"the ACAD2006 level in one ACAD2005 folder",
         level_row("Deutsch/ACAD2005", "8,2,5,2"),
         {"error level-of-other-release Deutsch/ACAD2005/kap.hif",
          "warning level-differs Deutsch/ACAD2005/kap.hif"}},
        {"the ACAD2005 level in one ACAD2006 folder",
         level_row("English/ACAD2006", "8,1,5,0"),
         {"error level-of-other-release English/ACAD2006/kap.hif",
          "warning level-differs English/ACAD2006/kap.hif"}},
        {"a major no ACAD2006 host has",
         level_row("English/ACAD2006", "9,2,3,10"),
         {"error level-of-no-release English/ACAD2006/kap.hif",
          "warning level-differs English/ACAD2006/kap.hif"}},
        {"the 2007 build in every ACAD2004 folder",
         [](const std::string &k) { set_level(k, 3, "9,0,12,0"); },
         in_every("error level-of-other-release", 3, "kap.hif")},
        {"the ACAD2004 and ACAD2007 folders swapped",
         [](const std::string &k) {
             set_level(k, 3, "9,0,0,0");
             set_level(k, 6, "8,0,0,0");
         },
         joined({in_every("error level-of-other-release", 3, "kap.hif"),
                 in_every("error level-of-other-release", 6, "kap.hif")})},
        {"the ACAD2000 level, the first release's, in one ACAD2002 folder",
         level_row("English/ACAD2002", "6,0,0,0"),
         {"error level-of-other-release English/ACAD2002/kap.hif",
          "warning level-differs English/ACAD2002/kap.hif"}},
        {"the 2000i build in every ACAD2000 folder",
         [](const std::string &k) { set_level(k, 0, "7,0,0,0"); },
         in_every("error level-of-other-release", 0, "kap.hif")},
        {"a level of no release in every ACAD2000 folder",
         [](const std::string &k) { set_level(k, 0, "7,2,2,3"); },
         in_every("error level-of-no-release", 0, "kap.hif")},
        {"a tie between two levels goes to the earlier language's",
         [](const std::string &k) {
             for (int language = 0; language < 6; ++language)
                 hif(k, (std::string(language_folder_table[language]) + "/ACAD2004").c_str(),
                     "heidiversion=8,0,1,0\n");
         },
         {"warning level-differs Francais/ACAD2004/kap.hif",
          "warning level-differs Italiano/ACAD2004/kap.hif",
          "warning level-differs Japanese/ACAD2004/kap.hif",
          "warning level-differs Magyar/ACAD2004/kap.hif",
          "warning level-differs Polski/ACAD2004/kap.hif",
          "warning level-differs Russkii/ACAD2004/kap.hif"}},
        // A line read otherwise than written: an error only where the level
        // read is refused on the hosts where the other languages install.
        {"dots for commas: read as 8.0.0.0, the release's own level",
         level_row("English/ACAD2004", "8.0.2.1"),
         {"warning level-loosely-written English/ACAD2004/kap.hif"}},
        {"dots for commas: read as 8.0.0.0 where 8.0.2.1 installs, refused without a word",
         column_row(3, "8,0,2,1", "English/ACAD2004", "8.0.2.1"),
         {"error level-misread English/ACAD2004/kap.hif",
          "warning level-differs English/ACAD2004/kap.hif"}},
        // Fewer than four numbers were an error whatever they read as; 9.0.0.0
        // is the release's own level.
        {"two numbers: the build read as 0, as the release's level has it",
         level_row("English/ACAD2007", "9,0"),
         {"warning level-loosely-written English/ACAD2007/kap.hif"}},
        {"three numbers where 8.0.2.1 installs: a revision of 0 installs too",
         column_row(3, "8,0,2,1", "English/ACAD2004", "8,0,2"),
         {"warning level-loosely-written English/ACAD2004/kap.hif",
          "warning level-differs English/ACAD2004/kap.hif"}},
        {"an empty piece that reads as the level where 8.0.2.1 installs",
         column_row(3, "8,0,2,1", "English/ACAD2004", "8,,2,1"),
         {"warning level-loosely-written English/ACAD2004/kap.hif"}},
        {"an empty last piece where 8.1.5.2 installs",
         column_row(4, "8,1,5,2", "English/ACAD2005", "8,1,5,"),
         {"warning level-loosely-written English/ACAD2005/kap.hif",
          "warning level-differs English/ACAD2005/kap.hif"}},
        {"quotes: the major read as 0",
         level_row("English/ACAD2006", "\"8,2,3,10\""),
         {"error level-misread English/ACAD2006/kap.hif",
          "warning level-differs English/ACAD2006/kap.hif"}},
        {"a sign: -1 read as 65535",
         level_row("English/ACAD2005", "8,1,0,-1"),
         {"error level-misread English/ACAD2005/kap.hif",
          "warning level-differs English/ACAD2005/kap.hif"}},
        {"a sign in the minor field",
         level_row("English/ACAD2000", "6,-9,0,0"),
         {"error level-misread English/ACAD2000/kap.hif",
          "warning level-differs English/ACAD2000/kap.hif"}},
        {"an empty piece",
         level_row("English/ACAD2005", "8,1,,0,0"),
         {"warning level-loosely-written English/ACAD2005/kap.hif"}},
        {"65537 wraps to the release's own minor",
         level_row("English/ACAD2005", "8,65537,0,0"),
         {"warning level-loosely-written English/ACAD2005/kap.hif"}},
        {"a fifth number",
         level_row("English/ACAD2005", "8,1,0,0,7"),
         {"warning level-loosely-written English/ACAD2005/kap.hif"}},
        {"blanks around the numbers read as written",
         level_row("English/ACAD2005", " 8 , 1 ,0,\t0 "),
         {}},
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
         {"error file-unreadable English/ACAD2005/kapvl.hdi",
          "warning symbolic-link English/ACAD2005/kapvl.hdi"}},
        {"two drivers",
         [](const std::string &k) {
             write_file(at(k, "Deutsch/ACAD2004/old.HDI"), tiny_image("old"));
         },
         {"warning several-matches Deutsch/ACAD2004/kapvl.hdi",
          "warning several-matches Deutsch/ACAD2004/old.HDI"}},
        // What AutoCAD loads must be a 32-bit x86 DLL, judged in NTFS's order.
        {"a 64-bit resource library",
         library("English/ACAD2005", "kapvl.dll", tiny_image("x64", 0x8664, 0x2022, 0x20b)),
         {"error not-loadable English/ACAD2005/kapvl.dll"}},
        {"a driver without the executable-image flag",
         library("English/ACAD2005", "kapvl.hdi", tiny_image("obj", 0x14c, 0x2100)),
         {"error not-loadable English/ACAD2005/kapvl.hdi"}},
        {"a 32-bit program as the driver",
         library("English/ACAD2005", "kapvl.hdi", tiny_image("exe", 0x14c, 0x0102)),
         {"error not-loadable English/ACAD2005/kapvl.hdi"}},
        {"a driver cut after 100 bytes",
         library("English/ACAD2005", "kapvl.hdi", tiny_image("cut").substr(0, 100)),
         {"error not-loadable English/ACAD2005/kapvl.hdi"}},
        {"a driver whose section runs past its end",
         library("English/ACAD2005", "kapvl.hdi", tiny_image("cut").substr(0, 0x300)),
         {"error not-loadable English/ACAD2005/kapvl.hdi"}},
        {"a text file and a 1-byte file as driver and library",
         [](const std::string &k) {
             write_file(at(k, "English/ACAD2006/kapvl.hdi"), "hdi driver 8,2,0,0\n");
             write_file(at(k, "English/ACAD2006/kapvl.dll"), "M");
         },
         {"error not-loadable English/ACAD2006/kapvl.dll",
          "error not-loadable English/ACAD2006/kapvl.hdi"}},
        {"a Mac's ._ file lists first",
         library("English/ACAD2005", "._kapvl.hdi", std::string("\0\5\x16\7", 4) + "Mac"),
         {"error not-loadable English/ACAD2005/._kapvl.hdi",
          "warning several-matches English/ACAD2005/._kapvl.hdi",
          "warning several-matches English/ACAD2005/kapvl.hdi"}},
        // NTFS folds names to upper case: "_" sorts after the letters.
        {"a spare _kapvl.hdi lists after kapvl.hdi",
         library("English/ACAD2005", "_kapvl.hdi", "not a driver"),
         {"warning spare-not-loadable English/ACAD2005/_kapvl.hdi",
          "warning several-matches English/ACAD2005/_kapvl.hdi",
          "warning several-matches English/ACAD2005/kapvl.hdi"}},
        {"a spare that is no DLL, listed after the driver",
         library("English/ACAD2005", "zz.hdi", "not a driver"),
         {"warning spare-not-loadable English/ACAD2005/zz.hdi",
          "warning several-matches English/ACAD2005/kapvl.hdi",
          "warning several-matches English/ACAD2005/zz.hdi"}},
        {"before ACAD2004 a *.dll is not copied",
         library("English/ACAD2002", "notes.dll", "text"),
         {}},
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
        {"names Windows cannot hold, in files the installer copies; help files only warn",
         [](const std::string &k) {
             fs::path folder = at(k, "Japanese/ACAD2005");
             fs::rename(folder / "kapvl.hdi", folder / "kapv\xe9l.hdi");
             fs::rename(folder / "kapvl.drc", folder / "AUX.drc");
             fs::rename(folder / "kapvl.cnt", folder / "a\\b.cnt");
             fs::rename(folder / "kapvl.hlp", folder / "aux.hlp");
         },
         {"error name-refused Japanese/ACAD2005/AUX.drc",
          "warning name-refused Japanese/ACAD2005/a\\b.cnt",
          "warning name-refused Japanese/ACAD2005/aux.hlp",
          "error name-refused Japanese/ACAD2005/kapv\xe9l.hdi"}},
        {"names Windows cannot hold, elsewhere",
         [](const std::string &k) {
             for (const char *name : {"read\x01me.txt", "notes.", "lpt1", "a:b.txt"})
                 write_file(at(k, "English/ACAD2000") / name, "x");
         },
         {"warning name-refused English/ACAD2000/a:b.txt",
          "warning name-refused English/ACAD2000/lpt1",
          "warning name-refused English/ACAD2000/notes.",
          "warning name-refused English/ACAD2000/read\x01me.txt"}},
        {"a blank in a name is no refused byte",
         [](const std::string &k) {
             fs::rename(at(k, "English/ACAD2005/kapvl.hdi"), at(k, "English/ACAD2005/kap vl.hdi"));
         },
         {}},
        {"help-file faults are warnings",
         [](const std::string &k) {
             fs::path folder = at(k, "Deutsch/ACAD2006");
             fs::create_directory(folder / "old.hlp");
             fs::rename(folder / "kapvl.hlp", folder / "KAPVL.HLP");
             write_file(folder / "kapvl.hlp", "help\n");
             write_file(folder / "kapvl_\xfc.cnt", "contents\n");
             write_file(folder / "notes.txt", "a");
             write_file(folder / "NOTES.TXT", "b");
             write_file(folder / (std::string(236, 'h') + ".hlp"), "help\n");
         },
         {"warning folder-named-like-file Deutsch/ACAD2006/old.hlp",
          "warning names-differ-in-case Deutsch/ACAD2006/KAPVL.HLP",
          "warning names-differ-in-case Deutsch/ACAD2006/NOTES.TXT",
          "warning name-refused Deutsch/ACAD2006/kapvl_\xfc.cnt",
          "warning path-too-long Deutsch/ACAD2006/" + std::string(236, 'h') + ".hlp",
          "warning several-matches Deutsch/ACAD2006/" + std::string(236, 'h') + ".hlp",
          "warning several-matches Deutsch/ACAD2006/KAPVL.HLP",
          "warning several-matches Deutsch/ACAD2006/kapvl.hlp",
          "warning several-matches Deutsch/ACAD2006/kapvl.cnt",
          "warning several-matches Deutsch/ACAD2006/kapvl_\xfc.cnt"}},
        {"release folders that Windows folds into the real one",
         [](const std::string &k) {
             fs::create_directory(at(k, "English/ACAD2004."));
             fs::create_directory(at(k, "Deutsch/ACAD2004 "));
         },
         {"warning names-fold-together Deutsch/ACAD2004/ACAD2004 ",
          "warning names-fold-together English/ACAD2004/ACAD2004."}},
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
                 write_file(at(k, "English/ACAD2005") / ("s" + std::to_string(i) + ".hdi"),
                            tiny_image("spare"));
         },
         flood},
        {"no help files",
         [](const std::string &k) {
             fs::remove(at(k, "Russkii/ACAD2000/kapvl.hlp"));
             fs::remove(at(k, "Russkii/ACAD2000/kapvl.cnt"));
         },
         {"warning file-missing Russkii/ACAD2000/*.hlp",
          "warning file-missing Russkii/ACAD2000/*.cnt"}},
        {"read-only files, as on a CD, are no fault",
         [](const std::string &k) {
             fs::permissions(at(k, "Italiano/ACAD2007/kapvl.cnt"), fs::perms::owner_read);
             fs::permissions(at(k, "Italiano/ACAD2007/kapvl.hdi"), fs::perms::owner_read);
         },
         {}},
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
          "warning several-matches English/ACAD2005/pil\xe9.hdi",
          "warning spare-not-loadable English/ACAD2005/pil\xe9.hdi"}},
        {"links that loop or lead back up are never followed, only named",
         [](const std::string &k) {
             fs::create_symlink("loop", at(k, "English/ACAD2005/loop"));
             fs::create_symlink("..", at(k, "English/ACAD2005/up"));
             fs::create_symlink(".", at(k, "English/ACAD2005/ACAD2005"));
         },
         {"warning symbolic-link English/ACAD2005/ACAD2005",
          "warning symbolic-link English/ACAD2005/loop",
          "warning symbolic-link English/ACAD2005/up"}},
        {"a release folder linked to another's",
         [](const std::string &k) {
             fs::remove_all(at(k, "English/ACAD2005"));
             fs::create_symlink("ACAD2004", at(k, "English/ACAD2005"));
         },
         {"error level-of-other-release English/ACAD2005/kap.hif",
          "warning level-differs English/ACAD2005/kap.hif",
          "warning symbolic-link English/ACAD2005/ACAD2005"}},
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
    // A help file nobody may read is still only a warning.
    fs::permissions(at(kit, "Japanese/ACAD2006/kapvl.cnt"), fs::perms::none);
    // A link into a private folder is one entry that cannot be read; the
    // folder's other faults still show.
    fs::path private_folder = fs::path(kit).parent_path() / "private";
    fs::create_directory(private_folder);
    write_file(private_folder / "notes.txt", "x");
    fs::permissions(private_folder, fs::perms::owner_all);
    fs::create_symlink(private_folder / "notes.txt", at(kit, "English/ACAD2007/notes.txt"));
    write_file(at(kit, "English/ACAD2007/kapvl.drc"), "");
    const std::vector<std::string> expected = {
        "error file-unreadable Deutsch/ACAD2004/kapvl.drc",
        "error hif-unreadable English/ACAD2005/kap.hif",
        "error file-empty English/ACAD2007/kapvl.drc",
        "warning symbolic-link English/ACAD2007/notes.txt",
        "error folder-unreadable Italiano/ACAD2004",
        "warning file-unreadable Japanese/ACAD2006/kapvl.cnt",
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
    write_file(at(kit, "Deutsch/ACAD2004/old.hdi"), tiny_image("old"));
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
        "\nerror    English/ACAD2005/kap.hif: heidiversion line \"heidiversion=8.1.12.0\" reads "
        "as 8.0.0.0, where 8.1.12.0 was perhaps meant: dots stand where commas belong, and a "
        "number ends at its first dot; no ACAD2005 host accepts it (its levels are 8.1.*.*): the "
        "installer refuses the driver on those hosts\n",
        "\nwarning  Deutsch/ACAD2004: 11 more several-matches findings like the above\n",
    };
    for (const char *line : read_lines)
        EXPECT_NE(std::string::npos, out.find(line)) << line << "\nin:\n" << out;
    remove_tree(kit);

    // Marks where the installer fails, levels told field by field.
    kit = make_sample_kit();
    fs::remove_all(at(kit, "Magyar"));
    hif(kit, "Cesky/ACAD2007", "heidiversion=9,0,3,1\n");
    hif(kit, "English/ACAD2002", "heidiversion=8,1,5,2\n");
    ASSERT_EQ(1, run_kapkit({"check", kit}, &out, &err));
    const char *marked_lines[] = {
        "\nMagyar    -         -         -         ERROR     ERROR     ERROR     ERROR\n",
        "\nCesky     -         -         -         ok        ok        ok        warning\n",
        "\nwarning  Cesky/ACAD2007/kap.hif: heidiversion line \"heidiversion=9,0,3,1\" gives "
        "9.0.3.1, not the 9.0.0.0 of 10 languages' ACAD2007 folders",
        "\nerror    English/ACAD2002/kap.hif: heidiversion line \"heidiversion=8,1,5,2\" gives "
        "8.1.5.2: 8.1.5.2 is an ACAD2005 level; no ACAD2002 host accepts it (its levels are "
        "7.1.*.*): the installer refuses the driver with its DDK message\n",
    };
    for (const char *line : marked_lines)
        EXPECT_NE(std::string::npos, out.find(line)) << line << "\nin:\n" << out;
    remove_tree(kit);

    // Lines quoted as the installer reads them, and worded by the level read.
    kit = make_sample_kit();
    set_level(kit, 3, "8,0,2,1");
    set_level(kit, 4, "8,1,5,2");
    hif(kit, "English/ACAD2004", "heidiversion=8,,2,1\r\n");
    hif(kit, "Deutsch/ACAD2004", "heidiversion=8.0.2.1\n");
    hif(kit, "English/ACAD2005", "heidiversion=8,1,5,\r\n");
    hif(kit, "Deutsch/ACAD2005", "[Kap]\r\nheidiversion 8,1,5,2\r\n");
    hif(kit, "Francais/ACAD2005", "[Kap]\x1a\r\nheidiversion=8,1,5,2\r\n");
    hif(kit, "English/ACAD2007", "heidiversion=9,0,0,0\rname=Kap\n");
    hif(kit, "Deutsch/ACAD2007", "heidiversion=9,0,0,0-rc2\n");
    write_file(at(kit, "English/ACAD2006/kapvl.hdi"), tiny_image("obj", 0x14c, 0x2100));
    write_file(at(kit, "English/ACAD2006/x.hdi_old"), "x");
    ASSERT_EQ(1, run_kapkit({"check", "--host", "8.1.5.2", kit}, &out, &err));
    const char *read_as_lines[] = {
        "\nwarning  English/ACAD2004/kap.hif: heidiversion line \"heidiversion=8,,2,1\" reads as "
        "8.0.2.1: a piece that is not a plain number reads as its leading digits, or 0: the "
        "driver still installs",
        "\nerror    Deutsch/ACAD2004/kap.hif: heidiversion line \"heidiversion=8.0.2.1\" reads as "
        "8.0.0.0: dots stand where commas belong, and a number ends at its first dot; the "
        "ACAD2004 hosts on which 11 languages' 8.0.2.1 installs refuse it without a word, as the "
        "build differs: the installer refuses the driver on those hosts\n",
        "\nwarning  English/ACAD2005/kap.hif: heidiversion line \"heidiversion=8,1,5,\" reads as "
        "8.1.5.0: a piece that is not a plain number",
        "\nerror    Deutsch/ACAD2005/kap.hif: has no heidiversion line; the nearest is "
        "\"heidiversion 8,1,5,2\": the installer stops",
        "\nerror    Francais/ACAD2005/kap.hif: has no heidiversion line: the installer stops",
        "\nwarning  English/ACAD2007/kap.hif: heidiversion line "
        "\"heidiversion=9,0,0,0\\x0dname=Kap\" "
        "reads as 9.0.0.0: a piece that is not a plain number",
        "\nwarning  Deutsch/ACAD2007/kap.hif: heidiversion line \"heidiversion=9,0,0,0-rc2\" "
        "reads as 9.0.0.0: a piece that is not a plain number",
        "\nerror    English/ACAD2006/kapvl.hdi: not a 32-bit Windows DLL (its header lacks the "
        "executable-image flag (IMAGE_FILE_EXECUTABLE_IMAGE): a linker error)",
        "\nwarning  English/ACAD2006/x.hdi_old: Windows' short name of this file matches a copied "
        "pattern (*.hdi): the installer's file search may match it through that short name and "
        "copy it",
        "\n    English   installs\n",
    };
    for (const char *line : read_as_lines)
        EXPECT_NE(std::string::npos, out.find(line)) << line << "\nin:\n" << out;
    EXPECT_EQ(std::string::npos, out.find("written")) << out;
    ASSERT_EQ(1, run_kapkit({"check", "--json", kit}, &out, &err));
    EXPECT_NE(std::string::npos, out.find("the nearest is \\\"heidiversion 8,1,5,2\\\": the"))
        << out;
    EXPECT_EQ(std::string::npos, out.find("\\u000d\\\"")) << out;
    remove_tree(kit);
}

TEST(Kapkit, WhatTheInstallerDoesOnTheHostsAskedAbout) {
    std::string kit = make_sample_kit();
    hif(kit, "English/ACAD2005", "heidiversion=8,1,0,5\n"); // a newer revision
    hif(kit, "Deutsch/ACAD2005", "heidiversion=8,1,7,0\n"); // another build
    fs::remove(at(kit, "Polski/ACAD2005/kapvl.drc"));
    fs::remove(at(kit, "Espanol/ACAD2005/kap.hif"));
    std::string out;
    std::string err;
    ASSERT_EQ(1, run_kapkit({"check", "--host", "8.1.0.3", "--host=7.1.0.0", kit}, &out, &err));
    const char *lines[] = {
        "\nOn a host whose hcreg8.dll is 8.1.0.3 (ACAD2005):\n    Cesky     installs\n",
        "\n    Deutsch   refused-silently: the driver's build 7 is not the host's 0, and nothing "
        "is said\n",
        "\n    English   refused: the DDK message\n",
        "\n    Espanol   fails: \"The installation HIF file could not be opened. Check out "
        "whether\"\n",
        "\n    Polski    fails: \"DRC file is missing.\"\n",
        "\nOn a host whose hcreg7.dll is 7.1.0.0 (ACAD2002):\n    Cesky     not-offered\n",
        "\n    English   installs\n",
    };
    for (const char *line : lines)
        EXPECT_NE(std::string::npos, out.find(line)) << line << "\nin:\n" << out;
    ASSERT_EQ(1, run_kapkit({"check", "--json", "--host", "8.1.0.3", kit}, &out, &err));
    EXPECT_NE(std::string::npos,
              out.find("\"hosts\": [\n    {\"version\": \"8.1.0.3\", \"release\": \"ACAD2005\", "
                       "\"languages\": {\"Cesky\": \"installs\", \"ChineseS\": \"installs\", "
                       "\"ChineseT\": \"installs\", \"Deutsch\": \"refused-silently\", "
                       "\"English\": \"refused\", \"Espanol\": \"fails\""))
        << out;
    struct Row {
        const char *version, *says;
    } wrong[] = {
        {"8.3.0.0", "--host \"8.3.0.0\": no release's host library has this version"},
        {"5.0.0.0", "--host \"5.0.0.0\": no release's"},
        {"8.1", "--host \"8.1\": not a version of four numbers"},
        {"8.1.0.0.0", "not a version of four numbers"},
        {"8.1.65536.0", "not a version of four numbers"},
    };
    for (const Row &row : wrong) {
        EXPECT_EQ(2, run_kapkit({"check", "--host", row.version, kit}, &out, &err)) << row.version;
        EXPECT_NE(std::string::npos, err.find(row.says)) << err;
        EXPECT_EQ("", out);
    }
    EXPECT_EQ(2, run_kapkit({"check", kit, "--host"}, &out, &err));
    EXPECT_NE(std::string::npos, err.find("--host needs a version")) << err;
    remove_tree(kit);
}

// The installer looks for every required file before it copies one: a
// missing resource file stops it before the driver's failing copy does.
TEST(Kapkit, AMissingRequiredFileStopsBeforeAFailingCopy) {
    std::string kit = make_sample_kit();
    fs::remove(at(kit, "Francais/ACAD2005/kapvl.hdi"));
    fs::create_directory(at(kit, "Francais/ACAD2005/kapvl.hdi"));
    fs::remove(at(kit, "Francais/ACAD2005/kapvl.drc"));
    std::string out;
    std::string err;
    ASSERT_EQ(1, run_kapkit({"check", "--host", "8.1.0.3", kit}, &out, &err));
    EXPECT_NE(std::string::npos, out.find("\n    Francais  fails: \"DRC file is missing.\"\n"))
        << out;
    remove_tree(kit);
}

TEST(KitRules, LevelsBelongToOneRelease) {
    struct Row {
        FourPartVersion level;
        int release; // -1: none
    } rows[] = {
        {{6, 9, 1, 1}, 0},  {{7, 0, 5, 0}, 1},  {{7, 1, 0, 0}, 2},  {{8, 0, 2, 1}, 3},
        {{8, 1, 55, 0}, 4}, {{8, 2, 0, 9}, 5},  {{9, 0, 3, 1}, 6},  {{9, 1, 0, 0}, -1},
        {{8, 3, 0, 0}, -1}, {{7, 2, 2, 3}, -1}, {{5, 0, 0, 0}, -1}, {{0, 0, 0, 0}, -1},
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.release, release_accepting(row.level))
            << row.level.major << "." << row.level.minor;

    struct Image {
        const char *name;
        std::string bytes;
        PeVerdict verdict;
    } images[] = {
        {"a 32-bit DLL", tiny_image("dll"), PE_LOADABLE},
        {"a 64-bit DLL", tiny_image("dll", 0x8664, 0x2022, 0x20b), PE_OTHER_MACHINE},
        {"a 32-bit program", tiny_image("exe", 0x14c, 0x0102), PE_NOT_A_DLL},
        {"no executable-image flag", tiny_image("obj", 0x14c, 0x2100), PE_NOT_EXECUTABLE},
        {"a PE32+ header on i386", tiny_image("odd", 0x14c, 0x2102, 0x20b), PE_NOT_PE32},
        {"the PE header cut off", tiny_image("cut").substr(0, 100), PE_CUT_SHORT},
        {"the section cut off", tiny_image("cut").substr(0, 0x3ff), PE_CUT_SHORT},
        {"text", "hdi driver 8,1,0,0\n", PE_NOT_AN_IMAGE},
        {"MZ and too little after it", "MZ is not enough", PE_CUT_SHORT},
        {"nothing", "", PE_NOT_AN_IMAGE},
    };
    for (const Image &image : images) {
        unsigned machine = 0;
        const auto *bytes = reinterpret_cast<const unsigned char *>(image.bytes.data());
        EXPECT_EQ(image.verdict,
                  judge_pe_image(bytes, image.bytes.size(), image.bytes.size(), &machine))
            << image.name;
    }
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
