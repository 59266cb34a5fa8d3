// Case-blind comparison of the ASCII letters only, and bounded concatenation.
#include "text.h"

#include <string.h>

bool ascii_equal_nocase(const char *a, const char *b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (ascii_lower(*a) != ascii_lower(*b))
            return false;
    }
    return *a == *b;
}

bool concat_pieces(char *buffer, size_t cap, const char *const *pieces, size_t count) {
    size_t len = 0;
    for (size_t i = 0; i < count; ++i) {
        size_t add = strlen(pieces[i]);
        if (add >= cap - len) {
            buffer[0] = '\0';
            return false;
        }
        memcpy(buffer + len, pieces[i], add);
        len += add;
    }
    buffer[len] = '\0';
    return true;
}
