// A folder's driver level against the hosts of its release, and what
// kapkit asks of the installer's release table: every walk of that table
// for kapkit is made here.
#pragma once

#include "../control/records.h"

// The release of a host whose library is hcregN.dll with N the major
// field, by the installer's release table; false when no release is.
bool host_version_release(const FourPartVersion &version, HostRelease *release);

// Whether some host of the release accepts the level: its library hcregN.dll
// carries the major N and, but for ACAD2000, the release's minor, with any
// build and revision.
bool release_accepts(HostRelease release, const FourPartVersion &level);

// The release (0 for ACAD2000 .. 6) whose hosts accept the level; -1 for none.
int release_accepting(const FourPartVersion &level);

// How a heidiversion value is written, beside how the installer reads it.
enum LevelWriting {
    WRITTEN_PLAIN,     // four decimal numbers from 0 to 65535
    WRITTEN_DOTS,      // dots where commas belong
    WRITTEN_QUOTE,     // a quote around or in the numbers
    WRITTEN_SIGN,      // a + or - starting a piece, which is read as a sign
    WRITTEN_TOO_LARGE, // a number above 65535, of which the low 16 bits are kept
    WRITTEN_OTHER,     // a piece that is not a number (empty, or with other text)
    WRITTEN_FEW,       // fewer than four numbers: the rest read as 0
    WRITTEN_EXTRA,     // more than four numbers: the rest are not read
};

// line is a heidiversion line as read and read the level taken from it.
// *meant is what a person may read in the line (each run of digits a
// number, an empty piece a 0), or read where no guess is sound (a sign);
// it only words a finding, never decides one.
LevelWriting judge_level_writing(const char *line, const FourPartVersion &read,
                                 FourPartVersion *meant);
