// Reads one key of kap.hif with the text rules of its era, the same on
// every build.
#include "hif_reader.h"

#include <string.h>

#include "../control/text.h"
#include "hif_text.h"

const char driver_level_key[] = "heidiversion";

char *trim_hif_key(char *key_part) {
    while (*key_part == ' ' || *key_part == '\t')
        ++key_part;
    char *end = key_part;
    while (*end != '\0' && *end != ' ' && *end != '\t')
        ++end;
    *end = '\0';
    return key_part;
}

static bool is_skipped_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Leading blanks, an optional sign, then decimal digits; only the low 16 bits
// of the number are kept, so -1 gives 65535.
static uint16_t convert_piece(const char *piece, const char *end) {
    while (piece < end && is_skipped_space(*piece))
        ++piece;
    bool negative = false;
    if (piece < end && (*piece == '+' || *piece == '-')) {
        negative = *piece == '-';
        ++piece;
    }
    uint32_t number = 0;
    for (; piece < end && *piece >= '0' && *piece <= '9'; ++piece)
        number = (number * 10u + static_cast<uint32_t>(*piece - '0')) & 0xFFFFu;
    if (negative)
        number = (0x10000u - number) & 0xFFFFu;
    return static_cast<uint16_t>(number);
}

// The value text runs to the line feed or to the end of the text read.
static void store_values(const char *text, const char *end, uint16_t values[HIF_VALUE_COUNT]) {
    int stored = 0;
    for (;;) {
        const char *piece_end = text;
        while (piece_end < end && *piece_end != ',' && *piece_end != '\n')
            ++piece_end;
        if (stored < HIF_VALUE_COUNT)
            values[stored++] = convert_piece(text, piece_end);
        if (piece_end == end || *piece_end != ',')
            return;
        text = piece_end + 1;
    }
}

// Whether the piece is a line of the key; if so its values are stored.
static bool read_line_values(char line[HIF_LINE_SIZE], size_t len, const char *key,
                             uint16_t values[HIF_VALUE_COUNT]) {
    const char *end = line + len;
    char *equals = line;
    while (equals < end && *equals != '=' && *equals != '\n')
        ++equals;
    if (equals == end || *equals != '=')
        return false;
    *equals = '\0';
    if (!ascii_equal_nocase(trim_hif_key(line), key))
        return false;
    store_values(equals + 1, end, values);
    return true;
}

HifResult hif_read_line(FILE *file, const char *key, uint16_t values[HIF_VALUE_COUNT],
                        char line_read[HIF_LINE_SIZE]) {
    TextReader reader = {file, false};
    char line[HIF_LINE_SIZE];
    size_t len;
    while ((len = read_piece(&reader, line)) > 0) {
        if (line_read != nullptr)
            memcpy(line_read, line, len + 1); // the search below cuts the line
        if (read_line_values(line, len, key, values))
            return HIF_FOUND;
    }
    return HIF_KEY_MISSING;
}

HifResult hif_read_stream(FILE *file, const char *key, uint16_t values[HIF_VALUE_COUNT]) {
    return hif_read_line(file, key, values, nullptr);
}

HifResult hif_read_file(const char *path, const char *key, uint16_t values[HIF_VALUE_COUNT]) {
    FILE *file = fopen(path, "rb");
    if (file == nullptr)
        return HIF_CANNOT_OPEN;
    HifResult result = hif_read_stream(file, key, values);
    fclose(file);
    return result;
}
