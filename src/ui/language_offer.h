// Which language folders the language dialog offers for a release, told
// from its own tables for the programs that show no dialog.
#pragma once

#include "../control/records.h"

// Whether the installer offers the language folder (an index into the
// language folder table) for the release.
bool language_offered(int language, HostRelease release);
