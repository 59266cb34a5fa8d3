// Byte-string helpers shared by the portable code.
#pragma once

#include <stddef.h>

// A reason in words, as the companion programs give one: room for the
// installer's longest message and a few names escaped byte by byte.
enum { REASON_SIZE = 4096 };

// The case fold of the ASCII letters alone, whatever the code page: every
// other byte stays as it is. Comparing for equality may fold either way;
// an order must say which, and NTFS orders names folded to upper case, so
// that '_' sorts after the letters.
inline char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline char ascii_upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Equal when the strings differ at most in the case of the ASCII letters A-Z;
// every other byte must match, whatever the code page.
bool ascii_equal_nocase(const char *a, const char *b);

// Whether text begins with the first len bytes of prefix, but for the case
// of letters.
inline bool ascii_starts_nocase(const char *text, const char *prefix, size_t len) {
    for (size_t i = 0; i < len; ++i) {
        if (text[i] == '\0' || ascii_lower(text[i]) != ascii_lower(prefix[i]))
            return false;
    }
    return true;
}

// NTFS's order of names: bytes compared unsigned, letters folded to upper
// case. Negative, 0 or positive, as strcmp.
inline int ascii_compare_nocase(const char *a, const char *b) {
    size_t i = 0;
    while (a[i] != '\0' && ascii_upper(a[i]) == ascii_upper(b[i]))
        ++i;
    return static_cast<unsigned char>(ascii_upper(a[i])) -
           static_cast<unsigned char>(ascii_upper(b[i]));
}

// Writes the pieces one after another into a buffer of cap bytes. False, and
// an empty buffer, when they do not fit: a path is never cut short.
bool concat_pieces(char *buffer, size_t cap, const char *const *pieces, size_t count);

template <typename... Pieces> bool concat_bounded(char *buffer, size_t cap, Pieces... pieces) {
    const char *const list[] = {pieces...};
    return concat_pieces(buffer, cap, list, sizeof...(pieces));
}
