// Tells the chosen product's release and HEIDI level from its host library.
#pragma once

#include "../control/records.h"

// Records the release run-wide and fills the host version; 0 after telling
// the user that the product's library is of an unknown version.
int detect_host_release(const char *location, FourPartVersion *host_version);
