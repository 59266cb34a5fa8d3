// The installer's stops: which one a product's facts reach, and what it says.
#include <gtest/gtest.h>

#include <string>

#include "control/install_stops.h"
#include "control/package_paths.h"
#include "host/release_rules.h"
#include "package/compatibility.h"
#include "package/hif_reader.h"

// Each row's facts arrive one by one in the run's order: the facts before
// the deciding one pass, the later ones would stop the run too. Until the
// deciding fact is known the run goes on; from then on the row's stop holds.
TEST(InstallStops, TheFirstFactThatStopsDecidesOnceKnown) {
    const int passes[FACT_COUNT] = {RELEASE_KNOWN, LANGUAGE_CHOSEN, PATHS_FIT,
                                    HIF_FOUND,     DRIVER_FITS,     DEPLOY_DONE};
    const int stops[FACT_COUNT] = {REJECT_CORRUPTED, LANGUAGE_NOT_CHOSEN, PATHS_TOO_LONG,
                                   HIF_KEY_MISSING,  DRIVER_DDK_MISMATCH, DEPLOY_FILE_MISSING};
    struct Row {
        StopFact fact;
        int value;
        InstallStop stop;
    } rows[] = {
        {FACT_RELEASE, REJECT_NOT_APPLICATION, STOP_NOT_APPLICATION},
        {FACT_RELEASE, REJECT_CORRUPTED, STOP_CORRUPTED},
        {FACT_LANGUAGE, LANGUAGE_NOT_CHOSEN, STOP_NO_LANGUAGE},
        {FACT_PATHS, PATHS_NO_CURRENT_FOLDER, STOP_FOLDER_NOT_FOUND},
        {FACT_PATHS, PATHS_TOO_LONG, STOP_PATH_TOO_LONG},
        {FACT_HIF, HIF_CANNOT_OPEN, STOP_HIF_CANNOT_OPEN},
        {FACT_HIF, HIF_KEY_MISSING, STOP_HIF_KEY_MISSING},
        {FACT_LEVEL, DRIVER_DDK_MISMATCH, STOP_DDK_MISMATCH},
        {FACT_LEVEL, DRIVER_BUILD_DIFFERS, STOP_BUILD_DIFFERS},
        {FACT_DEPLOYMENT, DEPLOY_FOLDER_NOT_ENTERED, STOP_FOLDER_NOT_ENTERED},
        {FACT_DEPLOYMENT, DEPLOY_FILE_MISSING, STOP_FILE_MISSING},
        {FACT_DEPLOYMENT, DEPLOY_COPY_FAILED, STOP_COPY_FAILED},
        {FACT_DEPLOYMENT, DEPLOY_DONE, STOP_SUCCESS},
    };
    for (const Row &row : rows) {
        for (int known = 0; known <= FACT_COUNT; ++known) {
            ProductFacts facts = no_facts;
            for (int f = 0; f < known; ++f)
                facts.value[f] = f < row.fact ? passes[f] : f > row.fact ? stops[f] : row.value;
            EXPECT_EQ(known > row.fact ? row.stop : STOP_GO_ON, first_stop(facts))
                << "stop " << row.stop << " with " << known << " facts known";
        }
    }
}

// The first line of a text, "" for none.
static std::string first_line(const char *text) {
    return text == nullptr ? "" : std::string(text).substr(0, std::string(text).find('\n'));
}

// The deployment's stops speak with the step's words; the others with their own.
TEST(InstallStops, EachStopSaysItsTextInItsBox) {
    struct Row {
        InstallStop stop;
        int step;
        const char *text;
        const char *caption;
        unsigned icon;
    } rows[] = {
        {STOP_CORRUPTED, 0, "The chosen application is corrupted.", "Error", 0x10},
        {STOP_NO_LANGUAGE, 0, "The driver can't be installed.", "Warning", 0x30},
        {STOP_BUILD_DIFFERS, 0, "", "", 0},
        {STOP_FOLDER_NOT_ENTERED, 1, "Impossible to copy the hdi driver.", "Error", 0x10},
        {STOP_FILE_MISSING, 1, "DRC file is missing.", "Error", 0x10},
        {STOP_COPY_FAILED, 2, "Impossible to copy the dll resource.", "Error", 0x10},
        {STOP_SUCCESS, 0, "Success !", "Kap HDI driver installer", 0},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(row.text, first_line(stop_text(row.stop, row.step))) << row.stop;
        EXPECT_EQ(row.caption, first_line(stop_captions[install_stops[row.stop].caption]));
        EXPECT_EQ(row.icon, install_stops[row.stop].icon) << row.stop;
    }
}
