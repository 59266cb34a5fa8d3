// The kit search: FindFirstFileA, then the long names checked one by one.
#include "first_match.h"

#include "../control/text.h"
#include "deploy_steps.h"

bool find_first_match(const char *folder, const char *pattern, char name[MAX_PATH]) {
    char in_folder[MAX_PATH];
    const char *search_path = pattern;
    if (folder != nullptr) {
        if (!concat_bounded(in_folder, MAX_PATH, folder, "\\", pattern))
            return false;
        search_path = in_folder;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(search_path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool matched = false;
    do {
        matched = long_name_matches(found.cFileName, pattern);
    } while (!matched && FindNextFileA(search, &found));
    FindClose(search);
    return matched && concat_bounded(name, MAX_PATH, found.cFileName);
}
