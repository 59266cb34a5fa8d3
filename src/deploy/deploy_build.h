// A build: the files one release folder gives a product, its version and
// its identity (a SHA-256 over the files' names and digests); and the
// record of the build kapdeploy installed in a product, which lives in the
// product's driver folder and changes in the same journalled commit as the
// files, so that the two always agree.
#pragma once

#include <stddef.h>

#include "../control/records.h"
#include "../package/deploy_steps.h"

// A SHA-256 as 64 lower-case hexadecimal digits and a zero.
enum { DIGEST_TEXT_SIZE = 65, LANGUAGE_NAME_SIZE = 16, DATE_TEXT_SIZE = 9 };

struct BuildFile {
    bool in_help_folder;
    char name[PATH_BUFFER_SIZE];
    char digest[DIGEST_TEXT_SIZE];
};

struct BuildRecord {
    char product_key[PATH_BUFFER_SIZE]; // the hardcopy value that names the product
    char language[LANGUAGE_NAME_SIZE];
    FourPartVersion version;
    char digest[DIGEST_TEXT_SIZE];     // the build's identity
    char installed_on[DATE_TEXT_SIZE]; // YYYYMMDD, as Add/Remove Programs wants it
    unsigned long size_kb;             // the files' size, rounded up
    BuildFile files[DEPLOY_STEP_COUNT];
    int count;
};

// The record's file name in the driver folder.
extern const char record_name[];

// The most bytes a record of this program takes.
enum { RECORD_MOST_BYTES = (DEPLOY_STEP_COUNT + 8) * (PATH_BUFFER_SIZE + 80) };

// The text whose SHA-256 is the build's identity: one line per file,
// "<digest> drv|help/<name>", in the steps' order. Its length, 0 when it
// does not fit.
size_t format_build_manifest(const BuildFile *files, int count, char *out, size_t cap);

// The record as text; its length, 0 when it does not fit.
size_t format_build_record(const BuildRecord &record, char *out, size_t cap);

// Fills *record from a record's text; false when it is not one whole record
// of this program (a person's edit, a name outside the two folders).
bool read_build_record(const char *bytes, size_t size, BuildRecord *record);

// What installing a build means against the build recorded in a product.
enum BuildChange {
    BUILD_FIRST,     // nothing recorded
    BUILD_SAME,      // the recorded build itself
    BUILD_UPGRADE,   // a higher version
    BUILD_REBUILT,   // the same version, other files
    BUILD_DOWNGRADE, // a lower version: only when asked for
};

// recorded: null when the product holds no record.
BuildChange judge_build_change(const BuildRecord *recorded, const FourPartVersion &version,
                               const char *digest);

// Whether the recorded file is also one of the new build's (the same folder
// and a name equal without regard to case, as Windows names compare): such
// a file is replaced, not deleted.
bool build_holds(const BuildFile *files, int count, const BuildFile &file);
