// What the next run does with a change that an earlier run left, whether it
// was killed or the power went: a whole journal is finished; a journal that
// is not whole, or none, leaves the change undone (deploy_recovery_rules
// decides each file). The journal goes only once the files are settled and
// their names are on the disk, so a run cut here converges the same way.
#include <stdio.h>
#include <string.h>

#include "../control/text.h"
#include "deploy_file_ops.h"
#include "deploy_files.h"
#include "deploy_recovery_rules.h"

static FilesFound files_found(const char *target) {
    char next[MAX_PATH];
    char old[MAX_PATH];
    with_suffix(next, target, new_suffix);
    with_suffix(old, target, old_suffix);
    return FilesFound{exists(target), exists(next), exists(old)};
}

// Makes one file's steps; false with the error of the first that fails.
static bool make_step(const char *target, RecoveryStep step, DWORD *error) {
    char next[MAX_PATH];
    char old[MAX_PATH];
    with_suffix(next, target, new_suffix);
    with_suffix(old, target, old_suffix);
    *error = ERROR_SUCCESS;
    return (!step.new_in || move_own(next, target, error)) &&
           (!step.old_back || move_own(old, target, error)) &&
           (!step.drop_target || drop_own(target, error)) &&
           (!step.drop_new || drop_own(next, error)) && (!step.drop_old || drop_own(old, error));
}

static bool acts(RecoveryStep step) {
    return step.new_in || step.old_back || step.drop_target || step.drop_new || step.drop_old;
}

static bool finish_journal(const ProductRecord &product, const Journal &journal, DWORD *error) {
    for (int i = 0; i < journal.count; ++i) {
        const JournalEntry &e = journal.entries[i];
        char target[MAX_PATH];
        if (compose_destination(target, folder_of(product, e.folder), e.name) &&
            !make_step(target, recovery_step(JOURNAL_WHOLE, e.op, files_found(target)), error))
            return false;
    }
    return true;
}

// The names of the temporary files in a folder (at most MOST) whose names
// start with stem ("" for any: in the product's location, only the
// record's are ours).
enum { MOST = 16 };
static int temporary_names(const char *folder, const char *stem, char names[MOST][MAX_PATH]) {
    char pattern[MAX_PATH];
    WIN32_FIND_DATAA found;
    HANDLE search =
        folder[0] == '\0' || !concat_bounded(pattern, MAX_PATH, folder, "\\", stem, "*.kap*")
            ? INVALID_HANDLE_VALUE
            : FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do {
        // A folder by such a name is not one of ours.
        if (count < MOST && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            (long_name_matches(found.cFileName, "*.kapnew") ||
             long_name_matches(found.cFileName, "*.kapold")))
            concat_bounded(names[count++], MAX_PATH, found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

// Settles the temporary files of one folder as if no journal named them; a
// run leaves at most six, more than sixteen are left for the next run.
// swept counts the files acted on.
static bool sweep_folder(const char *folder, const char *stem, int *swept, DWORD *error) {
    char names[MOST][MAX_PATH];
    int count = temporary_names(folder, stem, names);
    for (int i = 0; i < count; ++i) {
        char target[MAX_PATH];
        if (!compose_destination(target, folder, names[i]))
            continue;
        target[strlen(target) - strlen(old_suffix)] = '\0';
        // name.kapnew and name.kapold are settled together, at the first.
        RecoveryStep step = recovery_step(JOURNAL_NONE, JOURNAL_REPLACE, files_found(target));
        if (!make_step(target, step, error))
            return false;
        *swept += acts(step) ? 1 : 0;
    }
    return true;
}

static bool flush_product_folders(const ProductRecord &product, DWORD *error) {
    for (int f = 0; f < FOLDER_COUNT; ++f) {
        const char *folder = folder_of(product, static_cast<ProductFolder>(f));
        if (folder[0] != '\0' && !folder_gone(folder) && !flush_folder(folder, error))
            return false;
    }
    return true;
}

static const char *settled_words(JournalState state) {
    switch (state) {
    case JOURNAL_WHOLE:
        return "finished the change of an interrupted run";
    case JOURNAL_TORN:
        return "undid the change of an interrupted run: its journal never reached the disk "
               "whole (a power cut?)";
    default:
        return "removed the temporary files of an interrupted run";
    }
}

ProductOutcome recover_product(const ProductRecord &product, char *reason) {
    char path[MAX_PATH];
    journal_path(path, product, "");
    Journal journal;
    DWORD error = ERROR_SUCCESS;
    JournalState state = read_journal_file(product, &journal, &error);
    if (state == JOURNAL_FOREIGN && error == ERROR_SUCCESS) {
        snprintf(reason, REASON_SIZE,
                 "%s is not a journal of this program: look at it and remove it", path);
        return OUTCOME_FAILED;
    }
    int swept = 0;
    bool settled = state != JOURNAL_FOREIGN &&
                   (state != JOURNAL_WHOLE || finish_journal(product, journal, &error)) &&
                   (state == JOURNAL_NONE ||
                    (flush_product_folders(product, &error) && delete_journal(product, &error))) &&
                   sweep_folder(product.driver_folder, "", &swept, &error) &&
                   sweep_folder(product.help_folder, "", &swept, &error) &&
                   sweep_folder(product.location, record_name, &swept, &error) &&
                   (swept == 0 || flush_product_folders(product, &error));
    if (!settled) {
        tell_error(reason, "an interrupted run cannot be settled yet in", product.driver_folder,
                   error);
        return in_use_error(error) ? OUTCOME_IN_USE : OUTCOME_FAILED;
    }
    if (state == JOURNAL_NONE && swept == 0)
        return OUTCOME_ALREADY;
    snprintf(reason, REASON_SIZE, "%s", settled_words(state));
    return OUTCOME_DONE;
}

int leftovers(const ProductRecord &product, bool *journal) {
    char path[MAX_PATH];
    char names[MOST][MAX_PATH];
    journal_path(path, product, "");
    *journal = path[0] != '\0' && exists(path);
    return temporary_names(product.driver_folder, "", names) +
           temporary_names(product.help_folder, "", names) +
           temporary_names(product.location, record_name, names);
}
