// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Line rates through the Linux termios2 interface, which carries any rate. Kept
// apart from the rest: <asm/termbits.h> and glibc's <termios.h> cannot be
// included in one file.

#include <cstdint>
#include <optional>

// Sets the input and output rate of terminal Fd to Rate (BOTHER), leaving the
// other settings alone. Returns 0 or an errno value.
int SetArbitraryRate(int Fd, uint32_t Rate);
// The output rate of terminal Fd in bit/s, or none when it cannot be read.
std::optional<uint32_t> ReadOutputRate(int Fd);
