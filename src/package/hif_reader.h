// Reads one key's values from a kit's installation information file.
#pragma once

#include <stdint.h>
#include <stdio.h>

enum HifResult {
    HIF_FOUND,       // the values of the first line with the key were stored
    HIF_CANNOT_OPEN, // the file could not be opened
    HIF_KEY_MISSING, // no line carries the key
};

enum { HIF_VALUE_COUNT = 4 };

// Lines are read in pieces of at most 99 bytes, as the kit format allows.
enum { HIF_LINE_SIZE = 100 };

// The key whose values are the driver level.
extern const char driver_level_key[];

// Values the line does not give keep what they held before.
HifResult hif_read_file(const char *path, const char *key, uint16_t values[HIF_VALUE_COUNT]);

// The same over an open stream (read as binary; the text rules are ours).
HifResult hif_read_stream(FILE *file, const char *key, uint16_t values[HIF_VALUE_COUNT]);

// The same, also giving the piece of the line whose values were stored, as
// it was read (line feed included).
HifResult hif_read_line(FILE *file, const char *key, uint16_t values[HIF_VALUE_COUNT],
                        char line_read[HIF_LINE_SIZE]);

// Skips leading blanks and ends the key at the next blank, in place.
char *trim_hif_key(char *key_part);
