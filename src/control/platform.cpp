// The platform services every program's shell uses: VERSION.dll from the
// system folder, the DLL search path. Nothing is decided here.
#include "platform.h"

#include "text.h"

VersionApi version_api = {nullptr, nullptr, nullptr};

// GetProcAddress returns a generic pointer; cast it to the real signature.
template <typename Fn> static void resolve(HMODULE module, const char *name, Fn *out) {
    FARPROC proc = GetProcAddress(module, name);
    *out = reinterpret_cast<Fn>(reinterpret_cast<void *>(proc));
}

bool load_version_library() {
    if (version_api.VerQueryValueA != nullptr)
        return true;
    char system_folder[MAX_PATH];
    char path[MAX_PATH];
    UINT len = GetSystemDirectoryA(system_folder, MAX_PATH);
    if (len == 0 || len >= MAX_PATH ||
        !concat_bounded(path, MAX_PATH, system_folder, "\\version.dll"))
        return false;
    HMODULE module = LoadLibraryA(path);
    if (module == nullptr)
        return false;
    VersionApi api;
    resolve(module, "GetFileVersionInfoSizeA", &api.GetFileVersionInfoSizeA);
    resolve(module, "GetFileVersionInfoA", &api.GetFileVersionInfoA);
    resolve(module, "VerQueryValueA", &api.VerQueryValueA);
    if (api.GetFileVersionInfoSizeA == nullptr || api.GetFileVersionInfoA == nullptr ||
        api.VerQueryValueA == nullptr)
        return false;
    version_api = api;
    return true;
}

void platform_start() {
    // SetDllDirectoryA("") removes the current folder, which later becomes
    // the kit folder, from the DLL search path. Not every system has it.
    BOOL(WINAPI * set_dll_directory)(LPCSTR) = nullptr;
    resolve(GetModuleHandleA("kernel32.dll"), "SetDllDirectoryA", &set_dll_directory);
    if (set_dll_directory != nullptr)
        set_dll_directory("");
}
