// Tells the chosen product's release and HEIDI level from its host library.
#pragma once

#include "../control/records.h"

// 1 when an entry of that name is in the folder itself (an empty folder
// holds nothing: neither the search path nor the current folder is asked).
int probe_file_in_folder(const char *folder, const char *file_name);

// 1 with *version filled from the file's fixed version; 0, untouched, when
// the file has no readable version resource.
int read_version_resource(const char *path, FourPartVersion *version);

// Records the release run-wide and fills the host version; 0 after telling
// the user that the product's library is of an unknown version.
int detect_host_release(const char *location, FourPartVersion *host_version);
