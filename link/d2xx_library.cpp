#include "link/d2xx_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <string>
#include <vector>

namespace {

std::string loadError;

#ifdef _WIN32
const std::string kDefaultFileName = "ftd2xx.dll";
const std::vector<std::string> kFallbackFolders;
std::string fileName = kDefaultFileName;
void* openLibrary(const char* name) {
    void* handle = reinterpret_cast<void*>(LoadLibraryA(name));
    if (!handle)
        loadError =
            std::string(name) + ": cannot be loaded (error " + std::to_string(GetLastError()) + ")";
    return handle;
}
void* resolve(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void closeLibrary(void* handle) {
    FreeLibrary(static_cast<HMODULE>(handle));
}
#else
const std::string kDefaultFileName = "libftd2xx.so";
const std::vector<std::string> kFallbackFolders = {"/usr/local/lib"};
std::string fileName = kDefaultFileName;
void* openLibrary(const char* name) {
    void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!handle) loadError = dlerror();
    return handle;
}
void* resolve(void* handle, const char* name) {
    return dlsym(handle, name);
}
void closeLibrary(void* handle) {
    dlclose(handle);
}
#endif

template <typename F>
bool bind(void* handle, const char* name, F& entry) {
    entry = reinterpret_cast<F>(resolve(handle, name));
    return entry != nullptr;
}

// The first file that loads; the error kept is that of the search's first
// step, which names the library rather than a folder it was not in.
void* openFirst() {
    void* handle = openLibrary(fileName.c_str());
    if (handle || fileName != kDefaultFileName) return handle;
    const std::string firstError = loadError;
    for (const std::string& folder : kFallbackFolders)
        if ((handle = openLibrary((folder + '/' + fileName).c_str()))) return handle;
    loadError = firstError;
    return nullptr;
}

}  // namespace

void setD2xxLibraryFileName(const char* name) {
    fileName = name;
}

std::string d2xxLoadError() {
    return loadError;
}

void* loadD2xxLibrary(D2xxEntryPoints& entries) {
    loadError.clear();
    void* handle = openFirst();
    if (!handle) return nullptr;
    D2xxEntryPoints resolved;
    const bool complete =
        bind(handle, "FT_ListDevices", resolved.ListDevices) &&
        bind(handle, "FT_Open", resolved.Open) && bind(handle, "FT_Close", resolved.Close) &&
        bind(handle, "FT_Write", resolved.Write) && bind(handle, "FT_Read", resolved.Read) &&
        bind(handle, "FT_GetStatus", resolved.GetStatus) &&
        bind(handle, "FT_SetTimeouts", resolved.SetTimeouts) &&
        bind(handle, "FT_ClrRts", resolved.ClrRts);
    if (!complete) {
        loadError = fileName + ": not a D2XX driver library (an FT_ function is missing)";
        closeLibrary(handle);
        return nullptr;
    }
    entries = resolved;
    return handle;
}

void freeD2xxLibrary(void* handle) {
    if (handle) closeLibrary(handle);
}
