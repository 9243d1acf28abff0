// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One line on what to do about a port that failed to open (Linux): the group
// to join, the programs that hold the port, a program known to take adapters.

#include <string>
#include <vector>

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

