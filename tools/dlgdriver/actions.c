/* The actions of the command line. A name that ends in ':' is followed by
 * its argument. tools/wineharness.py reads the names from this table too,
 * to tell a scenario's actions from the transcript lines it expects. */
#include "actions.h"

#include <stdlib.h>
#include <string.h>

static const struct {
    const char *name;
    enum action_kind kind;
} NAMES[] = {
    {"ok", ACT_OK},       {"cancel", ACT_CANCEL},  {"enter", ACT_ENTER},        {"esc", ACT_ESC},
    {"close", ACT_CLOSE}, {"select:", ACT_SELECT}, {"dblclick:", ACT_DBLCLICK}, {"shot:", ACT_SHOT},
};

int parse_action(const char *text, struct action *a) {
    for (size_t i = 0; i < sizeof NAMES / sizeof *NAMES; i++) {
        const char *name = NAMES[i].name;
        size_t n = strlen(name);
        if (name[n - 1] == ':' ? strncmp(text, name, n) != 0 : strcmp(text, name) != 0)
            continue;
        a->kind = NAMES[i].kind;
        a->text = text;
        a->arg = text + n;
        a->item = 0;
        if (a->kind == ACT_SELECT || a->kind == ACT_DBLCLICK) {
            char *end;
            a->item = (int)strtol(a->arg, &end, 10);
            return *a->arg != 0 && *end == 0;
        }
        return a->kind != ACT_SHOT || *a->arg != 0;
    }
    return 0;
}
