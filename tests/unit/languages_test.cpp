// The languages offered, the folder a shown text names, and centring.
#include <gtest/gtest.h>

#include "ui/centring.h"
#include "ui/languages.h"

TEST(Languages, FirstOfferedEntryFollowsTheRelease) {
    struct Row {
        HostRelease release;
        int first;
    } rows[] = {{RELEASE_NONE, 3}, {ACAD2000, 3}, {ACAD2000i, 3}, {ACAD2002, 3},
                {ACAD2004, 0},     {ACAD2005, 0}, {ACAD2006, 0},  {ACAD2007, 0}};
    for (const Row &row : rows)
        EXPECT_EQ(row.first, first_offered_language(row.release)) << row.release;
}

TEST(Languages, ShownTextToFolder) {
    struct Row {
        const char *shown;
        const char *folder;
    } rows[] = {
        {"Modern Chinese", "ChineseS"},
        {"Traditional Chinese", "ChineseT"},
        {"MODERN CHINESE", "ChineseS"},
        {"traditional chinese", "ChineseT"},
        {"Cesky", "Cesky"},
        {"Deutsch", "Deutsch"},
        {"Modern  Chinese", "Modern  Chinese"},
    };
    for (const Row &row : rows)
        EXPECT_STREQ(row.folder, language_folder_for_text(row.shown)) << row.shown;
}

TEST(Centring, HalvesTheRoomLeftTruncatingTowardZero) {
    struct Row {
        long desk_w, desk_h, w, h, x, y;
    } rows[] = {
        {1024, 768, 411, 370, 306, 199},
        {1024, 768, 1029, 773, -2, -2}, // an excess of 5 gives -2, not -3
        {1024, 768, 1024, 768, 0, 0},
        {800, 600, 200, 100, 300, 250},
    };
    for (const Row &row : rows) {
        ScreenPoint p = centred_position(row.desk_w, row.desk_h, row.w, row.h);
        EXPECT_EQ(row.x, p.x) << row.w;
        EXPECT_EQ(row.y, p.y) << row.h;
    }
}
