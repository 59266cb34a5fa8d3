// What Windows shows of the recorded builds: one Add/Remove Programs entry
// per product that holds a record, and the copy of kapdeploy that their
// uninstall runs, kept outside every kit.
#pragma once

#include "../host/registry_scan.h"

// Puts every entry of this program and the kept copy right from the
// products' records: an entry for each record, none for a product without
// one (nor for a product no longer registered), the copy while any record
// is left. Run at the end of every run that may have changed a record, so
// that a run cut between a commit and its entry is mended by the next.
// False with the reason of the first step that failed.
bool settle_entries(const ProductList &products, char *reason);
