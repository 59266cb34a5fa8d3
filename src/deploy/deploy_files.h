// The files of one product's change: found in the kit as the installer
// finds them, compared byte for byte, and replaced or removed all together.
#pragma once

#include "../control/platform.h"
#include "../package/deploy_steps.h"
#include "deploy_build.h"
#include "deploy_checks.h"
#include "deploy_journal.h"

// What compare_set found at a target.
enum TargetState {
    TARGET_ABSENT,     // no such file (or no such folder)
    TARGET_SAME,       // read, and byte for byte the kit's file
    TARGET_DIFFERS,    // read, and other bytes
    TARGET_UNREADABLE, // there, but it could not be read: see error
};

struct DeployFile {
    char source[PATH_BUFFER_SIZE]; // in the package folder; "" for a file with no kit file
    char target[PATH_BUFFER_SIZE]; // in the driver or help folder
    char name[PATH_BUFFER_SIZE];
    ProductFolder folder;
    bool dropped;                  // deleted by the change, not replaced
    char digest[DIGEST_TEXT_SIZE]; // the kit file's, or the recorded one for a file with no source
    TargetState state;             // as compare_set found it
    DWORD error;                   // why a target could not be read
};

// The kit's files for a product and, in a change, the record and the files
// of a recorded build that go.
struct DeploySet {
    DeployFile files[JOURNAL_MOST_ENTRIES];
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

// Notes the target's state: against the kit's file, or against the
// recorded digest for a file with no source.
void compare_target(DeployFile *file);

// Also notes each target's state.
SetState compare_set(DeploySet *set);

// The kit's build in the set: each file's digest, the build's digest and
// version (the driver's fixed file version where it has one, else level),
// the size; the product key, language and date are the caller's.
bool identify_build(DeploySet *set, const FourPartVersion &level, BuildRecord *build, char *reason);

enum RecordState { RECORD_NONE, RECORD_OURS, RECORD_FOREIGN };

// The build recorded in the product; RECORD_FOREIGN names the file in
// reason (a file of that name this program did not write, or one it cannot
// read).
RecordState read_record(const ProductRecord &product, BuildRecord *record, char *reason);

// Whether a file of the set goes in that folder.
bool writes_in(const DeploySet &set, ProductFolder folder);

// What the change checks after compare_set and before it writes anything,
// the dry run too: every kit file and every target there can be read
// (OUTCOME_IN_USE when another program holds one). OUTCOME_DONE when all
// holds.
ProductOutcome check_readable(const DeploySet &set, char *reason);
// For a dry run: every folder the change writes in takes a file, as the
// real run's first write there finds out, in the same words.
ProductOutcome check_writable(const DeploySet &set, const ProductRecord &product, char *reason);

// Replaces the product's files with the kit's build and records it, all or
// none; the files of the recorded build (recorded: null for none) that the
// new one does not hold go in the same commit where they still equal the
// record, and are named in reason where they were changed since.
ProductOutcome install_set(DeploySet *set, const ProductRecord &product, const BuildRecord &build,
                           const BuildRecord *recorded, bool dry_run, char *reason);

// Deletes the targets that equal their kit file, all or none; those read
// and found to differ are named in reason; a target that cannot be read
// stops it before anything is removed.
ProductOutcome remove_set(DeploySet *set, const ProductRecord &product, bool dry_run, char *reason);

// The files of the recorded build that still equal the record, and the
// record, deleted all or none, with no kit; the changed ones kept and named.
ProductOutcome remove_recorded(const BuildRecord &recorded, const ProductRecord &product,
                               bool dry_run, char *reason);

// Finishes or undoes a change that an earlier run left unfinished in the
// product's folders and removes its temporary files. OUTCOME_ALREADY when
// there was nothing to do, OUTCOME_DONE when something was settled.
ProductOutcome recover_product(const ProductRecord &product, char *reason);

// What an earlier run left in the product's folders, untouched: whether a
// journal is there, and how many temporary files (at most 32 are counted).
int leftovers(const ProductRecord &product, bool *journal);
