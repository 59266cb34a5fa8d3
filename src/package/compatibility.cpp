// Compares the driver's HEIDI level with the host version.
#include "compatibility.h"

static uint32_t major_minor(const FourPartVersion &v) {
    return (static_cast<uint32_t>(v.major) << 16) | v.minor;
}

const char ddk_mismatch_message[] =
    "The driver was built with a Driver Development Kit (DDK) more recent \nthan the one used "
    "for the targetted application.In order to install \nthe driver, you must either update "
    "your application to the same \nDDK level or use a less recent driver.\nInstallation failed.";

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
