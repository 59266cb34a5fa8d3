// The language dialog: fills the list and stores the chosen folder. Which
// languages are offered and which folder a shown text names is decided by
// languages.
#include "language_dialog.h"

#include "../control/run_state.h"
#include "dialog_placement.h"
#include "languages.h"
#include "resource_ids.h"

static void fill_language_list(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_LANGUAGE_LIST);
    // Added, not inserted: the list sorts them.
    for (int i = first_offered_language(run_host_release); i < LANGUAGE_COUNT; ++i)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(language_display_list[i]));
    SendMessageA(list, LB_SETCURSEL, 0, 0);
}

// Stores the folder of the selected language; returns its position, or -1
// when nothing could be stored.
static int store_chosen_language(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_LANGUAGE_LIST);
    LRESULT position = SendMessageA(list, LB_GETCURSEL, 0, 0);
    char text[1024];
    if (position < 0 || SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(position), 0) >=
                            static_cast<LRESULT>(sizeof text))
        return -1;
    if (SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(position),
                     reinterpret_cast<LPARAM>(text)) < 0)
        return -1;
    if (!store_chosen_language_folder(language_folder_for_text(text)))
        return -1;
    return static_cast<int>(position);
}

static INT_PTR CALLBACK language_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        fill_language_list(dialog);
        centre_dialog_on_desktop(dialog);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK:
            EndDialog(dialog, store_chosen_language(dialog));
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, -1);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

int choose_language(HINSTANCE instance) {
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_LANGUAGE_DIALOG),
                                            nullptr, language_dialog_proc, 0));
}
