/* The program under test's windows: finding its dialogs, waiting for each
 * step's effect, and acting like a user (keys, clicks). */
#include "driving.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "reading.h"
#include "steps.h"
#include "transcript.h"

/* The search of other_window; EnumWindows runs its callback on this thread. */
static HWND g_skip, g_found;

static BOOL CALLBACK find_cb(HWND h, LPARAM unused) {
    (void)unused;
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != g_pid || h == g_skip || !IsWindowVisible(h) || !has_class(h, "#32770"))
        return TRUE;
    /* A modal dialog's owner is disabled; the enabled one is the one to use. */
    if (!g_found || (IsWindowEnabled(h) && !IsWindowEnabled(g_found)))
        g_found = h;
    return TRUE;
}

/* Another shown dialog of the program than `skip`, or NULL. */
static HWND other_window(HWND skip) {
    g_skip = skip;
    g_found = NULL;
    EnumWindows(find_cb, 0);
    return g_found;
}

/* Whether the window's thread handles messages: a dialog answers once it is
 * made and its modal loop runs. */
static int answers(HWND h) {
    DWORD_PTR result;
    DWORD left = step_left();
    return SendMessageTimeoutA(h, WM_NULL, 0, 0, SMTO_NORMAL, left ? left : 1, &result) != 0;
}

/* Waits for the next dialog other than `last` (until `last` has gone or
 * hidden) to show and answer; returns it. When the program ends instead,
 * prints the exit line and ends the run. */
HWND next_window(HWND last) {
    for (;;) {
        if (last && (!IsWindow(last) || !IsWindowVisible(last)))
            last = NULL;
        HWND found = other_window(last);
        if (found) {
            if (g_timing) {
                LARGE_INTEGER now, freq;
                QueryPerformanceCounter(&now);
                QueryPerformanceFrequency(&freq);
                printf("first-window %.1f\n", (double)(now.QuadPart - g_started.QuadPart) * 1000.0 /
                                                  (double)freq.QuadPart);
                g_timing = 0;
            }
            if (answers(found) && IsWindow(found) && IsWindowVisible(found))
                return found;
        } else if (WaitForSingleObject(g_proc, 0) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(g_proc, &code);
            printf("exit %lu\n", (unsigned long)code);
            fflush(stdout);
            exit(0);
        }
        if (found)
            step_check("%s shown but not answering", found);
        else if (last)
            step_check("%s still shown", last);
        else
            step_check("no window shown, the program still running", NULL);
        step_pause();
    }
}

static ULONG_PTR g_sent, g_handled; /* numbers of the messages sent, handled */

static void CALLBACK handled(HWND h, UINT m, ULONG_PTR number, LRESULT r) {
    (void)h;
    (void)m;
    (void)r;
    g_handled = number;
}

/* Sends a message whose effect is synchronous and waits until the window
 * has handled it, or has gone, or has opened another window (a handler
 * showing a modal box answers only when that box closes). */
static void deliver(HWND dlg, HWND target, UINT msg, WPARAM wp, LPARAM lp) {
    ULONG_PTR number = ++g_sent;
    if (!SendMessageCallbackA(target, msg, wp, lp, handled, number))
        return;
    while (g_handled != number && IsWindow(target) && IsWindowVisible(dlg) && !other_window(dlg)) {
        step_check("%s has not handled the click", dlg);
        step_pause();
    }
}

void post_key(HWND dlg, WPARAM vk) {
    GUITHREADINFO gti;
    memset(&gti, 0, sizeof gti);
    gti.cbSize = sizeof gti;
    HWND target = dlg;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dlg, NULL), &gti) && gti.hwndFocus)
        target = gti.hwndFocus;
    UINT scan = MapVirtualKeyA((UINT)vk, MAPVK_VK_TO_VSC) << 16;
    PostMessageA(target, WM_KEYDOWN, vk, (LPARAM)(scan | 1U));
    PostMessageA(target, WM_KEYUP, vk, (LPARAM)(scan | 1U | 0xC0000000U));
}

/* Reads the list's selection; a list that has gone (the click closed its
 * dialog) leaves the last one read. */
static void read_selection(HWND lb, int *sel, char **text) {
    if (!IsWindow(lb))
        return;
    free(*text);
    *sel = (int)SendMessageW(lb, LB_GETCURSEL, 0, 0);
    *text = *sel >= 0 ? item_text(lb, *sel) : calloc(1, 1);
}

/* Clicks (or double-clicks) item n of the dialog's list where a mouse
 * would, scrolling it into view first. Returns 0 if there is no such item. */
int click_item(HWND dlg, int n, int dbl) {
    HWND lb = list_of(dlg, NULL);
    if (!lb || n < 0 || n >= (int)SendMessageW(lb, LB_GETCOUNT, 0, 0))
        return 0;
    RECT c;
    RECT it = {0, 0, 0, 0};
    GetClientRect(lb, &c);
    int ih = (int)SendMessageW(lb, LB_GETITEMHEIGHT, 0, 0);
    int top = (int)SendMessageW(lb, LB_GETTOPINDEX, 0, 0);
    if (ih <= 0)
        return 0;
    if (n < top || (n - top + 1) * ih > c.bottom) {
        SendMessageW(lb, LB_SETTOPINDEX, n, 0);
        top = (int)SendMessageW(lb, LB_GETTOPINDEX, 0, 0);
    }
    if (SendMessageW(lb, LB_GETITEMRECT, n, (LPARAM)&it) == LB_ERR || it.bottom <= it.top) {
        it.left = 0;
        it.right = c.right;
        it.top = (n - top) * ih;
        it.bottom = it.top + ih;
    }
    LPARAM at = MAKELPARAM((it.left + it.right) / 2, (it.top + it.bottom) / 2);
    int sel = -1;
    char *text = calloc(1, 1);
    deliver(dlg, lb, WM_LBUTTONDOWN, MK_LBUTTON, at);
    deliver(dlg, lb, WM_LBUTTONUP, 0, at);
    read_selection(lb, &sel, &text);
    if (dbl && IsWindow(lb)) {
        deliver(dlg, lb, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        deliver(dlg, lb, WM_LBUTTONUP, 0, at);
        read_selection(lb, &sel, &text);
    }
    char head[32];
    sprintf(head, "selected %d", sel);
    out_q(head, text, "");
    free(text);
    return 1;
}

int still_open(HWND dlg) {
    int open = IsWindow(dlg) && IsWindowVisible(dlg);
    out(open ? "still-open\n" : "closed\n");
    return open;
}
