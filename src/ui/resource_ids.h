// Ids shared by the resource script and the dialog code.
#pragma once

#define IDD_PRODUCT_DIALOG 105
#define IDD_LANGUAGE_DIALOG 106
#define IDC_PRODUCT_LIST 1009
#define IDC_LANGUAGE_LIST 1010
#define IDC_NOTE_TEXT 1013
#define IDC_NOTE_MORE 1014
