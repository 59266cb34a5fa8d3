// Where the install for one product stops, in the order its run meets the
// stops, and what each one tells the user: the installer shows the rows,
// kapdeploy and kapkit say or predict them.
#pragma once

#include "../package/deploy_steps.h"

// What the run learns of the product, in the order it learns it.
enum StopFact : unsigned char {
    FACT_RELEASE,    // a ReleaseVerdict (release_rules.h)
    FACT_LANGUAGE,   // a LanguageChoice
    FACT_PATHS,      // a PathsVerdict (package_paths.h)
    FACT_HIF,        // a HifResult (hif_reader.h)
    FACT_LEVEL,      // a CompatibilityVerdict (compatibility.h)
    FACT_DEPLOYMENT, // a DeployEnd (deploy_steps.h)
    FACT_COUNT,
};

enum { FACT_UNKNOWN = -1 };

enum LanguageChoice { LANGUAGE_CHOSEN, LANGUAGE_NOT_CHOSEN };

struct ProductFacts {
    int value[FACT_COUNT]; // each fact's value, or FACT_UNKNOWN until it is learned
    int step;              // the deployment step that a DeployEnd stop is about
};

constexpr ProductFacts no_facts = {
    {FACT_UNKNOWN, FACT_UNKNOWN, FACT_UNKNOWN, FACT_UNKNOWN, FACT_UNKNOWN, FACT_UNKNOWN}, 0};

// The stops in the run's order; each names its row of install_stops.
enum InstallStop {
    STOP_GO_ON = -1, // no stop yet: a fact it rests on is not known
    STOP_NOT_APPLICATION,
    STOP_CORRUPTED,
    STOP_NO_LANGUAGE,
    STOP_FOLDER_NOT_FOUND, // the current folder cannot be told
    STOP_PATH_TOO_LONG,
    STOP_HIF_CANNOT_OPEN,
    STOP_HIF_KEY_MISSING,
    STOP_DDK_MISMATCH,
    STOP_BUILD_DIFFERS,
    STOP_FOLDER_NOT_ENTERED, // the package folder cannot be made current
    STOP_FILE_MISSING,
    STOP_COPY_FAILED,
    STOP_SUCCESS,
    STOP_COUNT,
};

// The message box styles, numbered as the platform numbers them.
enum StopIcon : unsigned char {
    STOP_ICON_NONE = 0,
    STOP_ICON_ERROR = 0x10,
    STOP_ICON_WARNING = 0x30
};

// The titles by number, "Error", "Warning" and program_title: the rows are
// bytes and a text, so that the installer keeps its size.
enum StopCaption : unsigned char { CAPTION_NONE, CAPTION_ERROR, CAPTION_WARNING, CAPTION_PROGRAM };

extern const char *const stop_captions[];

struct StopRow {
    StopFact fact;     // the run stops here when this fact
    signed char value; // has this value
    StopCaption caption;
    StopIcon icon;
    const char *text; // null: silent, or for the deployment's file stops the step's own words
};

extern const StopRow install_stops[STOP_COUNT];

// The title of the program's own message boxes.
extern const char program_title[];

// The two lookups are inline: the installer makes them in one place, and
// so keeps its size.

// The first stop that the facts reach, walking the rows in order.
inline InstallStop first_stop(const ProductFacts &facts) {
    for (int i = 0; i < STOP_COUNT; ++i) {
        int value = facts.value[install_stops[i].fact];
        if (value == FACT_UNKNOWN)
            return STOP_GO_ON;
        if (value == install_stops[i].value)
            return static_cast<InstallStop>(i);
    }
    return STOP_GO_ON;
}

// What the stop tells the user, or null when it says nothing; step is the
// deployment step it is about.
inline const char *stop_text(InstallStop stop, int step) {
    if (stop == STOP_FILE_MISSING)
        return deploy_steps[step].missing_message;
    if (stop == STOP_COPY_FAILED)
        return deploy_steps[step].copy_failed_message;
    // Nothing can be copied from it: told as the driver's copy failing.
    if (stop == STOP_FOLDER_NOT_ENTERED)
        return deploy_steps[0].copy_failed_message;
    return install_stops[stop].text;
}
