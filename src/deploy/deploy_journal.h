// The journal that makes one product's replacing recoverable: written
// beside the driver before the first target is touched, it names every
// file of the change, so that a later run can finish or undo it.
#pragma once

#include <stdio.h>

#include "../control/records.h"
#include "../package/deploy_steps.h"

enum JournalOp {
    JOURNAL_REPLACE, // name.kapnew replaces name; finished by moving it in
    JOURNAL_DELETE,  // name was moved to name.kapold; finished by deleting both (without a
                     // journal, the sweep moves name.kapold back)
};

struct JournalEntry {
    JournalOp op;
    bool in_help_folder;
    char name[PATH_BUFFER_SIZE];
};

struct Journal {
    JournalEntry entries[DEPLOY_STEP_COUNT];
    int count;
};

// The journal's file name in the driver folder, and the suffixes of the
// new copies and of the old files kept until the change is complete.
extern const char journal_name[];
extern const char new_suffix[];
extern const char old_suffix[];

bool write_journal(FILE *file, const Journal &journal);

// False when the text is not a journal or names a file outside its two
// folders.
bool read_journal(FILE *file, Journal *journal);

// folder\name followed by the suffix ("" for none); false when it does not
// fit a path buffer or the folder is empty.
bool product_file_path(char out[PATH_BUFFER_SIZE], const char *folder, const char *name,
                       const char *suffix);
