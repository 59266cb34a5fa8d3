// How a host library's digit and version minor field name the release.
#pragma once

#include "../control/records.h"

enum ReleaseVerdict {
    RELEASE_KNOWN,          // *release holds the release (none when no library)
    REJECT_NOT_APPLICATION, // a hcreg7 library of an unknown minor version
    REJECT_CORRUPTED,       // a hcreg8 or hcreg9 library of an unknown minor version
};

// digit is '6'..'9', or 0 when no host library was found.
ReleaseVerdict classify_host_release(char digit, uint16_t minor, HostRelease *release);
