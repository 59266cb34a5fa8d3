#include "text.h"

#include <string.h>

static char fold_ascii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ascii_equal_nocase_n(const char *a, size_t a_len, const char *b) {
    size_t i = 0;
    for (; i < a_len; ++i) {
        if (b[i] == '\0' || fold_ascii(a[i]) != fold_ascii(b[i]))
            return false;
    }
    return b[i] == '\0';
}

bool ascii_equal_nocase(const char *a, const char *b) {
    return ascii_equal_nocase_n(a, strlen(a), b);
}

bool append_bounded(char *buffer, size_t cap, size_t *len, const char *text) {
    size_t add = strlen(text);
    if (*len >= cap || add > cap - 1 - *len)
        return false;
    memcpy(buffer + *len, text, add + 1);
    *len += add;
    return true;
}

bool copy_bounded(char *buffer, size_t cap, const char *text) {
    size_t len = 0;
    if (cap > 0)
        buffer[0] = '\0';
    return append_bounded(buffer, cap, &len, text);
}
