// The version split, the kit paths and the text helpers.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "control/one_line.h"
#include "control/package_paths.h"
#include "control/records.h"
#include "control/text.h"

TEST(FourPartVersion, SplitsTheFixedVersionHalves) {
    FourPartVersion v = four_part_version_from_fixed(8u * 65536u + 1u, 0u);
    EXPECT_EQ(8, v.major);
    EXPECT_EQ(1, v.minor);
    EXPECT_EQ(0, v.build);
    EXPECT_EQ(0, v.revision);
    v = four_part_version_from_fixed(0xFFFE0003u, 0x00070009u);
    EXPECT_EQ(0xFFFE, v.major);
    EXPECT_EQ(3, v.minor);
    EXPECT_EQ(7, v.build);
    EXPECT_EQ(9, v.revision);
}

TEST(PackagePaths, WithAndWithoutARelease) {
    char folder[PATH_BUFFER_SIZE];
    char hif[PATH_BUFFER_SIZE];
    ASSERT_TRUE(build_package_folder(folder, "D:\\Kit", "English", ACAD2005));
    EXPECT_STREQ("D:\\Kit\\English\\ACAD2005", folder);
    ASSERT_TRUE(build_hif_path(hif, folder));
    EXPECT_STREQ("D:\\Kit\\English\\ACAD2005\\kap.hif", hif);

    ASSERT_TRUE(build_package_folder(folder, "D:\\Kit", "Deutsch", RELEASE_NONE));
    EXPECT_STREQ("D:\\Kit\\Deutsch\\", folder);
    ASSERT_TRUE(build_hif_path(hif, folder));
    EXPECT_STREQ("D:\\Kit\\Deutsch\\\\kap.hif", hif);
}

TEST(PackagePaths, RefusesWhatWouldNotFitInsteadOfCutting) {
    char folder[PATH_BUFFER_SIZE];
    char hif[PATH_BUFFER_SIZE];
    // "\\English\\ACAD2005" is 17 bytes and "\\kap.hif" 8: 234 + 25 = 259 fits.
    std::string current(234, 'c');
    ASSERT_TRUE(build_package_folder(folder, current.c_str(), "English", ACAD2005));
    ASSERT_TRUE(build_hif_path(hif, folder));
    EXPECT_EQ(259u, std::string(hif).size());

    current.push_back('c');
    ASSERT_TRUE(build_package_folder(folder, current.c_str(), "English", ACAD2005));
    EXPECT_FALSE(build_hif_path(hif, folder));
    EXPECT_STREQ("", hif);

    std::string huge(300, 'x');
    EXPECT_FALSE(build_package_folder(folder, huge.c_str(), "English", ACAD2005));
    EXPECT_STREQ("", folder);
}

TEST(Text, CaseFoldsOnlyAsciiLetters) {
    // equal: ascii_equal_nocase(a, b); starts: a begins with b but for case.
    struct Row {
        const char *a;
        const char *b;
        bool equal;
        bool starts;
    } rows[] = {
        {"ProductName", "productname", true, true},
        {"LOCATION", "Location", true, true},
        {"Location", "Locatio", false, true},
        {"Locatio", "Location", false, false}, // a ends first
        {"\xC9t\xE9", "\xE9t\xE9", false, false},
        {"[", "{", false, false},
        {"Zz", "zZ", true, true}, // both ends of the alphabet fold
        {"Aa", "aA", true, true},
        {"@", "`", false, false},
        {"a@b", "a`b", false, false}, // not one letter in two cases
        {"HeidiVersion=8,0,0,0", "heidiversion", false, true},
        {"", "", true, true},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(row.equal, ascii_equal_nocase(row.a, row.b)) << row.a << " / " << row.b;
        EXPECT_EQ(row.starts, ascii_starts_nocase(row.a, row.b, strlen(row.b)))
            << row.a << " / " << row.b;
    }
}

TEST(Text, OrdersNamesAsNtfsDoes) {
    struct Row {
        const char *a;
        const char *b;
        int sign; // of the order of a before b
    } rows[] = {
        {"kapvx.hdi", "_kapvx.hdi", -1}, // letters fold up, below '_'
        {"KAPVL.HDI", "kapvl.hdi", 0},
        {"a", "B", -1},
        {"ab", "a", 1},
        {"@", "`", -1},
        {"z", "\xE9", -1}, // bytes above 0x7f after ASCII
    };
    for (const Row &row : rows) {
        int order = ascii_compare_nocase(row.a, row.b);
        EXPECT_EQ(row.sign, (order > 0) - (order < 0)) << row.a << " / " << row.b;
    }
}

TEST(Text, OneLineJoinsLinesAndTrimsBlanks) {
    struct Row {
        const char *text;
        size_t cap;
        const char *line;
    } rows[] = {
        {"Hdi file is missing.\nInstallation failed", 64,
         "Hdi file is missing. Installation failed"},
        {"Unexpected error.\n The setup will close.", 64,
         "Unexpected error. The setup will close."},
        {"Access is denied.\r\n", 64, "Access is denied."},
        {"  two  blanks\r\nand a break ", 64, "two blanks and a break"},
        {"cnt file is missing.\n", 64, "cnt file is missing."},
        {"cut here", 5, "cut"},
        {"", 8, ""},
    };
    for (const Row &row : rows) {
        char out[64];
        one_line(out, row.cap, row.text);
        EXPECT_STREQ(row.line, out) << row.text;
        // The same text in place, as the system's words are made one line.
        char same[64];
        snprintf(same, sizeof same, "%s", row.text);
        one_line(same, row.cap, same);
        EXPECT_STREQ(row.line, same) << row.text;
    }
}
