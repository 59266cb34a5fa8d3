// Which host library a product location holds, and its version: read the
// same way by the installer and by kapdeploy.
#pragma once

#include "../control/records.h"

// The first hcreg digit whose library is in the location itself (0 for none,
// and for an empty location) and that library's file version (0.0.0.0 when
// it has no readable version resource).
char read_host_library(const char *location, FourPartVersion *version);
