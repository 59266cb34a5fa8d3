#include "one_line.h"

void one_line(char *out, size_t cap, const char *text) {
    if (cap == 0)
        return;
    size_t len = 0;
    for (; *text != '\0' && len + 1 < cap; ++text) {
        char c = *text == '\r' || *text == '\n' ? ' ' : *text;
        if (c == ' ' && (len == 0 || out[len - 1] == ' '))
            continue;
        out[len++] = c;
    }
    while (len > 0 && out[len - 1] == ' ')
        --len;
    out[len] = '\0';
}
