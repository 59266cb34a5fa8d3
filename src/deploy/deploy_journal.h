// The journal that makes one product's change recoverable: written beside
// the driver before the first target is touched, it names every file of the
// change, so that a later run can finish it. Its last line proves it whole.
#pragma once

#include <stddef.h>

#include "../control/records.h"
#include "../package/deploy_steps.h"

enum JournalOp {
    JOURNAL_REPLACE, // name.kapnew replaces name; finished by moving it in
    JOURNAL_DELETE,  // name was moved to name.kapold; finished by deleting both
};

// The product's folders a change writes in: its driver and help folders,
// and its location, which holds the install record.
enum ProductFolder { FOLDER_DRV, FOLDER_HELP, FOLDER_LOCATION, FOLDER_COUNT };

struct JournalEntry {
    JournalOp op;
    ProductFolder folder;
    char name[PATH_BUFFER_SIZE];
};

// A change replaces a build's files and its record, and deletes the files
// of the build it replaces.
enum { JOURNAL_MOST_ENTRIES = 2 * DEPLOY_STEP_COUNT + 1 };

struct Journal {
    JournalEntry entries[JOURNAL_MOST_ENTRIES];
    int count;
};

// What a file by the journal's name turned out to be.
enum JournalState {
    JOURNAL_NONE,    // no such file
    JOURNAL_TORN,    // ours but not whole (cut, zero-filled, wrong end line): never committed
    JOURNAL_WHOLE,   // ours and whole: the change is committed
    JOURNAL_FOREIGN, // not written by this program: left alone
};

// The most bytes a journal of this program takes.
enum { JOURNAL_MOST_BYTES = (JOURNAL_MOST_ENTRIES + 2) * (PATH_BUFFER_SIZE + 16) };

// "drv", "help", "location": a folder's word in the journal.
extern const char *const folder_words[FOLDER_COUNT];

// The journal's file name in the driver folder, and the suffixes of the
// new copies and of the old files kept until the change is complete.
extern const char journal_name[];
extern const char new_suffix[];
extern const char old_suffix[];

// Cuts a line "a b c" after its first two words, c keeping any blanks of
// its own; false when there are not two blanks.
bool split_three(char *line, char **second, char **third);

// A name a journal or a record may hold: one file in the folder, nothing
// above it.
bool plain_file_name(const char *name);

// Adds to *len what snprintf wrote at out + *len into a buffer of cap
// bytes; false when it did not fit. The journal's and the record's texts
// are written this way.
inline bool advanced(int written, size_t cap, size_t *len) {
    if (written < 0 || static_cast<size_t>(written) >= cap - *len)
        return false;
    *len += static_cast<size_t>(written);
    return true;
}

// The journal's text into out; its length, 0 when it does not fit.
size_t format_journal(const Journal &journal, char *out, size_t cap);

// Judges the file's bytes; the entries are filled only when whole. A whole
// text naming a file outside its two folders, or more entries than a
// change has, is foreign.
JournalState read_journal(const char *bytes, size_t size, Journal *journal);

// A file beside a destination: compose_destination's path followed by the
// suffix; false when that path is refused or the whole does not fit.
bool suffixed_destination(char out[PATH_BUFFER_SIZE], const char *folder, const char *name,
                          const char *suffix);
