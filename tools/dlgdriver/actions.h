/* The actions of the command line and their one parser: all are checked
 * before the program under test starts, then taken one by one. */
#pragma once

enum action_kind {
    ACT_OK,
    ACT_CANCEL,
    ACT_ENTER,
    ACT_ESC,
    ACT_CLOSE,
    ACT_SELECT,
    ACT_DBLCLICK,
    ACT_SHOT
};

struct action {
    enum action_kind kind;
    const char *text; /* as given, for the transcript */
    const char *arg;  /* what follows the name: shot:'s file; "" for most */
    int item;         /* select: and dblclick:'s list item, from 0 */
};

/* Parses text into a; 0 if it is no action. */
int parse_action(const char *text, struct action *a);
