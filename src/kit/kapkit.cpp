#include "kapkit.h"

#include <string.h>

#include "kit_check.h"
#include "kit_report.h"
#include "version.h"

static const char usage[] =
    "usage: kapkit check [--json] [--] KIT_FOLDER\n"
    "       kapkit --help | --version\n"
    "Checks every language and release folder of a Kap HDI driver kit as the\n"
    "installer will read it. Exit status: 0 no errors, 1 errors, 2 the kit\n"
    "folder cannot be read or is not a kit (or the command is wrong).\n";

// Why the folder given cannot be checked as a kit; "" when it can.
static void kit_trouble(const KitReport &report, char *out, size_t cap) {
    char why[256] = "";
    switch (report.kit_state) {
    case FOLDER_MISSING:
        snprintf(out, cap, "there is no such folder");
        return;
    case FOLDER_NOT_A_FOLDER:
        snprintf(out, cap, "this is a file, not a folder");
        return;
    case FOLDER_UNREADABLE:
    case FOLDER_UNSEARCHABLE:
        describe_walk_error(report.kit_error, why, sizeof(why));
        snprintf(out, cap, "the folder cannot be read (%s)", why);
        return;
    case FOLDER_READ:
        break;
    }
    switch (report.shape) {
    case SHAPE_NOTHING_KNOWN:
        snprintf(out, cap, "no language folder (English, Deutsch, ...) is here: this is not a kit");
        return;
    case SHAPE_LANGUAGE_FOLDER:
        snprintf(out, cap,
                 "this is a language folder (it holds release folders such as ACAD2004): give "
                 "the kit folder above it");
        return;
    case SHAPE_RELEASE_FOLDER:
        snprintf(out, cap,
                 "this is a release folder (it holds kap.hif): give the kit folder two levels "
                 "above it");
        return;
    case SHAPE_KIT:
        break;
    }
    snprintf(out, cap, "%s", report.out_of_memory ? "out of memory" : "");
}

// The command's words; returns the kit folder, or null after saying on err
// what was wrong.
static const char *parse_check(int argc, char **argv, bool *json, FILE *err) {
    const char *kit = nullptr;
    bool options = true;
    for (int i = 2; i < argc; ++i) {
        const char *arg = argv[i];
        if (options && strcmp(arg, "--") == 0) {
            options = false;
        } else if (options && strcmp(arg, "--json") == 0) {
            *json = true;
        } else if (options && arg[0] == '-' && arg[1] != '\0') {
            fprintf(err, "kapkit: unknown option \"%s\"\n", arg);
            return nullptr;
        } else if (kit != nullptr) {
            fprintf(err, "kapkit: one kit folder only: \"%s\" is one too many\n", arg);
            return nullptr;
        } else {
            kit = arg;
        }
    }
    if (kit == nullptr)
        fputs("kapkit: no kit folder given\n", err);
    return kit;
}

int kapkit_main(int argc, char **argv, FILE *out, FILE *err) {
    const char *command = argc >= 2 ? argv[1] : "";
    if (argc == 2 && (strcmp(command, "--help") == 0 || strcmp(command, "-h") == 0)) {
        fputs(usage, out);
        return KAPKIT_CLEAN;
    }
    if (argc == 2 && strcmp(command, "--version") == 0) {
        fprintf(out, "kapkit %s\n", KAP_VERSION_TEXT);
        return KAPKIT_CLEAN;
    }
    bool json = false;
    const char *kit = nullptr;
    if (strcmp(command, "check") == 0)
        kit = parse_check(argc, argv, &json, err);
    else
        fprintf(err, "kapkit: unknown command \"%s\"\n", command);
    if (kit == nullptr) {
        fputs(usage, err);
        return KAPKIT_UNREADABLE;
    }
    KitReport report;
    check_kit(kit, &report, err);
    int status = report.errors > 0 ? KAPKIT_ERRORS : KAPKIT_CLEAN;
    char trouble[512];
    kit_trouble(report, trouble, sizeof(trouble));
    if (trouble[0] != '\0') {
        fputs("kapkit: ", err);
        print_plain(err, kit);
        fprintf(err, ": %s\n", trouble);
        if (json)
            print_kit_json_failure(out, kit, trouble);
        status = KAPKIT_UNREADABLE;
    } else if (json) {
        print_kit_json(out, report);
    } else {
        print_kit_text(out, kit, report);
    }
    free_kit_report(&report);
    return status;
}
