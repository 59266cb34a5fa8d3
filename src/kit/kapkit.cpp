#include "kapkit.h"

#include <string.h>

#include "kit_check.h"
#include "kit_hosts.h"
#include "kit_levels.h"
#include "kit_report.h"
#include "version.h"

static const char usage[] =
    "usage: kapkit check [--json] [--host VERSION]... [--] KIT_FOLDER\n"
    "       kapkit --help | --version\n"
    "Checks every language and release folder of a Kap HDI driver kit as the\n"
    "installer will read it. --host 8.1.55.0 also tells, per language, what the\n"
    "installer does on a host whose hcreg8.dll has that version. Exit status:\n"
    "0 no errors, 1 errors, 2 the kit folder cannot be read or is not a kit\n"
    "(or the command is wrong).\n";

enum { MOST_HOSTS = 16 };

struct CheckCommand {
    const char *kit;
    bool json;
    HostQuery hosts[MOST_HOSTS];
    int host_count;
};

// The host version of a --host option; false after saying on err what is
// wrong with it.
static bool add_host(CheckCommand *command, const char *text, FILE *err) {
    HostQuery query = {text, {0, 0, 0, 0}, RELEASE_NONE};
    if (!parse_version_text(text, &query.version)) {
        fprintf(err, "kapkit: --host \"%s\": not a version of four numbers (8.1.55.0)\n", text);
        return false;
    }
    if (!host_version_release(query.version, &query.release)) {
        fprintf(err,
                "kapkit: --host \"%s\": no release's host library has this version (ACAD2000 "
                "to ACAD2007 have 6.*, 7.0, 7.1, 8.0, 8.1, 8.2 and 9.0)\n",
                text);
        return false;
    }
    if (command->host_count == MOST_HOSTS) {
        fprintf(err, "kapkit: --host: at most %d hosts\n", MOST_HOSTS);
        return false;
    }
    command->hosts[command->host_count++] = query;
    return true;
}

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

// The command's words; false after saying on err what was wrong.
static bool parse_check(int argc, char **argv, CheckCommand *command, FILE *err) {
    bool options = true;
    for (int i = 2; i < argc; ++i) {
        const char *arg = argv[i];
        if (options && strcmp(arg, "--") == 0) {
            options = false;
        } else if (options && strcmp(arg, "--json") == 0) {
            command->json = true;
        } else if (options && strcmp(arg, "--host") == 0) {
            if (i + 1 == argc) {
                fputs("kapkit: --host needs a version\n", err);
                return false;
            }
            if (!add_host(command, argv[++i], err))
                return false;
        } else if (options && strncmp(arg, "--host=", 7) == 0) {
            if (!add_host(command, arg + 7, err))
                return false;
        } else if (options && arg[0] == '-' && arg[1] != '\0') {
            fprintf(err, "kapkit: unknown option \"%s\"\n", arg);
            return false;
        } else if (command->kit != nullptr) {
            fprintf(err, "kapkit: one kit folder only: \"%s\" is one too many\n", arg);
            return false;
        } else {
            command->kit = arg;
        }
    }
    if (command->kit == nullptr)
        fputs("kapkit: no kit folder given\n", err);
    return command->kit != nullptr;
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
    CheckCommand check = {nullptr, false, {}, 0};
    bool parsed = strcmp(command, "check") == 0 && parse_check(argc, argv, &check, err);
    if (strcmp(command, "check") != 0)
        fprintf(err, "kapkit: unknown command \"%s\"\n", command);
    if (!parsed) {
        fputs(usage, err);
        return KAPKIT_UNREADABLE;
    }
    const char *kit = check.kit;
    bool json = check.json;
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
        print_kit_json(out, report, check.hosts, check.host_count);
    } else {
        print_kit_text(out, kit, report, check.hosts, check.host_count);
    }
    free_kit_report(&report);
    return status;
}
