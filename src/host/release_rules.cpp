// The classification of host libraries by digit and minor version.
#include "release_rules.h"

ReleaseVerdict classify_host_release(char digit, uint16_t minor, HostRelease *release) {
    static const HostRelease family7[] = {ACAD2000i, ACAD2002};
    static const HostRelease family8[] = {ACAD2004, ACAD2005, ACAD2006};
    *release = RELEASE_NONE;
    switch (digit) {
    case '6':
        *release = ACAD2000;
        return RELEASE_KNOWN;
    case '7':
        if (minor >= 2)
            return REJECT_NOT_APPLICATION;
        *release = family7[minor];
        return RELEASE_KNOWN;
    case '8':
        if (minor >= 3)
            return REJECT_CORRUPTED;
        *release = family8[minor];
        return RELEASE_KNOWN;
    case '9':
        if (minor != 0)
            return REJECT_CORRUPTED;
        *release = ACAD2007;
        return RELEASE_KNOWN;
    default:
        return RELEASE_KNOWN;
    }
}
