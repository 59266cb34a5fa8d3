// The journal's text: a first line that marks it, then one line per file,
// "replace drv kapvl.hdi" or "delete help kapvl.hlp".
#include "deploy_journal.h"

#include <string.h>

#include "../control/text.h"

const char journal_name[] = "kapdeploy.journal";
const char new_suffix[] = ".kapnew";
const char old_suffix[] = ".kapold";

static const char journal_mark[] = "kapdeploy journal 1\n";

bool write_journal(FILE *file, const Journal &journal) {
    bool ok = fputs(journal_mark, file) >= 0;
    for (int i = 0; ok && i < journal.count; ++i) {
        const JournalEntry &e = journal.entries[i];
        ok = fprintf(file, "%s %s %s\n", e.op == JOURNAL_REPLACE ? "replace" : "delete",
                     e.in_help_folder ? "help" : "drv", e.name) > 0;
    }
    return ok;
}

// A name the journal may hold: one file in the folder, nothing above it.
static bool plain_file_name(const char *name) {
    return name[0] != '\0' && strpbrk(name, "\\/:") == nullptr && strcmp(name, ".") != 0 &&
           strcmp(name, "..") != 0;
}

static bool parse_entry(char *line, JournalEntry *entry) {
    size_t len = strlen(line);
    if (len == 0 || line[len - 1] != '\n')
        return false;
    line[len - 1] = '\0';
    char *folder = strchr(line, ' ');
    char *name = folder == nullptr ? nullptr : strchr(folder + 1, ' ');
    if (name == nullptr)
        return false;
    *folder++ = '\0';
    *name++ = '\0';
    if (strcmp(line, "replace") == 0)
        entry->op = JOURNAL_REPLACE;
    else if (strcmp(line, "delete") == 0)
        entry->op = JOURNAL_DELETE;
    else
        return false;
    if (strcmp(folder, "drv") != 0 && strcmp(folder, "help") != 0)
        return false;
    entry->in_help_folder = folder[0] == 'h';
    return plain_file_name(name) && concat_bounded(entry->name, PATH_BUFFER_SIZE, name);
}

bool read_journal(FILE *file, Journal *journal) {
    journal->count = 0;
    char line[PATH_BUFFER_SIZE + 16];
    if (fgets(line, sizeof line, file) == nullptr || strcmp(line, journal_mark) != 0)
        return false;
    while (fgets(line, sizeof line, file) != nullptr) {
        if (journal->count == DEPLOY_STEP_COUNT ||
            !parse_entry(line, &journal->entries[journal->count]))
            return false;
        ++journal->count;
    }
    return feof(file) != 0;
}

bool product_file_path(char out[PATH_BUFFER_SIZE], const char *folder, const char *name,
                       const char *suffix) {
    if (folder[0] == '\0') {
        out[0] = '\0';
        return false;
    }
    return concat_bounded(out, PATH_BUFFER_SIZE, folder, "\\", name, suffix);
}
