// Deployment: searches the kit folder, copies, sets attributes and shows each
// step's message. Which steps run, which found names count and where a file
// goes is decided by deploy_steps.
#include "deployment.h"

#include "../control/platform.h"
#include "../control/run_state.h"
#include "../control/text.h"
#include "deploy_steps.h"
#include "first_match.h"

static void deploy_error(const char *text) {
    show_message(text, "Error", MB_ICONERROR);
}

static bool copy_into(const char *folder, const char *name) {
    char destination[MAX_PATH];
    if (!compose_destination(destination, folder, name))
        return false;
    SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
    if (!CopyFileA(name, destination, FALSE))
        return false;
    SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
    return true;
}

int deploy_driver_files(const char *package_folder, const char *driver_folder,
                        const char *help_folder) {
    // The searches are relative: in any other folder they would find the
    // wrong files, so a folder that cannot be entered stops the deployment.
    if (!SetCurrentDirectoryA(package_folder)) {
        deploy_error(deploy_steps[0].copy_failed_message);
        return 0;
    }
    char names[DEPLOY_STEP_COUNT][MAX_PATH];
    bool runs[DEPLOY_STEP_COUNT];
    bool found[DEPLOY_STEP_COUNT];
    // Every required file is looked for before anything is copied, so an
    // incomplete kit never leaves a new driver beside old resources.
    for (int i = 0; i < DEPLOY_STEP_COUNT; ++i) {
        const DeployStep &step = deploy_steps[i];
        runs[i] = deploy_step_runs(step, run_host_release);
        found[i] = runs[i] && find_first_match(nullptr, step.pattern, names[i], nullptr);
        if (runs[i] && step.required && !found[i]) {
            deploy_error(step.missing_message);
            return 0;
        }
    }
    for (int i = 0; i < DEPLOY_STEP_COUNT; ++i) {
        const DeployStep &step = deploy_steps[i];
        if (!runs[i])
            continue;
        if (!found[i]) {
            deploy_error(step.missing_message);
        } else if (!copy_into(step.into_help_folder ? help_folder : driver_folder, names[i])) {
            deploy_error(step.copy_failed_message);
            if (step.required)
                return 0;
        }
    }
    return 1;
}
