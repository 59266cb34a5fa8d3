// The kit walk: each folder the installer can reach is listed once, its
// kap.hif read and each file it would copy opened, then judged.
#include "kit_check.h"

#include <stdlib.h>
#include <string.h>

#include "../control/package_paths.h"
#include "../control/text.h"
#include "../package/hif_text.h"

// Whether a mention of the key's letters stands anywhere in the text.
static bool mentions(const char *text, const char *key) {
    size_t key_len = strlen(key);
    for (; *text != '\0'; ++text) {
        if (ascii_starts_nocase(text, key, key_len))
            return true;
    }
    return false;
}

// A file without the key's line often has it misspelt or behind a byte
// order mark: the first piece of a line that mentions the key, as the
// installer reads it, or "".
static void nearest_key_line(FILE *file, char line[HIF_LINE_SIZE]) {
    rewind(file);
    TextReader reader = {file, false};
    while (read_piece(&reader, line) > 0) {
        if (mentions(line, driver_level_key))
            return;
    }
    line[0] = '\0';
}

static void read_hif(const KitRoot &kit, const char *folder, const KitEntry &hif, int language,
                     int release, KitReport *report) {
    char path[KIT_RELATIVE_SIZE];
    int error = 0;
    FILE *file = concat_bounded(path, sizeof(path), folder, kit_separator, hif.name)
                     ? open_kit_file(kit, path, &error)
                     : nullptr;
    if (file == nullptr) {
        add_unreadable(report, KIT_HIF_UNREADABLE, READ_REQUIRED, language, release, hif.name, -1,
                       error);
        report->runs[language][release].hif = HIF_CANNOT_OPEN;
        return;
    }
    // As the installer does: fields the line does not give stay 0.
    uint16_t values[HIF_VALUE_COUNT] = {0, 0, 0, 0};
    char line[HIF_LINE_SIZE] = "";
    HifResult result = hif_read_line(file, driver_level_key, values, line);
    if (result == HIF_KEY_MISSING)
        nearest_key_line(file, line);
    fclose(file);
    FourPartVersion level = {values[0], values[1], values[2], values[3]};
    judge_level(result, level, line, hif.name, language, release, report);
}

// A driver or library's headers: as much of its start as the judgement needs.
static void probe_library(FILE *file, EntryProbe *probe) {
    static unsigned char head[PE_HEAD_SIZE];
    size_t len = fread(head, 1, sizeof(head), file);
    uint64_t size = len;
    if (len == sizeof(head) && fseek(file, 0, SEEK_END) == 0) {
        long end = ftell(file);
        size = end > 0 ? static_cast<uint64_t>(end) : len;
    }
    probe->image = judge_pe_image(head, len, size, &probe->machine);
}

// Opens each file the installer would copy, as it would, and a driver or
// library's headers too. probes holds one record per entry.
static void probe_files(const KitRoot &kit, const char *folder, const KitListing &listing,
                        int release, EntryProbe *probes) {
    char path[KIT_RELATIVE_SIZE];
    for (int i = 0; i < listing.count; ++i) {
        const KitEntry &entry = listing.entries[i];
        EntryProbe &probe = probes[i];
        probe = {0, PE_LOADABLE, 0};
        int step = matched_step(entry, release_at(release));
        if (step < 0 || entry.kind != ENTRY_FILE)
            continue;
        FILE *file = concat_bounded(path, sizeof(path), folder, kit_separator, entry.name)
                         ? open_kit_file(kit, path, &probe.open_error)
                         : nullptr;
        if (file == nullptr) {
            probe.open_error = probe.open_error != 0 ? probe.open_error : -1;
            continue;
        }
        if (step_loads_library(step) && !entry.empty)
            probe_library(file, &probe);
        fclose(file);
    }
}

static void check_release_folder(const KitRoot &kit, const char *folder, const KitListing &listing,
                                 int language, int release, KitReport *report) {
    auto *probes = static_cast<EntryProbe *>(
        malloc(sizeof(EntryProbe) * static_cast<size_t>(listing.count > 0 ? listing.count : 1)));
    if (probes == nullptr) {
        report->out_of_memory = true;
        return;
    }
    probe_files(kit, folder, listing, release, probes);
    const KitEntry *hif = find_kit_entry(listing, hif_file_name);
    if (hif != nullptr && hif->kind == ENTRY_FILE)
        read_hif(kit, folder, *hif, language, release, report);
    judge_listing(listing, probes, language, release, report);
    free(probes);
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
    FindingKind kind = folder_finding(state);
    Finding *finding = add_finding(report, kind, READ_REQUIRED, language, release, "", -1);
    if (finding == nullptr || kind != KIT_FOLDER_UNREADABLE)
        return;
    char why[256] = "";
    if (error > 0)
        describe_walk_error(error, why, sizeof(why));
    char detail[FINDING_DETAIL_SIZE];
    snprintf(detail, sizeof(detail),
             state == FOLDER_UNSEARCHABLE
                 ? "the folder's names can be listed, but nothing in it can be opened (%s)"
                 : "the folder cannot be read (%s)",
             why);
    set_finding_detail(report, finding, detail);
}

// Lists the child folder of the given name (found as Windows finds it)
// into *listing, sorted, and its path inside the kit into path. Names that
// Windows takes for the child's, and a link, are reported in the child's cell.
static FolderState open_child(const KitRoot &kit, const char *parent, const KitListing &siblings,
                              const char *name, int language, int release, KitReport *report,
                              char path[KIT_RELATIVE_SIZE], KitListing *listing) {
    judge_folder_twins(siblings, name, language, release, report);
    int error = 0;
    const KitEntry *entry = find_kit_entry(siblings, name);
    FolderState state = entry == nullptr             ? FOLDER_MISSING
                        : entry->kind == ENTRY_FILE  ? FOLDER_NOT_A_FOLDER
                        : entry->kind == ENTRY_OTHER ? FOLDER_UNREADABLE
                                                     : FOLDER_READ;
    if (entry != nullptr)
        judge_link(*entry, READ_REQUIRED, -1, language, release, report);
    error = entry != nullptr ? entry->error : 0;
    if (state == FOLDER_READ) {
        bool fits = parent[0] == '\0' ? concat_bounded(path, KIT_RELATIVE_SIZE, entry->name)
                                      : concat_bounded(path, KIT_RELATIVE_SIZE, parent,
                                                       kit_separator, entry->name);
        state = fits ? list_kit_folder(kit, path, listing, &error) : FOLDER_UNREADABLE;
        sort_kit_listing(listing);
    }
    if (state != FOLDER_READ) {
        add_folder_finding(report, state, error, language, release);
        for (int r = 0; r < RELEASE_COUNT; ++r) {
            if (release < 0 || r == release)
                report->runs[language][r].hif = HIF_CANNOT_OPEN;
        }
    }
    return state;
}

bool progress_due(unsigned long now_ms, unsigned long *last_ms) {
    if (now_ms - *last_ms < 1000)
        return false;
    *last_ms = now_ms;
    return true;
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
    FolderState state = open_child(kit, "", top, language_folder_table[language], language, -1,
                                   report, language_path, &releases);
    for (int release = 0; state == FOLDER_READ && release < RELEASE_COUNT; ++release) {
        if (!language_offered(language, release_at(release)))
            continue;
        char path[KIT_RELATIVE_SIZE];
        KitListing listing = {nullptr, 0, 0};
        if (open_child(kit, language_path, releases, release_folder_names[release], language,
                       release, report, path, &listing) == FOLDER_READ)
            check_release_folder(kit, path, listing, language, release, report);
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
    for (int language = 0; walk && language < LANGUAGE_COUNT; ++language)
        check_language(root, top, language, report, &state);
    close_kit_root(&root);
    free_kit_listing(&top);
    finish_kit_report(report);
}
