#include "kit_hosts.h"

#include <stdlib.h>

#include "../package/compatibility.h"

const char *host_outcome_word(HostOutcome outcome) {
    static const char *const words[] = {"not-offered", "installs", "refused", "refused-silently",
                                        "fails"};
    return words[outcome];
}

bool parse_host_version(const char *text, FourPartVersion *version) {
    uint16_t fields[4];
    for (int i = 0; i < 4; ++i) {
        if (*text < '0' || *text > '9')
            return false;
        unsigned long number = 0;
        for (int digits = 0; *text >= '0' && *text <= '9'; ++text, ++digits) {
            number = number * 10 + static_cast<unsigned long>(*text - '0');
            if (number > 65535 || digits > 5)
                return false;
        }
        fields[i] = static_cast<uint16_t>(number);
        if (*text != (i < 3 ? '.' : '\0'))
            return false;
        if (i < 3)
            ++text;
    }
    *version = {fields[0], fields[1], fields[2], fields[3]};
    return true;
}

HostOutcome host_outcome(const KitReport &report, int language, HostRelease release,
                         const FourPartVersion &host, const char **message) {
    *message = nullptr;
    if (!language_offered(language, release))
        return HOST_NOT_OFFERED;
    const FolderRun &run = report.runs[language][release_index(release)];
    if (run.before_level != nullptr) {
        *message = run.before_level;
        return HOST_FAILS;
    }
    switch (judge_driver_level(run.level, host)) {
    case DRIVER_DDK_MISMATCH:
        return HOST_REFUSED;
    case DRIVER_BUILD_DIFFERS:
        return HOST_REFUSED_SILENTLY;
    case DRIVER_FITS:
        break;
    }
    *message = run.after_level;
    return run.after_level != nullptr ? HOST_FAILS : HOST_INSTALLS;
}
