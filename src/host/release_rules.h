// How a host library's digit and version minor field name the release.
#pragma once

#include "../control/records.h"

enum ReleaseVerdict {
    RELEASE_KNOWN,          // *release holds the release (none when no library)
    REJECT_NOT_APPLICATION, // a hcreg7 library of an unknown minor version
    REJECT_CORRUPTED,       // a hcreg8 or hcreg9 library of an unknown minor version
};

enum { ANY_MINOR = -1 };

// One row of the release table: the library digit and the minor field that
// give the release (ANY_MINOR: every minor of that digit).
struct ReleaseRow {
    char digit;
    int minor;
    HostRelease release;
};

enum { RELEASE_ROW_COUNT = 7 };

extern const ReleaseRow release_table[RELEASE_ROW_COUNT];

// The row that names the release, or null for none. Inline: only the
// companions look a release up; the installer classifies.
inline const ReleaseRow *release_row(HostRelease release) {
    for (int i = 0; i < RELEASE_ROW_COUNT; ++i) {
        if (release_table[i].release == release)
            return &release_table[i];
    }
    return nullptr;
}

// digit is '6'..'9', or 0 when no host library was found.
ReleaseVerdict classify_host_release(char digit, uint16_t minor, HostRelease *release);
