// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the window tells about ports beyond their names (Linux): a tooltip on
// each item of the port list, and one line on what to do when a connect fails
// (found by serial/device/PortFailureHints.h).

#include <exception>
#include <string>

#ifndef _WIN32
#include "serial/device/PortFailureHints.h"
#endif

class TComboBox;

// Gives each item of PortList, now and as items are added, a tooltip with
// its device path and, for a USB adapter, maker, model and serial number.
void AttachPortTooltips(TComboBox& PortList);

// Failure with the hint for the port Name on a line of its own after the
// engine's text; Failure itself when there is no hint.
std::exception_ptr WithPortFailureHint(std::exception_ptr Failure, const std::string& Name);
