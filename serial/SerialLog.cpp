// SPDX-License-Identifier: GPL-3.0-or-later
// The input log and the readable rendering of control characters.
#include "serial/OrvelSerialPort.h"

#include <algorithm>
#include <ctime>

#include "serial/ControlNames.h"
#include "toolkit/core/DateUtils.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Date and time are text; the received bytes go in exactly as they came.
AnsiString DatedEntry(const AnsiString& Data) {
    const std::time_t now = std::time(nullptr);  // once, so date and time agree at midnight
    return DateToStr(now) + ' ' + TimeToStr(now) + ' ' + Data + "\r\n";
}

#ifdef _WIN32

// Binary mode: appending in text mode would stop at a byte 26 already in the file.
int OpenForAppend(const UnicodeString& Path) {
    int fd = -1;
    const int flags = _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT;
    if (_wsopen_s(&fd, reinterpret_cast<const wchar_t*>(Path.c_str()), flags, _SH_DENYWR, _S_IREAD | _S_IWRITE) != 0)
        return -1;
    return fd;
}

long WriteSome(int Fd, const char* Data, std::size_t Size) {
    return _write(Fd, Data, static_cast<unsigned>(std::min<std::size_t>(Size, 1u << 30)));
}

bool CloseFile(int Fd) { return _close(Fd) == 0; }

#else

// Non-blocking so a FIFO without a reader fails instead of stalling reception.
int OpenForAppend(const UnicodeString& Path) {
    const std::string name = UnicodeToUtf8(Path);
    return ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
}

long WriteSome(int Fd, const char* Data, std::size_t Size) {
    ssize_t n;
    do n = ::write(Fd, Data, Size);
    while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

bool CloseFile(int Fd) { return ::close(Fd) == 0; }

#endif

// An empty name or one with a NUL in it names no file: it fails rather than
// writing to standard output or to a truncated path.
bool AppendToFile(const UnicodeString& Path, const AnsiString& Bytes) {
    if (Path.empty() || Path.find(u'\0') != UnicodeString::npos) return false;
    const int fd = OpenForAppend(Path);
    if (fd < 0) return false;
    bool written = true;
    for (std::size_t done = 0; written && done < Bytes.size();) {
        const long n = WriteSome(fd, Bytes.data() + done, Bytes.size() - done);
        written = n > 0;
        if (written) done += static_cast<std::size_t>(n);
    }
    const bool closed = CloseFile(fd);
    return written && closed;
}

}  // namespace

void TOrvelSerialPort::WriteLog(const AnsiString& str) const {
    const AnsiString entry = FLogDateTime ? DatedEntry(str) : str;
    if (!AppendToFile(GetLogFile(), entry)) throw EOrvelSerialPortException(MsgInvalidLogFile);
}

void TOrvelSerialPort::CheckLogFile(const UnicodeString& Path) {
    if (!AppendToFile(Path, {})) throw EOrvelSerialPortException(MsgInvalidLogFile);
}

AnsiString TOrvelSerialPort::ReplaceControlChars(const AnsiString& strInput) {
    AnsiString result;
    result.reserve(strInput.size());
    for (const char c : strInput) {
        if (const char* name = ControlCharName(static_cast<uint8_t>(c)))
            result += name;
        else
            result += c;
    }
    return result;
}
