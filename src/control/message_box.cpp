// The installer's message boxes, apart from the other platform services: a
// console companion that linked them would load USER32 (and, under Wine, its
// display driver) at every start for a box it never shows.
#include "platform.h"

void show_message(const char *text, const char *title, UINT kind) {
    MessageBoxA(nullptr, text, title, kind);
}
