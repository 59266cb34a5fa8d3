// The kit's files for a product, found as the installer finds them, and
// compared with what the product holds.
#include "deploy_files.h"

#include <stdio.h>
#include <string.h>

#include "../control/one_line.h"
#include "../control/text.h"
#include "../host/version_resource.h"
#include "../package/first_match.h"
#include "deploy_digest.h"
#include "deploy_file_ops.h"

// What the steps' searches found in one package folder, kept for the next
// product of the same release and language: 50 products, one search.
struct KitMatches {
    char package_folder[MAX_PATH];
    bool found[DEPLOY_STEP_COUNT];
    char names[DEPLOY_STEP_COUNT][MAX_PATH];
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
                find_first_match(package_folder, deploy_steps[i].pattern, last_matches.names[i]);
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
        const ProductFolder where = step.into_help_folder ? FOLDER_HELP : FOLDER_DRV;
        const char *folder = folder_of(product, where);
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
        file.folder = where;
        file.dropped = false;
        file.digest[0] = '\0';
        file.state = TARGET_ABSENT;
        file.error = ERROR_SUCCESS;
        if (!concat_bounded(file.name, MAX_PATH, matches.names[i]) ||
            !concat_bounded(file.source, MAX_PATH, package_folder, "\\", file.name) ||
            !compose_destination(file.target, folder, file.name) ||
            strlen(file.target) + sizeof ".kapnew" > MAX_PATH) {
            snprintf(reason, REASON_SIZE, "the path of %s is too long", matches.names[i]);
            return false;
        }
        ++set->count;
    }
    return true;
}

bool writes_in(const DeploySet &set, ProductFolder folder) {
    for (int i = 0; i < set.count; ++i) {
        if (set.files[i].folder == folder)
            return true;
    }
    return false;
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

// Whether the target's bytes have the digest.
static TargetState compare_digest(const char *target, const char *digest, DWORD *error) {
    char got[DIGEST_TEXT_SIZE];
    unsigned long long size;
    if (digest_file(target, got, &size, error))
        return strcmp(got, digest) == 0 ? TARGET_SAME : TARGET_DIFFERS;
    return not_found_error(*error) ? TARGET_ABSENT : TARGET_UNREADABLE;
}

void compare_target(DeployFile *file) {
    file->state = file->source[0] != '\0'
                      ? compare_file(file->source, file->target, &file->error)
                      : compare_digest(file->target, file->digest, &file->error);
}

SetState compare_set(DeploySet *set) {
    int present = 0;
    int same = 0;
    for (int i = 0; i < set->count; ++i) {
        DeployFile &file = set->files[i];
        compare_target(&file);
        same += file.state == TARGET_SAME ? 1 : 0;
        present += file.state == TARGET_ABSENT ? 0 : 1;
    }
    return same == set->count ? SET_INSTALLED : present == 0 ? SET_ABSENT : SET_OTHER;
}

// The products of one language and release get the same build: its files
// are read and hashed once per run (the kit's matches are kept the same way).
static BuildRecord last_build;
static FourPartVersion last_level;
static char last_driver[MAX_PATH];

static bool same_build(const DeploySet &set, const FourPartVersion &level) {
    return set.count == last_build.count && strcmp(set.files[0].source, last_driver) == 0 &&
           compare_versions(level, last_level) == 0;
}

bool identify_build(DeploySet *set, const FourPartVersion &level, BuildRecord *build,
                    char *reason) {
    if (same_build(*set, level)) {
        *build = last_build;
        for (int i = 0; i < set->count; ++i)
            concat_bounded(set->files[i].digest, DIGEST_TEXT_SIZE, build->files[i].digest);
        return true;
    }
    unsigned long long bytes = 0;
    build->count = 0;
    for (int i = 0; i < set->count; ++i) {
        DeployFile &file = set->files[i];
        BuildFile &kept = build->files[build->count++];
        unsigned long long size;
        DWORD error;
        if (!digest_file(file.source, file.digest, &size, &error)) {
            tell_error(reason, "could not read the kit's", file.source, error);
            return false;
        }
        bytes += size;
        kept.in_help_folder = file.folder == FOLDER_HELP;
        concat_bounded(kept.name, PATH_BUFFER_SIZE, file.name);
        concat_bounded(kept.digest, DIGEST_TEXT_SIZE, file.digest);
    }
    char manifest[DEPLOY_STEP_COUNT * (PATH_BUFFER_SIZE + DIGEST_TEXT_SIZE + 8)];
    size_t len = format_build_manifest(build->files, build->count, manifest, sizeof manifest);
    DWORD error;
    if (!digest_bytes(manifest, len, build->digest, &error)) {
        tell_error(reason, "could not compute the digest of the build in", set->files[0].source,
                   error);
        return false;
    }
    build->size_kb = static_cast<unsigned long>((bytes + 1023) / 1024);
    // The driver is the first file: its step always runs and is required.
    build->version = level;
    read_version_resource(set->files[0].source, &build->version);
    last_build = *build;
    last_level = level;
    concat_bounded(last_driver, MAX_PATH, set->files[0].source);
    return true;
}

RecordState read_record(const ProductRecord &product, BuildRecord *record, char *reason) {
    char path[MAX_PATH];
    if (!compose_destination(path, product.location, record_name))
        return RECORD_NONE;
    // One byte more than a record takes tells a longer file.
    static char text[RECORD_MOST_BYTES + 1];
    DWORD got;
    DWORD error;
    if (!read_own_file(path, text, sizeof text, &got, &error)) {
        if (not_found_error(error))
            return RECORD_NONE;
        tell_error(reason, "could not read the install record", path, error);
        return RECORD_FOREIGN;
    }
    if (read_build_record(text, got, record))
        return RECORD_OURS;
    snprintf(reason, REASON_SIZE,
             "%s is not an install record of this program: look at it and "
             "remove it",
             path);
    return RECORD_FOREIGN;
}
