// Release detection: reads the location's host library (host_library) and
// records the release. The release itself is decided by release_rules.
#include "release_detection.h"

#include "../control/install_run.h"
#include "../control/run_state.h"
#include "host_library.h"
#include "release_rules.h"

int detect_host_release(const char *location, FourPartVersion *host_version) {
    char digit = read_host_library(location, host_version);
    // A rejected library leaves the release none.
    return learn_fact(FACT_RELEASE,
                      classify_host_release(digit, host_version->minor, &run_host_release));
}
