// Release classification and the rules for product keys.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "host/product_key_rules.h"
#include "host/release_rules.h"

TEST(ReleaseRules, ClassifiesByDigitAndMinor) {
    struct Row {
        char digit;
        uint16_t minor;
        ReleaseVerdict verdict;
        HostRelease release;
    } rows[] = {
        {'6', 0, RELEASE_KNOWN, ACAD2000},
        {'6', 9, RELEASE_KNOWN, ACAD2000},
        {'7', 0, RELEASE_KNOWN, ACAD2000i},
        {'7', 1, RELEASE_KNOWN, ACAD2002},
        {'7', 2, REJECT_NOT_APPLICATION, RELEASE_NONE},
        {'7', 65535, REJECT_NOT_APPLICATION, RELEASE_NONE},
        {'8', 0, RELEASE_KNOWN, ACAD2004},
        {'8', 1, RELEASE_KNOWN, ACAD2005},
        {'8', 2, RELEASE_KNOWN, ACAD2006},
        {'8', 3, REJECT_CORRUPTED, RELEASE_NONE},
        {'9', 0, RELEASE_KNOWN, ACAD2007},
        {'9', 1, REJECT_CORRUPTED, RELEASE_NONE},
        {0, 5, RELEASE_KNOWN, RELEASE_NONE},
    };
    for (const Row &row : rows) {
        HostRelease release = ACAD2002;
        EXPECT_EQ(row.verdict, classify_host_release(row.digit, row.minor, &release))
            << row.digit << "." << row.minor;
        EXPECT_EQ(row.release, release) << row.digit << "." << row.minor;
    }
}

static bool apply(ProductRecord *record, const char *name, const std::string &data) {
    return apply_product_value(record, name, data.data(), data.size());
}

TEST(ProductKeyRules, NamesInAnyCaseFillTheRecord) {
    ProductRecord record = {};
    EXPECT_TRUE(apply(&record, "productname", std::string("Acad 2005\0", 10)));
    EXPECT_TRUE(apply(&record, "LOCATION", std::string("C:\\Acad\0", 8)));
    EXPECT_STREQ("Acad 2005", record.product_name);
    EXPECT_STREQ("C:\\Acad", record.location);
    EXPECT_STREQ("C:\\Acad\\drv", record.driver_folder);
    EXPECT_STREQ("C:\\Acad\\help", record.help_folder);

    // The later location value decides all three strings.
    EXPECT_TRUE(apply(&record, "AcadLocation", std::string("D:\\X\0", 5)));
    EXPECT_STREQ("D:\\X\\help", record.help_folder);

    // Other names are passed over, whatever their data.
    EXPECT_TRUE(apply(&record, "Locations", std::string("no terminator")));
    EXPECT_TRUE(apply(&record, "ProductName2", std::string(600, 'x')));
    EXPECT_STREQ("D:\\X", record.location);

    // Empty data is no location: no folder at the root of the current drive.
    EXPECT_TRUE(apply(&record, "Location", std::string("\0", 1)));
    EXPECT_STREQ("", record.location);
    EXPECT_STREQ("", record.driver_folder);
    EXPECT_STREQ("", record.help_folder);
}

TEST(ProductKeyRules, DataThatDoesNotFitFailsTheRead) {
    struct Row {
        const char *name;
        std::string data;
        bool ok;
    } rows[] = {
        {"ProductName", std::string(259, 'n') + '\0', true},
        {"ProductName", std::string(260, 'n') + '\0', false},
        // location\hcregN.dll is the longest path built from a location.
        {"Location", std::string(248, 'l') + '\0', true},
        {"Location", std::string(249, 'l') + '\0', false},
        {"ACADLocation", std::string("C:\\Acad"), false},
        {"ProductName", std::string(), false},
        // Bytes after the first zero are not part of the string.
        {"ProductName", std::string("Name\0rest", 9), true},
    };
    for (const Row &row : rows) {
        ProductRecord record = {};
        EXPECT_EQ(row.ok, apply(&record, row.name, row.data)) << row.name << row.data.size();
        // An accepted location gives its folders whole, never cut short.
        if (row.ok && record.location[0] != '\0') {
            EXPECT_EQ(std::string(record.location) + "\\help", record.help_folder);
        }
    }
}

TEST(ProductKeyRules, KeyPathsAndTheListedProducts) {
    char path[PATH_BUFFER_SIZE];
    ASSERT_TRUE(build_product_key_path(path, "Autodesk\\AutoCAD\\R16.1"));
    EXPECT_STREQ("Software\\Autodesk\\AutoCAD\\R16.1", path);
    ASSERT_TRUE(build_product_key_path(path, ""));
    EXPECT_STREQ("Software\\", path);

    ProductRecord records[5] = {};
    const char *names[] = {"A", "", "C", "D", "A"};
    for (int i = 0; i < 5; ++i) {
        snprintf(records[i].product_name, sizeof records[i].product_name, "%s", names[i]);
        snprintf(records[i].key_name, sizeof records[i].key_name, "key%d", i);
    }
    bool read_ok[] = {true, true, true, false, true};
    ASSERT_EQ(3, keep_listed_products(records, read_ok, 5));
    const char *kept_keys[] = {"key0", "key2", "key4"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(names[i == 0 ? 0 : 2 * i], records[i].product_name);
        EXPECT_STREQ(kept_keys[i], records[i].key_name); // each key stays with its product
    }
}
