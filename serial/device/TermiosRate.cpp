// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/TermiosRate.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

int SetArbitraryRate(int Fd, uint32_t Rate) {
    termios2 settings{};
    if (ioctl(Fd, TCGETS2, &settings) != 0) return errno;
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = Rate;
    settings.c_ospeed = Rate;
    return ioctl(Fd, TCSETS2, &settings) == 0 ? 0 : errno;
}

std::optional<uint32_t> ReadOutputRate(int Fd) {
    termios2 settings{};
    if (ioctl(Fd, TCGETS2, &settings) != 0) return {};
    return settings.c_ospeed;
}
