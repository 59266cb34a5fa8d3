#include "package_paths.h"

#include "text.h"

bool build_package_folder(char out[PATH_BUFFER_SIZE], const char *current_folder,
                          const char *language_folder, HostRelease release) {
    size_t len = 0;
    out[0] = '\0';
    if (append_bounded(out, PATH_BUFFER_SIZE, &len, current_folder) &&
        append_bounded(out, PATH_BUFFER_SIZE, &len, "\\") &&
        append_bounded(out, PATH_BUFFER_SIZE, &len, language_folder) &&
        append_bounded(out, PATH_BUFFER_SIZE, &len, "\\") &&
        append_bounded(out, PATH_BUFFER_SIZE, &len, release_folder_name(release)))
        return true;
    out[0] = '\0';
    return false;
}

bool build_hif_path(char out[PATH_BUFFER_SIZE], const char *package_folder) {
    size_t len = 0;
    out[0] = '\0';
    if (append_bounded(out, PATH_BUFFER_SIZE, &len, package_folder) &&
        append_bounded(out, PATH_BUFFER_SIZE, &len, "\\kap.hif"))
        return true;
    out[0] = '\0';
    return false;
}
