// Deployment: searches the kit folder, copies, sets attributes and shows the
// help files' messages; a required file's stop is a fact of the install.
// Which steps run, which found names count and where a file goes is decided
// by deploy_steps.
#include "deployment.h"

#include "../control/install_run.h"
#include "../control/run_state.h"
#include "../control/text.h"
#include "deploy_steps.h"
#include "first_match.h"

// The help files' messages, which do not stop the deployment.
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

// One step's search in the current folder; context holds the found names.
static bool search_current_folder(int step, void *context) {
    char(*names)[MAX_PATH] = static_cast<char(*)[MAX_PATH]>(context);
    return find_first_match(nullptr, deploy_steps[step].pattern, names[step]);
}

int deploy_driver_files(const char *package_folder, const char *driver_folder,
                        const char *help_folder) {
    // The searches are relative: in any other folder they would find the
    // wrong files, so a folder that cannot be entered stops the deployment.
    if (!SetCurrentDirectoryA(package_folder))
        return learn_fact(FACT_DEPLOYMENT, DEPLOY_FOLDER_NOT_ENTERED);
    // Every required file is looked for before anything is copied, so an
    // incomplete kit never leaves a new driver beside old resources.
    char names[DEPLOY_STEP_COUNT][MAX_PATH];
    StepAction actions[DEPLOY_STEP_COUNT];
    run_facts.step = plan_deploy_steps(run_host_release, search_current_folder, names, actions);
    if (run_facts.step >= 0)
        return learn_fact(FACT_DEPLOYMENT, DEPLOY_FILE_MISSING);
    for (int i = 0; i < DEPLOY_STEP_COUNT; ++i) {
        const DeployStep &step = deploy_steps[i];
        if (actions[i] == STEP_MISSING_SAID) {
            deploy_error(step.missing_message);
        } else if (actions[i] == STEP_COPIES &&
                   !copy_into(step.into_help_folder ? help_folder : driver_folder, names[i])) {
            if (step.required) {
                run_facts.step = i;
                return learn_fact(FACT_DEPLOYMENT, DEPLOY_COPY_FAILED);
            }
            deploy_error(step.copy_failed_message);
        }
    }
    return 1;
}
