// The run-wide values and their release at the end of the run.
#include "run_state.h"

#include <stdlib.h>
#include <string.h>

ProductList run_product_list = {nullptr, 0};
char *run_chosen_language_folder = nullptr;
HostRelease run_host_release = RELEASE_NONE;
ProductFacts run_facts = no_facts;

bool store_chosen_language_folder(const char *folder) {
    size_t size = strlen(folder) + 1;
    char *copy = static_cast<char *>(malloc(size));
    if (copy == nullptr)
        return false;
    memcpy(copy, folder, size);
    free(run_chosen_language_folder);
    run_chosen_language_folder = copy;
    return true;
}

void release_run_state() {
    free(run_product_list.records);
    run_product_list.records = nullptr;
    run_product_list.count = 0;
    free(run_chosen_language_folder);
    run_chosen_language_folder = nullptr;
}
