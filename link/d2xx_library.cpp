#include "link/d2xx_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <string>

namespace {

#ifdef _WIN32
std::string fileName = "ftd2xx.dll";
void* openLibrary(const char* name) { return reinterpret_cast<void*>(LoadLibraryA(name)); }
void* resolve(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void closeLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
std::string fileName = "libftd2xx.so";
void* openLibrary(const char* name) { return dlopen(name, RTLD_NOW | RTLD_LOCAL); }
void* resolve(void* handle, const char* name) { return dlsym(handle, name); }
void closeLibrary(void* handle) { dlclose(handle); }
#endif

template <typename F>
bool bind(void* handle, const char* name, F& entry) {
    entry = reinterpret_cast<F>(resolve(handle, name));
    return entry != nullptr;
}

}  // namespace

void setD2xxLibraryFileName(const char* name) { fileName = name; }

void* loadD2xxLibrary(D2xxEntryPoints& entries) {
    void* handle = openLibrary(fileName.c_str());
    if (!handle) return nullptr;
    D2xxEntryPoints resolved;
    const bool complete = bind(handle, "FT_ListDevices", resolved.ListDevices) &&
                          bind(handle, "FT_Open", resolved.Open) &&
                          bind(handle, "FT_Close", resolved.Close) &&
                          bind(handle, "FT_Write", resolved.Write) &&
                          bind(handle, "FT_Read", resolved.Read) &&
                          bind(handle, "FT_GetStatus", resolved.GetStatus) &&
                          bind(handle, "FT_SetTimeouts", resolved.SetTimeouts) &&
                          bind(handle, "FT_ClrRts", resolved.ClrRts);
    if (!complete) {
        closeLibrary(handle);
        return nullptr;
    }
    entries = resolved;
    return handle;
}

void freeD2xxLibrary(void* handle) {
    if (handle) closeLibrary(handle);
}
