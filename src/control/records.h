// The records that pass between the steps of an install run.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

// Paths and registry strings live in buffers of this size (259 bytes of text
// and the terminating zero), the platform's MAX_PATH.
enum { PATH_BUFFER_SIZE = 260, VALUE_NAME_BUFFER_SIZE = 128 };

struct ProductRecord {
    char product_name[PATH_BUFFER_SIZE];
    char location[PATH_BUFFER_SIZE];
    char driver_folder[PATH_BUFFER_SIZE];
    char help_folder[PATH_BUFFER_SIZE];
    // The hardcopy value that names its key: how the companions name a
    // product that two share a name with.
    char key_name[VALUE_NAME_BUFFER_SIZE];
};

// The products found by the registry scan, in the order they were found.
struct ProductList {
    ProductRecord *records;
    int count;
};

// Each release's name is also its folder name in the driver package tree.
enum HostRelease {
    RELEASE_NONE,
    ACAD2000,
    ACAD2000i,
    ACAD2002,
    ACAD2004,
    ACAD2005,
    ACAD2006,
    ACAD2007,
};

enum { RELEASE_COUNT = 7 };

// A release's place in the tables kept per release, release_folder_names
// first: 0 for ACAD2000 .. 6 for ACAD2007.
inline int release_index(HostRelease release) {
    return release - ACAD2000;
}

inline HostRelease release_at(int index) {
    return static_cast<HostRelease>(ACAD2000 + index);
}

// Folder names of ACAD2000 .. ACAD2007, in release order.
extern const char *const release_folder_names[RELEASE_COUNT];

bool is_2004_or_later(HostRelease release);

// The release's folder name, or "" for none.
const char *release_folder_name(HostRelease release);

struct FourPartVersion {
    uint16_t major;
    uint16_t minor;
    uint16_t build;
    uint16_t revision;
};

// "8.1.0.3": how the companions write a version (24 bytes hold any).
inline void version_text(char *out, size_t cap, const FourPartVersion &v) {
    snprintf(out, cap, "%u.%u.%u.%u", v.major, v.minor, v.build, v.revision);
}

// version_text read back: four decimal numbers from 0 to 65535 separated by
// dots, and nothing else.
inline bool parse_version_text(const char *text, FourPartVersion *version) {
    uint16_t fields[4];
    for (int i = 0; i < 4; ++i) {
        if (*text < '0' || *text > '9')
            return false;
        unsigned long number = 0;
        for (int digits = 0; *text >= '0' && *text <= '9'; ++text, ++digits) {
            number = number * 10 + static_cast<unsigned long>(*text - '0');
            if (number > 65535 || digits > 5)
                return false;
        }
        fields[i] = static_cast<uint16_t>(number);
        if (*text != (i < 3 ? '.' : '\0'))
            return false;
        if (i < 3)
            ++text;
    }
    *version = {fields[0], fields[1], fields[2], fields[3]};
    return true;
}

// Below zero, zero or above zero as a is lower than, equal to or higher
// than b, field by field from the major.
inline int compare_versions(const FourPartVersion &a, const FourPartVersion &b) {
    const uint16_t x[] = {a.major, a.minor, a.build, a.revision};
    const uint16_t y[] = {b.major, b.minor, b.build, b.revision};
    for (int i = 0; i < 4; ++i) {
        if (x[i] != y[i])
            return x[i] < y[i] ? -1 : 1;
    }
    return 0;
}

// Splits the two 32-bit halves of a fixed file version.
FourPartVersion four_part_version_from_fixed(uint32_t version_ms, uint32_t version_ls);
