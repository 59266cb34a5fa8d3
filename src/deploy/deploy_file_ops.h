// File calls shared by a product's change and by its recovery.
#pragma once

#include "../control/platform.h"
#include "deploy_journal.h"

const char *folder_of(const ProductRecord &product, ProductFolder folder);

bool exists(const char *path);

// No such file, or no such folder on its path.
bool not_found_error(DWORD error);

// A folder that is not there at all; one that cannot be looked at is
// not gone.
bool folder_gone(const char *path);

// A file another program holds: the run may try again later.
bool in_use_error(DWORD error);

// "what name (error N: the system's words)" into reason.
void tell_error(char *reason, const char *what, const char *name, DWORD error);

bool with_suffix(char out[MAX_PATH], const char *path, const char *suffix);

// The calls on this program's own files (the new copies, the old files, the
// journal): a sharing or lock violation there is most often a scanner that
// opened the file just written, so it is tried again for about a second
// before it counts as in use. Each gives the system's error when it fails.
HANDLE open_own(const char *path, DWORD access, DWORD disposition, DWORD flags, DWORD *error);
// Renames from over to, a read-only to included (write-through; the name
// is on the disk once its folder is flushed).
bool move_own(const char *from, const char *to, DWORD *error);
// The same where nothing stands at to (a target just moved away or absent).
bool rename_own(const char *from, const char *to, DWORD *error);
// Copies from over to (to: one of ours, made with normal attributes, from:
// the kit's file) through one handle, flushed to the disk before it is
// closed: the least a copy that survives a power cut costs. *not_made, when
// given, tells whether to could not even be made (the folder's fault).
bool copy_flushed(const char *from, const char *to, DWORD *error, bool *not_made = nullptr);
// Deletes the file, a read-only one included; true when it is gone.
bool drop_own(const char *path, DWORD *error);
// Writes the folder's names (the renames and deletions made in it) to the
// disk.
bool flush_folder(const char *folder, DWORD *error);

// Writes the bytes to a new file of ours and flushes them; a file that
// could not be written whole is deleted; *not_made as for copy_flushed.
bool write_flushed(const char *path, const char *text, size_t size, DWORD *error,
                   bool *not_made = nullptr);

// The product's journal in its driver folder, with a suffix ("" for none).
void journal_path(char out[MAX_PATH], const ProductRecord &product, const char *suffix);

// Written under a temporary name, flushed, and only then renamed into place,
// so that once it has its name its bytes are on the disk.
// *not_made as for copy_flushed.
bool write_journal_file(const ProductRecord &product, const Journal &journal, DWORD *error,
                        bool *not_made);

// Reads up to cap bytes of a small file of ours into text; false with the
// error when it cannot be opened or read.
bool read_own_file(const char *path, char *text, DWORD cap, DWORD *got, DWORD *error);

// JOURNAL_NONE when there is none; error tells why one could not be read
// (JOURNAL_FOREIGN then).
JournalState read_journal_file(const ProductRecord &product, Journal *journal, DWORD *error);

bool delete_journal(const ProductRecord &product, DWORD *error);
