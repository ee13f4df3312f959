#pragma once

// The D2XX driver interface as the station uses it: types, status codes and
// the eight entry points, with the driver's C calling convention. Plain C++
// with no dependencies, so the tester simulator exports the same ABI.

#include <cstdint>

#ifdef _WIN32
#define D2XX_API __stdcall
#else
#define D2XX_API
#endif

using FT_HANDLE = void*;
using FT_STATUS = std::uint32_t;  // ULONG: 32 bits on every supported platform
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;

constexpr FT_STATUS FT_OK = 0;
constexpr FT_STATUS FT_INVALID_HANDLE = 1;
constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
constexpr FT_STATUS FT_IO_ERROR = 4;
constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
constexpr FT_STATUS FT_OTHER_ERROR = 18;
constexpr DWORD FT_LIST_NUMBER_ONLY = 0x80000000;

extern "C" {
using FT_ListDevices_t = FT_STATUS(D2XX_API*)(void* arg1, void* arg2, DWORD flags);
using FT_Open_t = FT_STATUS(D2XX_API*)(int deviceNumber, FT_HANDLE* handle);
using FT_Close_t = FT_STATUS(D2XX_API*)(FT_HANDLE handle);
using FT_SetTimeouts_t = FT_STATUS(D2XX_API*)(FT_HANDLE handle, ULONG readTimeout,
                                              ULONG writeTimeout);
using FT_Write_t = FT_STATUS(D2XX_API*)(FT_HANDLE handle, void* buffer, DWORD bytesToWrite,
                                        DWORD* bytesWritten);
using FT_Read_t = FT_STATUS(D2XX_API*)(FT_HANDLE handle, void* buffer, DWORD bytesToRead,
                                       DWORD* bytesReturned);
using FT_GetStatus_t = FT_STATUS(D2XX_API*)(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes,
                                            DWORD* eventStatus);
using FT_ClrRts_t = FT_STATUS(D2XX_API*)(FT_HANDLE handle);
}
