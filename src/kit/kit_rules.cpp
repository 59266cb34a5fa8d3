#include "kit_rules.h"

#include <string.h>

#include "../control/package_paths.h"
#include "../control/text.h"
#include "../host/release_rules.h"
#include "../ui/languages.h"

bool language_offered(int language, HostRelease release) {
    for (int i = first_offered_language(release); i < LANGUAGE_COUNT; ++i) {
        if (strcmp(language_folder_for_text(language_display_list[i]),
                   language_folder_table[language]) == 0)
            return true;
    }
    return false;
}

bool release_pinned_minor(HostRelease release, uint16_t *minor) {
    for (const ReleaseRow &row : release_table) {
        if (row.release != release)
            continue;
        if (row.minor == ANY_MINOR)
            return false;
        *minor = static_cast<uint16_t>(row.minor);
        return true;
    }
    return false;
}

int longest_kit_folder(const char *language, HostRelease release, const char *name) {
    // The package folder as the installer builds it, less the kit folder,
    // then the file name the installer opens in it.
    char inside[PATH_BUFFER_SIZE];
    if (!build_package_folder(inside, "", language, release))
        return -1;
    return PATH_BUFFER_SIZE - 1 - static_cast<int>(strlen(inside) + 1 + strlen(name));
}

bool short_name_matches(const char *name, const char *pattern) {
    const char *wanted = strrchr(pattern, '.');
    const char *dot = strrchr(name, '.');
    // A short name's extension is the long one's first three characters.
    const size_t short_extension = 4;
    if (wanted == nullptr || dot == nullptr || dot == name)
        return false;
    size_t wanted_len = strlen(wanted);
    if (wanted_len > short_extension || strlen(dot) <= wanted_len)
        return false;
    char head[8];
    memcpy(head, dot, wanted_len);
    head[wanted_len] = '\0';
    return ascii_equal_nocase(head, wanted);
}

bool join_kit_path(char *out, size_t cap, const char *kit, const char *relative,
                   const char *separator) {
    size_t len = strlen(kit);
    char last = len > 0 ? kit[len - 1] : '\0';
    bool ends_in_separator = last == '/' || last == separator[0];
    const char *between = relative[0] == '\0' || len == 0 || ends_in_separator ? "" : separator;
    return concat_bounded(out, cap, kit, between, relative);
}

bool progress_due(unsigned long now_ms, unsigned long *last_ms) {
    if (now_ms - *last_ms < 1000)
        return false;
    *last_ms = now_ms;
    return true;
}
