// A product's change, all or nothing, through a power cut as well as a
// killed run. The new files are copied beside the targets (name.kapnew) and
// recorded in the journal, then renamed into place, the old files kept
// (name.kapold) until every target is there; a file the change deletes is
// renamed to name.kapold too. The install record is one more file of the
// change, so it always tells the build the files are. What a power cut may
// lose is any byte written since the file's last flush; the names it keeps
// are in the order they were made. So these hold, for install and remove
// alike:
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
#include <stdio.h>
#include <string.h>

#include "../control/text.h"
#include "deploy_file_ops.h"
#include "deploy_files.h"
#include "deploy_log.h"

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

static void fill_journal(const DeploySet &set, Journal *journal) {
    journal->count = set.count;
    for (int i = 0; i < set.count; ++i) {
        journal->entries[i].op = set.files[i].dropped ? JOURNAL_DELETE : JOURNAL_REPLACE;
        journal->entries[i].folder = set.files[i].folder;
        concat_bounded(journal->entries[i].name, PATH_BUFFER_SIZE, set.files[i].name);
    }
}

// Puts back a target after its change failed: a new file goes back to
// .kapnew first, so the journal still finishes the change if this run is
// cut now. The old file comes back only where it was moved away: a .kapold
// that stood in the way of that move is not ours.
static void undo_change(const DeployFile &file, bool changed) {
    char next[MAX_PATH];
    char old[MAX_PATH];
    DWORD ignored;
    with_suffix(next, file.target, new_suffix);
    with_suffix(old, file.target, old_suffix);
    if (changed && !file.dropped)
        move_own(file.target, next, &ignored);
    if (file.state != TARGET_ABSENT && !exists(file.target))
        move_own(old, file.target, &ignored);
}

// A dropped file goes to .kapold; a replaced one's old file goes there and
// its new copy takes its name.
static bool change_target(const DeployFile &file, DWORD *error) {
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
    return file.dropped || rename_own(next, file.target, error);
}

// The old files exist only where a target was present, the new ones only
// for files the change does not drop.
static bool drop_suffixed(const DeploySet &set, const char *suffix, char *reason) {
    bool dropped = true;
    for (int i = 0; i < set.count; ++i) {
        const DeployFile &file = set.files[i];
        if (suffix == old_suffix ? file.state == TARGET_ABSENT : file.dropped)
            continue;
        char path[MAX_PATH];
        DWORD error;
        with_suffix(path, file.target, suffix);
        if (!drop_own(path, &error) && dropped && reason != nullptr)
            tell_error(reason, "could not delete", path, error);
        dropped = dropped && error == ERROR_SUCCESS;
    }
    return dropped;
}

// The folders the set writes in, each flushed once.
static bool flush_folders(const DeploySet &set, const ProductRecord &product, char *reason) {
    for (int f = 0; f < FOLDER_COUNT; ++f) {
        const ProductFolder folder = static_cast<ProductFolder>(f);
        DWORD error;
        if (writes_in(set, folder) && !flush_folder(folder_of(product, folder), &error)) {
            tell_error(reason, "could not write to the disk the names in",
                       folder_of(product, folder), error);
            return false;
        }
    }
    return true;
}

static bool drops_any(const DeploySet &set) {
    for (int i = 0; i < set.count; ++i) {
        if (set.files[i].dropped)
            return true;
    }
    return false;
}

// Once the change's names are on the disk, the journal goes, and the old
// files with it: after it where every file was replaced (a target that is
// there keeps its new file), before it where one was dropped (an old file
// without a journal would come back). What a power cut takes of these
// deletions, or an old file that cannot be deleted once the journal is
// gone, the next run settles. False with the reason when a step fails; a
// journal left then finishes the change in the next run.
static bool complete(const DeploySet &set, const ProductRecord &product, char *reason) {
    DWORD error;
    bool journal_first = !drops_any(set);
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

// A write that failed: a file the folder would not take is told as a dry
// run tells it, any other failure as what (a verb) and path.
static void tell_write_error(char *reason, bool not_made, const char *folder, const char *what,
                             const char *path, DWORD error) {
    if (not_made)
        tell_error(reason, "could not write in", folder, error);
    else
        tell_error(reason, what, path, error);
}

// Copies each kit file beside its target and flushes it; on a failure the
// copies made are dropped. The record's copy is written before.
static bool copy_new_files(const DeploySet &set, const ProductRecord &product, char *reason,
                           DWORD *error) {
    for (int i = 0; i < set.count; ++i) {
        const DeployFile &file = set.files[i];
        if (file.dropped || file.source[0] == '\0')
            continue;
        char next[MAX_PATH];
        bool not_made;
        with_suffix(next, file.target, new_suffix);
        if (!copy_flushed(file.source, next, error, &not_made)) {
            tell_write_error(reason, not_made, folder_of(product, file.folder),
                             "could not copy to the disk", next, *error);
            drop_suffixed(set, new_suffix, nullptr);
            return false;
        }
    }
    return true;
}

// The checks between the comparison and the first write; OUTCOME_DONE when
// nothing stands in the way. A dry run also tries each folder, which the
// real run's first write in it does.
static ProductOutcome ready_to_write(const DeploySet &set, const ProductRecord &product,
                                     bool dry_run, char *reason) {
    ProductOutcome blocked = check_readable(set, reason);
    if (blocked != OUTCOME_DONE)
        return blocked;
    if (first_held(set, reason))
        return OUTCOME_IN_USE;
    return dry_run ? check_writable(set, product, reason) : OUTCOME_DONE;
}

static void log_change(const DeploySet &set) {
    for (int i = 0; i < set.count; ++i) {
        char line[2 * MAX_PATH + 16];
        const DeployFile &file = set.files[i];
        if (file.dropped)
            snprintf(line, sizeof line, "removed %s", file.target);
        else if (file.source[0] != '\0')
            snprintf(line, sizeof line, "copied %s to %s", file.source, file.target);
        else
            snprintf(line, sizeof line, "recorded the build in %s", file.target);
        log_note(line);
    }
}

static ProductOutcome failed_with(DWORD error) {
    return in_use_error(error) ? OUTCOME_IN_USE : OUTCOME_FAILED;
}

// Makes the change: the new copies, the journal, the renames, the end.
// record: the new record's text, or null when the change drops the record.
static ProductOutcome commit(const DeploySet &set, const ProductRecord &product, const char *record,
                             size_t record_len, char *reason) {
    DWORD error = ERROR_SUCCESS;
    if (record != nullptr) {
        char record_copy[MAX_PATH];
        suffixed_destination(record_copy, product.location, record_name, new_suffix);
        bool not_made;
        if (!write_flushed(record_copy, record, record_len, &error, &not_made)) {
            tell_write_error(reason, not_made, product.location, "could not write", record_copy,
                             error);
            return failed_with(error);
        }
    }
    if (!copy_new_files(set, product, reason, &error))
        return failed_with(error);
    Journal journal;
    fill_journal(set, &journal);
    bool not_made;
    if (!write_journal_file(product, journal, &error, &not_made)) {
        tell_write_error(reason, not_made, product.driver_folder, "could not write the journal in",
                         product.driver_folder, error);
        drop_suffixed(set, new_suffix, nullptr);
        return failed_with(error);
    }
    for (int i = 0; i < set.count; ++i) {
        if (change_target(set.files[i], &error))
            continue;
        const bool dropping = set.files[i].dropped;
        tell_error(reason,
                   in_use_error(error) ? "another program is using"
                   : dropping          ? "could not remove"
                                       : "could not replace",
                   set.files[i].target, error);
        for (int j = i; j >= 0; --j)
            undo_change(set.files[j], j < i);
        // Without a journal, the next run drops whatever new copy is left.
        DWORD ignored;
        char words[REASON_SIZE];
        if (flush_folders(set, product, words) && delete_journal(product, &ignored))
            drop_suffixed(set, new_suffix, nullptr);
        return failed_with(error);
    }
    if (!complete(set, product, reason))
        return OUTCOME_FAILED;
    log_change(set);
    return OUTCOME_DONE;
}

static const char dry_run_words[] =
    "every file read, every folder takes a file (dry run: nothing changed)";

// "; kept <target>: <why>" added to kept (REASON_SIZE bytes).
static void name_kept(char *kept, const char *target, const char *why) {
    size_t len = strlen(kept);
    snprintf(kept + len, REASON_SIZE - len, "; kept %s: %s", target, why);
}

// The recorded digest is the kit file's when it was installed.
static const char differs_words[] = "it differs from the kit's file";

// A file of the product's with no kit file behind it: one of the recorded
// build's (digest: the recorded one), which the change may drop, or the
// record itself. Its target is "" where the path does not fit.
static DeployFile product_file(const ProductRecord &product, ProductFolder folder, const char *name,
                               const char *digest) {
    DeployFile f;
    f.source[0] = '\0';
    f.folder = folder;
    f.dropped = true;
    concat_bounded(f.name, PATH_BUFFER_SIZE, name);
    concat_bounded(f.digest, DIGEST_TEXT_SIZE, digest);
    if (!compose_destination(f.target, folder_of(product, folder), name))
        f.target[0] = '\0';
    f.state = TARGET_ABSENT;
    f.error = ERROR_SUCCESS;
    return f;
}

static DeployFile recorded_file(const ProductRecord &product, const BuildFile &file) {
    return product_file(product, file.in_help_folder ? FOLDER_HELP : FOLDER_DRV, file.name,
                        file.digest);
}

// Adds the recorded build's files that the change drops (those that still
// equal the record; one that cannot be read stops the change); names the
// ones changed since they were installed in kept.
static void add_recorded_files(DeploySet *change, const BuildRecord &recorded,
                               const BuildRecord &replacing, const ProductRecord &product,
                               char *kept) {
    for (int i = 0; i < recorded.count; ++i) {
        if (build_holds(replacing.files, replacing.count, recorded.files[i]))
            continue;
        DeployFile &file = change->files[change->count];
        file = recorded_file(product, recorded.files[i]);
        if (file.target[0] == '\0')
            continue;
        compare_target(&file);
        if (file.state == TARGET_DIFFERS)
            name_kept(kept, file.target, differs_words);
        if (file.state == TARGET_SAME || file.state == TARGET_UNREADABLE)
            ++change->count;
    }
}

// The record file as one more file of the change.
static void add_record_file(DeploySet *change, const ProductRecord &product, bool dropped) {
    DeployFile &file = change->files[change->count++];
    file = product_file(product, FOLDER_LOCATION, record_name, "");
    file.dropped = dropped;
    file.state = exists(file.target) ? TARGET_DIFFERS : TARGET_ABSENT;
}

ProductOutcome install_set(DeploySet *set, const ProductRecord &product, const BuildRecord &build,
                           const BuildRecord *recorded, bool dry_run, char *reason) {
    bool files_there = compare_set(set) == SET_INSTALLED;
    if (files_there && recorded != nullptr && strcmp(recorded->digest, build.digest) == 0) {
        snprintf(reason, REASON_SIZE, "already installed: the %d files equal the kit's",
                 set->count);
        return OUTCOME_ALREADY;
    }
    // The kit's files unless they are all there already, the record, and
    // what goes of the recorded build.
    DeploySet change = *set;
    change.count = files_there ? 0 : set->count;
    char kept[REASON_SIZE] = "";
    add_record_file(&change, product, false);
    if (recorded != nullptr)
        add_recorded_files(&change, *recorded, build, product, kept);
    ProductOutcome blocked = ready_to_write(change, product, dry_run, reason);
    if (blocked != OUTCOME_DONE)
        return blocked;
    int removed = change.count - (files_there ? 1 : set->count + 1);
    char done[96];
    if (files_there)
        snprintf(done, sizeof done, "already installed, now recorded");
    else
        snprintf(done, sizeof done, "%s %d files", dry_run ? "would install" : "installed",
                 set->count);
    if (removed > 0)
        snprintf(done + strlen(done), sizeof done - strlen(done), "%s %d of the old build's",
                 dry_run ? ", would remove" : ", removed", removed);
    if (dry_run) {
        snprintf(reason, REASON_SIZE, "%s: %s%s", done, dry_run_words, kept);
        return OUTCOME_DONE;
    }
    static char text[RECORD_MOST_BYTES];
    size_t len = format_build_record(build, text, sizeof text);
    ProductOutcome outcome = commit(change, product, text, len, reason);
    if (outcome == OUTCOME_DONE)
        snprintf(reason, REASON_SIZE, "%s%s", done, kept);
    return outcome;
}

// Deletes the set's targets that are there as they should be (state
// TARGET_SAME), and the record when drop_record; the others differ and are
// named.
static ProductOutcome remove_same(const DeploySet &set, const ProductRecord &product,
                                  bool drop_record, bool dry_run, char *reason) {
    ProductOutcome blocked = check_readable(set, reason);
    if (blocked != OUTCOME_DONE)
        return blocked;
    DeploySet ours; // the targets that equal their kit file
    ours.count = 0;
    char kept[REASON_SIZE] = "";
    for (int i = 0; i < set.count; ++i) {
        const DeployFile &file = set.files[i];
        if (file.state == TARGET_SAME) {
            ours.files[ours.count] = file;
            ours.files[ours.count++].dropped = true;
        } else if (file.state == TARGET_DIFFERS) {
            name_kept(kept, file.target, differs_words);
        }
    }
    int removed = ours.count;
    if (drop_record)
        add_record_file(&ours, product, true);
    if (ours.count == 0) {
        snprintf(reason, REASON_SIZE, "nothing to remove: none of the kit's files is there%s",
                 kept);
        return OUTCOME_ALREADY;
    }
    blocked = ready_to_write(ours, product, dry_run, reason);
    if (blocked != OUTCOME_DONE)
        return blocked;
    if (dry_run) {
        snprintf(reason, REASON_SIZE, "would remove %d files: %s%s", removed, dry_run_words, kept);
        return OUTCOME_DONE;
    }
    ProductOutcome outcome = commit(ours, product, nullptr, 0, reason);
    if (outcome == OUTCOME_DONE)
        snprintf(reason, REASON_SIZE, "removed %d files%s", removed, kept);
    return outcome;
}

ProductOutcome remove_set(DeploySet *set, const ProductRecord &product, bool dry_run,
                          char *reason) {
    compare_set(set);
    return remove_same(*set, product, false, dry_run, reason);
}

ProductOutcome remove_recorded(const BuildRecord &recorded, const ProductRecord &product,
                               bool dry_run, char *reason) {
    DeploySet set;
    set.count = 0;
    for (int i = 0; i < recorded.count; ++i) {
        set.files[set.count] = recorded_file(product, recorded.files[i]);
        set.count += set.files[set.count].target[0] != '\0' ? 1 : 0;
    }
    compare_set(&set);
    return remove_same(set, product, true, dry_run, reason);
}
