// The classification of host libraries by digit and minor version.
#include "release_rules.h"

const ReleaseRow release_table[RELEASE_ROW_COUNT] = {
    {'6', ANY_MINOR, ACAD2000}, {'7', 0, ACAD2000i}, {'7', 1, ACAD2002}, {'8', 0, ACAD2004},
    {'8', 1, ACAD2005},         {'8', 2, ACAD2006},  {'9', 0, ACAD2007},
};

ReleaseVerdict classify_host_release(char digit, uint16_t minor, HostRelease *release) {
    *release = RELEASE_NONE;
    bool known_digit = false;
    for (const ReleaseRow &row : release_table) {
        if (row.digit != digit)
            continue;
        known_digit = true;
        if (row.minor == ANY_MINOR || row.minor == minor) {
            *release = row.release;
            return RELEASE_KNOWN;
        }
    }
    if (!known_digit)
        return RELEASE_KNOWN;
    return digit == '7' ? REJECT_NOT_APPLICATION : REJECT_CORRUPTED;
}
