// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/LineSettings.h"

#include <cerrno>

namespace {

constexpr tcflag_t DataBitFlags[] = {CS5, CS6, CS7, CS8};

bool Valid(const DCB& Dcb) {
    if (Dcb.ByteSize < 5 || Dcb.ByteSize > 8 || Dcb.Parity > SPACEPARITY || Dcb.StopBits > TWOSTOPBITS)
        return false;
    // A UART sends 1.5 stop bits only after 5 data bits, and 2 only after more.
    return Dcb.ByteSize == 5 ? Dcb.StopBits != TWOSTOPBITS : Dcb.StopBits != ONE5STOPBITS;
}

tcflag_t ParityFlags(BYTE Parity) {
    switch (Parity) {
    case ODDPARITY: return PARENB | PARODD;
    case EVENPARITY: return PARENB;
    case MARKPARITY: return PARENB | CMSPAR | PARODD;
    case SPACEPARITY: return PARENB | CMSPAR;
    default: return 0;
    }
}

BYTE ParityOf(tcflag_t Cflag) {
    if (!(Cflag & PARENB)) return NOPARITY;
    const bool odd = Cflag & PARODD;
    if (Cflag & CMSPAR) return odd ? MARKPARITY : SPACEPARITY;
    return odd ? ODDPARITY : EVENPARITY;
}

BYTE DataBitsOf(tcflag_t Cflag) {
    for (BYTE i = 0; i < 4; ++i) {
        if ((Cflag & CSIZE) == DataBitFlags[i]) return static_cast<BYTE>(5 + i);
    }
    return 8;
}

void SetFlag(DWORD& Flags, DWORD Bit, bool On) { Flags = On ? Flags | Bit : Flags & ~Bit; }

}  // namespace

void MakeRaw(termios& T) {
    cfmakeraw(&T);
    T.c_cflag |= CLOCAL | CREAD;
    T.c_cc[VMIN] = 0;
    T.c_cc[VTIME] = 0;
}

int EncodeLineSettings(const DCB& Dcb, termios& T) {
    if (!Valid(Dcb)) return EINVAL;
    MakeRaw(T);
    // Parity is checked by the driver, which counts the errors; with INPCK the
    // line discipline would turn each byte in error into NUL (no PARMRK) or
    // into an escape sequence (PARMRK), where the byte should arrive as it came.
    T.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    T.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    T.c_cflag |= DataBitFlags[Dcb.ByteSize - 5] | ParityFlags(Dcb.Parity);
    if (Dcb.StopBits != ONESTOPBIT) T.c_cflag |= CSTOPB;
    if ((Dcb.Flags & DcbFlags::OutxCtsFlow) || DcbFlags::RtsControl(Dcb.Flags) == RTS_CONTROL_HANDSHAKE)
        T.c_cflag |= CRTSCTS;
    if (Dcb.Flags & DcbFlags::OutX) T.c_iflag |= IXON;
    if (Dcb.Flags & DcbFlags::InX) T.c_iflag |= IXOFF;
    T.c_cc[VSTART] = static_cast<cc_t>(Dcb.XonChar);
    T.c_cc[VSTOP] = static_cast<cc_t>(Dcb.XoffChar);
    return 0;
}

void DecodeLineSettings(const termios& T, DCB& Dcb) {
    Dcb.ByteSize = DataBitsOf(T.c_cflag);
    Dcb.Parity = ParityOf(T.c_cflag);
    Dcb.StopBits = !(T.c_cflag & CSTOPB) ? ONESTOPBIT : Dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    SetFlag(Dcb.Flags, DcbFlags::Binary, true);
    SetFlag(Dcb.Flags, DcbFlags::OutxCtsFlow, T.c_cflag & CRTSCTS);
    SetFlag(Dcb.Flags, DcbFlags::OutX, T.c_iflag & IXON);
    SetFlag(Dcb.Flags, DcbFlags::InX, T.c_iflag & IXOFF);
    Dcb.XonChar = static_cast<char>(T.c_cc[VSTART]);
    Dcb.XoffChar = static_cast<char>(T.c_cc[VSTOP]);
}

bool RateWithinTolerance(DWORD Requested, DWORD Reported) {
    const uint64_t difference = Requested > Reported ? Requested - Reported : Reported - Requested;
    return difference * 100 <= uint64_t{Requested} * 2;
}

std::optional<speed_t> StandardSpeed(DWORD Rate) {
    struct TSpeed {
        DWORD Rate;
        speed_t Code;
    };
    static constexpr TSpeed speeds[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const TSpeed& s : speeds) {
        if (s.Rate == Rate) return s.Code;
    }
    return {};
}
