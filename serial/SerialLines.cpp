// SPDX-License-Identifier: GPL-3.0-or-later
// Present ports, line control, modem status and driver queue sizes. None of
// these raise: a closed port or a failing call gives false or nothing.
#include "serial/OrvelSerialPort.h"

TCommPortSet TOrvelSerialPort::GetExistingCommPorts() const {
    TCommPortSet ports;
    for (const AnsiString& name : CommBackend().PresentPortNames()) {
        const TCommPort port = StringToCommPort(name);
        if (port != spNone) ports.Include(port);
    }
    return ports;
}

void TOrvelSerialPort::GetExistingCommPortNames(TStrings* Strings) const {
    Strings->Clear();
    for (const AnsiString& name : CommBackend().PresentPortNames()) {
        const AnsiString trimmed = Trim(UnicodeToAnsi(AnsiToUnicode(name)));
        if (!trimmed.empty()) Strings->Add(trimmed);
    }
}

namespace {

// A closed port, a failing call or one that raises all give false.
template <class Call>
bool CallOnDevice(HANDLE Device, Call DeviceCall) {
    if (Device == INVALID_HANDLE_VALUE) return false;
    try {
        return DeviceCall(Device) != 0;
    } catch (...) {
        return false;
    }
}

}  // namespace

bool TOrvelSerialPort::Escape(DWORD Function) {
    return CallOnDevice(CurrentDevice(), [Function](HANDLE h) { return CommBackend().EscapeCommFunction(h, Function); });
}

bool TOrvelSerialPort::Purge(DWORD Flags) {
    return CallOnDevice(CurrentDevice(), [Flags](HANDLE h) { return CommBackend().PurgeComm(h, Flags); });
}

TLineStatusSet TOrvelSerialPort::GetLineStatus(HANDLE ComDevice) const {
    DWORD status = 0;
    TLineStatusSet lines;
    if (!CallOnDevice(ComDevice, [&status](HANDLE h) { return CommBackend().GetCommModemStatus(h, &status); }))
        return lines;
    if (status & MS_CTS_ON) lines.Include(lsCTS);
    if (status & MS_DSR_ON) lines.Include(lsDSR);
    if (status & MS_RING_ON) lines.Include(lsRING);
    if (status & MS_RLSD_ON) lines.Include(lsCD);
    return lines;
}

void TOrvelSerialPort::SetInputBuffer(uint32_t Value) {
    if (Value == FInputBuffer) return;
    FInputBuffer = Value;
    SetBuffers(CurrentDevice());  // nothing while closed
}

void TOrvelSerialPort::SetOutputBuffer(uint32_t Value) {
    if (Value == FOutputBuffer) return;
    FOutputBuffer = Value;
    SetBuffers(CurrentDevice());  // nothing while closed
}
