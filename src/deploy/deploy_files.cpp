// The file work of kapdeploy. A change is prepared beside the targets
// (name.kapnew), recorded in the journal, then made with renames that keep
// the old files (name.kapold) until every target is in place. While the
// journal exists a change is finished by the next run; without it, the
// temporary files are only removed. The order here keeps that true at every
// moment a run may be killed.
#include "deploy_files.h"

#include <stdio.h>
#include <string.h>

#include "../control/platform.h"
#include "../control/text.h"
#include "deploy_journal.h"

static const char *folder_of(const ProductRecord &product, bool help) {
    return help ? product.help_folder : product.driver_folder;
}

static bool exists(const char *path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

static bool in_use_error(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// "name: what the system says" into reason.
static void tell_error(char *reason, const char *what, const char *name, DWORD error) {
    char words[200] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   words, sizeof words, nullptr);
    one_line(words, sizeof words, words);
    size_t len = strlen(words);
    while (len > 0 && (words[len - 1] == ' ' || words[len - 1] == '\r' || words[len - 1] == '.'))
        words[--len] = '\0';
    snprintf(reason, REASON_SIZE, "%s %s (error %lu: %s)", what, name,
             static_cast<unsigned long>(error), words);
}

static bool first_match(const char *folder, const char *pattern, char name[MAX_PATH],
                        DWORD *attributes) {
    char search_path[MAX_PATH];
    if (!concat_bounded(search_path, MAX_PATH, folder, "\\", pattern))
        return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(search_path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool matched = false;
    do {
        matched = long_name_matches(found.cFileName, pattern);
    } while (!matched && FindNextFileA(search, &found));
    FindClose(search);
    *attributes = found.dwFileAttributes;
    return matched && concat_bounded(name, MAX_PATH, found.cFileName);
}

// What the steps' searches found in one package folder, kept for the next
// product of the same release and language: 50 products, one search.
struct KitMatches {
    char package_folder[MAX_PATH];
    bool found[DEPLOY_STEP_COUNT];
    char names[DEPLOY_STEP_COUNT][MAX_PATH];
    DWORD attributes[DEPLOY_STEP_COUNT];
};

static KitMatches last_matches;

static const KitMatches &kit_matches(const char *package_folder) {
    if (strcmp(last_matches.package_folder, package_folder) != 0) {
        for (int i = 0; i < DEPLOY_STEP_COUNT; ++i)
            last_matches.found[i] = first_match(package_folder, deploy_steps[i].pattern,
                                                last_matches.names[i], &last_matches.attributes[i]);
        concat_bounded(last_matches.package_folder, MAX_PATH, package_folder);
    }
    return last_matches;
}

bool find_kit_files(const char *package_folder, HostRelease release, const ProductRecord &product,
                    DeploySet *set, char *reason) {
    const KitMatches &matches = kit_matches(package_folder);
    set->count = 0;
    set->note[0] = '\0';
    for (int i = 0; i < DEPLOY_STEP_COUNT; ++i) {
        const DeployStep &step = deploy_steps[i];
        if (!deploy_step_runs(step, release))
            continue;
        if (!matches.found[i] && step.required) {
            one_line(reason, REASON_SIZE, step.missing_message);
            return false;
        }
        const char *folder = folder_of(product, step.into_help_folder);
        DWORD attributes = step.required || !matches.found[i] ? FILE_ATTRIBUTE_DIRECTORY
                                                              : GetFileAttributesA(folder);
        if (!matches.found[i] || attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            // The installer goes on without help files; so does this.
            snprintf(set->note, REASON_SIZE, "%s",
                     matches.found[i] ? "no help folder" : "no help file in the kit");
            continue;
        }
        DeployFile &file = set->files[set->count];
        file.in_help_folder = step.into_help_folder;
        file.source_read_only = (matches.attributes[i] & FILE_ATTRIBUTE_READONLY) != 0;
        file.present = false;
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

// Whether the target holds the source's bytes; *present tells whether it
// exists at all (opened first: a missing one costs one call).
static bool same_bytes(const char *source, const char *target, bool *present) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE ft = CreateFileA(target, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    *present = ft != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND;
    if (ft == INVALID_HANDLE_VALUE)
        return false;
    HANDLE fs = CreateFileA(source, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    bool same = fs != INVALID_HANDLE_VALUE && GetFileSize(fs, nullptr) == GetFileSize(ft, nullptr);
    static char block_s[1 << 16];
    static char block_t[1 << 16];
    for (DWORD got_s = 1, got_t = 0; same && got_s > 0;) {
        same = ReadFile(fs, block_s, sizeof block_s, &got_s, nullptr) &&
               ReadFile(ft, block_t, sizeof block_t, &got_t, nullptr) && got_s == got_t &&
               memcmp(block_s, block_t, got_s) == 0;
    }
    if (fs != INVALID_HANDLE_VALUE)
        CloseHandle(fs);
    CloseHandle(ft);
    return same;
}

SetState compare_set(DeploySet *set) {
    int present = 0;
    int same = 0;
    for (int i = 0; i < set->count; ++i) {
        DeployFile &file = set->files[i];
        same += same_bytes(file.source, file.target, &file.present) ? 1 : 0;
        present += file.present ? 1 : 0;
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
        if (set.files[i].present && held_by_another(set.files[i].target, &error)) {
            tell_error(reason, "another program is using", set.files[i].target, error);
            return true;
        }
    }
    return false;
}

static bool with_suffix(char out[MAX_PATH], const char *path, const char *suffix) {
    return concat_bounded(out, MAX_PATH, path, suffix);
}

static bool move_over(const char *from, const char *to) {
    SetFileAttributesA(to, FILE_ATTRIBUTE_NORMAL);
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}

static void delete_file(const char *path) {
    if (DeleteFileA(path) || GetLastError() != ERROR_ACCESS_DENIED)
        return;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL); // read-only
    DeleteFileA(path);
}

static void journal_path(char out[MAX_PATH], const ProductRecord &product, const char *suffix) {
    product_file_path(out, product.driver_folder, journal_name, suffix);
}

// Written under a temporary name and renamed, so that it is whole or absent.
static bool write_journal_file(const ProductRecord &product, const Journal &journal) {
    char temp[MAX_PATH];
    char path[MAX_PATH];
    journal_path(temp, product, new_suffix);
    journal_path(path, product, "");
    FILE *file = fopen(temp, "wb");
    if (file == nullptr)
        return false;
    bool ok = write_journal(file, journal);
    ok = fclose(file) == 0 && ok;
    ok = ok && MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok)
        DeleteFileA(temp);
    return ok;
}

static void delete_journal(const ProductRecord &product) {
    char path[MAX_PATH];
    journal_path(path, product, "");
    DeleteFileA(path);
}

static void fill_journal(const DeploySet &set, JournalOp op, Journal *journal) {
    journal->count = set.count;
    for (int i = 0; i < set.count; ++i) {
        journal->entries[i].op = op;
        journal->entries[i].in_help_folder = set.files[i].in_help_folder;
        concat_bounded(journal->entries[i].name, PATH_BUFFER_SIZE, set.files[i].name);
    }
}

// Puts back the targets of files[0..count) after their replacing failed:
// each new file goes back to .kapnew first, so the journal still finishes
// the change if this run is killed now.
static void undo_replacing(const DeployFile &file, bool replaced) {
    char next[MAX_PATH];
    char old[MAX_PATH];
    with_suffix(next, file.target, new_suffix);
    with_suffix(old, file.target, old_suffix);
    if (replaced)
        MoveFileExA(file.target, next, MOVEFILE_REPLACE_EXISTING);
    if (exists(old))
        MoveFileExA(old, file.target, MOVEFILE_REPLACE_EXISTING);
}

static bool replace_target(const DeployFile &file, DWORD *error) {
    char next[MAX_PATH];
    char old[MAX_PATH];
    with_suffix(next, file.target, new_suffix);
    with_suffix(old, file.target, old_suffix);
    // A target that was absent when compared is not asked about again.
    DWORD attributes = file.present ? GetFileAttributesA(file.target) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesA(file.target, FILE_ATTRIBUTE_NORMAL);
    bool ok = (attributes == INVALID_FILE_ATTRIBUTES ||
               MoveFileExA(file.target, old, MOVEFILE_REPLACE_EXISTING)) &&
              MoveFileExA(next, file.target, MOVEFILE_REPLACE_EXISTING);
    *error = ok ? ERROR_SUCCESS : GetLastError();
    return ok;
}

// The old files exist only where a target was present.
static void delete_suffixed(const DeploySet &set, const char *suffix) {
    for (int i = 0; i < set.count; ++i) {
        if (suffix == old_suffix && !set.files[i].present)
            continue;
        char path[MAX_PATH];
        with_suffix(path, set.files[i].target, suffix);
        delete_file(path);
    }
}

ProductOutcome install_set(DeploySet *changed, const ProductRecord &product, bool dry_run,
                           char *reason) {
    const DeploySet &set = *changed;
    if (compare_set(changed) == SET_INSTALLED) {
        snprintf(reason, REASON_SIZE, "already installed: the %d files equal the kit's", set.count);
        return OUTCOME_ALREADY;
    }
    if (first_held(set, reason))
        return OUTCOME_IN_USE;
    if (dry_run) {
        snprintf(reason, REASON_SIZE, "would install %d files (dry run: nothing written)",
                 set.count);
        return OUTCOME_DONE;
    }
    for (int i = 0; i < set.count; ++i) {
        char next[MAX_PATH];
        with_suffix(next, set.files[i].target, new_suffix);
        if (!CopyFileA(set.files[i].source, next, FALSE)) {
            tell_error(reason, "could not copy", set.files[i].target, GetLastError());
            delete_suffixed(set, new_suffix);
            return OUTCOME_FAILED;
        }
        if (set.files[i].source_read_only)
            SetFileAttributesA(next, FILE_ATTRIBUTE_NORMAL);
    }
    Journal journal;
    fill_journal(set, JOURNAL_REPLACE, &journal);
    if (!write_journal_file(product, journal)) {
        tell_error(reason, "could not write the journal in", product.driver_folder, GetLastError());
        delete_suffixed(set, new_suffix);
        return OUTCOME_FAILED;
    }
    for (int i = 0; i < set.count; ++i) {
        DWORD error;
        if (replace_target(set.files[i], &error))
            continue;
        tell_error(reason, in_use_error(error) ? "another program is using" : "could not replace",
                   set.files[i].target, error);
        for (int j = i; j >= 0; --j)
            undo_replacing(set.files[j], j < i);
        delete_journal(product);
        delete_suffixed(set, new_suffix);
        return in_use_error(error) ? OUTCOME_IN_USE : OUTCOME_FAILED;
    }
    delete_journal(product);
    delete_suffixed(set, old_suffix);
    snprintf(reason, REASON_SIZE, "installed %d files", set.count);
    return OUTCOME_DONE;
}

ProductOutcome remove_set(const DeploySet &set, const ProductRecord &product, bool dry_run,
                          char *reason) {
    DeploySet ours; // the targets that equal their kit file
    ours.count = 0;
    char kept[REASON_SIZE] = "";
    for (int i = 0; i < set.count; ++i) {
        const DeployFile &file = set.files[i];
        bool present = false;
        if (same_bytes(file.source, file.target, &present)) {
            ours.files[ours.count] = file;
            ours.files[ours.count++].present = true;
        } else if (present) {
            snprintf(kept + strlen(kept), sizeof kept - strlen(kept),
                     "; kept %s: it differs from the kit's file", file.target);
        }
    }
    if (ours.count == 0) {
        snprintf(reason, REASON_SIZE, "nothing to remove: none of the kit's files is there%s",
                 kept);
        return OUTCOME_ALREADY;
    }
    if (first_held(ours, reason))
        return OUTCOME_IN_USE;
    if (dry_run) {
        snprintf(reason, REASON_SIZE, "would remove %d files (dry run: nothing written)%s",
                 ours.count, kept);
        return OUTCOME_DONE;
    }
    Journal journal;
    fill_journal(ours, JOURNAL_DELETE, &journal);
    if (!write_journal_file(product, journal)) {
        tell_error(reason, "could not write the journal in", product.driver_folder, GetLastError());
        return OUTCOME_FAILED;
    }
    for (int i = 0; i < ours.count; ++i) {
        char old[MAX_PATH];
        const char *target = ours.files[i].target;
        with_suffix(old, target, old_suffix);
        SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
        if (MoveFileExA(target, old, MOVEFILE_REPLACE_EXISTING))
            continue;
        DWORD error = GetLastError();
        tell_error(reason, in_use_error(error) ? "another program is using" : "could not remove",
                   target, error);
        for (int j = i - 1; j >= 0; --j) {
            with_suffix(old, ours.files[j].target, old_suffix);
            MoveFileExA(old, ours.files[j].target, 0);
        }
        delete_journal(product);
        return in_use_error(error) ? OUTCOME_IN_USE : OUTCOME_FAILED;
    }
    // The journal goes last: a run killed before it is finished by the next.
    delete_suffixed(ours, old_suffix);
    delete_journal(product);
    snprintf(reason, REASON_SIZE, "removed %d files%s", ours.count, kept);
    return OUTCOME_DONE;
}

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
