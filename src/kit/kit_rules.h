// What the kit checker asks of a kit, decided from the installer's own
// tables: which languages each release offers, which minor field a release
// pins, how long the paths may be, which names Windows' short names match.
#pragma once

#include <stddef.h>

#include "../control/records.h"
#include "../ui/languages.h"

// The minor field that every host of the release has; false for a release
// the release table gives for any minor (ACAD2000).
bool release_pinned_minor(HostRelease release, uint16_t *minor);

// The digit N of the host library hcregN.dll of the release's hosts.
char release_library_digit(HostRelease release);

enum NameTrouble {
    NAME_FINE,
    NAME_REFUSED_BYTE, // a control byte or one of \ / : * ? " < > |
    NAME_NOT_ASCII,    // its meaning depends on the code page of the PC
    NAME_DEVICE,       // CON, PRN, AUX, NUL, COM1..9, LPT1..9, with any extension
    NAME_TRAILING,     // a last space or dot, which Windows drops
};

// Why Windows cannot hold the name as it is; *byte is the byte at fault.
NameTrouble windows_name_trouble(const char *name, int *byte);

// The longest kit folder path from which the installer can still reach the
// file name in language\release: its paths hold 259 bytes. Negative when
// no folder is short enough.
int longest_kit_folder(const char *language, HostRelease release, const char *name);

// Whether the installer reads an entry of this name in some release: a
// name of a copied pattern, or kap.hif. Only such entries need more than
// their names and kinds.
bool kit_reads_name(const char *name);

// Whether the file search for the pattern ("*.hdi") returns the name only
// through its 8.3 short name ("x.hdi_old" is X~1.HDI): the long name's
// extension is longer than the pattern's and begins with it.
bool short_name_matches(const char *name, const char *pattern);

// kit, the separator, then relative; no separator is doubled, and an empty
// relative path gives the kit folder itself. False when it does not fit.
bool join_kit_path(char *out, size_t cap, const char *kit, const char *relative,
                   const char *separator);

// Whether a progress line is due at now_ms: a second after the start and
// then once a second (*last_ms starts at the start time).
bool progress_due(unsigned long now_ms, unsigned long *last_ms);
