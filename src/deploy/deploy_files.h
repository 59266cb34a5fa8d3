// The files of one product's change: found in the kit as the installer
// finds them, compared byte for byte, and replaced or removed all together.
#pragma once

#include "../control/platform.h"
#include "../package/deploy_steps.h"
#include "deploy_checks.h"

// What compare_set found at a target.
enum TargetState {
    TARGET_ABSENT,     // no such file (or no such folder)
    TARGET_SAME,       // read, and byte for byte the kit's file
    TARGET_DIFFERS,    // read, and other bytes
    TARGET_UNREADABLE, // there, but it could not be read: see error
};

struct DeployFile {
    char source[PATH_BUFFER_SIZE]; // in the package folder
    char target[PATH_BUFFER_SIZE]; // in the driver or help folder
    char name[PATH_BUFFER_SIZE];
    bool in_help_folder;
    bool source_read_only;
    TargetState state; // as compare_set found it
    DWORD error;       // why a target could not be read
};

struct DeploySet {
    DeployFile files[DEPLOY_STEP_COUNT];
    int count;
    char note[REASON_SIZE]; // help files the kit or the product lacks, patterns that match twice
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

// Also notes each target's state.
SetState compare_set(DeploySet *set);

// What the change checks after compare_set and before it writes anything,
// the dry run too: every kit file and every target there can be read
// (OUTCOME_IN_USE when another program holds one), and every folder it
// writes in takes a file. OUTCOME_DONE when all holds.
ProductOutcome check_readable(const DeploySet &set, char *reason);
ProductOutcome check_writable(const DeploySet &set, const ProductRecord &product, char *reason);

// Replaces the product's files with the kit's, all or none.
ProductOutcome install_set(DeploySet *set, const ProductRecord &product, bool dry_run,
                           char *reason);

// Deletes the targets that equal their kit file, all or none; those read
// and found to differ are named in reason; a target that cannot be read
// stops it before anything is removed.
ProductOutcome remove_set(DeploySet *set, const ProductRecord &product, bool dry_run, char *reason);

// Finishes or undoes a change that an earlier run left unfinished in the
// product's folders and removes its temporary files. OUTCOME_ALREADY when
// there was nothing to do, OUTCOME_DONE when something was settled.
ProductOutcome recover_product(const ProductRecord &product, char *reason);

// What an earlier run left in the product's folders, untouched: whether a
// journal is there, and how many temporary files (at most 32 are counted).
int leftovers(const ProductRecord &product, bool *journal);
