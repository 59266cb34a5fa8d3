// The files a deployment copies, in the order it copies them.
#pragma once

#include <stddef.h>

#include "../control/records.h"

struct DeployStep {
    const char *pattern;
    bool into_help_folder;
    bool required;
    bool only_2004_or_later;
    const char *missing_message;
    const char *copy_failed_message;
};

enum { DEPLOY_STEP_COUNT = 5 };

extern const DeployStep deploy_steps[DEPLOY_STEP_COUNT];

bool deploy_step_runs(const DeployStep &step, HostRelease release);

// How a deployment ends; the stops are about one step.
enum DeployEnd {
    DEPLOY_DONE,               // every required file was copied
    DEPLOY_FOLDER_NOT_ENTERED, // the package folder cannot be made current
    DEPLOY_FILE_MISSING,       // a required file is missing: nothing was copied
    DEPLOY_COPY_FAILED,        // a required file could not be copied
};

// What a deployment does at a step once the kit has been searched.
enum StepAction {
    STEP_SKIPPED,      // not a step of this release (or after a stop): not searched
    STEP_COPIES,       // its file was found
    STEP_MISSING_SAID, // a help file is missing: said, and the deployment goes on
    STEP_STOPS,        // a required file is missing: nothing is copied
};

// Whether the kit holds step's file; context is the caller's.
typedef bool (*StepSearch)(int step, void *context);

// The installer's order, for the installer and kapdeploy alike: the steps of
// the release are searched in turn, and a required file missing stops the
// search there, before anything is copied. The step that stopped it, or -1.
int plan_deploy_steps(HostRelease release, StepSearch search, void *context,
                      StepAction actions[DEPLOY_STEP_COUNT]);

// The file search also matches 8.3 short names ("y.hdi_old" as Y~1.HDI); a
// found long name counts only when it really ends with the pattern's
// extension, compared without regard to case.
bool long_name_matches(const char *found_name, const char *pattern);

// folder\name. False for an empty folder (never a path at a drive root) or
// when the path would not fit a path buffer.
bool compose_destination(char out[PATH_BUFFER_SIZE], const char *folder, const char *name);
