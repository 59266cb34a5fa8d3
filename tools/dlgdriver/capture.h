/* What the screen shows of a window. */
#pragma once

#include <windows.h>

/* "error", "warning", "info" or "question" by the icon's colours on
 * screen; NULL while no icon colour shows (not drawn yet). */
const char *icon_on_screen(HWND ic);

/* Saves the dialog, once drawn, as a 24-bit BMP file; 0 on failure. */
int save_bmp(const char *path, HWND dlg);
