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
