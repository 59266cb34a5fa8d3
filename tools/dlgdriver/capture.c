/* Screen capture: what the screen shows of a window, to tell a message
 * box's icon by its colours and to save a drawn dialog as a BMP file. */
#include "capture.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "steps.h"

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
    if (!bmp)
        return NULL;
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
    if (!rb)
        return -1;
    HDC mem = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(mem, rb);
    for (int i = 0; i < w * h; i++)
        ref[i] = px[0];
    DrawIconEx(mem, 0, 0, LoadIconA(NULL, id), 0, 0, 0, NULL, DI_NORMAL | DI_DEFAULTSIZE);
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
const char *icon_on_screen(HWND ic) {
    RECT r;
    DWORD *px;
    GetWindowRect(ic, &r);
    HBITMAP bmp = grab(&r, &px);
    if (!bmp)
        return NULL;
    int w = r.right - r.left, h = r.bottom - r.top;
    int red = 0, yellow = 0, blue = 0;
    for (int i = 0; i < w * h; i++) {
        int R = (int)((px[i] >> 16) & 255), G = (int)((px[i] >> 8) & 255), B = (int)(px[i] & 255);
        if (R > 160 && G < 100 && B < 100)
            red++;
        else if (R > 180 && G > 150 && B < 100)
            yellow++;
        else if (B > 140 && R < 120 && B > G + 20)
            blue++;
    }
    const char *kind = NULL;
    int min = w * h / 20; /* a few stray pixels of a colour decide nothing */
    if (red >= min && red >= yellow && red >= blue)
        kind = "error";
    else if (yellow >= min && yellow >= blue)
        kind = "warning";
    else if (blue >= min) {
        long info = icon_distance(px, w, h, IDI_ASTERISK);
        long question = icon_distance(px, w, h, IDI_QUESTION);
        kind = question >= 0 && question < info ? "question" : "info";
    }
    DeleteObject(bmp);
    return kind;
}

/* Whether all n pixels have one colour. */
static int one_colour(const DWORD *px, int n) {
    for (int i = 1; i < n; i++)
        if (px[i] != px[0])
            return 0;
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
        int same =
            bmp && last && EqualRect(r, &last_r) && !memcmp(*px, last_px, (size_t)n * sizeof **px);
        if (last)
            DeleteObject(last);
        if (same && !one_colour(*px, n))
            return bmp;
        last = bmp;
        last_px = bmp ? *px : NULL;
        last_r = *r;
        step_check("%s not drawn", dlg);
        step_pause();
    }
    if (last)
        DeleteObject(last);
    return NULL;
}

int save_bmp(const char *path, HWND dlg) {
    RECT r;
    DWORD *px;
    HBITMAP bmp = grab_drawn(dlg, &r, &px);
    if (!bmp)
        return 0;
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
    int ok = 0;
    if (fp != NULL) {
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
