// Byte-string helpers shared by the portable code.
#pragma once

#include <stddef.h>

// Equal when the strings differ at most in the case of the ASCII letters A-Z;
// every other byte must match, whatever the code page.
bool ascii_equal_nocase(const char *a, const char *b);

// Appends text at *len in a buffer of cap bytes, keeping it zero-terminated.
// Returns false, leaving the buffer as it was, when the text does not fit.
bool append_bounded(char *buffer, size_t cap, size_t *len, const char *text);

// Copies text into a buffer of cap bytes; false (and an empty buffer) when it
// does not fit.
bool copy_bounded(char *buffer, size_t cap, const char *text);
