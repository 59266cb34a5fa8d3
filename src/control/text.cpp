#include "text.h"

#include <string.h>

static char fold_ascii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ascii_equal_nocase(const char *a, const char *b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (fold_ascii(*a) != fold_ascii(*b))
            return false;
    }
    return *a == *b;
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
