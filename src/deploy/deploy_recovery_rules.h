// What the next run does with each file of a change that an earlier run
// left unfinished, decided from the journal's state and from which of the
// file's three names exist.
#pragma once

#include "deploy_journal.h"

// Which of a file's names are there: name, name.kapnew, name.kapold.
struct FilesFound {
    bool target;
    bool next;
    bool old;
};

// The steps for one file, made in this order.
struct RecoveryStep {
    bool new_in;      // name.kapnew renamed over name
    bool old_back;    // name.kapold renamed to name
    bool drop_target; // name deleted
    bool drop_new;    // name.kapnew deleted
    bool drop_old;    // name.kapold deleted
};

// A whole journal is finished, file by file as its entries say (op); any
// other state leaves no journal to follow, and the change is undone: the
// new copies dropped, an old file put back only where the target is
// missing. A foreign journal touches nothing.
RecoveryStep recovery_step(JournalState journal, JournalOp op, FilesFound found);
