// The directory walk of the kit checker: the one part that differs per
// platform (kit_walk_posix.cpp, kit_walk_win32.cpp). Folders are listed one
// at a time and never entered on their own, so a link that loops is met at
// most once, as an entry that cannot be read.
#pragma once

#include <stdio.h>

#include "../control/records.h"

enum EntryKind {
    ENTRY_FILE,
    ENTRY_FOLDER,
    ENTRY_OTHER, // a device, a pipe, or a link that is broken or loops
};

struct KitEntry {
    char name[PATH_BUFFER_SIZE];
    EntryKind kind;
    bool empty;   // a file of no bytes
    bool link;    // a symbolic link (on Windows any reparse point)
    int error;    // ENTRY_OTHER: the system's code when it could not be looked at
    char *target; // where a link points, when the system tells; owned by the listing
};

struct KitListing {
    KitEntry *entries;
    int count;
    int capacity;
};

enum FolderState {
    FOLDER_READ,
    FOLDER_MISSING,
    FOLDER_NOT_A_FOLDER,
    FOLDER_UNREADABLE,   // *error tells why
    FOLDER_UNSEARCHABLE, // its names can be listed, but nothing in it opened
};

// A path inside the kit: a language folder, a release folder and a name.
enum { KIT_RELATIVE_SIZE = 3 * PATH_BUFFER_SIZE };

// "/" natively, "\\" on Windows.
extern const char kit_separator[];

// The kit folder, opened once for the whole walk: natively a descriptor
// from which every path inside the kit is opened, so that a kit deep in a
// long build path is walked like any other; on Windows only its path.
struct KitRoot {
    const char *path;
    int handle;
};

// FOLDER_READ, or why the kit folder cannot be opened with the system's
// code in *error (errno, or GetLastError on Windows). On FOLDER_READ the
// root is closed with close_kit_root.
FolderState open_kit_root(const char *kit, KitRoot *root, int *error);

void close_kit_root(KitRoot *root);

// Adds the entries of the folder kit/relative ("" for the kit itself) to the
// empty listing, without "." and "..", in the platform's order. When the
// folder cannot be read, *error is the system's code.
FolderState list_kit_folder(const KitRoot &kit, const char *relative, KitListing *listing,
                            int *error);

// The file kit/relative opened for reading as bytes; null with the
// system's code in *error.
FILE *open_kit_file(const KitRoot &kit, const char *relative, int *error);

// The system's own words for a code of the two above.
void describe_walk_error(int error, char *out, size_t cap);

// Milliseconds from some fixed moment, for progress reports.
unsigned long kit_clock_ms();

// kit, the separator, then relative; no separator is doubled, and an empty
// relative path gives the kit folder itself. False when it does not fit.
bool join_kit_path(char *out, size_t cap, const char *kit, const char *relative,
                   const char *separator);

// A new entry at the end of the listing; null when memory runs out.
KitEntry *add_kit_entry(KitListing *listing);

void free_kit_listing(KitListing *listing);

// Sorts the entries by their names with ASCII letters folded to one case,
// then by their bytes, so that every platform judges them in one order and
// names that Windows takes for one stand side by side.
void sort_kit_listing(KitListing *listing);

// The entry of that name, or else the first whose name equals it but for
// the case of ASCII letters, as Windows finds files; null when there is none.
const KitEntry *find_kit_entry(const KitListing &listing, const char *name);
