// The kit paths of the chosen language and release; a path that would not
// fit is refused, never cut.
#include "package_paths.h"

#include "text.h"

const char hif_file_name[] = "kap.hif";

bool build_package_folder(char out[PATH_BUFFER_SIZE], const char *current_folder,
                          const char *language_folder, HostRelease release) {
    return concat_bounded(out, PATH_BUFFER_SIZE, current_folder, "\\", language_folder, "\\",
                          release_folder_name(release));
}

bool build_hif_path(char out[PATH_BUFFER_SIZE], const char *package_folder) {
    return concat_bounded(out, PATH_BUFFER_SIZE, package_folder, "\\", hif_file_name);
}
