// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the window tells about ports beyond their names (Linux): a tooltip on
// each item of the port list, and one line on what to do when a connect fails.

#include <exception>
#include <string>
#include <vector>

class TComboBox;

// Gives each item of PortList, now and as items are added, a tooltip with
// its device path and, for a USB adapter, maker, model and serial number.
void AttachPortTooltips(TComboBox& PortList);

// Where the failure hints look.
struct THintSources {
    std::string ProcDir = "/proc";
    std::vector<std::string> ProgramDirs;  // where an installed program would be
};
// /proc, and PATH with the system's sbin folders.
THintSources SystemHintSources();

// One line on what to do about a connect that failed with Message on the
// device at Path; empty when there is nothing useful to add.
std::string PortFailureHint(const std::string& Message, const std::string& Path, const THintSources& Sources);

// Failure with the hint for the port Name on a line of its own after the
// engine's text; Failure itself when there is no hint.
std::exception_ptr WithPortFailureHint(std::exception_ptr Failure, const std::string& Name);
