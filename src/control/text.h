// Byte-string helpers shared by the portable code.
#pragma once

#include <stddef.h>

// A reason in words, as the companion programs give one: room for the
// installer's longest message and a few names escaped byte by byte.
enum { REASON_SIZE = 4096 };

// Equal when the strings differ at most in the case of the ASCII letters A-Z;
// every other byte must match, whatever the code page.
bool ascii_equal_nocase(const char *a, const char *b);

// Writes the pieces one after another into a buffer of cap bytes. False, and
// an empty buffer, when they do not fit: a path is never cut short.
bool concat_pieces(char *buffer, size_t cap, const char *const *pieces, size_t count);

template <typename... Pieces> bool concat_bounded(char *buffer, size_t cap, Pieces... pieces) {
    const char *const list[] = {pieces...};
    return concat_pieces(buffer, cap, list, sizeof...(pieces));
}
