// File calls shared by a product's change and by its recovery.
#pragma once

#include "../control/platform.h"
#include "deploy_journal.h"

const char *folder_of(const ProductRecord &product, bool help);

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

// Renames from over to, a read-only to included.
bool move_over(const char *from, const char *to);

// Deletes a file, a read-only one included; no word when it fails.
void delete_file(const char *path);

// The product's journal in its driver folder, with a suffix ("" for none).
void journal_path(char out[MAX_PATH], const ProductRecord &product, const char *suffix);

// Written under a temporary name and renamed, so that it is whole or absent.
bool write_journal_file(const ProductRecord &product, const Journal &journal);

void delete_journal(const ProductRecord &product);
