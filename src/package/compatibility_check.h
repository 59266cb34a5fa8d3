// Whether the kit's driver may be installed into the chosen product.
#pragma once

#include "compatibility.h"

// 1 when the driver may be installed; 0 after the DDK message, or silently
// when only the build differs.
int check_driver_compatibility(const FourPartVersion &driver_level,
                               const FourPartVersion &host_version);
