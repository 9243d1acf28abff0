// SPDX-License-Identifier: GPL-3.0-or-later
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
// left out, and so is the parity check flag: bytes received with a parity or
// framing error are delivered as they came.
int EncodeLineSettings(const DCB& Dcb, termios& T);
// The framing and flow control of T into Dcb; other fields (and the parity
// check flag) stay as they are.
void DecodeLineSettings(const termios& T, DCB& Dcb);
// Whether a driver that reports Reported after being asked for Requested took
// the rate: many adapters report the rate they achieved, and a UART link
// works within 2 % of its rate.
bool RateWithinTolerance(DWORD Requested, DWORD Reported);
// The Bnnn constant of Rate, if it has one.
std::optional<speed_t> StandardSpeed(DWORD Rate);
