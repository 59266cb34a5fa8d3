// The findings of one release folder's names: what each entry is, which
// names Windows takes for one, which file each copy step meets first.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../control/package_paths.h"
#include "../control/text.h"
#include "../package/deploy_steps.h"
#include "kit_check.h"
#include "kit_names.h"

// A kit folder must fit a path of at least this many characters.
static const int roomy_kit_folder = 100;
// The shortest folder a kit can sit in: a drive root such as "C:\".
static const int shortest_kit_folder = 3;

int matched_step(const KitEntry &entry, HostRelease release) {
    for (int i = 0; i < DEPLOY_STEP_COUNT; ++i) {
        if (deploy_step_runs(deploy_steps[i], release) &&
            long_name_matches(entry.name, deploy_steps[i].pattern))
            return i;
    }
    return -1;
}

bool step_loads_library(int step) {
    const char *pattern = deploy_steps[step].pattern;
    return deploy_steps[step].required &&
           (ascii_equal_nocase(pattern, "*.hdi") || ascii_equal_nocase(pattern, "*.dll"));
}

static ReadClass step_class(int step) {
    return step < 0 ? READ_NEVER : deploy_steps[step].required ? READ_REQUIRED : READ_HELP;
}

// The name as Windows keeps it: a last dot or space dropped, letters in one case.
static size_t folded_length(const char *name) {
    size_t len = strlen(name);
    while (len > 0 && (name[len - 1] == '.' || name[len - 1] == ' '))
        --len;
    return len;
}

static bool fold_together(const char *a, const char *b) {
    size_t len = folded_length(a);
    return len > 0 && len == folded_length(b) && ascii_starts_nocase(b, a, len);
}

static void add_pair(KitReport *report, const KitEntry &one, const KitEntry &other,
                     ReadClass read_class, int language, int release) {
    bool case_only = strlen(one.name) == strlen(other.name);
    // The name Windows drops a dot or space of goes first; of case twins,
    // the one that sorts first.
    bool one_first =
        case_only ? strcmp(one.name, other.name) <= 0 : strlen(one.name) > strlen(other.name);
    const KitEntry &first = one_first ? one : other;
    const KitEntry &second = &first == &one ? other : one;
    Finding *finding = add_finding(report, case_only ? KIT_CASE_TWINS : KIT_NAMES_FOLD, read_class,
                                   language, release, first.name, -1);
    if (finding == nullptr)
        return;
    char one_name[PATH_BUFFER_SIZE * 4];
    char other_name[PATH_BUFFER_SIZE * 4];
    escape_text(first.name, one_name, sizeof(one_name));
    escape_text(second.name, other_name, sizeof(other_name));
    char detail[FINDING_DETAIL_SIZE];
    snprintf(detail, sizeof(detail),
             case_only
                 ? "\"%s\" and \"%s\" differ only in the case of letters"
                 : "\"%s\" and \"%s\" are one name to Windows, which drops a last dot or space",
             one_name, other_name);
    set_finding_detail(report, finding, detail);
}

// Every pair of entries Windows takes for one name; classes[i] is what the
// installer does with entry i. The listing is sorted with letters folded,
// so the names that begin with an entry's folded name stand right after it.
static void judge_twins(const KitListing &listing, const ReadClass *classes, int language,
                        int release, KitReport *report) {
    for (int i = 0; i < listing.count; ++i) {
        const char *name = listing.entries[i].name;
        size_t len = folded_length(name);
        for (int j = i + 1;
             j < listing.count && ascii_starts_nocase(listing.entries[j].name, name, len); ++j) {
            if (!fold_together(name, listing.entries[j].name))
                continue;
            ReadClass read_class = classes[i] < classes[j] ? classes[i] : classes[j];
            add_pair(report, listing.entries[i], listing.entries[j], read_class, language, release);
        }
    }
}

void judge_folder_twins(const KitListing &listing, const char *name, int language, int release,
                        KitReport *report) {
    const KitEntry *found = find_kit_entry(listing, name);
    for (int i = 0; found != nullptr && i < listing.count; ++i) {
        const KitEntry &entry = listing.entries[i];
        if (&entry != found && fold_together(entry.name, found->name))
            add_pair(report, *found, entry, READ_REQUIRED, language, release);
    }
}

void judge_link(const KitEntry &entry, ReadClass read_class, int step, int language, int release,
                KitReport *report) {
    if (!entry.link)
        return;
    Finding *finding =
        add_finding(report, KIT_LINK, read_class, language, release, entry.name, step);
    // A target longer than a path is not quoted.
    if (finding == nullptr || entry.target == nullptr || entry.target[0] == '\0' ||
        strlen(entry.target) >= PATH_BUFFER_SIZE)
        return;
    char target[PATH_BUFFER_SIZE * 4];
    escape_text(entry.target, target, sizeof(target));
    char detail[FINDING_DETAIL_SIZE];
    snprintf(detail, sizeof(detail), "a symbolic link to \"%s\"", target);
    set_finding_detail(report, finding, detail);
}

// A finding about the copy step's pattern, which its words name.
static void add_step_finding(KitReport *report, FindingKind kind, ReadClass read_class,
                             int language, int release, const char *name, int step) {
    Finding *finding = add_finding(report, kind, read_class, language, release, name, step);
    if (finding == nullptr)
        return;
    char detail[FINDING_DETAIL_SIZE];
    snprintf(detail, sizeof(detail), "%s (%s)", finding_kinds[kind].meaning,
             deploy_steps[step].pattern);
    set_finding_detail(report, finding, detail);
}

// Why Windows cannot hold the name; byte is the byte at fault.
static void name_trouble(NameTrouble trouble, int byte, const char *name, char *out, size_t cap) {
    switch (trouble) {
    case NAME_REFUSED_BYTE:
        snprintf(out, cap, "the name holds the byte 0x%02x, which Windows refuses in names", byte);
        break;
    case NAME_NOT_ASCII:
        snprintf(out, cap,
                 "the name holds the byte 0x%02x, outside printable ASCII: which character it is "
                 "depends on the code page of the PC",
                 byte);
        break;
    case NAME_DEVICE: {
        char quoted[PATH_BUFFER_SIZE * 4];
        escape_text(name, quoted, sizeof(quoted));
        snprintf(out, cap, "\"%s\" is a device name that Windows reserves", quoted);
        break;
    }
    case NAME_TRAILING:
    case NAME_FINE:
        snprintf(out, cap, "the name ends in a %s, which Windows drops",
                 byte == ' ' ? "space" : "dot");
        break;
    }
}

// What one entry's own name, kind and link tell; step is the pattern its
// name matches, or -1.
static void judge_entry(const KitEntry &entry, const EntryProbe *probe, int step,
                        ReadClass read_class, int language, int release, KitReport *report) {
    // Kits travel on FAT media and in archives, which list names in the
    // order they were written: any matching folder may come first.
    if (step >= 0 && entry.kind == ENTRY_FOLDER)
        add_step_finding(report, KIT_FOLDER_LIKE_FILE, read_class, language, release, entry.name,
                         step);
    int error = entry.kind == ENTRY_OTHER ? entry.error : probe != nullptr ? probe->open_error : 0;
    if (step >= 0 && (entry.kind == ENTRY_OTHER || error != 0))
        add_unreadable(report, KIT_FILE_UNREADABLE, read_class, language, release, entry.name, step,
                       error);
    if (step >= 0 && entry.kind == ENTRY_FILE && entry.empty)
        add_finding(report, KIT_FILE_EMPTY, read_class, language, release, entry.name, step);
    int byte = 0;
    NameTrouble trouble = windows_name_trouble(entry.name, &byte);
    if (trouble != NAME_FINE) {
        Finding *finding =
            add_finding(report, KIT_NAME_REFUSED, read_class, language, release, entry.name, step);
        if (finding != nullptr) {
            char detail[FINDING_DETAIL_SIZE];
            name_trouble(trouble, byte, entry.name, detail, sizeof(detail));
            set_finding_detail(report, finding, detail);
        }
    }
    for (int s = 0; step < 0 && s < DEPLOY_STEP_COUNT; ++s) {
        if (deploy_step_runs(deploy_steps[s], release_at(release)) &&
            short_name_matches(entry.name, deploy_steps[s].pattern))
            add_step_finding(report, KIT_SHORT_NAME_MATCH, read_class, language, release,
                             entry.name, s);
    }
    judge_link(entry, read_class, step, language, release, report);
}

// Why a library's headers are not those of a 32-bit x86 DLL.
static const char *image_trouble(PeVerdict image, unsigned machine, char *out, size_t cap) {
    switch (image) {
    case PE_NOT_AN_IMAGE:
        return "it has no Windows image headers (MZ, then PE)";
    case PE_OTHER_MACHINE:
        if (machine == 0x8664)
            return "it is built for 64-bit AMD64 processors";
        snprintf(out, cap, "it is built for the machine type 0x%04x, not i386", machine);
        return out;
    case PE_NOT_EXECUTABLE:
        return "its header lacks the executable-image flag (IMAGE_FILE_EXECUTABLE_IMAGE): a "
               "linker error";
    case PE_NOT_A_DLL:
        return "it is a program (.exe), not a library";
    case PE_NOT_PE32:
        return "its optional header is not the 32-bit PE32 kind";
    case PE_CUT_SHORT:
    case PE_LOADABLE:
        break;
    }
    return "it is cut short: its headers or sections reach past its end";
}

// A library that is not one: an error for the match NTFS lists first (the
// one the installer copies there), a warning for the others.
static void judge_library(const KitEntry &entry, const EntryProbe &probe, bool first, int step,
                          int language, int release, KitReport *report) {
    if (entry.kind != ENTRY_FILE || entry.empty || probe.open_error != 0 ||
        probe.image == PE_LOADABLE)
        return;
    Finding *finding = add_finding(report, first ? KIT_NOT_LOADABLE : KIT_SPARE_NOT_LOADABLE,
                                   READ_REQUIRED, language, release, entry.name, step);
    if (finding == nullptr)
        return;
    char machine[64];
    char detail[FINDING_DETAIL_SIZE];
    snprintf(detail, sizeof(detail), "not a 32-bit Windows DLL (%s)",
             image_trouble(probe.image, probe.machine, machine, sizeof(machine)));
    set_finding_detail(report, finding, detail);
}

// Whether the installer's copy of a step's first match succeeds.
static bool first_match_copies(const KitEntry &first, const EntryProbe *probe) {
    return first.kind == ENTRY_FILE && (probe == nullptr || probe->open_error == 0);
}

// The installer's search of a step: first holds each step's first match.
static bool step_listed(int step, void *first) {
    return static_cast<const int *>(first)[step] >= 0;
}

void judge_listing(const KitListing &listing, const EntryProbe *probes, int language, int release,
                   KitReport *report) {
    HostRelease host_release = release_at(release);
    int matches[DEPLOY_STEP_COUNT] = {0};
    int first[DEPLOY_STEP_COUNT] = {-1, -1, -1, -1, -1}; // what NTFS lists first per step
    const KitEntry *hif = find_kit_entry(listing, hif_file_name);
    const KitEntry *longest = nullptr;
    int longest_step = -1;
    int room = PATH_BUFFER_SIZE;
    size_t count = static_cast<size_t>(listing.count > 0 ? listing.count : 1);
    auto *steps = static_cast<int *>(malloc(sizeof(int) * count));
    auto *classes = static_cast<ReadClass *>(malloc(sizeof(ReadClass) * count));
    if (steps == nullptr || classes == nullptr) {
        free(steps);
        free(classes);
        report->out_of_memory = true;
        return;
    }
    for (int i = 0; i < listing.count; ++i) {
        const KitEntry &entry = listing.entries[i];
        int step = steps[i] = matched_step(entry, host_release);
        classes[i] = &entry == hif ? READ_REQUIRED : step_class(step);
        judge_entry(entry, probes != nullptr ? &probes[i] : nullptr, step, classes[i], language,
                    release, report);
        if (step >= 0 && first[step] < 0)
            first[step] = i;
        bool copied = step >= 0 && entry.kind != ENTRY_FOLDER;
        if (copied)
            ++matches[step];
        int entry_room =
            copied || &entry == hif
                ? longest_kit_folder(language_folder_table[language], host_release, entry.name)
                : room;
        if (entry_room < room) {
            room = entry_room;
            longest = &entry;
            longest_step = step;
        }
    }
    judge_twins(listing, classes, language, release, report);
    for (int i = 0; i < listing.count; ++i) {
        const KitEntry &entry = listing.entries[i];
        int s = steps[i];
        if (s >= 0 && probes != nullptr && step_loads_library(s))
            judge_library(entry, probes[i], i == first[s], s, language, release, report);
        if (s < 0 || matches[s] < 2 || entry.kind == ENTRY_FOLDER)
            continue;
        Finding *finding = add_finding(report, KIT_SEVERAL_MATCHES, step_class(s), language,
                                       release, entry.name, s);
        if (finding == nullptr)
            continue;
        char detail[FINDING_DETAIL_SIZE];
        snprintf(detail, sizeof(detail), "one of %d files matching %s", matches[s],
                 deploy_steps[s].pattern);
        set_finding_detail(report, finding, detail);
    }
    free(steps);
    free(classes);
    FolderRun &run = report->runs[language][release];
    // As the installer: every required file is looked for before one is copied.
    StepAction actions[DEPLOY_STEP_COUNT];
    int missing = plan_deploy_steps(host_release, step_listed, first, actions);
    if (missing >= 0) {
        run.deployment = DEPLOY_FILE_MISSING;
        run.step = missing;
    }
    for (int s = 0; s < DEPLOY_STEP_COUNT; ++s) {
        const DeployStep &step = deploy_steps[s];
        if (!deploy_step_runs(step, host_release))
            continue;
        if (first[s] < 0)
            add_finding(report, KIT_FILE_MISSING, step_class(s), language, release, step.pattern,
                        s);
        const EntryProbe *first_probe =
            first[s] >= 0 && probes != nullptr ? &probes[first[s]] : nullptr;
        if (actions[s] == STEP_COPIES && step.required && run.deployment == DEPLOY_DONE &&
            !first_match_copies(listing.entries[first[s]], first_probe)) {
            run.deployment = DEPLOY_COPY_FAILED;
            run.step = s;
        }
    }
    if (hif == nullptr)
        add_finding(report, KIT_HIF_MISSING, READ_REQUIRED, language, release, hif_file_name, -1);
    else if (hif->kind != ENTRY_FILE)
        add_unreadable(report, KIT_HIF_UNREADABLE, READ_REQUIRED, language, release, hif->name, -1,
                       0);
    if (hif == nullptr || hif->kind != ENTRY_FILE)
        run.hif = HIF_CANNOT_OPEN;
    if (longest != nullptr && room < roomy_kit_folder) {
        ReadClass read_class = longest == hif ? READ_REQUIRED : step_class(longest_step);
        // Too long for any folder, the kind's words say all.
        FindingKind kind = room < shortest_kit_folder ? KIT_PATH_TOO_LONG : KIT_PATH_LONG;
        Finding *finding =
            add_finding(report, kind, read_class, language, release, longest->name, longest_step);
        if (finding != nullptr && kind == KIT_PATH_LONG) {
            char detail[FINDING_DETAIL_SIZE];
            snprintf(detail, sizeof(detail),
                     "the kit must sit in a folder whose path has at most %d characters", room);
            set_finding_detail(report, finding, detail);
        }
    }
}
