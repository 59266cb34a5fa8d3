// The smallest program of the same kind: one dialog from a resource, one
// message box. The benchmarks measure the installer against it.
#include <windows.h>
static INT_PTR CALLBACK proc(HWND d, UINT m, WPARAM w, LPARAM) {
    if (m == WM_COMMAND && (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL)) {
        EndDialog(d, LOWORD(w));
        return TRUE;
    }
    return FALSE;
}
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    DialogBoxParamA(instance, MAKEINTRESOURCEA(1), nullptr, proc, 0);
    MessageBoxA(nullptr, "Done.", "Minimal", MB_OK);
    return 0;
}
