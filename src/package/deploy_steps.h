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

// The file search also matches 8.3 short names ("y.hdi_old" as Y~1.HDI); a
// found long name counts only when it really ends with the pattern's
// extension, compared without regard to case.
bool long_name_matches(const char *found_name, const char *pattern);

// folder\name. False for an empty folder (never a path at a drive root) or
// when the path would not fit a path buffer.
bool compose_destination(char out[PATH_BUFFER_SIZE], const char *folder, const char *name);
