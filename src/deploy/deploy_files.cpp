// A product's change, all or nothing, through a power cut as well as a
// killed run. The new files are copied beside the targets (name.kapnew) and
// recorded in the journal, then renamed into place, the old files kept
// (name.kapold) until every target is there. What a power cut may lose is
// any byte written since the file's last flush; the names it keeps are in
// the order they were made. So these hold, for install and remove alike:
// - every name.kapnew is flushed before the journal exists;
// - the journal is written under a temporary name, flushed, and only then
//   given its name: once it has its name it is whole, which its end line
//   proves (entry count and checksum), and the change is committed;
// - no target is touched before the journal has its name: a run cut before
//   that is undone by the next one, a run cut after it is finished by it
//   (deploy_recovery);
// - the renames are flushed (their folders) before the journal is deleted,
//   and a product is reported changed only after that.
// Every flush and rename is checked; a failure is the step's failure.
#include "deploy_files.h"

#include <stdio.h>
#include <string.h>

#include "../control/text.h"
#include "../package/first_match.h"
#include "deploy_file_ops.h"
#include "deploy_log.h"

// What the steps' searches found in one package folder, kept for the next
// product of the same release and language: 50 products, one search.
struct KitMatches {
    char package_folder[MAX_PATH];
    bool found[DEPLOY_STEP_COUNT];
    char names[DEPLOY_STEP_COUNT][MAX_PATH];
    DWORD attributes[DEPLOY_STEP_COUNT];
    int counts[DEPLOY_STEP_COUNT];            // how many long names match
    char others[DEPLOY_STEP_COUNT][MAX_PATH]; // a match besides names[i], when there is one
};

static KitMatches last_matches;

// The entries whose long names match, as find_first_match judges them;
// other gets one besides first.
static int count_matches(const char *folder, const char *pattern, const char *first,
                         char other[MAX_PATH]) {
    other[0] = '\0';
    char path[MAX_PATH];
    WIN32_FIND_DATAA found;
    HANDLE search = concat_bounded(path, MAX_PATH, folder, "\\", pattern)
                        ? FindFirstFileA(path, &found)
                        : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do {
        if (!long_name_matches(found.cFileName, pattern))
            continue;
        ++count;
        if (other[0] == '\0' && strcmp(found.cFileName, first) != 0)
            concat_bounded(other, MAX_PATH, found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

static void add_note(DeploySet *set, const char *words, const char *more) {
    size_t len = strlen(set->note);
    snprintf(set->note + len, REASON_SIZE - len, "%s%s%s", len > 0 ? "; " : "", words, more);
}

static KitMatches &kit_matches(const char *package_folder) {
    if (strcmp(last_matches.package_folder, package_folder) != 0) {
        for (int i = 0; i < DEPLOY_STEP_COUNT; ++i) {
            last_matches.found[i] =
                find_first_match(package_folder, deploy_steps[i].pattern, last_matches.names[i],
                                 &last_matches.attributes[i]);
            last_matches.counts[i] =
                last_matches.found[i] ? count_matches(package_folder, deploy_steps[i].pattern,
                                                      last_matches.names[i], last_matches.others[i])
                                      : 0;
        }
        concat_bounded(last_matches.package_folder, MAX_PATH, package_folder);
    }
    return last_matches;
}

static bool search_kept(int step, void *matches) {
    return static_cast<const KitMatches *>(matches)->found[step];
}

bool find_kit_files(const char *package_folder, HostRelease release, const ProductRecord &product,
                    DeploySet *set, char *reason) {
    KitMatches &matches = kit_matches(package_folder);
    set->count = 0;
    set->note[0] = '\0';
    StepAction actions[DEPLOY_STEP_COUNT];
    int stopped = plan_deploy_steps(release, search_kept, &matches, actions);
    if (stopped >= 0) {
        one_line(reason, REASON_SIZE, deploy_steps[stopped].missing_message);
        return false;
    }
    for (int i = 0; i < DEPLOY_STEP_COUNT; ++i) {
        const DeployStep &step = deploy_steps[i];
        if (actions[i] == STEP_SKIPPED)
            continue;
        // The installer takes its first match; a fleet must not guess which
        // driver was meant.
        if (matches.counts[i] > 1 && step.required) {
            snprintf(reason, REASON_SIZE,
                     "%d files match %s in the kit (%s, %s%s): it must hold one", matches.counts[i],
                     step.pattern, matches.names[i], matches.others[i],
                     matches.counts[i] > 2 ? ", ..." : "");
            return false;
        }
        if (matches.counts[i] > 1) {
            char words[64];
            snprintf(words, sizeof words, "%d files match %s, the one used: ", matches.counts[i],
                     step.pattern);
            add_note(set, words, matches.names[i]);
        }
        const char *folder = folder_of(product, step.into_help_folder);
        bool missing = actions[i] == STEP_MISSING_SAID;
        DWORD attributes =
            step.required || missing ? FILE_ATTRIBUTE_DIRECTORY : GetFileAttributesA(folder);
        if (missing || attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            // The installer goes on without help files; so does this.
            add_note(set, missing ? "no help file in the kit: " : "no help folder for ",
                     step.pattern);
            continue;
        }
        DeployFile &file = set->files[set->count];
        file.in_help_folder = step.into_help_folder;
        file.source_read_only = (matches.attributes[i] & FILE_ATTRIBUTE_READONLY) != 0;
        file.state = TARGET_ABSENT;
        file.error = ERROR_SUCCESS;
        if (!concat_bounded(file.name, MAX_PATH, matches.names[i]) ||
            !concat_bounded(file.source, MAX_PATH, package_folder, "\\", file.name) ||
            !product_file_path(file.target, folder, file.name, "") ||
            strlen(file.target) + sizeof ".kapnew" > MAX_PATH) {
            snprintf(reason, REASON_SIZE, "the path of %s is too long", matches.names[i]);
            return false;
        }
        ++set->count;
    }
    return true;
}

// Whether the target holds the source's bytes (opened first: a missing one
// costs one call). A read that fails is told by its error: another program
// may hold the file or a part of it.
static TargetState compare_file(const char *source, const char *target, DWORD *error) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    *error = ERROR_SUCCESS;
    HANDLE ft = CreateFileA(target, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (ft == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return not_found_error(*error) ? TARGET_ABSENT : TARGET_UNREADABLE;
    }
    HANDLE fs = CreateFileA(source, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    bool same = fs != INVALID_HANDLE_VALUE && GetFileSize(fs, nullptr) == GetFileSize(ft, nullptr);
    bool read = true;
    static char block_s[1 << 16];
    static char block_t[1 << 16];
    for (DWORD got_s = 1, got_t = 0; same && got_s > 0;) {
        read = ReadFile(ft, block_t, sizeof block_t, &got_t, nullptr) &&
               ReadFile(fs, block_s, sizeof block_s, &got_s, nullptr);
        same = read && got_s == got_t && memcmp(block_s, block_t, got_s) == 0;
    }
    if (!read)
        *error = GetLastError();
    if (fs != INVALID_HANDLE_VALUE)
        CloseHandle(fs);
    CloseHandle(ft);
    return !read ? TARGET_UNREADABLE : same ? TARGET_SAME : TARGET_DIFFERS;
}

SetState compare_set(DeploySet *set) {
    int present = 0;
    int same = 0;
    for (int i = 0; i < set->count; ++i) {
        DeployFile &file = set->files[i];
        file.state = compare_file(file.source, file.target, &file.error);
        same += file.state == TARGET_SAME ? 1 : 0;
        present += file.state == TARGET_ABSENT ? 0 : 1;
    }
    return same == set->count ? SET_INSTALLED : present == 0 ? SET_ABSENT : SET_OTHER;
}

// Whether another program holds the target so that it cannot be renamed;
// a missing target is free.
static bool held_by_another(const char *target, DWORD *error) {
    HANDLE h = CreateFileA(target, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    *error = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return in_use_error(*error);
}

static bool first_held(const DeploySet &set, char *reason) {
    for (int i = 0; i < set.count; ++i) {
        DWORD error;
        if (set.files[i].state != TARGET_ABSENT && held_by_another(set.files[i].target, &error)) {
            tell_error(reason, "another program is using", set.files[i].target, error);
            return true;
        }
    }
    return false;
}

static void fill_journal(const DeploySet &set, JournalOp op, Journal *journal) {
    journal->count = set.count;
    for (int i = 0; i < set.count; ++i) {
        journal->entries[i].op = op;
        journal->entries[i].in_help_folder = set.files[i].in_help_folder;
        concat_bounded(journal->entries[i].name, PATH_BUFFER_SIZE, set.files[i].name);
    }
}

// Puts back a target after its replacing failed: its new file goes back to
// .kapnew first, so the journal still finishes the change if this run is
// cut now. Its old file comes back only where it was moved away: a .kapold
// that stood in the way of that move is not ours.
static void undo_replacing(const DeployFile &file, bool replaced) {
    char next[MAX_PATH];
    char old[MAX_PATH];
    DWORD ignored;
    with_suffix(next, file.target, new_suffix);
    with_suffix(old, file.target, old_suffix);
    if (replaced)
        move_own(file.target, next, &ignored);
    if (file.state != TARGET_ABSENT && !exists(file.target))
        move_own(old, file.target, &ignored);
}

static bool replace_target(const DeployFile &file, DWORD *error) {
    char next[MAX_PATH];
    char old[MAX_PATH];
    with_suffix(next, file.target, new_suffix);
    with_suffix(old, file.target, old_suffix);
    // A target that was absent when compared is not asked about again. The
    // product's own file is not retried: AutoCAD may hold it for hours.
    DWORD attributes =
        file.state != TARGET_ABSENT ? GetFileAttributesA(file.target) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesA(file.target, FILE_ATTRIBUTE_NORMAL);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        !MoveFileExA(file.target, old, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *error = GetLastError();
        return false;
    }
    return move_own(next, file.target, error);
}

// The old files exist only where a target was present.
static bool drop_suffixed(const DeploySet &set, const char *suffix, char *reason) {
    bool dropped = true;
    for (int i = 0; i < set.count; ++i) {
        if (suffix == old_suffix && set.files[i].state == TARGET_ABSENT)
            continue;
        char path[MAX_PATH];
        DWORD error;
        with_suffix(path, set.files[i].target, suffix);
        if (!drop_own(path, &error) && dropped && reason != nullptr)
            tell_error(reason, "could not delete", path, error);
        dropped = dropped && error == ERROR_SUCCESS;
    }
    return dropped;
}

// The folders the set writes in, each flushed once.
static bool flush_folders(const DeploySet &set, const ProductRecord &product, char *reason) {
    bool help = false;
    for (int i = 0; i < set.count; ++i)
        help = help || set.files[i].in_help_folder;
    for (int h = 0; h <= (help ? 1 : 0); ++h) {
        DWORD error;
        if (!flush_folder(folder_of(product, h == 1), &error)) {
            tell_error(reason, "could not write to the disk the names in",
                       folder_of(product, h == 1), error);
            return false;
        }
    }
    return true;
}

// Once the change's names are on the disk, the journal goes, and the old
// files with it: after it for an install (a target that is there keeps its
// new file), before it for a remove (an old file without a journal would
// come back). What a power cut takes of these deletions, or an old file
// that cannot be deleted once the journal is gone, the next run settles.
// False with the reason when a step fails; a journal left then finishes
// the change in the next run.
static bool complete(const DeploySet &set, const ProductRecord &product, bool journal_first,
                     char *reason) {
    DWORD error;
    if (!flush_folders(set, product, reason) ||
        (!journal_first && !drop_suffixed(set, old_suffix, reason)))
        return false;
    if (!delete_journal(product, &error)) {
        tell_error(reason, "could not delete the journal in", product.driver_folder, error);
        return false;
    }
    if (journal_first)
        drop_suffixed(set, old_suffix, nullptr);
    return true;
}

// Copies each kit file beside its target and flushes it; on a failure the
// copies made are dropped.
static bool copy_new_files(const DeploySet &set, char *reason, DWORD *error) {
    for (int i = 0; i < set.count; ++i) {
        char next[MAX_PATH];
        with_suffix(next, set.files[i].target, new_suffix);
        bool copied = copy_own(set.files[i].source, next, error);
        if (copied && set.files[i].source_read_only)
            SetFileAttributesA(next, FILE_ATTRIBUTE_NORMAL);
        if (!copied || !flush_file(next, error)) {
            tell_error(reason, copied ? "could not write to the disk" : "could not copy", next,
                       *error);
            drop_suffixed(set, new_suffix, nullptr);
            return false;
        }
    }
    return true;
}

// The checks between the comparison and the first write, which a dry run
// makes too; OUTCOME_DONE when nothing stands in the way.
static ProductOutcome ready_to_write(const DeploySet &set, const ProductRecord &product,
                                     char *reason) {
    if (first_held(set, reason))
        return OUTCOME_IN_USE;
    return check_writable(set, product, reason);
}

static void log_file(const char *what, const char *name, const char *to, const char *target) {
    char line[2 * MAX_PATH + 16];
    snprintf(line, sizeof line, "%s %s%s%s", what, name, to, target);
    log_note(line);
}

static const char dry_run_words[] =
    "every file read, every folder takes a file (dry run: nothing changed)";

ProductOutcome install_set(DeploySet *changed, const ProductRecord &product, bool dry_run,
                           char *reason) {
    const DeploySet &set = *changed;
    if (compare_set(changed) == SET_INSTALLED) {
        snprintf(reason, REASON_SIZE, "already installed: the %d files equal the kit's", set.count);
        return OUTCOME_ALREADY;
    }
    ProductOutcome blocked = check_readable(set, reason);
    if (blocked == OUTCOME_DONE)
        blocked = ready_to_write(set, product, reason);
    if (blocked != OUTCOME_DONE)
        return blocked;
    if (dry_run) {
        snprintf(reason, REASON_SIZE, "would install %d files: %s", set.count, dry_run_words);
        return OUTCOME_DONE;
    }
    DWORD error;
    if (!copy_new_files(set, reason, &error))
        return in_use_error(error) ? OUTCOME_IN_USE : OUTCOME_FAILED;
    Journal journal;
    fill_journal(set, JOURNAL_REPLACE, &journal);
    if (!write_journal_file(product, journal, &error)) {
        tell_error(reason, "could not write the journal in", product.driver_folder, error);
        drop_suffixed(set, new_suffix, nullptr);
        return in_use_error(error) ? OUTCOME_IN_USE : OUTCOME_FAILED;
    }
    for (int i = 0; i < set.count; ++i) {
        if (replace_target(set.files[i], &error))
            continue;
        tell_error(reason, in_use_error(error) ? "another program is using" : "could not replace",
                   set.files[i].target, error);
        for (int j = i; j >= 0; --j)
            undo_replacing(set.files[j], j < i);
        // Without a journal, the next run drops whatever new copy is left.
        DWORD ignored;
        char words[REASON_SIZE];
        if (flush_folders(set, product, words) && delete_journal(product, &ignored))
            drop_suffixed(set, new_suffix, nullptr);
        return in_use_error(error) ? OUTCOME_IN_USE : OUTCOME_FAILED;
    }
    if (!complete(set, product, true, reason))
        return OUTCOME_FAILED;
    for (int i = 0; i < set.count; ++i)
        log_file("copied", set.files[i].source, " to ", set.files[i].target);
    snprintf(reason, REASON_SIZE, "installed %d files", set.count);
    return OUTCOME_DONE;
}

ProductOutcome remove_set(DeploySet *set, const ProductRecord &product, bool dry_run,
                          char *reason) {
    compare_set(set);
    ProductOutcome blocked = check_readable(*set, reason);
    if (blocked != OUTCOME_DONE)
        return blocked;
    DeploySet ours; // the targets that equal their kit file
    ours.count = 0;
    char kept[REASON_SIZE] = "";
    for (int i = 0; i < set->count; ++i) {
        const DeployFile &file = set->files[i];
        if (file.state == TARGET_SAME)
            ours.files[ours.count++] = file;
        else if (file.state == TARGET_DIFFERS)
            snprintf(kept + strlen(kept), sizeof kept - strlen(kept),
                     "; kept %s: it differs from the kit's file", file.target);
    }
    if (ours.count == 0) {
        snprintf(reason, REASON_SIZE, "nothing to remove: none of the kit's files is there%s",
                 kept);
        return OUTCOME_ALREADY;
    }
    blocked = ready_to_write(ours, product, reason);
    if (blocked != OUTCOME_DONE)
        return blocked;
    if (dry_run) {
        snprintf(reason, REASON_SIZE, "would remove %d files: %s%s", ours.count, dry_run_words,
                 kept);
        return OUTCOME_DONE;
    }
    Journal journal;
    DWORD error;
    fill_journal(ours, JOURNAL_DELETE, &journal);
    if (!write_journal_file(product, journal, &error)) {
        tell_error(reason, "could not write the journal in", product.driver_folder, error);
        return in_use_error(error) ? OUTCOME_IN_USE : OUTCOME_FAILED;
    }
    for (int i = 0; i < ours.count; ++i) {
        char old[MAX_PATH];
        const char *target = ours.files[i].target;
        with_suffix(old, target, old_suffix);
        SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
        if (MoveFileExA(target, old, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            continue;
        error = GetLastError();
        tell_error(reason, in_use_error(error) ? "another program is using" : "could not remove",
                   target, error);
        for (int j = i - 1; j >= 0; --j) {
            DWORD ignored;
            with_suffix(old, ours.files[j].target, old_suffix);
            move_own(old, ours.files[j].target, &ignored);
        }
        DWORD ignored;
        char words[REASON_SIZE];
        if (flush_folders(ours, product, words))
            delete_journal(product, &ignored);
        return in_use_error(error) ? OUTCOME_IN_USE : OUTCOME_FAILED;
    }
    if (!complete(ours, product, false, reason))
        return OUTCOME_FAILED;
    for (int i = 0; i < ours.count; ++i)
        log_file("removed", ours.files[i].target, "", "");
    snprintf(reason, REASON_SIZE, "removed %d files%s", ours.count, kept);
    return OUTCOME_DONE;
}
