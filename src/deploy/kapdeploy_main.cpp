// kapdeploy: the installer's install, as well as a detection and a removal,
// for the tools that push software to many PCs. No window, no message box;
// one line per product on standard output and in the log; an exit code
// those tools understand. The decisions are the installer's own deciders.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../control/platform.h"
#include "../control/text.h"
#include "../host/host_library.h"
#include "../host/registry_scan.h"
#include "../host/release_rules.h"
#include "../ui/languages.h"
#include "deploy_command.h"
#include "deploy_entry.h"
#include "deploy_file_ops.h"
#include "deploy_files.h"
#include "deploy_log.h"
#include "version.h"

enum { LINE_SIZE = LINE_MOST };

// One run at a time on a PC; a second waits a few seconds for the first.
// An account without the right to create global objects (an administrator
// trying it by hand from a plain session) still guards its own session.
// ERROR_SUCCESS, WAIT_TIMEOUT while another run holds it, or why the lock
// could not be made.
static DWORD take_run_lock() {
    HANDLE lock = CreateMutexA(nullptr, FALSE, "Global\\KapHdiDeploy");
    if (lock == nullptr && GetLastError() == ERROR_ACCESS_DENIED)
        lock = CreateMutexA(nullptr, FALSE, "Local\\KapHdiDeploy");
    if (lock == nullptr)
        return GetLastError();
    DWORD waited = WaitForSingleObject(lock, 5000);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED ? ERROR_SUCCESS
           : waited == WAIT_TIMEOUT                            ? WAIT_TIMEOUT
                                                               : GetLastError();
}

// error: why it is not one.
static bool is_folder(const char *path, DWORD *error = nullptr) {
    DWORD attributes = GetFileAttributesA(path);
    bool folder =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (error != nullptr)
        *error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError()
                 : folder                              ? ERROR_SUCCESS
                                                       : ERROR_DIRECTORY;
    return folder;
}

static bool holds_a_language_folder(const char *kit) {
    for (const char *language : language_folder_table) {
        char folder[MAX_PATH];
        if (concat_bounded(folder, MAX_PATH, kit, "\\", language) && is_folder(folder))
            return true;
    }
    return false;
}

// The release the installer would find, or none.
static HostRelease classify_release(char digit, const FourPartVersion &host) {
    HostRelease release = RELEASE_NONE;
    classify_host_release(digit, host.minor, &release);
    return release;
}

// "name [key]: release, host level a.b.c.d" and, when read, the driver's.
static int describe(char *line, const ProductRecord &p, HostRelease release,
                    const FourPartVersion &host) {
    char level[24];
    version_text(level, sizeof level, host);
    return snprintf(line, LINE_SIZE, "%s [%s]: %s, host level %s", p.product_name, p.key_name,
                    release_words(release), level);
}

static const char *outcome_words(ProductOutcome outcome) {
    switch (outcome) {
    case OUTCOME_IN_USE:
        return "in use, nothing changed, try again later: ";
    case OUTCOME_REFUSED:
        return "refused: ";
    case OUTCOME_FAILED:
        return "failed, nothing changed: ";
    case OUTCOME_ABSENT:
        return "not present: ";
    case OUTCOME_DONE:
    case OUTCOME_ALREADY:
        break;
    }
    return "";
}

// ", build 8.1.0.3 (English, sha256 <digest>)"
static int build_words(char *out, size_t cap, const char *what, const BuildRecord &build) {
    char version[24];
    version_text(version, sizeof version, build.version);
    return snprintf(out, cap, ", %s %s (%s, sha256 %s)", what, version, build.language,
                    build.digest);
}

// What installing the kit's build meant against the recorded one.
static void change_words(char *reason, BuildChange change, const BuildRecord &recorded) {
    char version[24];
    version_text(version, sizeof version, recorded.version);
    size_t len = strlen(reason);
    if (change == BUILD_UPGRADE)
        snprintf(reason + len, REASON_SIZE - len, "; upgraded from build %s", version);
    else if (change == BUILD_DOWNGRADE)
        snprintf(reason + len, REASON_SIZE - len, "; downgraded from build %s (--allow-downgrade)",
                 version);
    else if (change == BUILD_REBUILT)
        snprintf(reason + len, REASON_SIZE - len,
                 "; the kit was rebuilt: the same version %s with other files, replaced the "
                 "build sha256 %s",
                 version, recorded.digest);
}

static void today(char out[DATE_TEXT_SIZE]) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    snprintf(out, DATE_TEXT_SIZE, "%04u%02u%02u", t.wYear % 10000u, t.wMonth % 100u, t.wDay % 100u);
}

// The kit's build over the recorded one (null for none): the whole build
// replaced, a lower version only when asked for.
static ProductOutcome install_build(const DeployCommand &command, const ProductRecord &product,
                                    const ProductJudgement &judged, DeploySet *set,
                                    const BuildRecord *recorded, char *line, char *reason) {
    BuildRecord build;
    if (!identify_build(set, judged.driver_level, &build, reason))
        return OUTCOME_FAILED;
    concat_bounded(build.product_key, PATH_BUFFER_SIZE, product.key_name);
    concat_bounded(build.language, LANGUAGE_NAME_SIZE, command.language);
    today(build.installed_on);
    size_t len = strlen(line);
    build_words(line + len, LINE_SIZE - len, "build", build);
    BuildChange change = judge_build_change(recorded, build.version, build.digest);
    if (change == BUILD_DOWNGRADE && recorded != nullptr && !command.allow_downgrade) {
        char older[24];
        char newer[24];
        version_text(older, sizeof older, build.version);
        version_text(newer, sizeof newer, recorded->version);
        snprintf(reason, REASON_SIZE,
                 "the kit's build %s is older than the installed build %s: nothing changed "
                 "(--allow-downgrade installs it)",
                 older, newer);
        return OUTCOME_REFUSED;
    }
    ProductOutcome outcome = install_set(set, product, build, recorded, command.dry_run, reason);
    if (outcome == OUTCOME_DONE && recorded != nullptr)
        change_words(reason, change, *recorded);
    return outcome;
}

// Installed when every file of the kit is there byte for byte and the
// record, where there is one, names this very build.
static ProductOutcome detect_build(DeploySet *set, const ProductJudgement &judged,
                                   const BuildRecord *recorded, char *reason) {
    char why[REASON_SIZE] = "the kit's files are not all there, byte for byte";
    bool installed = compare_set(set) == SET_INSTALLED;
    BuildRecord build;
    if (!installed) {
        check_readable(*set, why); // a file that cannot be read says why
    } else if (recorded != nullptr) {
        if (!identify_build(set, judged.driver_level, &build, why)) {
            installed = false;
        } else if (strcmp(build.digest, recorded->digest) != 0) {
            installed = false;
            snprintf(why, REASON_SIZE, "the install record names another build, sha256 %s",
                     recorded->digest);
        }
    }
    snprintf(reason, REASON_SIZE, "%s%s",
             installed ? "installed" : "not installed: ", installed ? "" : why);
    return installed ? OUTCOME_DONE : OUTCOME_FAILED;
}

// The installer's order for one product, then the sub-command's files.
static ProductOutcome handle_product(const DeployCommand &command, const char *kit,
                                     const ProductRecord &record, char *line) {
    // AutoCAD removed, its key left behind: not this run's failure.
    if (record.location[0] != '\0' && folder_gone(record.location)) {
        snprintf(line, LINE_SIZE, "%s [%s]: %sits folder %s is gone", record.product_name,
                 record.key_name, outcome_words(OUTCOME_ABSENT), record.location);
        return OUTCOME_ABSENT;
    }
    FourPartVersion host;
    char digit = read_host_library(record.location, &host);
    char reason[REASON_SIZE];
    BuildRecord recorded;
    RecordState recording = read_record(record, &recorded, reason);
    ProductOutcome outcome = OUTCOME_REFUSED;
    int len = 0;
    if (recording == RECORD_FOREIGN) {
        len = describe(line, record, RELEASE_NONE, host);
        outcome = OUTCOME_FAILED;
    } else if (recording == RECORD_OURS && command.action == ACTION_REMOVE) {
        // The build recorded goes without any kit.
        len = describe(line, record, classify_release(digit, host), host);
        len += build_words(line + len, LINE_SIZE - len, "recorded build", recorded);
        outcome = remove_recorded(recorded, record, command.dry_run, reason);
    } else if (command.language == nullptr) {
        len = describe(line, record, classify_release(digit, host), host);
        snprintf(reason, REASON_SIZE,
                 "nothing to remove: no install record of kapdeploy here; give --language and "
                 "the kit to remove files equal to the kit's");
        outcome = OUTCOME_ALREADY;
    } else {
        ProductJudgement judged;
        bool fits = judge_product(digit, host, kit, command.language, &judged);
        len = describe(line, record, judged.release, host);
        if (judged.level_read) {
            char level[24];
            version_text(level, sizeof level, judged.driver_level);
            len += snprintf(line + len, LINE_SIZE - len, ", driver level %s", level);
        }
        const BuildRecord *was = recording == RECORD_OURS ? &recorded : nullptr;
        DeploySet set;
        set.count = 0;
        set.note[0] = '\0';
        if (record.location[0] == '\0') {
            snprintf(reason, REASON_SIZE, "its registry key gives no location");
        } else if (!fits) {
            snprintf(reason, REASON_SIZE, "%s", judged.reason);
        } else if (!find_kit_files(judged.package_folder, judged.release, record, &set, reason)) {
            outcome = OUTCOME_FAILED;
        } else if (command.action == ACTION_INSTALL) {
            outcome = install_build(command, record, judged, &set, was, line, reason);
            len = static_cast<int>(strlen(line));
        } else if (command.action == ACTION_REMOVE) {
            outcome = remove_set(&set, record, command.dry_run, reason);
        } else {
            outcome = detect_build(&set, judged, was, reason);
        }
        if (outcome != OUTCOME_REFUSED && outcome != OUTCOME_FAILED && set.note[0] != '\0')
            snprintf(reason + strlen(reason), REASON_SIZE - strlen(reason), " (%s)", set.note);
    }
    // Detection changes nothing, so its "no" is a plain one.
    const char *words = command.action == ACTION_DETECT ? "" : outcome_words(outcome);
    snprintf(line + len, LINE_SIZE - len, ": %s%s", words, reason);
    return outcome;
}

// The kit's state in the product for list: the first language whose files
// are all there, or whether files of the kit's names are.
static void kit_state(const char *kit, const ProductRecord &product, char digit,
                      const FourPartVersion &host, char *words, size_t cap) {
    SetState best = SET_ABSENT;
    for (const char *language : language_folder_table) {
        ProductJudgement judged;
        DeploySet set;
        char reason[REASON_SIZE];
        if (!judge_product(digit, host, kit, language, &judged) ||
            !find_kit_files(judged.package_folder, judged.release, product, &set, reason))
            continue;
        SetState state = compare_set(&set);
        if (state == SET_INSTALLED) {
            snprintf(words, cap, "installed (%s)", language);
            return;
        }
        if (state == SET_OTHER)
            best = SET_OTHER;
    }
    snprintf(words, cap, "%s", best == SET_OTHER ? "other files of the same names" : "none");
}

static int list_products(const char *kit, const ProductList &products) {
    for (int i = 0; i < products.count; ++i) {
        const ProductRecord &p = products.records[i];
        FourPartVersion host;
        char digit = read_host_library(p.location, &host);
        ProductJudgement judged;
        judge_product(digit, host, kit, "English", &judged);
        char line[LINE_SIZE];
        char state[64];
        int len = describe(line, p, judged.release, host);
        BuildRecord recorded;
        char why[REASON_SIZE];
        RecordState recording = read_record(p, &recorded, why);
        if (recording == RECORD_OURS)
            len += build_words(line + len, LINE_SIZE - len, "recorded build", recorded);
        else if (recording == RECORD_FOREIGN)
            len += snprintf(line + len, LINE_SIZE - len, ", %s", why);
        kit_state(kit, p, digit, host, state, sizeof state);
        char rejected[REASON_SIZE] = "";
        if (digit != 0 && judged.release == RELEASE_NONE)
            snprintf(rejected, sizeof rejected, " (%s)", judged.reason);
        len += snprintf(line + len, LINE_SIZE - len, ", location %s%s%s, kit: %s", p.location,
                        p.location[0] != '\0' && folder_gone(p.location) ? " (gone)" : "", rejected,
                        state);
        bool journal;
        int temporary = leftovers(p, &journal);
        if ((journal || temporary > 0) && len < LINE_SIZE)
            snprintf(line + len, LINE_SIZE - len,
                     "; left by an interrupted run: %s%d temporary file%s, which the next install, "
                     "remove or detect finishes or undoes first",
                     journal ? "its journal and " : "", temporary, temporary == 1 ? "" : "s");
        say(line);
    }
    return EXIT_DEPLOY_OK;
}

// A name that selects nothing (a typing slip, or the wrong PC), with the
// names and keys that list shows, as many as the line holds.
static void say_unknown_product(const char *selector, const ProductList &products) {
    char line[LINE_SIZE];
    int len = snprintf(line, LINE_SIZE,
                       "no registered product has the name or key \"%s\"; registered:", selector);
    for (int i = 0; i < products.count && len < LINE_SIZE; ++i)
        len += snprintf(line + len, LINE_SIZE - len, "%s %s [%s]", i > 0 ? "," : "",
                        products.records[i].product_name, products.records[i].key_name);
    say(line);
}

// recovered holds each product's recovery outcome; the products' own
// outcomes are gathered in it, in the order they are judged.
static int run_command(const DeployCommand &command, const char *kit, const ProductList &products,
                       ProductOutcome *recovered) {
    if (command.action == ACTION_LIST)
        return list_products(kit, products);
    int selected = 0;
    for (int i = 0; i < products.count; ++i) {
        const ProductRecord &p = products.records[i];
        if (!product_selected(command.product, p.product_name, p.key_name))
            continue;
        char line[LINE_SIZE];
        ProductOutcome outcome = recovered[i];
        if (outcome == OUTCOME_IN_USE || outcome == OUTCOME_FAILED)
            snprintf(line, LINE_SIZE, "%s [%s]: %san interrupted run could not be finished",
                     p.product_name, p.key_name, outcome_words(outcome));
        else
            outcome = handle_product(command, kit, p, line);
        say(line);
        recovered[selected++] = outcome;
    }
    int present = 0;
    for (int i = 0; i < selected; ++i)
        present += recovered[i] == OUTCOME_ABSENT ? 0 : 1;
    if (selected == 0) {
        say_unknown_product(command.product, products);
    } else if (present == 0) {
        say(command.action == ACTION_REMOVE
                ? "none of the selected products is present on this PC: nothing to remove"
                : "none of the selected products is present on this PC");
        return nothing_there_exit_code(command.action);
    }
    if (command.action != ACTION_DETECT)
        return combine_exit_code(recovered, selected);
    int status = detect_exit_code(recovered, selected);
    if (status == EXIT_DEPLOY_OK) {
        char verdict[LINE_SIZE];
        snprintf(verdict, LINE_SIZE, "Kap HDI driver installed (%s) in %d product%s",
                 command.language, present, present == 1 ? "" : "s");
        print_line(verdict);
        log_note(verdict);
    }
    return status;
}

// Finishes what earlier runs left undone, in every product, before anything
// else; records for each product whether that stands in its way.
static void recover_all(const ProductList &products, ProductOutcome *recovered) {
    for (int i = 0; i < products.count; ++i) {
        const ProductRecord &p = products.records[i];
        char reason[REASON_SIZE];
        recovered[i] = recover_product(p, reason);
        if (recovered[i] == OUTCOME_ALREADY)
            continue;
        char line[LINE_SIZE];
        snprintf(line, LINE_SIZE, "%s [%s]: %s%s", p.product_name, p.key_name,
                 outcome_words(recovered[i]), reason);
        say(line);
    }
}

static int deploy(const DeployCommand &command) {
    int failed = command.action == ACTION_DETECT ? EXIT_NOT_DETECTED : EXIT_INSTALL_FAILURE;
    char line[LINE_SIZE];
    char words[200];
    // list only looks, so it never waits for another run.
    DWORD locked = command.action == ACTION_LIST ? ERROR_SUCCESS : take_run_lock();
    if (locked == WAIT_TIMEOUT) {
        say("another kapdeploy run is in progress on this PC: try again later");
        return EXIT_TRY_AGAIN;
    }
    if (locked != ERROR_SUCCESS) {
        system_error_words(locked, words, sizeof words);
        snprintf(line, LINE_SIZE, "the run's lock cannot be taken (error %lu: %s)",
                 static_cast<unsigned long>(locked), words);
        say(line);
        return failed;
    }
    ProductList products;
    long error = 0;
    ScanStop stop = scan_registered_products(&products, &error);
    if (stop != SCAN_LISTED) {
        // No AutoCAD at all is an answer, not a failure to look.
        bool none = stop == SCAN_NONE_LISTED ||
                    (stop == SCAN_NO_HARDCOPY_KEY && error == ERROR_FILE_NOT_FOUND);
        if (none) {
            snprintf(line, LINE_SIZE, "no AutoCAD product is registered on this PC%s",
                     command.action == ACTION_REMOVE ? ": nothing to remove" : "");
        } else if (stop == SCAN_NO_HARDCOPY_KEY) {
            system_error_words(static_cast<DWORD>(error), words, sizeof words);
            snprintf(line, LINE_SIZE,
                     "the registry's AutoCAD entries cannot be read "
                     "(HKLM\\Software\\Autodesk\\Hardcopy: error %ld: %s)",
                     error, words);
        } else {
            snprintf(line, LINE_SIZE, "the registry's AutoCAD entries cannot be read");
        }
        say(line);
        // AutoCAD gone altogether: so are the entries of its products.
        char reason[REASON_SIZE];
        if (none && command.action != ACTION_LIST && !command.dry_run &&
            !settle_entries(ProductList{nullptr, 0}, reason))
            say(reason);
        return none ? nothing_there_exit_code(command.action) : failed;
    }
    ProductOutcome *recovered =
        static_cast<ProductOutcome *>(calloc(products.count + 1, sizeof(ProductOutcome)));
    if (recovered == nullptr) {
        free(products.records);
        say("out of memory");
        return failed;
    }
    // list only looks: it names what an interrupted run left.
    if (command.action != ACTION_LIST)
        recover_all(products, recovered);
    char kit[MAX_PATH];
    char language[MAX_PATH];
    DWORD len =
        GetFullPathNameA(command.kit != nullptr ? command.kit : ".", MAX_PATH, kit, nullptr);
    int status = failed;
    if (len > 0 && len < MAX_PATH) {
        snprintf(line, LINE_SIZE, "kit %s%s", kit,
                 command.kit != nullptr ? "" : " (the current folder)");
        log_note(line);
    }
    DWORD why = ERROR_FILENAME_EXCED_RANGE;
    // A remove without a language takes away recorded builds only: the kit
    // may be long gone.
    bool needs_kit = command.action != ACTION_REMOVE || command.language != nullptr;
    if (needs_kit && (len == 0 || len >= MAX_PATH || !is_folder(kit, &why))) {
        system_error_words(why, words, sizeof words);
        snprintf(line, LINE_SIZE, "the kit folder %s does not exist (error %lu: %s)",
                 command.kit != nullptr ? command.kit : ".", static_cast<unsigned long>(why),
                 words);
        say(line);
    } else if (command.language != nullptr &&
               (!concat_bounded(language, MAX_PATH, kit, "\\", command.language) ||
                !is_folder(language))) {
        // Without --kit the kit is the current folder, which for a start-up
        // script is System32.
        if (command.kit != nullptr)
            snprintf(line, LINE_SIZE, "the kit %s has no %s folder", kit, command.language);
        else
            snprintf(line, LINE_SIZE, "the current folder %s has no %s folder: give --kit", kit,
                     command.language);
        say(line);
    } else {
        status = run_command(command, kit, products, recovered);
        if (command.action == ACTION_LIST && command.kit == nullptr &&
            !holds_a_language_folder(kit)) {
            snprintf(line, LINE_SIZE, "the current folder %s holds no kit: give --kit", kit);
            say(line);
        }
    }
    // Every run that may have changed a record puts the entries right, also
    // one that failed: its recovery may have finished an earlier commit.
    char reason[REASON_SIZE];
    if (command.action != ACTION_LIST && !command.dry_run && !settle_entries(products, reason)) {
        say(reason);
        if (status == EXIT_DEPLOY_OK && command.action != ACTION_DETECT)
            status = EXIT_INSTALL_FAILURE;
    }
    free(recovered);
    free(products.records);
    return status;
}

// The refusal of a wrong command line, in one line.
static void refusal_words(const DeployCommand &command, const char *problem, char *line) {
    if (command.culprit_option != nullptr && command.culprit != nullptr)
        snprintf(line, LINE_SIZE, "kapdeploy: %s: %s (its value: %s)", command.culprit_option,
                 problem, command.culprit);
    else if (command.culprit_option != nullptr)
        snprintf(line, LINE_SIZE, "kapdeploy: %s: %s", command.culprit_option, problem);
    else if (command.culprit != nullptr)
        snprintf(line, LINE_SIZE, "kapdeploy: %s: \"%s\"", problem, command.culprit);
    else
        snprintf(line, LINE_SIZE, "kapdeploy: %s", problem);
}

int main(int argc, char **argv) {
    // Nobody is at the screen: no system box for a missing disk or a crash.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    platform_start();
    DeployCommand command;
    const char *problem = parse_deploy_command(argc, argv, &command);
    if (problem != nullptr) {
        char line[LINE_SIZE];
        refusal_words(command, problem, line);
        fprintf(stderr, "%s\n%s", line, deploy_usage);
        // The help desk reads the log, not the tool's console.
        if (command.log != nullptr && log_open(command.log) == ERROR_SUCCESS) {
            log_note(line);
            log_close(EXIT_BAD_COMMAND);
        }
        return EXIT_BAD_COMMAND;
    }
    if (command.action == ACTION_HELP) {
        fputs(deploy_usage, stdout);
        fputs(deploy_exit_codes, stdout);
        return EXIT_DEPLOY_OK;
    }
    if (command.action == ACTION_VERSION) {
        fputs("kapdeploy " KAP_VERSION_TEXT "\n", stdout);
        return EXIT_DEPLOY_OK;
    }
    // detect speaks through its exit code and one line on standard output;
    // anything on standard error would read as a failed detection.
    bool detect = command.action == ACTION_DETECT;
    report_on_stdout(!detect);
    DWORD error = command.log != nullptr ? log_open(command.log) : ERROR_SUCCESS;
    // A change must leave a record: without its log it does not start.
    if (error != ERROR_SUCCESS && !detect) {
        char words[200];
        system_error_words(error, words, sizeof words);
        fprintf(stderr, "kapdeploy: the log %s cannot be opened (error %lu: %s); nothing changed\n",
                command.log, static_cast<unsigned long>(error), words);
        return EXIT_LOG_FAILURE;
    }
    int status = deploy(command);
    log_close(status);
    return status;
}
