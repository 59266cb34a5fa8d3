// The Add/Remove Programs entry of a recorded build: its key under
// Software\Microsoft\Windows\CurrentVersion\Uninstall and its texts. The
// uninstall runs a copy of kapdeploy kept outside every kit, since the kit
// is only staged and goes away.
#pragma once

#include <stddef.h>

// What starts every entry's key name: the entries of this program are told
// from the others by it.
extern const char entry_key_prefix[];

// The entry's key name for a product key ("KapHdiDriver " and the key with
// its separators as "/", which a key name cannot hold); false when it does
// not fit.
bool entry_key_name(char *out, size_t cap, const char *product_key);

// "Kap HDI driver (English) for AutoCAD 2005"
bool entry_display_name(char *out, size_t cap, const char *language, const char *product_name);

// The command the entry runs: cmd removes the product's build with the kept
// copy and, once the last build on the PC is gone (the copy then renamed
// itself to kept.kapold, as a running program may be renamed but not
// deleted), deletes that copy and its folder. The exit code is kapdeploy's.
// False when a name holds a quote, which no command line can carry, or it
// does not fit.
bool entry_uninstall_command(char *out, size_t cap, const char *cmd_path, const char *kept_folder,
                             const char *product_key);

// The kept copy's name in its folder.
extern const char kept_program_name[];
extern const char kept_retired_name[];
