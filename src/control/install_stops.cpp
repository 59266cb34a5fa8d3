// The table of the install's stops, with their texts.
#include "install_stops.h"

#include "../host/release_rules.h"
#include "../package/compatibility.h"
#include "../package/hif_reader.h"
#include "package_paths.h"

const char program_title[] = "Kap HDI driver installer";

const char *const stop_captions[] = {nullptr, "Error", "Warning", program_title};

// The texts are the program's own, byte for byte: the missing full stops
// and the blanks before line breaks included. Sized by its rows, so that
// the declaration's STOP_COUNT checks their number.
const StopRow install_stops[] = {
    {FACT_RELEASE, REJECT_NOT_APPLICATION, CAPTION_ERROR, STOP_ICON_ERROR,
     "The chosen application is not an AutoCAD application or is corrupted.\nThe setup will close"},
    {FACT_RELEASE, REJECT_CORRUPTED, CAPTION_ERROR, STOP_ICON_ERROR,
     "The chosen application is corrupted.\nThe setup will close."},
    {FACT_LANGUAGE, LANGUAGE_NOT_CHOSEN, CAPTION_WARNING, STOP_ICON_WARNING,
     "The driver can't be installed.\nThe setup will close."},
    {FACT_PATHS, PATHS_NO_CURRENT_FOLDER, CAPTION_ERROR, STOP_ICON_ERROR,
     "The installation folder could not be found.\nInstallation failed."},
    {FACT_PATHS, PATHS_TOO_LONG, CAPTION_ERROR, STOP_ICON_ERROR,
     "The installation folder path is too long.\nInstallation failed."},
    {FACT_HIF, HIF_CANNOT_OPEN, CAPTION_ERROR, STOP_ICON_ERROR,
     "The installation HIF file could not be opened. Check out whether\nthis file exists or not "
     "in your install directory. If this is not\nthe case, contact your driver provider to get "
     "it.\nInstallation failed."},
    {FACT_HIF, HIF_KEY_MISSING, CAPTION_ERROR, STOP_ICON_ERROR,
     "There are some missing information in the installation HIF file.\nPlease contact your "
     "driver provider to get a new HIF file."},
    {FACT_LEVEL, DRIVER_DDK_MISMATCH, CAPTION_ERROR, STOP_ICON_ERROR,
     "The driver was built with a Driver Development Kit (DDK) more recent \nthan the one used "
     "for the targetted application.In order to install \nthe driver, you must either update "
     "your application to the same \nDDK level or use a less recent driver.\nInstallation failed."},
    {FACT_LEVEL, DRIVER_BUILD_DIFFERS, CAPTION_NONE, STOP_ICON_NONE, nullptr},
    // The deployment's file stops speak with the step's words (stop_text).
    {FACT_DEPLOYMENT, DEPLOY_FOLDER_NOT_ENTERED, CAPTION_ERROR, STOP_ICON_ERROR, nullptr},
    {FACT_DEPLOYMENT, DEPLOY_FILE_MISSING, CAPTION_ERROR, STOP_ICON_ERROR, nullptr},
    {FACT_DEPLOYMENT, DEPLOY_COPY_FAILED, CAPTION_ERROR, STOP_ICON_ERROR, nullptr},
    {FACT_DEPLOYMENT, DEPLOY_DONE, CAPTION_PROGRAM, STOP_ICON_NONE,
     "Success !\nThe new Kap HDI driver is now installed.\nEnjoy using it!"},
};
