// What Windows and the installer make of a name in a kit: whether Windows
// can hold it, whether the installer reads it, which patterns match it only
// through a short name, and how long a kit folder may be for it.
#pragma once

#include "../control/records.h"

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
