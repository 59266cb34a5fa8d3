// The installer's checks for one product, in its order, judged without a
// person at the screen: each refusal becomes a reason in words, with the
// installer's own text where it has one.
#pragma once

#include <stddef.h>

#include "../control/records.h"
#include "../control/text.h"
#include "deploy_command.h"

enum ProductOutcome {
    OUTCOME_DONE,    // the files were installed or removed
    OUTCOME_ALREADY, // nothing to do: the product already was as asked
    OUTCOME_IN_USE,  // a file is held by another program: nothing changed
    OUTCOME_REFUSED, // the installer's checks refuse the product
    OUTCOME_FAILED,  // a copy or another step failed: nothing changed
    OUTCOME_ABSENT,  // registered, but its folder is gone: passed over
};

// What the checks found for one product before any file is looked at.
struct ProductJudgement {
    HostRelease release;
    FourPartVersion driver_level;
    bool level_read;
    char package_folder[PATH_BUFFER_SIZE];
    char reason[REASON_SIZE]; // why the product is refused
};

// digit is the first hcreg digit found in the location ('6'..'9', 0 for
// none) and host_version its file version (0.0.0.0 when unread). Runs the
// release rule, the language offer, the kit folder, kap.hif and the
// compatibility rule; false with the reason when one refuses the product.
bool judge_product(char digit, const FourPartVersion &host_version, const char *kit_folder,
                   const char *language_folder, ProductJudgement *judgement);

// The run's exit code from each selected product's outcome, a product that
// is not present left out: 1618 when a file was in use, whatever else
// happened; else 0 when all went well, 1603 for anything else and when no
// product is left.
int combine_exit_code(const ProductOutcome *outcomes, int count);

// The exit code of a run with no product to act on (none registered, or
// none of those selected present): remove and list have nothing to do,
// detect finds nothing installed, install installed nothing.
int nothing_there_exit_code(DeployAction action);

// detect's exit code from its outcomes (OUTCOME_DONE: installed), a product
// that is not present left out: 0 when every other one holds the kit's
// files and there is one at least, else 1.
int detect_exit_code(const ProductOutcome *outcomes, int count);

// "ACAD2005", or why a product has no release.
const char *release_words(HostRelease release);
