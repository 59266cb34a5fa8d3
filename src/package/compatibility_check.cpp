// The compatibility check as the run calls it: shows the DDK message. The
// verdict is judge_driver_level's.
#include "compatibility_check.h"

#include "../control/platform.h"

int check_driver_compatibility(const FourPartVersion &driver_level,
                               const FourPartVersion &host_version) {
    switch (judge_driver_level(driver_level, host_version)) {
    case DRIVER_FITS:
        return 1;
    case DRIVER_BUILD_DIFFERS:
        return 0;
    case DRIVER_DDK_MISMATCH:
        break;
    }
    show_message(ddk_mismatch_message, "Error", MB_ICONERROR);
    return 0;
}
