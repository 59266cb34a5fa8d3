// Text-mode rules applied to a binary stream, so every build reads a file
// the same way: CR LF arrives as LF and a byte 26 ends the file. The reader
// and the kit checker's quotes of lines share them; static, so each keeps
// its own copy and the installer's code stays as it is.
#pragma once

#include <stdio.h>

#include "hif_reader.h"

struct TextReader {
    FILE *file;
    bool ended;
};

static int next_text_byte(TextReader *reader) {
    if (reader->ended)
        return EOF;
    int c = getc(reader->file);
    if (c == '\r') {
        int after = getc(reader->file);
        if (after == '\n')
            return '\n';
        if (after != EOF)
            ungetc(after, reader->file);
    }
    if (c == EOF || c == 26) {
        reader->ended = true;
        return EOF;
    }
    return c;
}

// Reads up to 99 bytes, stopping after a line feed. Returns the count read;
// 0 at the end of the file.
static size_t read_piece(TextReader *reader, char line[HIF_LINE_SIZE]) {
    size_t len = 0;
    while (len < HIF_LINE_SIZE - 1) {
        int c = next_text_byte(reader);
        if (c == EOF)
            break;
        line[len++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    line[len] = '\0';
    return len;
}
