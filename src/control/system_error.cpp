#include "system_error.h"

#include <stdio.h>
#include <string.h>

#include "one_line.h"

void system_error_words(DWORD error, char *out, size_t cap) {
    DWORD kept = GetLastError();
    DWORD len = cap > 0 ? FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                         nullptr, error, 0, out, static_cast<DWORD>(cap), nullptr)
                        : 0;
    if (len > 0) {
        // One line: the system's text may break its sentence and ends with one.
        out[len < cap ? len : cap - 1] = '\0';
        one_line(out, cap, out);
        len = static_cast<DWORD>(strlen(out));
        while (len > 0 && (out[len - 1] == ' ' || out[len - 1] == '.'))
            out[--len] = '\0';
    }
    if (len == 0)
        snprintf(out, cap, "Windows error %lu", static_cast<unsigned long>(error));
    SetLastError(kept);
}
