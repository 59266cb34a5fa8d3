// What the installer would do with the kit on a host of a given version.
#pragma once

#include "kit_check.h"

enum HostOutcome {
    HOST_NOT_OFFERED,      // the language dialog does not offer the language
    HOST_INSTALLS,         // every required file is copied and "Success !" is shown
    HOST_REFUSED,          // the DDK message
    HOST_REFUSED_SILENTLY, // the build differs: the run ends without a word
    HOST_FAILS,            // another stop, with its message
};

// The word for the outcome in reports ("refused-silently").
const char *host_outcome_word(HostOutcome outcome);

// The outcome in one language folder; *message is the stop's message for
// HOST_FAILS, else null.
HostOutcome host_outcome(const KitReport &report, int language, HostRelease release,
                         const FourPartVersion &host, const char **message);
