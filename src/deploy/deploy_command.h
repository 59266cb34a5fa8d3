// The kapdeploy command line: which sub-command, for which products, in
// which language, from which kit; and the exit codes deployment tools read.
#pragma once

enum DeployAction {
    ACTION_LIST,
    ACTION_INSTALL,
    ACTION_DETECT,
    ACTION_REMOVE,
    ACTION_HELP,
    ACTION_VERSION
};

// The codes of the contract that MSI packages made common.
enum {
    EXIT_DEPLOY_OK = 0,
    EXIT_NOT_DETECTED = 1,
    EXIT_BAD_COMMAND = 87,
    EXIT_INSTALL_FAILURE = 1603,
    EXIT_TRY_AGAIN = 1618,
    EXIT_LOG_FAILURE = 1622,
};

struct DeployCommand {
    DeployAction action;
    const char *product;  // a product name or key, or "all"; null for list
    const char *language; // the kit's own spelling of the language folder; remove: may be null
    const char *kit;      // null: the current folder
    const char *log;      // null: no log
    bool dry_run;
    bool allow_downgrade;       // install a build older than the one recorded
    const char *culprit;        // the word of the line that is wrong, or null
    const char *culprit_option; // the option whose value is wrong or missing, or null
};

extern const char deploy_usage[];
// What --help adds to the usage.
extern const char deploy_exit_codes[];

// Fills *command from argv; null when the line is well formed, else what is
// wrong with it, in words (the run then ends with EXIT_BAD_COMMAND). A word
// that starts with "--" is never an option's value: "--kit --log x" lacks
// the kit. On a wrong line command->log still holds a --log value that
// could be read, so that the refusal reaches the log.
const char *parse_deploy_command(int argc, char **argv, DeployCommand *command);

// Whether the --product value selects a product: "all" does, and so do its
// name and its key (the hardcopy value that list shows), without regard to
// the case of ASCII letters.
bool product_selected(const char *selector, const char *product_name, const char *key);
