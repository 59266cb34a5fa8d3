// Compares the driver's HEIDI level with the host version.
#include "compatibility.h"

static uint32_t major_minor(const FourPartVersion &v) {
    return (static_cast<uint32_t>(v.major) << 16) | v.minor;
}

CompatibilityVerdict judge_driver_level(const FourPartVersion &driver_level,
                                        const FourPartVersion &host_version) {
    if (major_minor(driver_level) != major_minor(host_version))
        return DRIVER_DDK_MISMATCH;
    if (driver_level.build != host_version.build)
        return DRIVER_BUILD_DIFFERS;
    if (driver_level.revision > host_version.revision)
        return DRIVER_DDK_MISMATCH;
    return DRIVER_FITS;
}
