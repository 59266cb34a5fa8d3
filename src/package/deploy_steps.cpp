// The five copy steps, and the rules for found names and destinations.
#include "deploy_steps.h"

#include <string.h>

#include "../control/text.h"

const DeployStep deploy_steps[DEPLOY_STEP_COUNT] = {
    {"*.hdi", false, true, false, "Hdi file is missing.\nInstallation failed",
     "Impossible to copy the hdi driver.\nInstallation failed"},
    {"*.drc", false, true, false, "DRC file is missing.\nInstallation failed",
     "Impossible to copy the drc file.\nInstallation failed"},
    {"*.dll", false, true, true, "dll file is missing.\nInstallation failed",
     "Impossible to copy the dll resource.\nInstallation failed"},
    {"*.hlp", true, false, false, "hlp file is missing.\nYou will not be able to install Kap help",
     "Impossible to copy the help file."},
    {"*.cnt", true, false, false, "cnt file is missing.\n", "Impossible to copy the cnt file."},
};

bool deploy_step_runs(const DeployStep &step, HostRelease release) {
    return !step.only_2004_or_later || is_2004_or_later(release);
}

int plan_deploy_steps(HostRelease release, StepSearch search, void *context,
                      StepAction actions[DEPLOY_STEP_COUNT]) {
    int stopped = -1;
    for (int i = 0; i < DEPLOY_STEP_COUNT; ++i) {
        const DeployStep &step = deploy_steps[i];
        if (stopped >= 0 || !deploy_step_runs(step, release))
            actions[i] = STEP_SKIPPED;
        else if (search(i, context))
            actions[i] = STEP_COPIES;
        else
            actions[i] = step.required ? STEP_STOPS : STEP_MISSING_SAID;
        if (actions[i] == STEP_STOPS)
            stopped = i;
    }
    return stopped;
}

bool long_name_matches(const char *found_name, const char *pattern) {
    const char *extension = strrchr(pattern, '.');
    if (extension == nullptr)
        return true;
    size_t name_len = strlen(found_name);
    size_t ext_len = strlen(extension);
    if (name_len < ext_len)
        return false;
    return ascii_equal_nocase(found_name + name_len - ext_len, extension);
}

bool compose_destination(char out[PATH_BUFFER_SIZE], const char *folder, const char *name) {
    if (folder[0] == '\0') {
        out[0] = '\0';
        return false;
    }
    return concat_bounded(out, PATH_BUFFER_SIZE, folder, "\\", name);
}
