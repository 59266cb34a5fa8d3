// The product dialog: lists the products in the order the scan found them
// and returns the chosen position. It decides nothing else.
#include "product_dialog.h"

#include "../control/run_state.h"
#include "dialog_placement.h"
#include "resource_ids.h"

static void fill_product_list(HWND dialog, int count) {
    HWND list = GetDlgItem(dialog, IDC_PRODUCT_LIST);
    // Inserting at explicit positions keeps the list order despite LBS_SORT,
    // so a position always stands for the record of that index.
    for (int i = 0; i < count && i < run_product_list.count; ++i)
        SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(run_product_list.records[i].product_name));
    SendMessageA(list, LB_SETCURSEL, 0, 0);
}

static INT_PTR CALLBACK product_dialog_proc(HWND dialog, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        fill_product_list(dialog, static_cast<int>(lparam));
        centre_dialog_on_desktop(dialog);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK:
            EndDialog(dialog,
                      SendMessageA(GetDlgItem(dialog, IDC_PRODUCT_LIST), LB_GETCURSEL, 0, 0));
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

int choose_product(HINSTANCE instance, int count) {
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PRODUCT_DIALOG), nullptr,
                                            product_dialog_proc, count));
}
