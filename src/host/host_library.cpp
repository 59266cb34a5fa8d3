// The host library probe: hcreg6.dll .. hcreg9.dll in the location, then the
// first one's fixed file version through the system folder's VERSION.dll.
#include "host_library.h"

#include "../control/text.h"
#include "version_resource.h"

char read_host_library(const char *location, FourPartVersion *version) {
    *version = FourPartVersion{0, 0, 0, 0};
    // An empty folder holds nothing: neither the search path nor the
    // current folder is asked.
    if (location[0] == '\0')
        return 0;
    // "hcreg" + digit + ".dll"; the lowest digit whose library exists wins.
    char name[] = "hcreg?.dll";
    for (const char *d = "6789"; *d != '\0'; ++d) {
        name[5] = *d;
        char found[MAX_PATH];
        if (SearchPathA(location, name, nullptr, MAX_PATH, found, nullptr) == 0)
            continue;
        char path[MAX_PATH];
        if (concat_bounded(path, MAX_PATH, location, "\\", name))
            read_version_resource(path, version);
        return *d;
    }
    return 0;
}
