#pragma once

#include "link/d2xx.h"

// The entry points of a loaded D2XX library.
struct D2xxEntryPoints {
    FT_ListDevices_t ListDevices = nullptr;
    FT_Open_t Open = nullptr;
    FT_Close_t Close = nullptr;
    FT_Write_t Write = nullptr;
    FT_Read_t Read = nullptr;
    FT_GetStatus_t GetStatus = nullptr;
    FT_SetTimeouts_t SetTimeouts = nullptr;
    FT_ClrRts_t ClrRts = nullptr;
};

#include <string>

// The loader looks for the driver under its platform file name through the
// platform's normal library search, on Linux then in /usr/local/lib, where
// the vendor's installation puts it (found there before ldconfig has run).
// A name with a slash is that file alone: the station's --driver, and
// tests, which also name files that do not exist.
void setD2xxLibraryFileName(const char* fileName);

// Loads the library and resolves every entry point by its export name. A
// library that lacks any of them is freed again and counts as not found:
// no entry point is ever left null. Returns the module handle or null.
void* loadD2xxLibrary(D2xxEntryPoints& entries);
void freeD2xxLibrary(void* handle);
// Why the last load failed, as the system says it ("libftd2xx.so: cannot
// open shared object file: ..."); empty after a load that succeeded.
std::string d2xxLoadError();
