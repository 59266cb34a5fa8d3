// Every kind of finding the kit checker reports, in one table: its code for
// pipelines, its severity for each kind of name it is about, what it means
// and what the installer then does.
#pragma once

enum FindingKind {
    KIT_FOLDER_MISSING,
    KIT_FOLDER_NOT_A_FOLDER,
    KIT_FOLDER_UNREADABLE,
    KIT_HIF_MISSING,
    KIT_HIF_UNREADABLE,
    KIT_LEVEL_MISSING,
    KIT_LEVEL_ZERO,
    KIT_LEVEL_MISREAD,
    KIT_LEVEL_OF_OTHER_RELEASE,
    KIT_LEVEL_OF_NO_RELEASE,
    KIT_FILE_MISSING,
    KIT_FILE_UNREADABLE,
    KIT_FILE_EMPTY,
    KIT_NOT_LOADABLE,
    KIT_FOLDER_LIKE_FILE,
    KIT_NAME_REFUSED,
    KIT_CASE_TWINS,
    KIT_PATH_TOO_LONG,
    KIT_LEVEL_LOOSE,
    KIT_LEVEL_DIFFERS,
    KIT_SEVERAL_MATCHES,
    KIT_SPARE_NOT_LOADABLE,
    KIT_SHORT_NAME_MATCH,
    KIT_NAMES_FOLD,
    KIT_LINK,
    KIT_PATH_LONG,
    KIT_FINDING_KINDS
};

// Errors first, so that a folder's findings list them first.
enum Severity { SEVERITY_ERROR, SEVERITY_WARNING, SEVERITY_NONE };

// What the installer does with the name a finding is about: a run fails
// without a required one (the folders, kap.hif, *.hdi, *.drc, *.dll from
// ACAD2004), still succeeds without a help file, and never reads the rest.
enum ReadClass { READ_REQUIRED, READ_HELP, READ_NEVER, READ_CLASSES };

// Which message of the finding's deployment step the installer shows.
enum StepMessage { STEP_MESSAGE_NONE, STEP_MESSAGE_MISSING, STEP_MESSAGE_COPY_FAILED };

struct FindingKindRow {
    FindingKind kind;
    Severity severity[READ_CLASSES]; // NONE: not reported for that class
    const char *code;                // short and stable, for pipelines ("file-missing")
    const char *meaning;             // what was found, when the finding adds no detail
    const char *installer;           // what the installer does then; %s: the step's message
    StepMessage quoted;              // the step message that %s stands for
};

extern const FindingKindRow finding_kinds[KIT_FINDING_KINDS];

// What a help file's finding means, whatever its kind: %s is the step's
// message, or the copy's when the kind quotes none.
extern const char help_consequence[];
// What a finding about a name the installer never reads means.
extern const char unread_consequence[];

inline Severity kind_severity(FindingKind kind, ReadClass read_class) {
    return finding_kinds[kind].severity[read_class];
}
