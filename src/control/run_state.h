// The values that live for the whole install run.
#pragma once

#include "install_stops.h"
#include "records.h"

// Owned by the run from the scan's return to its end.
extern ProductList run_product_list;
// Owned by the run once the language dialog stored it; null until then.
extern char *run_chosen_language_folder;
// Set once by release detection; none until then.
extern HostRelease run_host_release;
// What the install has learned of the chosen product, fact by fact.
extern ProductFacts run_facts;

// Stores a copy of the chosen language folder for the run.
bool store_chosen_language_folder(const char *folder);

// Frees the product list and the chosen language folder.
void release_run_state();
