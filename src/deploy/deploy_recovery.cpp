// What the next run does with a change that a killed run left: with a
// journal, finish it; without one, drop the new copies and put back an old
// file only where nothing replaced it.
#include <stdio.h>
#include <string.h>

#include "../control/text.h"
#include "deploy_file_ops.h"
#include "deploy_files.h"

// Finishes the journal's change; false when a file cannot be moved yet.
static bool finish_journal(const ProductRecord &product, const Journal &journal, DWORD *error) {
    for (int i = 0; i < journal.count; ++i) {
        const JournalEntry &e = journal.entries[i];
        char target[MAX_PATH];
        char temp[MAX_PATH];
        if (!product_file_path(target, folder_of(product, e.in_help_folder), e.name, ""))
            continue;
        with_suffix(temp, target, e.op == JOURNAL_REPLACE ? new_suffix : old_suffix);
        bool ok = true;
        if (e.op == JOURNAL_REPLACE && exists(temp)) {
            ok = move_over(temp, target);
        } else if (e.op == JOURNAL_DELETE) {
            delete_file(target);
            delete_file(temp);
            ok = !exists(target) && !exists(temp);
        }
        if (!ok) {
            *error = GetLastError();
            return false;
        }
    }
    return true;
}

// Removes the temporary files of one folder: new copies are dropped, an old
// file goes back only where nothing replaced it. A run leaves at most six;
// more than sixteen are left for the next run.
static int sweep_folder(const char *folder) {
    char pattern[MAX_PATH];
    WIN32_FIND_DATAA found;
    HANDLE search = folder[0] == '\0' || !concat_bounded(pattern, MAX_PATH, folder, "\\*.kap*")
                        ? INVALID_HANDLE_VALUE
                        : FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    enum { MOST = 16 };
    char names[MOST][MAX_PATH];
    int count = 0;
    do {
        if (count < MOST && (long_name_matches(found.cFileName, "*.kapnew") ||
                             long_name_matches(found.cFileName, "*.kapold")))
            concat_bounded(names[count++], MAX_PATH, found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    for (int i = 0; i < count; ++i) {
        char path[MAX_PATH];
        char base[MAX_PATH];
        if (!product_file_path(path, folder, names[i], "") || !concat_bounded(base, MAX_PATH, path))
            continue;
        base[strlen(base) - strlen(old_suffix)] = '\0';
        if (long_name_matches(names[i], "*.kapold") && !exists(base))
            MoveFileExA(path, base, 0);
        else
            delete_file(path);
    }
    return count;
}

ProductOutcome recover_product(const ProductRecord &product, char *reason) {
    char path[MAX_PATH];
    journal_path(path, product, "");
    FILE *file = path[0] == '\0' ? nullptr : fopen(path, "rb");
    int finished = 0;
    if (file != nullptr) {
        Journal journal;
        bool read = read_journal(file, &journal);
        fclose(file);
        DWORD error = ERROR_SUCCESS;
        if (!read) {
            snprintf(reason, REASON_SIZE,
                     "%s is not a journal of this program: look at it and "
                     "remove it",
                     path);
            return OUTCOME_FAILED;
        }
        if (!finish_journal(product, journal, &error)) {
            tell_error(reason, "an interrupted run cannot be finished yet in",
                       product.driver_folder, error);
            return in_use_error(error) ? OUTCOME_IN_USE : OUTCOME_FAILED;
        }
        DeleteFileA(path);
        finished = 1;
    }
    int swept = sweep_folder(product.driver_folder) + sweep_folder(product.help_folder);
    if (finished + swept == 0)
        return OUTCOME_ALREADY;
    snprintf(reason, REASON_SIZE, "%s",
             finished ? "finished the change of an interrupted run"
                      : "removed the temporary files of an interrupted run");
    return OUTCOME_DONE;
}
