/* dlgdriver: drives a Win32 program's dialogs and message boxes from a
 * script of actions and writes what it saw, so installer tests under Wine
 * can check every dialog a person would meet.
 *
 * Build (make dlgdriver does it):
 *   i686-w64-mingw32-gcc -O2 -Wall -Wextra -Werror -static -I../../src/ui \
 *       -o dlgdriver.exe dlgdriver.c -luser32 -lgdi32 -ladvapi32
 *
 * Usage: dlgdriver.exe <regscript|-> <cwd> <exe> [action ...]
 *   regscript: TAB-separated lines applied under HKLM (32-bit view) first:
 *     del PATH | delval PATH NAME | key PATH | val PATH NAME sz TEXT |
 *     val PATH NAME TYPE BYTES   (TYPE decimal, BYTES with %HH and %%)
 *     hold FILE   (opens FILE with no sharing and keeps it open throughout)
 *   actions: ok cancel enter esc close select:N dblclick:N shot:PATH
 *            (N counts list items from 0)
 *   A first action "timing" prints "first-window <ms>" when the first dialog
 *   shows; "manual" alone leaves the windows to a person and waits for exit.
 * Exit: 0 after "exit <code>", 2 setup/start error, 3 timeout,
 *       4 no action left or an action impossible, 5 bad command line.
 *
 * Every action waits for its effect, never for a fixed time: messages whose
 * effect is synchronous are sent, and otherwise the expected state (the next
 * window, the program's exit, an icon on screen) is polled for. Each step has
 * one overall time-out, DLGDRIVER_STEP_TIMEOUT seconds (default 120); it only
 * runs out when something is wrong, and then "timeout <step>: <seen>" says
 * what was awaited and what was there instead.
 */
#define _WIN32_WINNT 0x0600
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "resource_ids.h" /* the installer's own control ids */

#define ID_MSGBOX_TEXT 0xFFFF /* the static holding a message box's text */

static HANDLE g_proc;
static DWORD g_pid;
static int g_timing; /* 1 until the first dialog has been timed */
static DWORD g_poll_ms = 10;
static LARGE_INTEGER g_started;
static DWORD g_step_ms = 120000;

/* ---- transcript ---- */

static void out(const char *s) {
  fputs(s, stdout);
  fflush(stdout);
}

/* Appends s to buf as a quoted, escaped string; buf must be big enough
 * (4 bytes per input byte + 3). */
static char *quote(char *buf, const char *s) {
  char *p = buf;
  *p++ = '"';
  for (; *s; s++) {
    unsigned char c = (unsigned char)*s;
    if (c == '\n') { *p++ = '\\'; *p++ = 'n'; }
    else if (c == '\r') { *p++ = '\\'; *p++ = 'r'; }
    else if (c == '\t') { *p++ = '\\'; *p++ = 't'; }
    else if (c == '\\' || c == '"') { *p++ = '\\'; *p++ = (char)c; }
    else if (c < 0x20 || c >= 0x7f) p += sprintf(p, "\\x%02X", c);
    else *p++ = (char)c;
  }
  *p++ = '"';
  *p = 0;
  return p;
}

/* Prints "<head> \"s\"<tail>\n". */
static void out_q(const char *head, const char *s, const char *tail) {
  size_t n = strlen(head) + strlen(s) * 4 + strlen(tail) + 8;
  char *buf = malloc(n);
  char *p = buf + sprintf(buf, "%s ", head);
  p = quote(p, s);
  sprintf(p, "%s\n", tail);
  out(buf);
  free(buf);
}

/* ---- registry script ---- */

static int hexval(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/* Decodes %HH and %% in place; returns the length or -1 if malformed. */
static int unescape(char *s) {
  char *w = s;
  for (char *r = s; *r; r++) {
    if (*r != '%') { *w++ = *r; continue; }
    if (r[1] == '%') { *w++ = '%'; r++; continue; }
    int hi = hexval(r[1]), lo = hi < 0 ? -1 : hexval(r[2]);
    if (lo < 0) return -1;
    *w++ = (char)(hi * 16 + lo);
    r += 2;
  }
  return (int)(w - s);
}

/* Splits at most max-1 TABs so the last field keeps any TABs of its own. */
static int split(char *line, char **f, int max) {
  int n = 0;
  f[n++] = line;
  while (n < max) {
    char *t = strchr(f[n - 1], '\t');
    if (!t) break;
    *t = 0;
    f[n++] = t + 1;
  }
  return n;
}

static const REGSAM VIEW = KEY_WOW64_32KEY;

static int reg_line(char *line) {
  char *f[5] = {0};
  int n = split(line, f, 5);
  HKEY k;
  LONG r;
  if (!strcmp(f[0], "del") && n == 2) {
    r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, f[1], 0, KEY_ALL_ACCESS | VIEW, &k);
    if (r == ERROR_FILE_NOT_FOUND) return 1;
    if (r != ERROR_SUCCESS) return 0;
    r = RegDeleteTreeA(k, NULL); /* subkeys and values, not the key */
    RegCloseKey(k);
    if (r != ERROR_SUCCESS) return 0;
    return RegDeleteKeyExA(HKEY_LOCAL_MACHINE, f[1], VIEW, 0) == ERROR_SUCCESS;
  }
  if (!strcmp(f[0], "delval") && n == 3) {
    r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, f[1], 0, KEY_SET_VALUE | VIEW, &k);
    if (r == ERROR_FILE_NOT_FOUND) return 1;
    if (r != ERROR_SUCCESS) return 0;
    r = RegDeleteValueA(k, f[2]);
    RegCloseKey(k);
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
  }
  if (!strcmp(f[0], "hold") && n == 2) {
    /* Stands for another program using the file; closed when we exit. */
    return CreateFileA(f[1], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, NULL) != INVALID_HANDLE_VALUE;
  }
  if (!strcmp(f[0], "key") && n == 2) {
    r = RegCreateKeyExA(HKEY_LOCAL_MACHINE, f[1], 0, NULL, 0,
                        KEY_ALL_ACCESS | VIEW, NULL, &k, NULL);
    if (r != ERROR_SUCCESS) return 0;
    RegCloseKey(k);
    return 1;
  }
  if (!strcmp(f[0], "val") && n == 5) {
    DWORD type;
    int len;
    if (!strcmp(f[3], "sz")) {
      type = REG_SZ;
      len = (int)strlen(f[4]) + 1;
    } else {
      char *end;
      if (!*f[3] || strspn(f[3], "0123456789") != strlen(f[3])) return 0;
      type = strtoul(f[3], &end, 10);
      len = unescape(f[4]);
      if (len < 0) return 0;
    }
    r = RegCreateKeyExA(HKEY_LOCAL_MACHINE, f[1], 0, NULL, 0,
                        KEY_ALL_ACCESS | VIEW, NULL, &k, NULL);
    if (r != ERROR_SUCCESS) return 0;
    r = RegSetValueExA(k, f[2], 0, type, (const BYTE *)f[4], (DWORD)len);
    RegCloseKey(k);
    return r == ERROR_SUCCESS;
  }
  return 0;
}

/* Returns 0 on success, else the number of the failing line (-1 if the
 * file cannot be read). */
static int apply_script(const char *path) {
  FILE *fp = fopen(path, "rb");
  if (!fp) return -1;
  fseek(fp, 0, SEEK_END);
  long size = ftell(fp);
  fseek(fp, 0, SEEK_SET);
  char *text = malloc(size + 1);
  size_t got = fread(text, 1, size, fp);
  fclose(fp);
  text[got] = 0;
  int lineno = 0, bad = 0;
  for (char *line = text; line && !bad;) {
    char *nl = strchr(line, '\n');
    if (nl) *nl = 0;
    lineno++;
    size_t len = strlen(line);
    if (len && line[len - 1] == '\r') line[--len] = 0;
    if (len && line[0] != '#' && !reg_line(line)) bad = lineno;
    line = nl ? nl + 1 : NULL;
  }
  free(text);
  return bad;
}

/* ---- finding windows ---- */

static int has_class(HWND h, const char *cls) {
  char buf[64];
  return GetClassNameA(h, buf, sizeof buf) && !lstrcmpiA(buf, cls);
}

struct find { HWND skip, found; };

static BOOL CALLBACK find_cb(HWND h, LPARAM lp) {
  struct find *f = (struct find *)lp;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid != g_pid || h == f->skip || !IsWindowVisible(h) ||
      !has_class(h, "#32770"))
    return TRUE;
  /* A modal dialog's owner is disabled; the enabled one is the one to use. */
  if (!f->found || (IsWindowEnabled(h) && !IsWindowEnabled(f->found)))
    f->found = h;
  return TRUE;
}

static void kill_child(void) {
  TerminateProcess(g_proc, 1);
  WaitForSingleObject(g_proc, 5000);
  out("exit killed\n");
}

/* Another shown dialog of the program than `skip`, or NULL. */
static HWND other_window(HWND skip) {
  struct find f = { skip, NULL };
  EnumWindows(find_cb, (LPARAM)&f);
  return f.found;
}

/* ---- steps: one action and its effect, under one time-out ---- */

static char g_step[128]; /* what the step is, for the time-out report */
static DWORD g_step_began;

static void step_begin(const char *what, const char *action) {
  snprintf(g_step, sizeof g_step, "%s%s", what, action);
  g_step_began = GetTickCount();
}

static DWORD step_left(void) {
  DWORD spent = GetTickCount() - g_step_began;
  return spent < g_step_ms ? g_step_ms - spent : 0;
}

/* Ends the run once the step's time is up, saying what it saw instead of
 * what it waited for; seen is a format with at most one window's caption. */
static void step_check(const char *seen, HWND named) {
  if (step_left()) return;
  char caption[256] = "", quoted[4 * sizeof caption + 3];
  if (named) GetWindowTextA(named, caption, sizeof caption);
  quote(quoted, caption);
  printf("timeout %s: ", g_step);
  if (named) printf(seen, quoted);
  else fputs(seen, stdout);
  printf("\n");
  fflush(stdout);
  TerminateProcess(g_proc, 1);
  exit(3);
}

/* Waits one poll interval, or less when the program ends or a reply to a
 * message sent with a callback arrives (it comes through our own queue). */
static void step_pause(void) {
  MSG m;
  MsgWaitForMultipleObjects(1, &g_proc, FALSE, g_poll_ms, QS_ALLINPUT);
  while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
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
static HWND next_window(HWND last) {
  for (;;) {
    if (last && (!IsWindow(last) || !IsWindowVisible(last))) last = NULL;
    HWND found = other_window(last);
    if (found) {
      if (g_timing) {
        LARGE_INTEGER now, freq;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&freq);
        printf("first-window %.1f\n",
               (double)(now.QuadPart - g_started.QuadPart) * 1000.0 / (double)freq.QuadPart);
        g_timing = 0;
      }
      if (answers(found) && IsWindow(found) && IsWindowVisible(found)) return found;
    } else if (WaitForSingleObject(g_proc, 0) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(g_proc, &code);
      printf("exit %lu\n", (unsigned long)code);
      fflush(stdout);
      exit(0);
    }
    if (found) step_check("%s shown but not answering", found);
    else if (last) step_check("%s still shown", last);
    else step_check("no window shown, the program still running", NULL);
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
  if (!SendMessageCallbackA(target, msg, wp, lp, handled, number)) return;
  while (g_handled != number && IsWindow(target) && IsWindowVisible(dlg) &&
         !other_window(dlg)) {
    step_check("%s has not handled the click", dlg);
    step_pause();
  }
}

/* ---- reading dialogs ---- */

static HWND list_of(HWND dlg, const char **kind) {
  HWND lb = GetDlgItem(dlg, IDC_PRODUCT_LIST);
  if (lb) { if (kind) *kind = "product"; return lb; }
  lb = GetDlgItem(dlg, IDC_LANGUAGE_LIST);
  if (lb && kind) *kind = "language";
  return lb;
}

/* Item text, read as Unicode (Wine marshals that across processes) and
 * given back in the ANSI code page like the rest of the transcript. */
static char *item_text(HWND lb, int i) {
  LRESULT n = SendMessageW(lb, LB_GETTEXTLEN, i, 0);
  if (n < 0) n = 0;
  WCHAR *w = calloc(n + 1, sizeof(WCHAR));
  if (n) SendMessageW(lb, LB_GETTEXT, i, (LPARAM)w);
  int len = WideCharToMultiByte(CP_ACP, 0, w, -1, NULL, 0, NULL, NULL);
  char *s = calloc(len + 1, 1);
  WideCharToMultiByte(CP_ACP, 0, w, -1, s, len, NULL, NULL);
  free(w);
  return s;
}

static char *window_text(HWND h) {
  LRESULT n = SendMessageA(h, WM_GETTEXTLENGTH, 0, 0);
  if (n < 0) n = 0;
  char *s = calloc(n + 2, 1);
  SendMessageA(h, WM_GETTEXT, n + 1, (LPARAM)s);
  return s;
}

/* A top-down 32-bit DIB section of w x h; *px gets its pixels, 0x00RRGGBB. */
static HBITMAP new_dib(int w, int h, DWORD **px) {
  BITMAPINFO bi;
  memset(&bi, 0, sizeof bi);
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  return CreateDIBSection(NULL, &bi, DIB_RGB_COLORS, (void **)px, NULL, 0);
}

/* Copies what the screen shows in r; NULL if r is empty. */
static HBITMAP grab(const RECT *r, DWORD **px) {
  int w = r->right - r->left, h = r->bottom - r->top;
  HBITMAP bmp = w > 0 && h > 0 ? new_dib(w, h, px) : NULL;
  if (!bmp) return NULL;
  HDC screen = GetDC(NULL), mem = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r->left, r->top, SRCCOPY);
  GdiFlush();
  SelectObject(mem, old);
  DeleteDC(mem);
  ReleaseDC(NULL, screen);
  return bmp;
}

/* Sum of channel differences between px and a standard icon drawn on px's
 * corner colour (the static's background). */
static long icon_distance(const DWORD *px, int w, int h, LPCSTR id) {
  DWORD *ref;
  HBITMAP rb = new_dib(w, h, &ref);
  if (!rb) return -1;
  HDC mem = CreateCompatibleDC(NULL);
  HGDIOBJ old = SelectObject(mem, rb);
  for (int i = 0; i < w * h; i++) ref[i] = px[0];
  DrawIconEx(mem, 0, 0, LoadIconA(NULL, id), 0, 0, 0, NULL,
             DI_NORMAL | DI_DEFAULTSIZE);
  GdiFlush();
  long d = 0;
  for (int i = 0; i < w * h; i++)
    for (int s = 0; s < 24; s += 8)
      d += labs((long)((px[i] >> s) & 255) - (long)((ref[i] >> s) & 255));
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(rb);
  return d;
}

/* Tells the standard icons apart by the colours on screen: red (error),
 * yellow (warning) or blue. Information and question are both blue, so
 * for those the closer of the system's own two icons decides. NULL while
 * no icon colour shows (not drawn yet). */
static const char *icon_on_screen(HWND ic) {
  RECT r;
  DWORD *px;
  GetWindowRect(ic, &r);
  HBITMAP bmp = grab(&r, &px);
  if (!bmp) return NULL;
  int w = r.right - r.left, h = r.bottom - r.top;
  int red = 0, yellow = 0, blue = 0;
  for (int i = 0; i < w * h; i++) {
    int R = (px[i] >> 16) & 255, G = (px[i] >> 8) & 255, B = px[i] & 255;
    if (R > 160 && G < 100 && B < 100) red++;
    else if (R > 180 && G > 150 && B < 100) yellow++;
    else if (B > 140 && R < 120 && B > G + 20) blue++;
  }
  const char *kind = NULL;
  int min = w * h / 20; /* a few stray pixels of a colour decide nothing */
  if (red >= min && red >= yellow && red >= blue) kind = "error";
  else if (yellow >= min && yellow >= blue) kind = "warning";
  else if (blue >= min) {
    long info = icon_distance(px, w, h, IDI_ASTERISK);
    long question = icon_distance(px, w, h, IDI_QUESTION);
    kind = question >= 0 && question < info ? "question" : "info";
  }
  DeleteObject(bmp);
  return kind;
}

/* The kind of the box's icon, once it is drawn; "none" for a box without. */
static const char *icon_kind(HWND dlg) {
  HWND ic = NULL;
  for (HWND c = GetWindow(dlg, GW_CHILD); c && !ic; c = GetWindow(c, GW_HWNDNEXT))
    if (has_class(c, "Static") &&
        (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      ic = c;
  if (!ic || !IsWindowVisible(ic) || !SendMessageA(ic, STM_GETICON, 0, 0))
    return "none";
  const char *kind;
  while (!(kind = icon_on_screen(ic))) {
    if (!IsWindow(ic)) return "none";
    step_check("the icon of %s not drawn", dlg);
    step_pause();
  }
  return kind;
}

static void describe(HWND dlg) {
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
  for (HWND c = GetWindow(dlg, GW_CHILD); c && !text;
       c = GetWindow(c, GW_HWNDNEXT))
    if ((GetDlgCtrlID(c) & 0xFFFF) == ID_MSGBOX_TEXT &&
        has_class(c, "Static") &&
        (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
      text = window_text(c);
  out_q("text", text ? text : "", "");
  free(text);
  char line[4096] = "buttons", *end = line + 7;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char t[256] = "";
    if (!has_class(c, "Button") || !IsWindowVisible(c)) continue;
    GetWindowTextA(c, t, sizeof t);
    if (end - line + 4 * strlen(t) + 8 > sizeof line) break;
    *end++ = ' ';
    end = quote(end, t);
  }
  strcpy(end, "\n");
  out(line);
}

/* ---- actions ---- */

static int one_colour(const DWORD *px, int n) {
  for (int i = 1; i < n; i++)
    if (px[i] != px[0]) return 0;
  return 1;
}

/* The dialog as the screen shows it once drawn: its painting is forced,
 * then it is grabbed until two grabs in a row agree and show more than a
 * bare background. NULL if it went away. */
static HBITMAP grab_drawn(HWND dlg, RECT *r, DWORD **px) {
  RedrawWindow(dlg, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
  HBITMAP last = NULL;
  DWORD *last_px = NULL;
  RECT last_r;
  memset(&last_r, 0, sizeof last_r);
  while (IsWindow(dlg)) {
    GetWindowRect(dlg, r);
    HBITMAP bmp = grab(r, px);
    int n = (r->right - r->left) * (r->bottom - r->top);
    int same = bmp && last && EqualRect(r, &last_r) &&
               !memcmp(*px, last_px, (size_t)n * sizeof **px);
    if (last) DeleteObject(last);
    if (same && !one_colour(*px, n)) return bmp;
    last = bmp;
    last_px = *px;
    last_r = *r;
    step_check("%s not drawn", dlg);
    step_pause();
  }
  if (last) DeleteObject(last);
  return NULL;
}

static int save_bmp(const char *path, HWND dlg) {
  RECT r;
  DWORD *px;
  HBITMAP bmp = grab_drawn(dlg, &r, &px);
  if (!bmp) return 0;
  int w = r.right - r.left, h = r.bottom - r.top, stride = (w * 3 + 3) & ~3;
  BITMAPFILEHEADER fh = {0};
  BITMAPINFOHEADER ih = {0};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + stride * h;
  ih.biSize = sizeof ih;
  ih.biWidth = w;
  ih.biHeight = h; /* bottom-up, the form every viewer reads */
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  ih.biSizeImage = stride * h;
  FILE *fp = fopen(path, "wb");
  int ok = fp != NULL;
  if (ok) {
    unsigned char *row = calloc(stride, 1);
    ok = fwrite(&fh, sizeof fh, 1, fp) == 1 && fwrite(&ih, sizeof ih, 1, fp) == 1;
    for (int y = h - 1; ok && y >= 0; y--) {
      for (int x = 0; x < w; x++) {
        DWORD p = px[y * w + x];
        row[x * 3] = p & 255;
        row[x * 3 + 1] = (p >> 8) & 255;
        row[x * 3 + 2] = (p >> 16) & 255;
      }
      ok = fwrite(row, 1, stride, fp) == (size_t)stride;
    }
    free(row);
    ok = fclose(fp) == 0 && ok;
  }
  DeleteObject(bmp);
  return ok;
}

static void post_key(HWND dlg, WPARAM vk) {
  GUITHREADINFO gti;
  memset(&gti, 0, sizeof gti);
  gti.cbSize = sizeof gti;
  HWND target = dlg;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(dlg, NULL), &gti) &&
      gti.hwndFocus)
    target = gti.hwndFocus;
  LPARAM scan = (LPARAM)MapVirtualKeyA((UINT)vk, MAPVK_VK_TO_VSC) << 16;
  PostMessageA(target, WM_KEYDOWN, vk, scan | 1);
  PostMessageA(target, WM_KEYUP, vk, scan | 1 | 0xC0000000);
}

/* Reads the list's selection; a list that has gone (the click closed its
 * dialog) leaves the last one read. */
static void read_selection(HWND lb, int *sel, char **text) {
  if (!IsWindow(lb)) return;
  free(*text);
  *sel = (int)SendMessageW(lb, LB_GETCURSEL, 0, 0);
  *text = *sel >= 0 ? item_text(lb, *sel) : calloc(1, 1);
}

/* Clicks (or double-clicks) item n of the dialog's list where a mouse
 * would, scrolling it into view first. Returns 0 if there is no such item. */
static int click_item(HWND dlg, int n, int dbl) {
  HWND lb = list_of(dlg, NULL);
  if (!lb || n < 0 || n >= (int)SendMessageW(lb, LB_GETCOUNT, 0, 0)) return 0;
  RECT c, it;
  GetClientRect(lb, &c);
  int ih = (int)SendMessageW(lb, LB_GETITEMHEIGHT, 0, 0);
  int top = (int)SendMessageW(lb, LB_GETTOPINDEX, 0, 0);
  if (ih <= 0) return 0;
  if (n < top || (n - top + 1) * ih > c.bottom) {
    SendMessageW(lb, LB_SETTOPINDEX, n, 0);
    top = (int)SendMessageW(lb, LB_GETTOPINDEX, 0, 0);
  }
  if (SendMessageW(lb, LB_GETITEMRECT, n, (LPARAM)&it) == LB_ERR ||
      it.bottom <= it.top) {
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

static int still_open(HWND dlg) {
  int open = IsWindow(dlg) && IsWindowVisible(dlg);
  out(open ? "still-open\n" : "closed\n");
  return open;
}

static int valid_action(const char *a) {
  char *end;
  if (!strcmp(a, "ok") || !strcmp(a, "cancel") || !strcmp(a, "enter") ||
      !strcmp(a, "esc") || !strcmp(a, "close"))
    return 1;
  if (!strncmp(a, "shot:", 5)) return a[5] != 0;
  const char *num = !strncmp(a, "select:", 7) ? a + 7
                    : !strncmp(a, "dblclick:", 9) ? a + 9 : NULL;
  if (!num || !*num) return 0;
  strtol(num, &end, 10);
  return *end == 0;
}

static void action_error(const char *a) {
  out_q("action-error", a, "");
  kill_child();
  exit(4);
}

int main(int argc, char **argv) {
  _setmode(_fileno(stdout), _O_BINARY); /* "\n" only, as promised */
  if (argc < 4) {
    fprintf(stderr, "usage: dlgdriver <regscript|-> <cwd> <exe> [action ...]\n");
    return 5;
  }
  int next = 4;
  int manual = argc == 5 && !strcmp(argv[4], "manual");
  char seconds[16];
  DWORD got = GetEnvironmentVariableA("DLGDRIVER_STEP_TIMEOUT", seconds, sizeof seconds);
  if (got > 0 && got < sizeof seconds && atoi(seconds) > 0)
    g_step_ms = (DWORD)atoi(seconds) * 1000;
  if (argc > 4 && !strcmp(argv[4], "timing")) {
    g_timing = 1;
    g_poll_ms = 2;
    next = 5;
  }
  for (int i = next; i < argc && !manual; i++)
    if (!valid_action(argv[i])) {
      fprintf(stderr, "dlgdriver: bad action %s\n", argv[i]);
      return 5;
    }
  if (strcmp(argv[1], "-")) {
    int bad = apply_script(argv[1]);
    if (bad) {
      printf("setup-error %d\n", bad < 0 ? 0 : bad);
      return 2;
    }
  }
  /* The pointer waits in a corner no dialog covers: a real pointer move
   * that reached a list while a click was delivered would select the item
   * under the pointer instead (the centre of the screen is on the product
   * list). A person driving the dialogs keeps their pointer. */
  if (!manual)
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  STARTUPINFOA si;
  memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  char *cmd = malloc(strlen(argv[3]) + 3);
  sprintf(cmd, "\"%s\"", argv[3]);
  QueryPerformanceCounter(&g_started);
  if (!CreateProcessA(argv[3], cmd, NULL, NULL, FALSE, 0, NULL, argv[2], &si,
                      &pi)) {
    printf("start-error %lu\n", (unsigned long)GetLastError());
    return 2;
  }
  CloseHandle(pi.hThread);
  g_proc = pi.hProcess;
  g_pid = pi.dwProcessId;

  if (manual) {
    DWORD code = 0;
    WaitForSingleObject(g_proc, INFINITE);
    GetExitCodeProcess(g_proc, &code);
    printf("exit %lu\n", (unsigned long)code);
    return 0;
  }
  step_begin("waiting for the first window", "");
  HWND dlg = next_window(NULL);
  for (;;) {
    describe(dlg);
    int leave = 0; /* 1 once the action was sent that should end this one */
    while (!leave) {
      if (next >= argc) {
        out("no-action-left\n");
        kill_child();
        return 4;
      }
      const char *a = argv[next++];
      step_begin("after ", a);
      if (!strcmp(a, "ok") || !strcmp(a, "cancel")) {
        HWND b = GetDlgItem(dlg, a[0] == 'o' ? IDOK : IDCANCEL);
        if (!b || !IsWindowVisible(b) || !IsWindowEnabled(b)) action_error(a);
        PostMessageA(b, BM_CLICK, 0, 0);
        leave = 1;
      } else if (!strcmp(a, "enter") || !strcmp(a, "esc")) {
        post_key(dlg, a[0] == 'e' && a[1] == 'n' ? VK_RETURN : VK_ESCAPE);
        leave = 1;
      } else if (!strcmp(a, "close")) {
        PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
        leave = 1;
      } else if (!strncmp(a, "shot:", 5)) {
        if (!save_bmp(a + 5, dlg)) action_error(a);
      } else {
        int dbl = a[0] == 'd';
        if (!click_item(dlg, atoi(strchr(a, ':') + 1), dbl)) action_error(a);
        if (dbl || !IsWindow(dlg)) leave = !still_open(dlg);
      }
    }
    dlg = next_window(dlg);
  }
}
