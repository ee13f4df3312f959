// The library's only visible symbols: the driver entry points the station
// resolves by name, plus FtSimReload for test programs.

#include "link/d2xx.h"
#include "sim/simulated_interface.h"

#define FTSIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

ftsim::SimulatedInterface& device() {
    static ftsim::SimulatedInterface instance;
    return instance;
}

}  // namespace

FTSIM_EXPORT FT_STATUS D2XX_API FT_ListDevices(void* arg1, void* /*arg2*/, DWORD flags) {
    return device().listDevices(arg1, flags);
}

FTSIM_EXPORT FT_STATUS D2XX_API FT_Open(int deviceNumber, FT_HANDLE* handle) {
    return device().open(deviceNumber, handle);
}

FTSIM_EXPORT FT_STATUS D2XX_API FT_Close(FT_HANDLE handle) {
    return device().close(handle);
}

FTSIM_EXPORT FT_STATUS D2XX_API FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout,
                                               ULONG writeTimeout) {
    return device().setTimeouts(handle, readTimeout, writeTimeout);
}

FTSIM_EXPORT FT_STATUS D2XX_API FT_Write(FT_HANDLE handle, void* buffer, DWORD bytesToWrite,
                                         DWORD* bytesWritten) {
    return device().write(handle, buffer, bytesToWrite, bytesWritten);
}

FTSIM_EXPORT FT_STATUS D2XX_API FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead,
                                        DWORD* bytesReturned) {
    return device().read(handle, buffer, bytesToRead, bytesReturned);
}

FTSIM_EXPORT FT_STATUS D2XX_API FT_GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes,
                                             DWORD* eventStatus) {
    return device().getStatus(handle, rxBytes, txBytes, eventStatus);
}

FTSIM_EXPORT FT_STATUS D2XX_API FT_ClrRts(FT_HANDLE handle) {
    return device().clrRts(handle);
}

// Starts from a fresh tester with the scenario FTD2XX_SIM names now, even
// when it is the one already loaded. Returns the number of errors in it.
FTSIM_EXPORT int FtSimReload() {
    return device().reload();
}
