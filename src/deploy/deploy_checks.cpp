// The installer's checks for one product, turned into outcomes and words.
#include "deploy_checks.h"

#include <stdio.h>
#include <string.h>

#include "../control/install_stops.h"
#include "../control/one_line.h"
#include "../control/package_paths.h"
#include "../host/release_rules.h"
#include "../package/compatibility.h"
#include "../package/hif_reader.h"
#include "../ui/languages.h"
#include "deploy_command.h"

static bool refuse(ProductJudgement *judgement, const char *text) {
    one_line(judgement->reason, REASON_SIZE, text);
    return false;
}

// The installer's text, then the file it is about, which its dialog leaves
// to the reader's guess.
static bool refuse_file(ProductJudgement *judgement, const char *text, const char *path) {
    refuse(judgement, text);
    size_t len = strlen(judgement->reason);
    snprintf(judgement->reason + len, REASON_SIZE - len, " (%s)", path);
    return false;
}

static bool goes_on(const ProductFacts &facts) {
    return first_stop(facts) == STOP_GO_ON;
}

bool judge_product(char digit, const FourPartVersion &host_version, const char *kit_folder,
                   const char *language_folder, ProductJudgement *judgement) {
    *judgement = ProductJudgement{RELEASE_NONE, {0, 0, 0, 0}, false, "", ""};
    ProductFacts facts = no_facts;
    facts.value[FACT_RELEASE] =
        classify_host_release(digit, host_version.minor, &judgement->release);
    int language = language_named(language_folder);
    bool offered = language >= 0 && language_offered(language, judgement->release);
    facts.value[FACT_LANGUAGE] = offered ? LANGUAGE_CHOSEN : LANGUAGE_NOT_CHOSEN;
    char hif_path[PATH_BUFFER_SIZE] = "";
    if (goes_on(facts)) {
        bool fit = build_package_folder(judgement->package_folder, kit_folder, language_folder,
                                        judgement->release) &&
                   build_hif_path(hif_path, judgement->package_folder);
        facts.value[FACT_PATHS] = fit ? PATHS_FIT : PATHS_TOO_LONG;
    }
    uint16_t level[HIF_VALUE_COUNT] = {0, 0, 0, 0};
    if (goes_on(facts))
        facts.value[FACT_HIF] = hif_read_file(hif_path, driver_level_key, level);
    if (goes_on(facts)) {
        judgement->driver_level = FourPartVersion{level[0], level[1], level[2], level[3]};
        judgement->level_read = true;
        facts.value[FACT_LEVEL] = judge_driver_level(judgement->driver_level, host_version);
    }
    // The installer's own text, but kapdeploy's words where the dialog says
    // nothing or would mislead a fleet's log: the language that cannot be
    // chosen, the kit's own path, the silent build; and the kap.hif read.
    InstallStop stop = first_stop(facts);
    switch (stop) {
    case STOP_GO_ON:
        return true;
    case STOP_NO_LANGUAGE:
        snprintf(judgement->reason, REASON_SIZE,
                 "the installer does not offer %s for this release (only for 2004 and later)",
                 language_folder);
        return false;
    case STOP_PATH_TOO_LONG:
        return refuse(judgement, "the kit folder's path is too long for the installer");
    case STOP_HIF_CANNOT_OPEN:
    case STOP_HIF_KEY_MISSING:
        return refuse_file(judgement, stop_text(stop, facts.step), hif_path);
    case STOP_BUILD_DIFFERS:
        return refuse(judgement, "the driver's build differs from the host's (the installer "
                                 "stops here without a word)");
    default:
        return refuse(judgement, stop_text(stop, facts.step));
    }
}

int combine_exit_code(const ProductOutcome *outcomes, int count) {
    bool in_use = false;
    bool failed = false;
    int present = 0;
    for (int i = 0; i < count; ++i) {
        failed = failed || outcomes[i] == OUTCOME_REFUSED || outcomes[i] == OUTCOME_FAILED;
        in_use = in_use || outcomes[i] == OUTCOME_IN_USE;
        present += outcomes[i] == OUTCOME_ABSENT ? 0 : 1;
    }
    // A tool retries 1618 only: the retry finishes the held product, and
    // the run after it reports the refusal.
    if (in_use)
        return EXIT_TRY_AGAIN;
    return failed || present == 0 ? EXIT_INSTALL_FAILURE : EXIT_DEPLOY_OK;
}

int nothing_there_exit_code(DeployAction action) {
    switch (action) {
    case ACTION_INSTALL:
        return EXIT_INSTALL_FAILURE;
    case ACTION_DETECT:
        return EXIT_NOT_DETECTED;
    case ACTION_REMOVE:
    case ACTION_LIST:
    case ACTION_HELP:
    case ACTION_VERSION:
        break;
    }
    return EXIT_DEPLOY_OK;
}

int detect_exit_code(const ProductOutcome *outcomes, int count) {
    int installed = 0;
    for (int i = 0; i < count; ++i) {
        if (outcomes[i] == OUTCOME_DONE)
            ++installed;
        else if (outcomes[i] != OUTCOME_ABSENT)
            return EXIT_NOT_DETECTED;
    }
    return installed > 0 ? EXIT_DEPLOY_OK : EXIT_NOT_DETECTED;
}

const char *release_words(HostRelease release) {
    return release == RELEASE_NONE ? "no hcreg6.dll to hcreg9.dll (release unknown)"
                                   : release_folder_name(release);
}
