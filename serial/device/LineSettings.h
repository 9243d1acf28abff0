#pragma once
// The framing and flow control of a DCB in termios terms.

#include <termios.h>

#include <optional>

#include "serial/device/CommBackend.h"

// Raw mode: bytes pass untouched, no echo, no signals, the receiver on and not
// gated by the modem lines (CLOCAL); a read returns what is waiting
// (VMIN = VTIME = 0).
void MakeRaw(termios& T);
// Raw mode plus data bits, parity, stop bits and flow control of Dcb. Returns
// 0, or EINVAL for values the record does not define (the rate is left to the
// caller). What termios cannot express (DSR sensitivity, DTR/DSR handshake,
// XonLim/XoffLim, error-character replacement, NUL discarding, EofChar) is
// left out.
int EncodeLineSettings(const DCB& Dcb, termios& T);
// The framing and flow control of T into Dcb; other fields stay as they are.
void DecodeLineSettings(const termios& T, DCB& Dcb);
// The Bnnn constant of Rate, if it has one.
std::optional<speed_t> StandardSpeed(DWORD Rate);
