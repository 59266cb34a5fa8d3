#include "kit_hosts.h"

#include <stdlib.h>

#include "../control/install_stops.h"
#include "../control/package_paths.h"
#include "../host/release_rules.h"
#include "../package/compatibility.h"

const char *host_outcome_word(HostOutcome outcome) {
    static const char *const words[] = {"not-offered", "installs", "refused", "refused-silently",
                                        "fails"};
    return words[outcome];
}

HostOutcome host_outcome(const KitReport &report, int language, HostRelease release,
                         const FourPartVersion &host, const char **message) {
    *message = nullptr;
    // The host's release is known, and where the kit sits is the user's.
    const FolderRun &run = report.runs[language][release_index(release)];
    ProductFacts facts = no_facts;
    facts.value[FACT_RELEASE] = RELEASE_KNOWN;
    facts.value[FACT_LANGUAGE] =
        language_offered(language, release) ? LANGUAGE_CHOSEN : LANGUAGE_NOT_CHOSEN;
    facts.value[FACT_PATHS] = PATHS_FIT;
    facts.value[FACT_HIF] = run.hif;
    facts.value[FACT_LEVEL] = judge_driver_level(run.level, host);
    facts.value[FACT_DEPLOYMENT] = run.deployment;
    facts.step = run.step;
    InstallStop stop = first_stop(facts);
    switch (stop) {
    case STOP_NO_LANGUAGE:
        return HOST_NOT_OFFERED;
    case STOP_DDK_MISMATCH:
        return HOST_REFUSED;
    case STOP_BUILD_DIFFERS:
        return HOST_REFUSED_SILENTLY;
    case STOP_SUCCESS:
        return HOST_INSTALLS;
    default:
        *message = stop_text(stop, facts.step);
        return HOST_FAILS;
    }
}
