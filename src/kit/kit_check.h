// Asks the installer's questions of every folder of a driver kit at once.
#pragma once

#include <stdio.h>

#include "../package/hif_reader.h"
#include "../ui/language_offer.h"
#include "../ui/languages.h"
#include "kit_kinds.h"
#include "kit_walk.h"
#include "pe_image.h"

struct Finding {
    FindingKind kind;
    ReadClass read_class;        // what the installer does with the name it is about
    int language;                // index into the language folder table
    int release;                 // 0 for ACAD2000 .. 6; -1: the language folder itself
    char file[PATH_BUFFER_SIZE]; // a name in the folder, a pattern, or ""
    char text[PATH_BUFFER_SIZE]; // the other name of a pair, or the heidiversion line read
    int step;                    // the deployment step whose pattern it is about, or -1
    FourPartVersion level;       // the folder's driver level, as the installer reads it
    FourPartVersion other_level; // the level most other languages have, or the one written
    int number;                  // a count, a field, a path length, a release or a byte
    int error;                   // the system's code, a NameTrouble, a LevelWriting or a PeVerdict
    int more;                    // findings of the kind in the folder left out after it
};

// A flood of one kind of finding in one folder is cut after this many.
enum { FINDINGS_SHOWN_PER_FOLDER = 20 };

enum Mark { MARK_NOT_OFFERED, MARK_OK, MARK_WARNING, MARK_ERROR };

// The driver levels read so far, per language and release, with the
// heidiversion lines that gave them.
struct KitLevels {
    FourPartVersion level[LANGUAGE_COUNT][RELEASE_COUNT];
    bool read[LANGUAGE_COUNT][RELEASE_COUNT];
    char line[LANGUAGE_COUNT][RELEASE_COUNT][HIF_LINE_SIZE];
};

// How the installer's run in one folder ends, apart from the level check:
// a message before the level is known, or at a required file after it.
struct FolderRun {
    const char *before_level; // null when the level is read
    const char *after_level;  // null when every required file is copied
    FourPartVersion level;    // as the installer reads it
};

// What the folder given as the kit holds, when it is not a kit.
enum KitShape {
    SHAPE_KIT,             // at least one language folder
    SHAPE_NOTHING_KNOWN,   // no language, release or kit file
    SHAPE_LANGUAGE_FOLDER, // release folders: a language folder given by mistake
    SHAPE_RELEASE_FOLDER,  // kap.hif: a release folder given by mistake
};

struct KitReport {
    FolderState kit_state;
    int kit_error; // the system's code when the kit folder cannot be read
    KitShape shape;
    bool out_of_memory;
    int folders_checked;
    int errors;
    int warnings;
    Finding *findings;
    int count;
    int capacity;
    KitLevels levels;
    FolderRun runs[LANGUAGE_COUNT][RELEASE_COUNT];
    Mark marks[LANGUAGE_COUNT][RELEASE_COUNT];
};

// Checks every language and release folder the installer can reach. With
// progress set, a line goes there each second once a second has passed.
void check_kit(const char *kit, KitReport *report, FILE *progress);

void free_kit_report(KitReport *report);

// Whether a progress line is due at now_ms: a second after the start and
// then once a second (*last_ms starts at the start time).
bool progress_due(unsigned long now_ms, unsigned long *last_ms);

// A new finding about a name of that class, or null when the kind is not
// reported for the class or memory runs out.
Finding *add_finding(KitReport *report, FindingKind kind, ReadClass read_class, int language,
                     int release, const char *file, int step);

Severity finding_severity(const Finding &finding);

// What opening one entry of a listing told: the system's code when it could
// not be opened, and for a library or driver what its headers are.
struct EntryProbe {
    int open_error;
    PeVerdict image;
    unsigned machine;
};

// The findings that one release folder's sorted entries give; probes[i]
// is what opening entry i told (null: nothing opened, all taken as fine).
// Also records where the installer's run in the folder stops at a
// required file.
void judge_listing(const KitListing &listing, const EntryProbe *probes, int language, int release,
                   KitReport *report);

// Whether the step's files must be a 32-bit DLL for the host to load them.
bool step_loads_library(int step);

// The findings of names that Windows takes for the one sought (another
// case, a last dot or space) in a listing of folders; the cell is the
// folder's.
void judge_folder_twins(const KitListing &listing, const char *name, int language, int release,
                        KitReport *report);

// Adds the findings of one kap.hif read and records the level it gave;
// line is the heidiversion line as read.
void judge_level(HifResult result, const FourPartVersion &level, const char *line,
                 const char *hif_name, int language, int release, KitReport *report);

// Reports the levels that differ from the one most languages of their
// release have.
void compare_levels(KitReport *report);

// Compares the levels of each release across languages, sorts the
// findings by folder and kind, counts them, cuts floods and sets the marks.
void finish_kit_report(KitReport *report);

// The deployment step whose pattern the entry's name matches, among those
// that run for the release; -1 for none.
int matched_step(const KitEntry &entry, HostRelease release);
