// The entries of one kit folder: kept, sorted and looked up; and the paths
// inside the kit.
#include <stdlib.h>
#include <string.h>

#include "../control/text.h"
#include "kit_walk.h"

KitEntry *add_kit_entry(KitListing *listing) {
    if (listing->count == listing->capacity) {
        int capacity = listing->capacity == 0 ? 16 : listing->capacity * 2;
        if (capacity <= listing->capacity)
            return nullptr;
        void *grown = realloc(listing->entries, static_cast<size_t>(capacity) * sizeof(KitEntry));
        if (grown == nullptr)
            return nullptr;
        listing->entries = static_cast<KitEntry *>(grown);
        listing->capacity = capacity;
    }
    KitEntry *entry = &listing->entries[listing->count++];
    entry->name[0] = '\0';
    entry->kind = ENTRY_OTHER;
    entry->empty = false;
    entry->link = false;
    entry->error = 0;
    entry->target = nullptr;
    return entry;
}

void free_kit_listing(KitListing *listing) {
    for (int i = 0; i < listing->count; ++i)
        free(listing->entries[i].target);
    free(listing->entries);
    listing->entries = nullptr;
    listing->count = 0;
    listing->capacity = 0;
}

// NTFS order, then byte by byte so that the order does not depend on qsort.
static int by_name(const void *pa, const void *pb) {
    const char *a = static_cast<const KitEntry *>(pa)->name;
    const char *b = static_cast<const KitEntry *>(pb)->name;
    int order = ascii_compare_nocase(a, b);
    return order != 0 ? order : strcmp(a, b);
}

void sort_kit_listing(KitListing *listing) {
    if (listing->count > 1)
        qsort(listing->entries, static_cast<size_t>(listing->count), sizeof(KitEntry), by_name);
}

const KitEntry *find_kit_entry(const KitListing &listing, const char *name) {
    // Of names that Windows would take for one, the one spelt as asked.
    for (int i = 0; i < listing.count; ++i) {
        if (strcmp(listing.entries[i].name, name) == 0)
            return &listing.entries[i];
    }
    for (int i = 0; i < listing.count; ++i) {
        if (ascii_equal_nocase(listing.entries[i].name, name))
            return &listing.entries[i];
    }
    return nullptr;
}

bool join_kit_path(char *out, size_t cap, const char *kit, const char *relative,
                   const char *separator) {
    size_t len = strlen(kit);
    char last = len > 0 ? kit[len - 1] : '\0';
    bool ends_in_separator = last == '/' || last == separator[0];
    const char *between = relative[0] == '\0' || len == 0 || ends_in_separator ? "" : separator;
    return concat_bounded(out, cap, kit, between, relative);
}
