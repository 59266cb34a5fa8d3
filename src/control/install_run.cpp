// The install run in its fixed order. Each step records what it learned;
// where that stops the install is the stop table's to say (install_stops),
// and the row is shown here. The kit paths are composed by package_paths.
#include "install_run.h"

#include "../host/registry_scan.h"
#include "../host/release_detection.h"
#include "../package/compatibility_check.h"
#include "../package/deploy_steps.h"
#include "../package/deployment.h"
#include "../package/hif_file.h"
#include "../ui/language_dialog.h"
#include "../ui/product_dialog.h"
#include "package_paths.h"
#include "run_state.h"

// The registered products: 1 with at least one in *list (the caller then
// owns it), or 0 after telling the user why not.
static int scan_products(ProductList *list) {
    long error = 0;
    switch (scan_registered_products(list, &error)) {
    case SCAN_LISTED:
        return 1;
    case SCAN_NO_HARDCOPY_KEY:
        show_message("No AutoCAD application is installed on your computer.\nThe setup will close.",
                     "Error", MB_ICONERROR);
        return 0;
    case SCAN_UNEXPECTED:
        show_message("Unexpected error.\n The setup will close.", "Error", MB_OK);
        return 0;
    case SCAN_NONE_LISTED:
        show_message("No AutoCAD is installed on your system.\nThe setup will close", program_title,
                     MB_ICONERROR);
        return 0;
    }
    return 0;
}

int learn_fact(StopFact fact, int value) {
    run_facts.value[fact] = value;
    InstallStop stop = first_stop(run_facts);
    if (stop == STOP_GO_ON)
        return 1;
    const char *text = stop_text(stop, run_facts.step);
    if (text != nullptr)
        show_message(text, stop_captions[install_stops[stop].caption], install_stops[stop].icon);
    return 0;
}

// The kit folder of the chosen language and release, and its kap.hif.
static PathsVerdict build_kit_paths(char package_folder[MAX_PATH], char hif_path[MAX_PATH]) {
    char current[MAX_PATH];
    DWORD len = GetCurrentDirectoryA(MAX_PATH, current);
    if (len == 0)
        return PATHS_NO_CURRENT_FOLDER;
    if (len >= MAX_PATH ||
        !build_package_folder(package_folder, current, run_chosen_language_folder,
                              run_host_release) ||
        !build_hif_path(hif_path, package_folder))
        return PATHS_TOO_LONG;
    return PATHS_FIT;
}

// Everything the run does for the chosen product.
static void install_for_product(const char *location, const char *driver_folder,
                                const char *help_folder) {
    FourPartVersion host_version = {0, 0, 0, 0};
    if (!detect_host_release(location, &host_version))
        return;
    if (!learn_fact(FACT_LANGUAGE,
                    choose_language(nullptr) < 0 ? LANGUAGE_NOT_CHOSEN : LANGUAGE_CHOSEN))
        return;
    char package_folder[MAX_PATH];
    char hif_path[MAX_PATH];
    if (!learn_fact(FACT_PATHS, build_kit_paths(package_folder, hif_path)))
        return;
    // A line giving fewer than four values leaves the rest at 0.
    uint16_t level[HIF_VALUE_COUNT] = {0, 0, 0, 0};
    if (!read_hif_values(hif_path, driver_level_key, level))
        return;
    FourPartVersion driver_level = {level[0], level[1], level[2], level[3]};
    if (!check_driver_compatibility(driver_level, host_version))
        return;
    if (deploy_driver_files(package_folder, driver_folder, help_folder))
        learn_fact(FACT_DEPLOYMENT, DEPLOY_DONE);
}

void run_install(HINSTANCE instance) {
    if (!scan_products(&run_product_list))
        return;
    int chosen = choose_product(instance, run_product_list.count);
    if (chosen >= 0 && chosen < run_product_list.count) {
        const ProductRecord &product = run_product_list.records[chosen];
        install_for_product(product.location, product.driver_folder, product.help_folder);
    }
    release_run_state();
}
