// Asks the installer's questions of every folder of a driver kit at once.
#pragma once

#include <stdio.h>

#include "../package/hif_reader.h"
#include "../ui/languages.h"
#include "kit_walk.h"

// Errors first: what would fail on a customer's PC.
enum FindingKind {
    KIT_FOLDER_MISSING,
    KIT_FOLDER_NOT_A_FOLDER,
    KIT_FOLDER_UNREADABLE,
    KIT_HIF_MISSING,
    KIT_HIF_UNREADABLE,
    KIT_LEVEL_MISSING,
    KIT_MINOR_MISMATCH,
    KIT_FILE_MISSING,
    KIT_FILE_UNREADABLE,
    KIT_PATH_TOO_LONG,
    // Warnings: what would surprise.
    KIT_LEVEL_DIFFERS,
    KIT_SEVERAL_MATCHES,
    KIT_SHORT_NAME_MATCH,
    KIT_FOLDER_LIKE_FILE,
    KIT_OPTIONAL_FILE_MISSING,
    KIT_OPTIONAL_FILE_UNREADABLE,
    KIT_READ_ONLY,
    KIT_PATH_LONG,
    KIT_FINDING_KINDS
};

bool is_error(FindingKind kind);

struct Finding {
    FindingKind kind;
    int language;                // index into the language folder table
    int release;                 // 0 for ACAD2000 .. 6; -1: the language folder itself
    char file[PATH_BUFFER_SIZE]; // a name in the folder, a pattern, or ""
    int step;                    // the deployment step whose pattern it is about, or -1
    FourPartVersion level;       // the folder's driver level
    FourPartVersion other_level; // the level most other languages have
    int number;                  // a count, a minor field or a path length
};

enum Mark { MARK_NOT_OFFERED, MARK_OK, MARK_WARNING, MARK_ERROR };

// The driver levels read so far, per language and release.
struct KitLevels {
    FourPartVersion level[LANGUAGE_COUNT][RELEASE_COUNT];
    bool read[LANGUAGE_COUNT][RELEASE_COUNT];
};

struct KitReport {
    FolderState kit_state;
    bool out_of_memory;
    int folders_checked;
    int errors;
    int warnings;
    Finding *findings;
    int count;
    int capacity;
    KitLevels levels;
    Mark marks[LANGUAGE_COUNT][RELEASE_COUNT];
};

// Checks every language and release folder the installer can reach. With
// progress set, a line goes there each second once a second has passed.
void check_kit(const char *kit, KitReport *report, FILE *progress);

void free_kit_report(KitReport *report);

// The findings that the names, kinds and attributes of one release folder's
// sorted entries give.
void judge_listing(const KitListing &listing, int language, int release, KitReport *report);

// Adds the findings of one kap.hif read and records the level it gave.
void judge_level(HifResult result, const FourPartVersion &level, const char *hif_name, int language,
                 int release, KitReport *report);

// Compares the levels of each release across languages, sorts the findings
// by folder and kind, counts them and sets the marks.
void finish_kit_report(KitReport *report);

// The deployment step whose pattern the entry's name matches, among those
// that run for the release; -1 for none.
int matched_step(const KitEntry &entry, HostRelease release);

HostRelease release_at(int release);
