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
    entry->read_only = false;
    return entry;
}

void free_kit_listing(KitListing *listing) {
    free(listing->entries);
    listing->entries = nullptr;
    listing->count = 0;
    listing->capacity = 0;
}

static int by_name(const void *a, const void *b) {
    return strcmp(static_cast<const KitEntry *>(a)->name, static_cast<const KitEntry *>(b)->name);
}

void sort_kit_listing(KitListing *listing) {
    if (listing->count > 1)
        qsort(listing->entries, static_cast<size_t>(listing->count), sizeof(KitEntry), by_name);
}

const KitEntry *find_kit_entry(const KitListing &listing, const char *name) {
    for (int i = 0; i < listing.count; ++i) {
        if (ascii_equal_nocase(listing.entries[i].name, name))
            return &listing.entries[i];
    }
    return nullptr;
}
