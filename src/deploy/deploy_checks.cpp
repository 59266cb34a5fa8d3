// The installer's checks for one product, turned into outcomes and words.
#include "deploy_checks.h"

#include <stdio.h>
#include <string.h>

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

bool judge_product(char digit, const FourPartVersion &host_version, const char *kit_folder,
                   const char *language_folder, ProductJudgement *judgement) {
    *judgement = ProductJudgement{RELEASE_NONE, {0, 0, 0, 0}, false, "", ""};
    switch (classify_host_release(digit, host_version.minor, &judgement->release)) {
    case REJECT_NOT_APPLICATION:
        return refuse(judgement, not_application_message);
    case REJECT_CORRUPTED:
        return refuse(judgement, corrupted_message);
    case RELEASE_KNOWN:
        break;
    }
    int language = language_named(language_folder);
    if (language < 0 || !language_offered(language, judgement->release)) {
        snprintf(judgement->reason, REASON_SIZE,
                 "the installer does not offer %s for this release (only for 2004 and later)",
                 language_folder);
        return false;
    }
    char hif_path[PATH_BUFFER_SIZE];
    if (!build_package_folder(judgement->package_folder, kit_folder, language_folder,
                              judgement->release) ||
        !build_hif_path(hif_path, judgement->package_folder))
        return refuse(judgement, "the kit folder's path is too long for the installer");
    uint16_t level[HIF_VALUE_COUNT] = {0, 0, 0, 0};
    switch (hif_read_file(hif_path, driver_level_key, level)) {
    case HIF_CANNOT_OPEN:
        return refuse_file(judgement, hif_cannot_open_message, hif_path);
    case HIF_KEY_MISSING:
        return refuse_file(judgement, hif_key_missing_message, hif_path);
    case HIF_FOUND:
        break;
    }
    judgement->driver_level = FourPartVersion{level[0], level[1], level[2], level[3]};
    judgement->level_read = true;
    switch (judge_driver_level(judgement->driver_level, host_version)) {
    case DRIVER_DDK_MISMATCH:
        return refuse(judgement, ddk_mismatch_message);
    case DRIVER_BUILD_DIFFERS:
        return refuse(judgement, "the driver's build differs from the host's (the installer "
                                 "stops here without a word)");
    case DRIVER_FITS:
        break;
    }
    return true;
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
