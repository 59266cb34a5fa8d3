// The one place the program includes the Windows headers.
#pragma once

#include <windows.h>
// The version-resource declarations, left out by WIN32_LEAN_AND_MEAN.
#include <winver.h>

#include "install_stops.h"
#include "records.h"

// The portable code sizes its path buffers without the Windows headers.
static_assert(PATH_BUFFER_SIZE == MAX_PATH, "path buffers must be MAX_PATH bytes");

// The version-resource functions, taken from VERSION.dll in the system
// folder at run time: the program runs from a download folder, possibly
// elevated, so a DLL planted beside it must never be loaded.
// Typed from the SDK's own declarations, so a wrong signature cannot compile.
struct VersionApi {
    decltype(&::GetFileVersionInfoSizeA) GetFileVersionInfoSizeA;
    decltype(&::GetFileVersionInfoA) GetFileVersionInfoA;
    decltype(&::VerQueryValueA) VerQueryValueA;
};

extern VersionApi version_api;

// Fills version_api on first use, so the first dialog does not wait for it;
// false when the system library cannot be loaded.
bool load_version_library();

// Takes the current folder off the DLL search path. Called once at start.
void platform_start();

// A message box with no owner and one OK button.
void show_message(const char *text, const char *title, UINT kind);

// The portable stop table names the styles by number.
static_assert(STOP_ICON_ERROR == MB_ICONERROR && STOP_ICON_WARNING == MB_ICONWARNING &&
                  STOP_ICON_NONE == MB_OK,
              "stop icons must be the message box styles");
