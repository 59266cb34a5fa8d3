// Where the driver build for the chosen language and release lies in the kit.
#pragma once

#include "records.h"

// Whether the kit paths could be built from the current folder.
enum PathsVerdict {
    PATHS_FIT,
    PATHS_NO_CURRENT_FOLDER, // the platform does not tell the current folder
    PATHS_TOO_LONG,          // a path would not fit a path buffer
};

// current\language\release, or current\language\ when no release is known.
// False when the result would not fit a path buffer.
bool build_package_folder(char out[PATH_BUFFER_SIZE], const char *current_folder,
                          const char *language_folder, HostRelease release);

// The kit's information file in every package folder.
extern const char hif_file_name[];

// package\kap.hif. False when it would not fit a path buffer.
bool build_hif_path(char out[PATH_BUFFER_SIZE], const char *package_folder);
