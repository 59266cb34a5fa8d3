// Release folder names, the 2004-and-later rule and the split of a fixed
// file version.
#include "records.h"

const char *const release_folder_names[RELEASE_COUNT] = {
    "ACAD2000", "ACAD2000i", "ACAD2002", "ACAD2004", "ACAD2005", "ACAD2006", "ACAD2007",
};

bool is_2004_or_later(HostRelease release) {
    return release >= ACAD2004 && release <= ACAD2007;
}

const char *release_folder_name(HostRelease release) {
    if (release < ACAD2000 || release > ACAD2007)
        return "";
    return release_folder_names[release_index(release)];
}

FourPartVersion four_part_version_from_fixed(uint32_t version_ms, uint32_t version_ls) {
    FourPartVersion v;
    v.major = static_cast<uint16_t>(version_ms >> 16);
    v.minor = static_cast<uint16_t>(version_ms & 0xFFFFu);
    v.build = static_cast<uint16_t>(version_ls >> 16);
    v.revision = static_cast<uint16_t>(version_ls & 0xFFFFu);
    return v;
}
