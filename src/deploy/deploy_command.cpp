// Reads the kapdeploy command line; every wrong line is told apart in words.
#include "deploy_command.h"

#include <string.h>

#include "../control/text.h"
#include "../ui/languages.h"

const char deploy_usage[] =
    "usage: kapdeploy list [--kit DIR]\n"
    "       kapdeploy install --product NAME|KEY|all --language FOLDER [--kit DIR] [--log FILE] "
    "[--dry-run] [--allow-downgrade]\n"
    "       kapdeploy detect --product NAME|KEY|all --language FOLDER [--kit DIR] [--log FILE]\n"
    "       kapdeploy remove --product NAME|KEY|all [--language FOLDER] [--kit DIR] [--log FILE] "
    "[--dry-run]\n"
    "       kapdeploy --help | --version\n"
    "The kit is the current folder unless --kit names it, as for the installer; a start-up\n"
    "script runs in C:\\Windows\\System32, so give --kit there. remove takes the build that\n"
    "install recorded in the product away without the kit; --language and the kit serve only\n"
    "products installed without a record.\n";

const char deploy_exit_codes[] =
    "exit codes:\n"
    "  0     install, detect: every selected product that is present holds the kit's files;\n"
    "        remove: none of them does (also when none is present or none is registered)\n"
    "  1     detect only: not installed, or no product registered (standard output stays\n"
    "        empty)\n"
    "  87    wrong command line\n"
    "  1603  a product was refused or a step failed, or install found no product present\n"
    "  1618  a file was in use (AutoCAD running) or another kapdeploy ran: try again later\n"
    "        (a product refused beside it is reported by the run after the retry)\n"
    "  1622  install or remove: the --log file cannot be opened (nothing was changed)\n";

struct ActionName {
    const char *name;
    DeployAction action;
};

static const ActionName action_names[] = {
    {"list", ACTION_LIST},         {"install", ACTION_INSTALL}, {"detect", ACTION_DETECT},
    {"remove", ACTION_REMOVE},     {"--help", ACTION_HELP},     {"/?", ACTION_HELP},
    {"--version", ACTION_VERSION},
};

// The options each sub-command takes, as letters: p product, l language,
// k kit, g log, d dry run, a allow a downgrade.
static const char *allowed_options(DeployAction action) {
    switch (action) {
    case ACTION_LIST:
        return "k";
    case ACTION_DETECT:
        return "plkg";
    case ACTION_INSTALL:
        return "plkgda";
    case ACTION_REMOVE:
        return "plkgd";
    case ACTION_HELP:
    case ACTION_VERSION:
        break;
    }
    return "";
}

struct OptionName {
    const char *name;
    char letter;
};

static const OptionName option_names[] = {
    {"--product", 'p'}, {"--language", 'l'}, {"--kit", 'k'},
    {"--log", 'g'},     {"--dry-run", 'd'},  {"--allow-downgrade", 'a'},
};

// A word that starts like an option is the next option, never a value: no
// product, language, folder or file a user means starts with "--".
static bool looks_like_option(const char *word) {
    return strncmp(word, "--", 2) == 0;
}

// What is wrong with any option's value, or null.
static const char *value_problem(const char *value) {
    if (value[0] == '\0')
        return "an option's value is empty";
    // Windows reads \" as a quote inside the argument: "C:\out\" --dry-run
    // becomes one value, and the rest of the line is lost.
    if (strchr(value, '"') != nullptr)
        return "the value holds a quote: a \\ before a closing quote keeps the quote and takes "
               "in the rest of the line; leave that \\ out";
    return nullptr;
}

// "unknown language folder (Cesky, ..., Polski or Russkii)", from the table.
static const char *unknown_language_words() {
    static char words[256];
    size_t len = 0;
    for (int i = 0; i < LANGUAGE_COUNT; ++i) {
        const char *before = i == 0                   ? "unknown language folder ("
                             : i + 1 < LANGUAGE_COUNT ? ", "
                                                      : " or ";
        if (!concat_bounded(words + len, sizeof words - len, before, language_folder_table[i]))
            break;
        len += strlen(words + len);
    }
    concat_bounded(words + len, sizeof words - len, ")");
    return words;
}

// Stores one option's value; null when it is taken, else what is wrong.
static const char *store_option(char letter, const char *value, DeployCommand *command) {
    const char **slot = letter == 'p'   ? &command->product
                        : letter == 'l' ? &command->language
                        : letter == 'k' ? &command->kit
                                        : &command->log;
    if (*slot != nullptr)
        return "an option is given twice";
    const char *problem = value_problem(value);
    if (problem != nullptr)
        return problem;
    if (letter == 'l') {
        int language = language_named(value);
        if (language < 0)
            return unknown_language_words();
        value = language_folder_table[language];
    }
    *slot = value;
    return nullptr;
}

static const char *parse_options(int argc, char **argv, const char *allowed,
                                 DeployCommand *command) {
    for (int i = 2; i < argc; ++i) {
        command->culprit = argv[i];
        char letter = 0;
        for (const OptionName &o : option_names) {
            if (strcmp(argv[i], o.name) == 0)
                letter = o.letter;
        }
        if (letter == 0 || strchr(allowed, letter) == nullptr)
            return "unknown option for this sub-command";
        if (letter == 'd' || letter == 'a') {
            (letter == 'd' ? command->dry_run : command->allow_downgrade) = true;
            continue;
        }
        command->culprit_option = argv[i];
        if (i + 1 >= argc || looks_like_option(argv[i + 1])) {
            command->culprit = nullptr;
            return "an option lacks its value";
        }
        command->culprit = argv[++i];
        const char *problem = store_option(letter, argv[i], command);
        if (problem != nullptr)
            return problem;
        command->culprit_option = nullptr;
    }
    command->culprit = nullptr;
    return nullptr;
}

// The first --log value that the parse would take, wherever the line went
// wrong.
static const char *readable_log(int argc, char **argv) {
    for (int i = 2; i + 1 < argc; ++i) {
        if (strcmp(argv[i], "--log") == 0 && !looks_like_option(argv[i + 1]) &&
            value_problem(argv[i + 1]) == nullptr)
            return argv[i + 1];
    }
    return nullptr;
}

const char *parse_deploy_command(int argc, char **argv, DeployCommand *command) {
    *command = DeployCommand{ACTION_HELP, nullptr, nullptr, nullptr, nullptr,
                             false,       false,   nullptr, nullptr};
    if (argc < 2)
        return "no sub-command";
    const ActionName *found = nullptr;
    for (const ActionName &a : action_names) {
        if (strcmp(argv[1], a.name) == 0)
            found = &a;
    }
    if (found == nullptr) {
        command->culprit = argv[1];
        return "unknown sub-command";
    }
    command->action = found->action;
    const char *allowed = allowed_options(found->action);
    const char *problem = parse_options(argc, argv, allowed, command);
    if (problem == nullptr && strchr(allowed, 'p') != nullptr && command->product == nullptr)
        problem = command->action == ACTION_REMOVE ? "--product is required"
                                                   : "--product and --language are required";
    // remove takes a recorded build away without any language.
    if (problem == nullptr && command->action != ACTION_REMOVE && strchr(allowed, 'l') != nullptr &&
        command->language == nullptr)
        problem = "--product and --language are required";
    if (problem != nullptr && command->log == nullptr && strchr(allowed, 'g') != nullptr)
        command->log = readable_log(argc, argv);
    return problem;
}

bool product_selected(const char *selector, const char *product_name, const char *key) {
    return ascii_equal_nocase(selector, "all") || ascii_equal_nocase(selector, product_name) ||
           ascii_equal_nocase(selector, key);
}
