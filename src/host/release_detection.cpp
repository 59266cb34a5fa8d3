// Release detection: reads the location's host library (host_library) and
// shows the rejections. The release itself is decided by release_rules.
#include "release_detection.h"

#include "../control/platform.h"
#include "../control/run_state.h"
#include "host_library.h"
#include "release_rules.h"

int detect_host_release(const char *location, FourPartVersion *host_version) {
    char digit = read_host_library(location, host_version);
    HostRelease release = RELEASE_NONE;
    switch (classify_host_release(digit, host_version->minor, &release)) {
    case REJECT_NOT_APPLICATION:
        show_message(not_application_message, "Error", MB_ICONERROR);
        return 0;
    case REJECT_CORRUPTED:
        show_message(corrupted_message, "Error", MB_ICONERROR);
        return 0;
    case RELEASE_KNOWN:
        break;
    }
    run_host_release = release;
    return 1;
}
