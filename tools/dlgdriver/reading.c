/* Reading the program's windows into the transcript: a list dialog's
 * caption, place and items; a message box's title, icon, text and buttons. */
#include "reading.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "capture.h"
#include "resource_ids.h" /* the installer's own control ids */
#include "steps.h"
#include "transcript.h"

#define ID_MSGBOX_TEXT 0xFFFF /* the static holding a message box's text */

HWND list_of(HWND dlg, const char **kind) {
    HWND lb = GetDlgItem(dlg, IDC_PRODUCT_LIST);
    if (lb) {
        if (kind)
            *kind = "product";
        return lb;
    }
    lb = GetDlgItem(dlg, IDC_LANGUAGE_LIST);
    if (lb && kind)
        *kind = "language";
    return lb;
}

/* Item text, read as Unicode (Wine marshals that across processes) and
 * given back in the ANSI code page like the rest of the transcript. */
char *item_text(HWND lb, int i) {
    LRESULT n = SendMessageW(lb, LB_GETTEXTLEN, i, 0);
    if (n < 0)
        n = 0;
    WCHAR *w = calloc(n + 1, sizeof(WCHAR));
    if (n)
        SendMessageW(lb, LB_GETTEXT, i, (LPARAM)w);
    int len = WideCharToMultiByte(CP_ACP, 0, w, -1, NULL, 0, NULL, NULL);
    char *s = calloc(len + 1, 1);
    WideCharToMultiByte(CP_ACP, 0, w, -1, s, len, NULL, NULL);
    free(w);
    return s;
}

static char *window_text(HWND h) {
    LRESULT n = SendMessageA(h, WM_GETTEXTLENGTH, 0, 0);
    if (n < 0)
        n = 0;
    char *s = calloc(n + 2, 1);
    SendMessageA(h, WM_GETTEXT, n + 1, (LPARAM)s);
    return s;
}

/* The kind of the box's icon, once it is drawn; "none" for a box without. */
static const char *icon_kind(HWND dlg) {
    HWND ic = NULL;
    for (HWND c = GetWindow(dlg, GW_CHILD); c && !ic; c = GetWindow(c, GW_HWNDNEXT))
        if (has_class(c, "Static") && (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            ic = c;
    if (!ic || !IsWindowVisible(ic) || !SendMessageA(ic, STM_GETICON, 0, 0))
        return "none";
    const char *kind;
    while (!(kind = icon_on_screen(ic))) {
        if (!IsWindow(ic))
            return "none";
        step_check("the icon of %s not drawn", dlg);
        step_pause();
    }
    return kind;
}

void describe(HWND dlg) {
    char caption[1024] = "";
    GetWindowTextA(dlg, caption, sizeof caption);
    const char *kind;
    HWND lb = list_of(dlg, &kind);
    if (lb) {
        RECT r, d;
        GetWindowRect(dlg, &r);
        GetWindowRect(GetDesktopWindow(), &d);
        int w = r.right - r.left, h = r.bottom - r.top;
        char head[64], place[80];
        sprintf(head, "dialog %s", kind);
        if (r.left == (d.right - w) / 2 && r.top == (d.bottom - h) / 2)
            strcpy(place, " centred");
        else
            sprintf(place, " at %ld,%ld size %dx%d", r.left, r.top, w, h);
        out_q(head, caption, place);
        int n = (int)SendMessageW(lb, LB_GETCOUNT, 0, 0);
        int sel = (int)SendMessageW(lb, LB_GETCURSEL, 0, 0);
        for (int i = 0; i < n; i++) {
            char *s = item_text(lb, i);
            out_q("item", s, i == sel ? " selected" : "");
            free(s);
        }
        return;
    }
    char tail[32];
    sprintf(tail, " icon=%s", icon_kind(dlg));
    out_q("msgbox", caption, tail);
    char *text = NULL;
    for (HWND c = GetWindow(dlg, GW_CHILD); c && !text; c = GetWindow(c, GW_HWNDNEXT))
        if ((GetDlgCtrlID(c) & 0xFFFF) == ID_MSGBOX_TEXT && has_class(c, "Static") &&
            (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
            text = window_text(c);
    out_q("text", text ? text : "", "");
    free(text);
    char line[4096] = "buttons", *end = line + 7;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char t[256] = "";
        if (!has_class(c, "Button") || !IsWindowVisible(c))
            continue;
        GetWindowTextA(c, t, sizeof t);
        if (end - line + 4 * strlen(t) + 8 > sizeof line)
            break;
        *end++ = ' ';
        end = quote(end, t);
    }
    *end++ = '\n';
    *end = 0;
    out(line);
}
