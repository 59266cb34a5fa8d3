#include "kapkit.h"

#include <string.h>

#include "kit_check.h"
#include "kit_report.h"

static const char usage[] =
    "usage: kapkit check KIT_FOLDER [--json]\n"
    "Checks every language and release folder of a Kap HDI driver kit as the\n"
    "installer will read it. Exit status: 0 no errors, 1 errors, 2 the kit\n"
    "folder cannot be read (or the command is wrong).\n";

static const char *kit_state_words(FolderState state) {
    switch (state) {
    case FOLDER_MISSING:
        return "there is no such folder";
    case FOLDER_NOT_A_FOLDER:
        return "this is a file, not a folder";
    case FOLDER_READ:
    case FOLDER_UNREADABLE:
        break;
    }
    return "the folder cannot be read";
}

int kapkit_main(int argc, char **argv, FILE *out, FILE *err) {
    const char *kit = nullptr;
    bool json = false;
    bool well_formed = argc >= 3 && strcmp(argv[1], "check") == 0;
    for (int i = 2; well_formed && i < argc; ++i) {
        if (strcmp(argv[i], "--json") == 0)
            json = true;
        else if (kit == nullptr && argv[i][0] != '-')
            kit = argv[i];
        else
            well_formed = false;
    }
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(usage, out);
        return KAPKIT_CLEAN;
    }
    if (!well_formed || kit == nullptr) {
        fputs(usage, err);
        return KAPKIT_UNREADABLE;
    }
    KitReport report;
    check_kit(kit, &report, err);
    int status = report.errors > 0 ? KAPKIT_ERRORS : KAPKIT_CLEAN;
    if (report.kit_state != FOLDER_READ) {
        fprintf(err, "kapkit: %s: %s\n", kit, kit_state_words(report.kit_state));
        status = KAPKIT_UNREADABLE;
    } else if (report.out_of_memory) {
        fprintf(err, "kapkit: %s: out of memory\n", kit);
        status = KAPKIT_UNREADABLE;
    } else if (json) {
        print_kit_json(out, report);
    } else {
        print_kit_text(out, kit, report);
    }
    free_kit_report(&report);
    return status;
}
