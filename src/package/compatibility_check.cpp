// The compatibility check as the run calls it: the verdict is a fact of the
// install, and judge_driver_level's.
#include "compatibility_check.h"

#include "../control/install_run.h"

int check_driver_compatibility(const FourPartVersion &driver_level,
                               const FourPartVersion &host_version) {
    return learn_fact(FACT_LEVEL, judge_driver_level(driver_level, host_version));
}
