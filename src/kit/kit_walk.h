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
    bool read_only; // what Windows shows as the read-only attribute
};

struct KitListing {
    KitEntry *entries;
    int count;
    int capacity;
};

enum FolderState { FOLDER_READ, FOLDER_MISSING, FOLDER_NOT_A_FOLDER, FOLDER_UNREADABLE };

// A path inside the kit: a language folder, a release folder and a name.
enum { KIT_RELATIVE_SIZE = 3 * PATH_BUFFER_SIZE };

// "/" natively, "\\" on Windows.
extern const char kit_separator[];

// Adds the entries of the folder kit/relative ("" for the kit itself) to the
// empty listing, without "." and "..", in the platform's order.
FolderState list_kit_folder(const char *kit, const char *relative, KitListing *listing);

// The file kit/relative opened for reading as bytes, or null.
FILE *open_kit_file(const char *kit, const char *relative);

// Milliseconds from some fixed moment, for progress reports.
unsigned long kit_clock_ms();

// A new entry at the end of the listing; null when memory runs out.
KitEntry *add_kit_entry(KitListing *listing);

void free_kit_listing(KitListing *listing);

// Sorts the entries by their bytes, so that every platform judges them in
// one order.
void sort_kit_listing(KitListing *listing);

// The first entry whose name equals name but for the case of ASCII
// letters, as Windows finds files; null when there is none.
const KitEntry *find_kit_entry(const KitListing &listing, const char *name);
