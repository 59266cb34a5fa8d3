#include "system_error.h"

#include <stdio.h>
#include <string.h>

void system_error_words(DWORD error, char *out, size_t cap) {
    DWORD kept = GetLastError();
    DWORD len = cap > 0 ? FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                         nullptr, error, 0, out, static_cast<DWORD>(cap), nullptr)
                        : 0;
    // One line: the system's text may break its sentence and ends with one.
    size_t kept_len = 0;
    for (DWORD i = 0; i < len; ++i) {
        char c = out[i] == '\r' || out[i] == '\n' ? ' ' : out[i];
        if (c == ' ' && (kept_len == 0 || out[kept_len - 1] == ' '))
            continue;
        out[kept_len++] = c;
    }
    while (kept_len > 0 && (out[kept_len - 1] == ' ' || out[kept_len - 1] == '.'))
        --kept_len;
    if (kept_len == 0)
        snprintf(out, cap, "Windows error %lu", static_cast<unsigned long>(error));
    else
        out[kept_len] = '\0';
    SetLastError(kept);
}
