#include "kit_check.h"

#include <stdlib.h>
#include <string.h>

#include "../control/package_paths.h"
#include "../control/text.h"
#include "../package/deploy_steps.h"
#include "kit_rules.h"

// A kit folder must fit a path of at least this many characters.
static const int roomy_kit_folder = 100;
// The shortest folder a kit can sit in: a drive root such as "C:\".
static const int shortest_kit_folder = 3;

HostRelease release_at(int release) {
    return static_cast<HostRelease>(ACAD2000 + release);
}

int matched_step(const KitEntry &entry, HostRelease release) {
    for (int i = 0; i < DEPLOY_STEP_COUNT; ++i) {
        if (deploy_step_runs(deploy_steps[i], release) &&
            long_name_matches(entry.name, deploy_steps[i].pattern))
            return i;
    }
    return -1;
}

static Finding *add_finding(KitReport *report, FindingKind kind, int language, int release,
                            const char *file, int step) {
    if (report->count == report->capacity) {
        int capacity = report->capacity == 0 ? 64 : report->capacity * 2;
        void *grown =
            capacity > report->capacity
                ? realloc(report->findings, static_cast<size_t>(capacity) * sizeof(Finding))
                : nullptr;
        if (grown == nullptr) {
            report->out_of_memory = true;
            return nullptr;
        }
        report->findings = static_cast<Finding *>(grown);
        report->capacity = capacity;
    }
    Finding *finding = &report->findings[report->count++];
    memset(finding, 0, sizeof(*finding));
    finding->kind = kind;
    finding->language = language;
    finding->release = release;
    concat_bounded(finding->file, PATH_BUFFER_SIZE, file);
    finding->step = step;
    return finding;
}

static FindingKind folder_finding(FolderState state) {
    switch (state) {
    case FOLDER_MISSING:
        return KIT_FOLDER_MISSING;
    case FOLDER_NOT_A_FOLDER:
        return KIT_FOLDER_NOT_A_FOLDER;
    case FOLDER_READ:
    case FOLDER_UNREADABLE:
    case FOLDER_UNSEARCHABLE:
        break;
    }
    return KIT_FOLDER_UNREADABLE;
}

static void add_folder_finding(KitReport *report, FolderState state, int error, int language,
                               int release) {
    Finding *finding = add_finding(report, folder_finding(state), language, release, "", -1);
    if (finding != nullptr) {
        finding->error = error;
        finding->number = state == FOLDER_UNSEARCHABLE ? 1 : 0;
    }
}

// The next entry when Windows would take its name for the entry's: the
// listing is sorted with the case of letters folded.
static const KitEntry *case_twin(const KitListing &listing, const KitEntry *entry) {
    const KitEntry *next = entry + 1;
    return next < listing.entries + listing.count && ascii_equal_nocase(entry->name, next->name)
               ? next
               : nullptr;
}

static void add_twins(KitReport *report, const KitEntry &one, const KitEntry &other, int language,
                      int release) {
    Finding *finding = add_finding(report, KIT_CASE_TWINS, language, release, one.name, -1);
    if (finding != nullptr)
        concat_bounded(finding->text, PATH_BUFFER_SIZE, other.name);
}

static FindingKind unreadable_kind(int step) {
    return deploy_steps[step].required ? KIT_FILE_UNREADABLE : KIT_OPTIONAL_FILE_UNREADABLE;
}

// What one entry's own name, kind and attribute tell; step is the pattern
// its name matches, or -1; read is whether the installer reads the entry.
static void judge_entry(const KitEntry &entry, int step, bool read, int language, int release,
                        KitReport *report) {
    // Kits travel on FAT media and in archives, which list names in the
    // order they were written: any matching folder may come first.
    if (step >= 0 && entry.kind == ENTRY_FOLDER)
        add_finding(report, KIT_FOLDER_LIKE_FILE, language, release, entry.name, step);
    if (step >= 0 && entry.kind == ENTRY_OTHER)
        add_finding(report, unreadable_kind(step), language, release, entry.name, step);
    if (step >= 0 && entry.kind == ENTRY_FILE && entry.empty && deploy_steps[step].required)
        add_finding(report, KIT_FILE_EMPTY, language, release, entry.name, step);
    int byte = 0;
    NameTrouble trouble = windows_name_trouble(entry.name, &byte);
    if (trouble != NAME_FINE) {
        Finding *finding = add_finding(report, read ? KIT_NAME_REFUSED : KIT_NAME_UNPORTABLE,
                                       language, release, entry.name, step);
        if (finding != nullptr) {
            finding->error = trouble;
            finding->number = byte;
        }
    }
    for (int s = 0; step < 0 && s < DEPLOY_STEP_COUNT; ++s) {
        if (deploy_step_runs(deploy_steps[s], release_at(release)) &&
            short_name_matches(entry.name, deploy_steps[s].pattern))
            add_finding(report, KIT_SHORT_NAME_MATCH, language, release, entry.name, s);
    }
    if (read && entry.kind == ENTRY_FILE && entry.read_only)
        add_finding(report, KIT_READ_ONLY, language, release, entry.name, -1);
}

void judge_listing(const KitListing &listing, int language, int release, KitReport *report) {
    HostRelease host_release = release_at(release);
    int matches[DEPLOY_STEP_COUNT] = {0};
    int met[DEPLOY_STEP_COUNT] = {0}; // files and folders: what the search can meet
    const KitEntry *hif = find_kit_entry(listing, hif_file_name);
    const KitEntry *longest = nullptr;
    int room = PATH_BUFFER_SIZE;
    for (int i = 0; i < listing.count; ++i) {
        const KitEntry &entry = listing.entries[i];
        int step = matched_step(entry, host_release);
        judge_entry(entry, step, step >= 0 || &entry == hif, language, release, report);
        const KitEntry *twin = case_twin(listing, &entry);
        if (twin != nullptr)
            add_twins(report, entry, *twin, language, release);
        bool copied = step >= 0 && entry.kind != ENTRY_FOLDER;
        if (step >= 0)
            ++met[step];
        if (copied)
            ++matches[step];
        int entry_room =
            copied || &entry == hif
                ? longest_kit_folder(language_folder_table[language], host_release, entry.name)
                : room;
        if (entry_room < room) {
            room = entry_room;
            longest = &entry;
        }
    }
    for (int s = 0; s < DEPLOY_STEP_COUNT; ++s) {
        const DeployStep &step = deploy_steps[s];
        if (deploy_step_runs(step, host_release) && met[s] == 0)
            add_finding(report, step.required ? KIT_FILE_MISSING : KIT_OPTIONAL_FILE_MISSING,
                        language, release, step.pattern, s);
        for (int i = 0; matches[s] > 1 && i < listing.count; ++i) {
            const KitEntry &entry = listing.entries[i];
            if (entry.kind == ENTRY_FOLDER || matched_step(entry, host_release) != s)
                continue;
            Finding *finding =
                add_finding(report, KIT_SEVERAL_MATCHES, language, release, entry.name, s);
            if (finding != nullptr)
                finding->number = matches[s];
        }
    }
    if (hif == nullptr)
        add_finding(report, KIT_HIF_MISSING, language, release, hif_file_name, -1);
    else if (hif->kind != ENTRY_FILE)
        add_finding(report, KIT_HIF_UNREADABLE, language, release, hif->name, -1);
    if (longest != nullptr && room < roomy_kit_folder) {
        Finding *finding =
            add_finding(report, room < shortest_kit_folder ? KIT_PATH_TOO_LONG : KIT_PATH_LONG,
                        language, release, longest->name, -1);
        if (finding != nullptr)
            finding->number = room;
    }
}

static Finding *add_level_finding(KitReport *report, FindingKind kind, const FourPartVersion &level,
                                  const char *line, const char *hif_name, int language,
                                  int release) {
    Finding *finding = add_finding(report, kind, language, release, hif_name, -1);
    if (finding != nullptr) {
        finding->level = level;
        concat_bounded(finding->text, PATH_BUFFER_SIZE, line);
    }
    return finding;
}

void judge_level(HifResult result, const FourPartVersion &level, const char *line,
                 const char *hif_name, int language, int release, KitReport *report) {
    if (result == HIF_CANNOT_OPEN) {
        add_finding(report, KIT_HIF_UNREADABLE, language, release, hif_name, -1);
        return;
    }
    if (result == HIF_KEY_MISSING) {
        add_level_finding(report, KIT_LEVEL_MISSING, level, line, hif_name, language, release);
        return;
    }
    if (level.major == 0 && level.minor == 0 && level.build == 0 && level.revision == 0) {
        add_level_finding(report, KIT_LEVEL_ZERO, level, line, hif_name, language, release);
        return;
    }
    KitLevels &levels = report->levels;
    levels.level[language][release] = level;
    levels.read[language][release] = true;
    concat_bounded(levels.line[language][release], HIF_LINE_SIZE, line);
    uint16_t minor = 0;
    if (release_pinned_minor(release_at(release), &minor) && level.minor != minor) {
        Finding *finding =
            add_level_finding(report, KIT_MINOR_MISMATCH, level, line, hif_name, language, release);
        if (finding != nullptr)
            finding->number = minor;
    }
    int digit = release_library_digit(release_at(release)) - '0';
    if (level.major != digit) {
        Finding *finding =
            add_level_finding(report, KIT_MAJOR_UNUSUAL, level, line, hif_name, language, release);
        if (finding != nullptr)
            finding->number = digit;
    }
}

// Whether the key's letters stand anywhere in the text, in any case.
static bool mentions(const char *text, const char *key) {
    size_t key_len = strlen(key);
    for (; *text != '\0'; ++text) {
        size_t i = 0;
        while (i < key_len && text[i] != '\0' && (text[i] | 0x20) == (key[i] | 0x20))
            ++i;
        if (i == key_len)
            return true;
    }
    return false;
}

// A file without the key's line often has it misspelt or behind a byte
// order mark: the first piece of a line that mentions the key, or "".
static void nearest_key_line(FILE *file, char line[HIF_LINE_SIZE]) {
    line[0] = '\0';
    rewind(file);
    char piece[HIF_LINE_SIZE];
    while (fgets(piece, sizeof(piece), file) != nullptr) {
        if (mentions(piece, driver_level_key)) {
            concat_bounded(line, HIF_LINE_SIZE, piece);
            return;
        }
    }
}

// Reads the folder's kap.hif and tries each file the installer would copy.
static void check_files(const KitRoot &kit, const char *folder, const KitListing &listing,
                        int language, int release, KitReport *report) {
    char path[KIT_RELATIVE_SIZE];
    const KitEntry *hif = find_kit_entry(listing, hif_file_name);
    int error = 0;
    if (hif != nullptr && hif->kind == ENTRY_FILE) {
        FILE *file = concat_bounded(path, sizeof(path), folder, kit_separator, hif->name)
                         ? open_kit_file(kit, path, &error)
                         : nullptr;
        if (file != nullptr) {
            // As the installer does: fields the line does not give stay 0.
            uint16_t values[HIF_VALUE_COUNT] = {0, 0, 0, 0};
            char line[HIF_LINE_SIZE] = "";
            HifResult result = hif_read_line(file, driver_level_key, values, line);
            if (result == HIF_KEY_MISSING)
                nearest_key_line(file, line);
            fclose(file);
            FourPartVersion level = {values[0], values[1], values[2], values[3]};
            judge_level(result, level, line, hif->name, language, release, report);
        } else {
            Finding *finding =
                add_finding(report, KIT_HIF_UNREADABLE, language, release, hif->name, -1);
            if (finding != nullptr)
                finding->error = error;
        }
    }
    for (int i = 0; i < listing.count; ++i) {
        const KitEntry &entry = listing.entries[i];
        int step = matched_step(entry, release_at(release));
        if (step < 0 || entry.kind != ENTRY_FILE)
            continue;
        FILE *file = concat_bounded(path, sizeof(path), folder, kit_separator, entry.name)
                         ? open_kit_file(kit, path, &error)
                         : nullptr;
        if (file != nullptr) {
            fclose(file);
            continue;
        }
        Finding *finding =
            add_finding(report, unreadable_kind(step), language, release, entry.name, step);
        if (finding != nullptr)
            finding->error = error;
    }
}

// Lists the child folder of the given name (found as Windows finds it)
// into *listing, sorted, and its path inside the kit into path. Names that
// Windows takes for the child's are reported in the child's cell.
static FolderState open_child(const KitRoot &kit, const char *parent, const KitListing &siblings,
                              const char *name, char path[KIT_RELATIVE_SIZE], KitListing *listing,
                              int *error) {
    *error = 0;
    const KitEntry *entry = find_kit_entry(siblings, name);
    if (entry == nullptr)
        return FOLDER_MISSING;
    if (entry->kind == ENTRY_FILE)
        return FOLDER_NOT_A_FOLDER;
    bool fits = parent[0] == '\0'
                    ? concat_bounded(path, KIT_RELATIVE_SIZE, entry->name)
                    : concat_bounded(path, KIT_RELATIVE_SIZE, parent, kit_separator, entry->name);
    if (!fits)
        return FOLDER_UNREADABLE;
    FolderState state = list_kit_folder(kit, path, listing, error);
    sort_kit_listing(listing);
    return state;
}

static void report_twins(const KitListing &listing, const char *name, int language, int release,
                         KitReport *report) {
    const KitEntry *entry = find_kit_entry(listing, name);
    if (entry == nullptr)
        return;
    // The listing is sorted case-folded: a twin stands right before or after.
    if (entry > listing.entries && ascii_equal_nocase(entry[-1].name, name))
        add_twins(report, entry[-1], *entry, language, release);
    else if (case_twin(listing, entry) != nullptr)
        add_twins(report, *entry, entry[1], language, release);
}

struct Progress {
    FILE *out;
    unsigned long last_ms;
    int total;
};

static void check_language(const KitRoot &kit, const KitListing &top, int language,
                           KitReport *report, Progress *progress) {
    char language_path[KIT_RELATIVE_SIZE];
    KitListing releases = {nullptr, 0, 0};
    int error = 0;
    FolderState state =
        open_child(kit, "", top, language_folder_table[language], language_path, &releases, &error);
    if (state != FOLDER_READ)
        add_folder_finding(report, state, error, language, -1);
    for (int release = 0; state == FOLDER_READ && release < RELEASE_COUNT; ++release) {
        if (!language_offered(language, release_at(release)))
            continue;
        report_twins(releases, release_folder_names[release], language, release, report);
        char path[KIT_RELATIVE_SIZE];
        KitListing listing = {nullptr, 0, 0};
        FolderState found = open_child(kit, language_path, releases, release_folder_names[release],
                                       path, &listing, &error);
        if (found == FOLDER_READ) {
            judge_listing(listing, language, release, report);
            check_files(kit, path, listing, language, release, report);
        } else {
            add_folder_finding(report, found, error, language, release);
        }
        free_kit_listing(&listing);
        ++report->folders_checked;
        if (progress->out != nullptr && progress_due(kit_clock_ms(), &progress->last_ms))
            fprintf(progress->out, "kapkit: %d of %d folders checked\n", report->folders_checked,
                    progress->total);
    }
    free_kit_listing(&releases);
}

// A folder without any language folder is not a kit; say what it looks like.
static KitShape kit_shape(const KitListing &top) {
    for (int i = 0; i < LANGUAGE_COUNT; ++i) {
        if (find_kit_entry(top, language_folder_table[i]) != nullptr)
            return SHAPE_KIT;
    }
    for (int i = 0; i < RELEASE_COUNT; ++i) {
        if (find_kit_entry(top, release_folder_names[i]) != nullptr)
            return SHAPE_LANGUAGE_FOLDER;
    }
    return find_kit_entry(top, hif_file_name) != nullptr ? SHAPE_RELEASE_FOLDER
                                                         : SHAPE_NOTHING_KNOWN;
}

void check_kit(const char *kit, KitReport *report, FILE *progress) {
    memset(report, 0, sizeof(*report));
    KitListing top = {nullptr, 0, 0};
    KitRoot root;
    report->kit_state = open_kit_root(kit, &root, &report->kit_error);
    if (report->kit_state == FOLDER_READ)
        report->kit_state = list_kit_folder(root, "", &top, &report->kit_error);
    sort_kit_listing(&top);
    report->shape = report->kit_state == FOLDER_READ ? kit_shape(top) : SHAPE_KIT;
    Progress state = {progress, kit_clock_ms(), 0};
    for (int language = 0; language < LANGUAGE_COUNT; ++language) {
        for (int release = 0; release < RELEASE_COUNT; ++release)
            state.total += language_offered(language, release_at(release)) ? 1 : 0;
    }
    bool walk = report->kit_state == FOLDER_READ && report->shape == SHAPE_KIT;
    for (int language = 0; walk && language < LANGUAGE_COUNT; ++language) {
        report_twins(top, language_folder_table[language], language, -1, report);
        check_language(root, top, language, report, &state);
    }
    close_kit_root(&root);
    free_kit_listing(&top);
    finish_kit_report(report);
}

void free_kit_report(KitReport *report) {
    free(report->findings);
    report->findings = nullptr;
    report->count = 0;
    report->capacity = 0;
}

static bool same_level(const FourPartVersion &a, const FourPartVersion &b) {
    return a.major == b.major && a.minor == b.minor && a.build == b.build &&
           a.revision == b.revision;
}

// For each release, the level most languages have (the earlier language's
// on a tie); every other level is reported where it stands.
static void compare_levels(KitReport *report) {
    const KitLevels &levels = report->levels;
    for (int release = 0; release < RELEASE_COUNT; ++release) {
        int best = -1;
        int best_count = 0;
        for (int a = 0; a < LANGUAGE_COUNT; ++a) {
            int count = 0;
            for (int b = 0; levels.read[a][release] && b < LANGUAGE_COUNT; ++b)
                count += levels.read[b][release] &&
                         same_level(levels.level[a][release], levels.level[b][release]);
            if (count > best_count) {
                best = a;
                best_count = count;
            }
        }
        for (int language = 0; best >= 0 && language < LANGUAGE_COUNT; ++language) {
            if (!levels.read[language][release] ||
                same_level(levels.level[language][release], levels.level[best][release]))
                continue;
            Finding *finding =
                add_level_finding(report, KIT_LEVEL_DIFFERS, levels.level[language][release],
                                  levels.line[language][release], hif_file_name, language, release);
            if (finding != nullptr) {
                finding->other_level = levels.level[best][release];
                finding->number = best_count;
            }
        }
    }
}

static bool same_family(const FourPartVersion &a, const FourPartVersion &b) {
    return a.major == b.major && a.minor == b.minor;
}

// A host accepts a driver only when its major and minor fields are the
// host's own, and hosts of two releases never share both: one pair in two
// release columns fails in one of them at least.
static void compare_releases(KitReport *report) {
    const KitLevels &levels = report->levels;
    for (int language = 0; language < LANGUAGE_COUNT; ++language) {
        for (int release = 0; release < RELEASE_COUNT; ++release) {
            int other = -1;
            for (int r = 0; levels.read[language][release] && other < 0 && r < RELEASE_COUNT; ++r) {
                for (int l = 0; r != release && other < 0 && l < LANGUAGE_COUNT; ++l)
                    other = levels.read[l][r] &&
                                    same_family(levels.level[l][r], levels.level[language][release])
                                ? r
                                : -1;
            }
            Finding *finding = other < 0 ? nullptr
                                         : add_level_finding(report, KIT_LEVEL_OF_OTHER_RELEASE,
                                                             levels.level[language][release],
                                                             levels.line[language][release],
                                                             hif_file_name, language, release);
            if (finding != nullptr)
                finding->number = other;
        }
    }
}

static int by_place_and_kind(const void *pa, const void *pb) {
    const Finding &a = *static_cast<const Finding *>(pa);
    const Finding &b = *static_cast<const Finding *>(pb);
    if (a.language != b.language)
        return a.language - b.language;
    if (a.release != b.release)
        return a.release - b.release;
    if (a.kind != b.kind)
        return a.kind - b.kind;
    if (a.step != b.step)
        return a.step - b.step; // patterns in the order the installer copies them
    return strcmp(a.file, b.file);
}

// Keeps the first findings of each kind in each folder; the last one kept
// counts the rest. The findings are sorted.
static void cut_floods(KitReport *report) {
    if (report->findings == nullptr)
        return;
    int kept = 0;
    int run = 0;
    for (int i = 0; i < report->count; ++i) {
        const Finding &finding = report->findings[i];
        const Finding *last = kept > 0 ? &report->findings[kept - 1] : nullptr;
        bool same_run = last != nullptr && last->language == finding.language &&
                        last->release == finding.release && last->kind == finding.kind;
        run = same_run ? run + 1 : 1;
        if (run > FINDINGS_SHOWN_PER_FOLDER)
            ++report->findings[kept - 1].more;
        else if (kept++ != i)
            report->findings[kept - 1] = finding;
    }
    report->count = kept;
}

void finish_kit_report(KitReport *report) {
    compare_levels(report);
    compare_releases(report);
    if (report->count > 1)
        qsort(report->findings, static_cast<size_t>(report->count), sizeof(Finding),
              by_place_and_kind);
    for (int language = 0; language < LANGUAGE_COUNT; ++language) {
        for (int release = 0; release < RELEASE_COUNT; ++release)
            report->marks[language][release] =
                language_offered(language, release_at(release)) ? MARK_OK : MARK_NOT_OFFERED;
    }
    report->errors = 0;
    report->warnings = 0;
    for (int i = 0; i < report->count; ++i) {
        const Finding &finding = report->findings[i];
        Mark mark = is_error(finding.kind) ? MARK_ERROR : MARK_WARNING;
        ++(mark == MARK_ERROR ? report->errors : report->warnings);
        for (int release = 0; release < RELEASE_COUNT; ++release) {
            Mark &place = report->marks[finding.language][release];
            bool here = finding.release == release || finding.release < 0;
            if (here && place != MARK_NOT_OFFERED && mark > place)
                place = mark;
        }
    }
    cut_floods(report);
}
