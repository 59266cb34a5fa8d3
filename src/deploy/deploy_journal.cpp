// The journal's text: a first line that marks it, one line per file
// ("replace drv kapvl.hdi", "delete help kapvl.hlp"), and an end line with
// the entry count and a checksum of every byte before it. A power cut can
// leave the file empty, zero-filled or cut short; only the end line tells a
// committed journal from those.
#include "deploy_journal.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "../control/text.h"

const char journal_name[] = "kapdeploy.journal";
const char *const folder_words[FOLDER_COUNT] = {"drv", "help", "location"};
const char new_suffix[] = ".kapnew";
const char old_suffix[] = ".kapold";

static const char journal_mark[] = "kapdeploy journal 1\n";

// FNV-1a: any cut or lost byte changes it.
static uint32_t checksum(const char *bytes, size_t size) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 16777619u;
    return hash;
}

size_t format_journal(const Journal &journal, char *out, size_t cap) {
    size_t len = 0;
    bool fits = advanced(snprintf(out, cap, "%s", journal_mark), cap, &len);
    for (int i = 0; fits && i < journal.count; ++i) {
        const JournalEntry &e = journal.entries[i];
        fits = advanced(snprintf(out + len, cap - len, "%s %s %s\n",
                                 e.op == JOURNAL_REPLACE ? "replace" : "delete",
                                 folder_words[e.folder], e.name),
                        cap, &len);
    }
    fits = fits && advanced(snprintf(out + len, cap - len, "end %d %08lx\n", journal.count,
                                     static_cast<unsigned long>(checksum(out, len))),
                            cap, &len);
    return fits ? len : 0;
}

bool split_three(char *line, char **second, char **third) {
    *second = strchr(line, ' ');
    *third = *second == nullptr ? nullptr : strchr(*second + 1, ' ');
    if (*third == nullptr)
        return false;
    *(*second)++ = '\0';
    *(*third)++ = '\0';
    return true;
}

bool plain_file_name(const char *name) {
    return name[0] != '\0' && strpbrk(name, "\\/:") == nullptr && strcmp(name, ".") != 0 &&
           strcmp(name, "..") != 0;
}

static bool parse_entry(char *line, JournalEntry *entry) {
    char *folder;
    char *name;
    if (!split_three(line, &folder, &name))
        return false;
    if (strcmp(line, "replace") == 0)
        entry->op = JOURNAL_REPLACE;
    else if (strcmp(line, "delete") == 0)
        entry->op = JOURNAL_DELETE;
    else
        return false;
    int f = 0;
    while (f < FOLDER_COUNT && strcmp(folder, folder_words[f]) != 0)
        ++f;
    if (f == FOLDER_COUNT)
        return false;
    entry->folder = static_cast<ProductFolder>(f);
    return plain_file_name(name) && concat_bounded(entry->name, PATH_BUFFER_SIZE, name);
}

// Where the end line starts: after the last line break but one; size when
// the text does not end in a line break.
static size_t end_line_start(const char *bytes, size_t size) {
    if (size == 0 || bytes[size - 1] != '\n')
        return size;
    size_t start = size - 1;
    while (start > 0 && bytes[start - 1] != '\n')
        --start;
    return start;
}

// The entries of a whole text, one per line between the mark and the end.
static bool parse_entries(const char *bytes, size_t size, Journal *journal) {
    char text[JOURNAL_MOST_BYTES + 1];
    memcpy(text, bytes, size);
    text[size] = '\0';
    journal->count = 0;
    char *line = text + strlen(journal_mark);
    while (*line != '\0') {
        char *next = strchr(line, '\n');
        if (next == nullptr || journal->count == JOURNAL_MOST_ENTRIES)
            return false;
        *next = '\0';
        if (!parse_entry(line, &journal->entries[journal->count]))
            return false;
        ++journal->count;
        line = next + 1;
    }
    return true;
}

JournalState read_journal(const char *bytes, size_t size, Journal *journal) {
    journal->count = 0;
    const size_t mark_len = strlen(journal_mark);
    if (size == 0 || bytes[0] == '\0')
        return JOURNAL_TORN; // its bytes never reached the disk
    if (memcmp(bytes, journal_mark, size < mark_len ? size : mark_len) != 0 ||
        size > JOURNAL_MOST_BYTES)
        return JOURNAL_FOREIGN;
    if (memchr(bytes, '\0', size) != nullptr)
        return JOURNAL_TORN;
    // The end line this body would have been given, byte for byte.
    size_t end = end_line_start(bytes, size);
    int count = -1;
    for (size_t i = 0; i < end; ++i)
        count += bytes[i] == '\n' ? 1 : 0;
    char wanted[64];
    int len = snprintf(wanted, sizeof wanted, "end %d %08lx\n", count,
                       static_cast<unsigned long>(checksum(bytes, end)));
    if (end < mark_len || static_cast<size_t>(len) != size - end ||
        memcmp(wanted, bytes + end, size - end) != 0)
        return JOURNAL_TORN;
    return parse_entries(bytes, end, journal) ? JOURNAL_WHOLE : JOURNAL_FOREIGN;
}

bool suffixed_destination(char out[PATH_BUFFER_SIZE], const char *folder, const char *name,
                          const char *suffix) {
    char path[PATH_BUFFER_SIZE];
    if (compose_destination(path, folder, name))
        return concat_bounded(out, PATH_BUFFER_SIZE, path, suffix);
    out[0] = '\0';
    return false;
}
