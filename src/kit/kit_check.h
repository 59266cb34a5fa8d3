// Asks the installer's questions of every folder of a driver kit at once.
#pragma once

#include <stddef.h>
#include <stdio.h>

#include "../control/text.h"
#include "../package/deploy_steps.h"
#include "../package/hif_reader.h"
#include "../ui/languages.h"
#include "kit_kinds.h"
#include "kit_walk.h"
#include "pe_image.h"

// What a finding says of itself, before what the installer then does: room
// for two names and a quoted line, each escaped byte by byte.
enum { FINDING_DETAIL_SIZE = REASON_SIZE - 512 };

struct Finding {
    FindingKind kind;
    ReadClass read_class;        // what the installer does with the name it is about
    int language;                // index into the language folder table
    int release;                 // release_index, or -1: the language folder itself
    char file[PATH_BUFFER_SIZE]; // a name in the folder, a pattern, or ""
    int step;                    // the deployment step whose pattern it is about, or -1
    char *detail;                // what was found, worded where it was found; owned by the report
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

// What the installer's run in one folder learns, apart from the host: how
// its read of kap.hif ends, the level it reads, and how its copies end.
struct FolderRun {
    HifResult hif;
    FourPartVersion level;
    DeployEnd deployment;
    int step; // the required file's step when the deployment stops
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

// A new finding about a name of that class, worded as its kind's meaning;
// null when the kind is not reported for the class or memory runs out.
Finding *add_finding(KitReport *report, FindingKind kind, ReadClass read_class, int language,
                     int release, const char *file, int step);

// Words the finding with what its finder saw. Memory running out keeps the
// words it had.
void set_finding_detail(KitReport *report, Finding *finding, const char *detail);

// A finding of a file, or of kap.hif, that cannot be read; error is the
// system's code, or 0 or less when the name is not a plain file.
void add_unreadable(KitReport *report, FindingKind kind, ReadClass read_class, int language,
                    int release, const char *file, int step, int error);

// One byte as a person may read it: itself when printable ASCII, else
// \xNN, so that a byte order mark shows and a control byte cannot move a
// terminal's cursor. Returns the piece's length.
size_t plain_byte(char c, char piece[8]);

// A name or line quoted in a finding, each byte as plain_byte writes it; a
// last line feed is dropped.
void escape_text(const char *text, char *out, size_t cap);

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

// The finding of an entry that is a symbolic link, naming its target.
void judge_link(const KitEntry &entry, ReadClass read_class, int step, int language, int release,
                KitReport *report);

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
