// The time zone and folder rules of the log, kept apart from the file calls.
#include "deploy_log_rules.h"

#include <stdio.h>
#include <string.h>

void utc_offset_text(char out[8], long minutes_east) {
    char sign = minutes_east < 0 ? '-' : '+';
    long minutes = minutes_east < 0 ? -minutes_east : minutes_east;
    snprintf(out, 8, "%c%02ld:%02ld", sign, minutes / 60 % 100, minutes % 60);
}

// Where the first folder below the root begins; 0 when the path has none.
static size_t first_folder(const char *path) {
    if (path[0] == '\\' && path[1] == '\\') {
        int separators = 0; // of "\\server\share\"
        for (size_t i = 0; path[i] != '\0'; ++i) {
            if (path[i] == '\\' && ++separators == 4)
                return i + 1;
        }
        return 0;
    }
    if (path[0] != '\0' && path[1] == ':')
        return path[2] == '\\' ? 3 : 2;
    return path[0] == '\\' ? 1 : 0;
}

int folder_ends(const char *path, size_t *ends, int cap) {
    size_t start = first_folder(path);
    if (start == 0 && path[0] == '\\')
        return 0;
    int count = 0;
    for (size_t i = start; path[i] != '\0' && count < cap; ++i) {
        if (path[i] == '\\' && i > start && path[i - 1] != '\\')
            ends[count++] = i;
    }
    return count;
}
