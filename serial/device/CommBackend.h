// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Windows communications calls the engine makes, behind one process-wide
// backend: kernel32 on Windows, termios on POSIX, or a fake in tests.
//
// The records and constants are declared in namespace WinComm and made visible
// everywhere by the using-directive at the end, so the engine reads the same on
// every platform. A file that also includes <windows.h> (the Win32 backend)
// defines WINCOMM_QUALIFIED_ONLY before this header, includes <windows.h>
// after it, and names our declarations WinComm::...

#if defined(_WIN32) && defined(PURGE_RXCLEAR)
#error "include serial/device/CommBackend.h before <windows.h>"
#endif

#include <cstdint>
#include <string>
#include <vector>

#ifndef _WIN32
#include <cerrno>
#endif

namespace WinComm {

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using BOOL = int32_t;
// A device handle is a pointer-sized unsigned integer on every platform.
using HANDLE = uintptr_t;
using HMODULE = void*;
// void() matches every function type, so casting it to the real signature
// draws no warning.
using FARPROC = void (*)();
// winmm's timeBeginPeriod and timeEndPeriod, as GetProcAddress finds them
// (x86-64 has a single calling convention).
using TTimePeriodProc = UINT (*)(UINT Period);
// Only ever passed as null: devices are opened for blocking I/O.
struct SECURITY_ATTRIBUTES;
struct OVERLAPPED;

inline constexpr HANDLE INVALID_HANDLE_VALUE = ~HANDLE{0};
inline constexpr DWORD MAXDWORD = 0xFFFFFFFF;

inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

// The line settings record, byte for byte the Windows one.
struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    // fBinary, fParity, ... as one word; see DcbFlags.
    DWORD Flags;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
static_assert(sizeof(DCB) == 28, "DCB must keep the Windows layout");

// The bit fields of DCB::Flags, lowest bit first.
namespace DcbFlags {
inline constexpr DWORD Binary = 0x0001;
inline constexpr DWORD Parity = 0x0002;
inline constexpr DWORD OutxCtsFlow = 0x0004;
inline constexpr DWORD OutxDsrFlow = 0x0008;
inline constexpr int DtrControlShift = 4;  // 2 bits
inline constexpr DWORD DsrSensitivity = 0x0040;
inline constexpr DWORD TXContinueOnXoff = 0x0080;
inline constexpr DWORD OutX = 0x0100;
inline constexpr DWORD InX = 0x0200;
inline constexpr DWORD ErrorChar = 0x0400;
inline constexpr DWORD Null = 0x0800;
inline constexpr int RtsControlShift = 12;  // 2 bits
inline constexpr DWORD AbortOnError = 0x4000;

inline constexpr DWORD DtrControl(DWORD Flags) { return (Flags >> DtrControlShift) & 3; }
inline constexpr DWORD RtsControl(DWORD Flags) { return (Flags >> RtsControlShift) & 3; }
}  // namespace DcbFlags

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

struct COMSTAT {
    DWORD Flags;  // fCtsHold ... fTxim; always 0 on POSIX
    DWORD cbInQue;
    DWORD cbOutQue;
};
static_assert(sizeof(COMSTAT) == 12, "COMSTAT must keep the Windows layout");

inline constexpr DWORD PURGE_TXABORT = 0x1;
inline constexpr DWORD PURGE_RXABORT = 0x2;
inline constexpr DWORD PURGE_TXCLEAR = 0x4;
inline constexpr DWORD PURGE_RXCLEAR = 0x8;

inline constexpr DWORD MS_CTS_ON = 0x10;
inline constexpr DWORD MS_DSR_ON = 0x20;
inline constexpr DWORD MS_RING_ON = 0x40;
inline constexpr DWORD MS_RLSD_ON = 0x80;

inline constexpr DWORD SETXOFF = 1;
inline constexpr DWORD SETXON = 2;
inline constexpr DWORD SETRTS = 3;
inline constexpr DWORD CLRRTS = 4;
inline constexpr DWORD SETDTR = 5;
inline constexpr DWORD CLRDTR = 6;
inline constexpr DWORD SETBREAK = 8;
inline constexpr DWORD CLRBREAK = 9;

inline constexpr BYTE NOPARITY = 0;
inline constexpr BYTE ODDPARITY = 1;
inline constexpr BYTE EVENPARITY = 2;
inline constexpr BYTE MARKPARITY = 3;
inline constexpr BYTE SPACEPARITY = 4;

inline constexpr BYTE ONESTOPBIT = 0;
inline constexpr BYTE ONE5STOPBITS = 1;
inline constexpr BYTE TWOSTOPBITS = 2;

inline constexpr DWORD DTR_CONTROL_DISABLE = 0;
inline constexpr DWORD DTR_CONTROL_ENABLE = 1;
inline constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
inline constexpr DWORD RTS_CONTROL_DISABLE = 0;
inline constexpr DWORD RTS_CONTROL_ENABLE = 1;
inline constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
inline constexpr DWORD RTS_CONTROL_TOGGLE = 3;

// Error word of ClearCommError.
inline constexpr DWORD CE_RXOVER = 0x01;
inline constexpr DWORD CE_OVERRUN = 0x02;
inline constexpr DWORD CE_RXPARITY = 0x04;
inline constexpr DWORD CE_FRAME = 0x08;
inline constexpr DWORD CE_BREAK = 0x10;

// Last-error codes in the platform's numbering (errno values on POSIX), so
// that SysErrorMessage gives the platform's text for them.
#ifdef _WIN32
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_OPERATION_ABORTED = 995;
#else
inline constexpr DWORD ERROR_FILE_NOT_FOUND = ENOENT;
inline constexpr DWORD ERROR_ACCESS_DENIED = EACCES;
inline constexpr DWORD ERROR_INVALID_HANDLE = EBADF;
inline constexpr DWORD ERROR_GEN_FAILURE = EIO;
inline constexpr DWORD ERROR_INVALID_PARAMETER = EINVAL;
inline constexpr DWORD ERROR_OPERATION_ABORTED = ECANCELED;
#endif

// One implementation of the calls. Each call behaves as its Windows namesake:
// BOOL results are non-zero on success, and GetLastError gives the reason of
// the calling thread's last failure. Every call may be made from any thread,
// also on one handle from several threads at once.
class TCommBackend {
public:
    virtual ~TCommBackend() = default;

    virtual HANDLE CreateFileA(const char* FileName, DWORD DesiredAccess, DWORD ShareMode,
                               SECURITY_ATTRIBUTES* SecurityAttributes, DWORD CreationDisposition,
                               DWORD FlagsAndAttributes, HANDLE TemplateFile) = 0;
    virtual BOOL SetCommState(HANDLE File, const DCB* Dcb) = 0;
    virtual BOOL GetCommState(HANDLE File, DCB* Dcb) = 0;
    virtual BOOL SetCommTimeouts(HANDLE File, const COMMTIMEOUTS* Timeouts) = 0;
    virtual BOOL SetupComm(HANDLE File, DWORD InQueue, DWORD OutQueue) = 0;
    virtual BOOL PurgeComm(HANDLE File, DWORD Flags) = 0;
    // Errors and Stat may be null.
    virtual BOOL ClearCommError(HANDLE File, DWORD* Errors, COMSTAT* Stat) = 0;
    virtual BOOL ReadFile(HANDLE File, void* Buffer, DWORD BytesToRead, DWORD* BytesRead,
                          OVERLAPPED* Overlapped) = 0;
    virtual BOOL WriteFile(HANDLE File, const void* Buffer, DWORD BytesToWrite, DWORD* BytesWritten,
                           OVERLAPPED* Overlapped) = 0;
    virtual BOOL GetCommModemStatus(HANDLE File, DWORD* ModemStat) = 0;
    virtual BOOL EscapeCommFunction(HANDLE File, DWORD Func) = 0;
    virtual BOOL CloseHandle(HANDLE Object) = 0;
    virtual DWORD GetLastError() = 0;
    virtual void Sleep(DWORD Milliseconds) = 0;
    virtual HMODULE GetModuleHandleA(const char* ModuleName) = 0;
    virtual HMODULE LoadLibraryA(const char* LibFileName) = 0;
    virtual FARPROC GetProcAddress(HMODULE Module, const char* ProcName) = 0;

    // The names of the serial ports present now, in enumeration order, as the
    // system gives them (not trimmed). Empty when the system has no list.
    virtual std::vector<std::string> PresentPortNames() = 0;
};

// The platform's own backend, alive for the whole process: names of ports on
// the network (rfc2217://..., tcp://...) and their handles go to the socket
// backend, everything else to the system's devices.
TCommBackend& PlatformCommBackend();
// The system's devices alone: termios on POSIX, kernel32 on Windows.
TCommBackend& DeviceCommBackend();
// Ports on the network alone.
TCommBackend& NetworkCommBackend();
// The backend in use: the platform's own unless a test swapped in another.
TCommBackend& CommBackend();
// Makes Backend the one in use; nullptr restores the platform's. The caller
// keeps ownership and must keep it alive while it is in use.
void SetCommBackend(TCommBackend* Backend);

}  // namespace WinComm

#ifndef WINCOMM_QUALIFIED_ONLY
// The engine speaks these names unqualified on every platform.
using namespace WinComm;
#endif
