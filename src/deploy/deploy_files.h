// The files of one product's change: found in the kit as the installer
// finds them, compared byte for byte, and replaced or removed all together.
#pragma once

#include "../control/records.h"
#include "../package/deploy_steps.h"
#include "deploy_checks.h"

struct DeployFile {
    char source[PATH_BUFFER_SIZE]; // in the package folder
    char target[PATH_BUFFER_SIZE]; // in the driver or help folder
    char name[PATH_BUFFER_SIZE];
    bool in_help_folder;
    bool source_read_only;
    bool present; // the target existed when compare_set looked
};

struct DeploySet {
    DeployFile files[DEPLOY_STEP_COUNT];
    int count;
    char note[REASON_SIZE]; // help files the kit or the product lacks
};

// The first match of each step that runs for the release; false with the
// installer's text in reason when a required file is missing.
bool find_kit_files(const char *package_folder, HostRelease release, const ProductRecord &product,
                    DeploySet *set, char *reason);

enum SetState {
    SET_INSTALLED, // every target holds its kit file byte for byte
    SET_OTHER,     // some target exists with other content, or some are missing
    SET_ABSENT,    // no target exists
};

// Also notes which targets exist.
SetState compare_set(DeploySet *set);

// Replaces the product's files with the kit's, all or none.
ProductOutcome install_set(DeploySet *set, const ProductRecord &product, bool dry_run,
                           char *reason);

// Deletes the targets that equal their kit file, all or none; the others
// are named in reason.
ProductOutcome remove_set(const DeploySet &set, const ProductRecord &product, bool dry_run,
                          char *reason);

// Finishes a change that an earlier run left unfinished in the product's
// folders and removes its temporary files. OUTCOME_ALREADY when there was
// nothing to do, OUTCOME_DONE when something was finished.
ProductOutcome recover_product(const ProductRecord &product, char *reason);
