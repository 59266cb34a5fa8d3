// Every kind of finding the kit checker reports, in one table: its code for
// pipelines, its severity, what it means and what the installer then does.
#pragma once

// Errors first, so that a folder's findings list them first.
enum FindingKind {
    KIT_FOLDER_MISSING,
    KIT_FOLDER_NOT_A_FOLDER,
    KIT_FOLDER_UNREADABLE,
    KIT_HIF_MISSING,
    KIT_HIF_UNREADABLE,
    KIT_LEVEL_MISSING,
    KIT_LEVEL_ZERO,
    KIT_MINOR_MISMATCH,
    KIT_LEVEL_OF_OTHER_RELEASE,
    KIT_FILE_MISSING,
    KIT_FILE_UNREADABLE,
    KIT_FILE_EMPTY,
    KIT_FOLDER_LIKE_FILE,
    KIT_NAME_REFUSED,
    KIT_CASE_TWINS,
    KIT_PATH_TOO_LONG,
    KIT_MAJOR_UNUSUAL,
    KIT_LEVEL_DIFFERS,
    KIT_SEVERAL_MATCHES,
    KIT_SHORT_NAME_MATCH,
    KIT_NAME_UNPORTABLE,
    KIT_OPTIONAL_FILE_MISSING,
    KIT_OPTIONAL_FILE_UNREADABLE,
    KIT_READ_ONLY,
    KIT_PATH_LONG,
    KIT_FINDING_KINDS
};

enum Severity { SEVERITY_ERROR, SEVERITY_WARNING };

// Which message of the finding's deployment step the installer shows.
enum StepMessage { STEP_MESSAGE_NONE, STEP_MESSAGE_MISSING, STEP_MESSAGE_COPY_FAILED };

struct FindingKindRow {
    FindingKind kind;
    Severity severity;     // error: fails on a customer's PC; warning: surprises
    const char *code;      // short and stable, for pipelines ("file-missing")
    const char *meaning;   // what was found, when the finding adds no detail
    const char *installer; // what the installer does then; %s: the step's message
    StepMessage quoted;    // the step message that %s stands for
};

extern const FindingKindRow finding_kinds[KIT_FINDING_KINDS];

inline bool is_error(FindingKind kind) {
    return finding_kinds[kind].severity == SEVERITY_ERROR;
}
