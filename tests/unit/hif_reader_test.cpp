// The HIF reader over files written byte for byte.
#include <gtest/gtest.h>

#include <stdio.h>
#include <unistd.h>

#include <string>

#include "package/hif_reader.h"

namespace {

// Writes the bytes to a file of its own and reads "heidiversion" from it.
HifResult read_bytes(const std::string &bytes, uint16_t values[4]) {
    char path[] = "/tmp/kap_hif_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(static_cast<ssize_t>(bytes.size()), write(fd, bytes.data(), bytes.size()));
    close(fd);
    HifResult result = hif_read_file(path, "heidiversion", values);
    unlink(path);
    return result;
}

const uint16_t U = 7777; // a field the line left unwritten

struct Row {
    const char *what;
    std::string file;
    HifResult result;
    uint16_t values[4];
};

const std::string long_line = std::string(150, 'x') + "=1\n";

const Row rows[] = {
    {"plain", "heidiversion=8,1,0,0\n", HIF_FOUND, {8, 1, 0, 0}},
    {"key in capitals", "HEIDIVERSION=1,2,3,4\n", HIF_FOUND, {1, 2, 3, 4}},
    {"mixed case among other lines",
     "[Driver]\nname=Kap\nHeidiVersion=9,0,1,2\n",
     HIF_FOUND,
     {9, 0, 1, 2}},
    {"blanks around key and values",
     " \t heidiversion \t= 8 , 2 ,\t3 , 4 \n",
     HIF_FOUND,
     {8, 2, 3, 4}},
    {"text after a blank behind the key", "heidiversion level=5,6,7,8\n", HIF_FOUND, {5, 6, 7, 8}},
    {"other text before the key", "the heidiversion=5,6,7,8\n", HIF_KEY_MISSING, {U, U, U, U}},
    {"CR LF line ends", "a=b\r\nheidiversion=1,2,3,4\r\n", HIF_FOUND, {1, 2, 3, 4}},
    {"a lone CR is a blank of the piece", "heidiversion=1\r,2,3,4\n", HIF_FOUND, {1, 2, 3, 4}},
    {"blanks before a value are skipped, a CR among them",
     "heidiversion=\r8,\v1,\f2, \t3\n",
     HIF_FOUND,
     {8, 1, 2, 3}},
    {"Ctrl-Z ends the file", "x=1\n\x1aheidiversion=1,2,3,4\n", HIF_KEY_MISSING, {U, U, U, U}},
    {"Ctrl-Z ends the last line", "heidiversion=1,2\x1a,3,4\n", HIF_FOUND, {1, 2, U, U}},
    {"a long line before the key", long_line + "heidiversion=4,3,2,1\n", HIF_FOUND, {4, 3, 2, 1}},
    {"a piece of a long line forming the key",
     std::string(99, 'x') + "heidiversion=6,6,6,6\nheidiversion=1,1,1,1\n",
     HIF_FOUND,
     {6, 6, 6, 6}},
    {"only the first matching line",
     "heidiversion=1,2,3,4\nheidiversion=5,6,7,8\n",
     HIF_FOUND,
     {1, 2, 3, 4}},
    {"a line beginning with =", "=1,2,3,4\n", HIF_KEY_MISSING, {U, U, U, U}},
    {"key and = alone", "heidiversion=\n", HIF_FOUND, {0, U, U, U}},
    {"three commas", "heidiversion=,,,\n", HIF_FOUND, {0, 0, 0, 0}},
    {"minus one and 65537", "heidiversion=-1,65537,+12,-0\n", HIF_FOUND, {65535, 1, 12, 0}},
    {"more than four values", "heidiversion=1,2,3,4,5,6\n", HIF_FOUND, {1, 2, 3, 4}},
    {"last line without a line feed", "x=1\nheidiversion=8,0,4,2", HIF_FOUND, {8, 0, 4, 2}},
    {"leading digits of other text",
     "heidiversion=12abc,x7,  -3z,1 2\n",
     HIF_FOUND,
     {12, 0, 65533, 1}},
    {"a further = is part of its piece", "heidiversion=1=2,3\n", HIF_FOUND, {1, 3, U, U}},
    {"a long piece converts from all its digits",
     "heidiversion=0000000000000000000000009,1\n",
     HIF_FOUND,
     {9, 1, U, U}},
    {"a long key part is compared in full",
     "heidiversionheidiversion=1,2,3,4\n",
     HIF_KEY_MISSING,
     {U, U, U, U}},
    {"no = on the key line", "heidiversion 1,2,3,4\n", HIF_KEY_MISSING, {U, U, U, U}},
    {"empty file", "", HIF_KEY_MISSING, {U, U, U, U}},
    {"zero bytes inside",
     std::string("a\0b=1\nheidiversion=3,\0 4\n", 26),
     HIF_FOUND,
     {3, 0, U, U}},
};

} // namespace

TEST(HifReader, ReadsTheFirstLineOfTheKey) {
    for (const Row &row : rows) {
        uint16_t values[4] = {U, U, U, U};
        EXPECT_EQ(row.result, read_bytes(row.file, values)) << row.what;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(row.values[i], values[i]) << row.what << " value " << i;
    }
}

TEST(HifReader, AMissingFileCannotBeOpened) {
    uint16_t values[4] = {U, U, U, U};
    EXPECT_EQ(HIF_CANNOT_OPEN, hif_read_file("/nonexistent/kap.hif", "heidiversion", values));
    EXPECT_EQ(U, values[0]);
}

TEST(HifReader, TrimsTheKeyPart) {
    struct Row {
        const char *part;
        const char *key;
    } rows[] = {{"  \theidiversion", "heidiversion"},
                {"heidiversion  more words", "heidiversion"},
                {"", ""},
                {"   ", ""},
                {"a\tb", "a"}};
    for (const Row &row : rows) {
        std::string copy = row.part;
        EXPECT_STREQ(row.key, trim_hif_key(&copy[0])) << row.part;
    }
}
