// The install run in its fixed order. Each step tells the user why it stops
// (or stays silent on purpose); the run only stops after it. The kit paths
// are composed by package_paths.
#include "install_run.h"

#include "../host/registry_scan.h"
#include "../host/release_detection.h"
#include "../package/compatibility_check.h"
#include "../package/deployment.h"
#include "../package/hif_file.h"
#include "../ui/language_dialog.h"
#include "../ui/product_dialog.h"
#include "package_paths.h"
#include "run_state.h"

static void show_path_error(const char *text) {
    show_message(text, "Error", MB_ICONERROR);
}

// The kit folder of the chosen language and release, and its kap.hif.
static bool build_kit_paths(char package_folder[MAX_PATH], char hif_path[MAX_PATH]) {
    char current[MAX_PATH];
    DWORD len = GetCurrentDirectoryA(MAX_PATH, current);
    if (len == 0) {
        show_path_error("The installation folder could not be found.\nInstallation failed.");
        return false;
    }
    if (len >= MAX_PATH ||
        !build_package_folder(package_folder, current, run_chosen_language_folder,
                              run_host_release) ||
        !build_hif_path(hif_path, package_folder)) {
        show_path_error("The installation folder path is too long.\nInstallation failed.");
        return false;
    }
    return true;
}

// Everything the run does for the chosen product.
static void install_for_product(const char *location, const char *driver_folder,
                                const char *help_folder) {
    FourPartVersion host_version = {0, 0, 0, 0};
    if (!detect_host_release(location, &host_version))
        return;
    if (choose_language(nullptr) < 0) {
        show_message("The driver can't be installed.\nThe setup will close.", "Warning",
                     MB_ICONWARNING);
        return;
    }
    char package_folder[MAX_PATH];
    char hif_path[MAX_PATH];
    if (!build_kit_paths(package_folder, hif_path))
        return;
    // A line giving fewer than four values leaves the rest at 0.
    uint16_t level[HIF_VALUE_COUNT] = {0, 0, 0, 0};
    if (!read_hif_values(hif_path, driver_level_key, level))
        return;
    FourPartVersion driver_level = {level[0], level[1], level[2], level[3]};
    if (!check_driver_compatibility(driver_level, host_version))
        return;
    if (deploy_driver_files(package_folder, driver_folder, help_folder))
        show_message("Success !\nThe new Kap HDI driver is now installed.\nEnjoy using it!",
                     program_title, MB_OK);
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
