// Whether a driver built for one HEIDI level fits the host's.
#pragma once

#include "../control/records.h"

enum CompatibilityVerdict {
    DRIVER_FITS,
    DRIVER_DDK_MISMATCH,  // major/minor differ, or the driver's revision is newer
    DRIVER_BUILD_DIFFERS, // refused without a word
};

CompatibilityVerdict judge_driver_level(const FourPartVersion &driver_level,
                                        const FourPartVersion &host_version);
