// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/PortFailureHints.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "serial/device/PresentPorts.h"

namespace fs = std::filesystem;

namespace {

bool Says(const std::string& Message, int Error) { return Message.find(std::strerror(Error)) != std::string::npos; }

std::string AccountName() {
    if (const passwd* account = getpwuid(geteuid())) return account->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : "$USER";
}

std::string PermissionHint(const std::string& Path) {
    struct stat device {};
    // Joining the group helps only where the group may read and write.
    const mode_t groupReadWrite = S_IRGRP | S_IWGRP;
    if (stat(Path.c_str(), &device) != 0 || (device.st_mode & groupReadWrite) != groupReadWrite || device.st_gid == 0)
        return {};
    const group* owner = getgrgid(device.st_gid);
    if (!owner) return {};
    const std::string name = owner->gr_name;
    return Path + " belongs to the group " + name + ". Join it with \"sudo usermod -aG " + name + " " +
           AccountName() + "\", then log out and in again.";
}

// Whether the descriptor Fd of a process is the master of pty Index: the
// kernel names the index in the descriptor's fdinfo.
bool IsMasterOf(const fs::path& Process, const fs::path& Fd, unsigned Index) {
    std::ifstream info(Process / "fdinfo" / Fd.filename());
    const std::string wanted = "tty-index:\t" + std::to_string(Index);
    for (std::string line; std::getline(info, line);)
        if (line == wanted) return true;
    return false;
}

// "minicom (PID 4242)" for each process with the device open, as far as
// /proc lets us look. The far end of a pseudo-terminal (the demo device)
// keeps its slave open too, but it is the device, not a program in the way.
std::vector<std::string> Holders(const std::string& Path, const std::string& ProcDir) {
    struct stat device {};
    if (stat(Path.c_str(), &device) != 0) return {};
    const std::optional<unsigned> ptyIndex = PseudoTerminalIndex(Path);
    std::vector<std::string> holders;
    std::error_code ec;
    for (fs::directory_iterator process(ProcDir, ec), end; !ec && process != end; process.increment(ec)) {
        const std::string pid = process->path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        bool holdsDevice = false;
        bool holdsMaster = false;
        std::error_code fdError;
        for (fs::directory_iterator fd(process->path() / "fd", fdError); !fdError && fd != end; fd.increment(fdError)) {
            struct stat open {};
            if (stat(fd->path().c_str(), &open) != 0) continue;
            holdsDevice = holdsDevice || (open.st_dev == device.st_dev && open.st_ino == device.st_ino);
            holdsMaster = holdsMaster || (ptyIndex && IsMasterOf(process->path(), fd->path(), *ptyIndex));
        }
        if (!holdsDevice || holdsMaster) continue;
        std::string command;
        std::getline(std::ifstream(process->path() / "comm"), command);
        holders.push_back((command.empty() ? "a program" : command) + " (PID " + pid + ")");
    }
    return holders;
}

std::string BusyHint(const std::string& Path, const std::string& ProcDir) {
    const std::vector<std::string> holders = Holders(Path, ProcDir);
    if (holders.empty()) return {};
    std::string list;
    for (const std::string& holder : holders) list += (list.empty() ? "" : ", ") + holder;
    return Path + " is in use by " + list + ".";
}

bool Installed(const std::string& Program, const std::vector<std::string>& Dirs) {
    return std::any_of(Dirs.begin(), Dirs.end(), [&](const std::string& Dir) {
        return !Dir.empty() && access((fs::path(Dir) / Program).c_str(), X_OK) == 0;
    });
}

std::string VanishedHint(const std::vector<std::string>& ProgramDirs) {
    if (!Installed("brltty", ProgramDirs)) return {};
    return "brltty is installed: it claims some USB serial adapters (CH340, CP210x) as soon as they appear. "
           "If the port vanished just after plugging in, remove it with \"sudo apt remove brltty\".";
}

std::vector<std::string> Split(const std::string& Text, char Separator) {
    std::vector<std::string> parts;
    std::istringstream in(Text);
    for (std::string part; std::getline(in, part, Separator);) parts.push_back(part);
    return parts;
}

}  // namespace

THintSources SystemHintSources() {
    THintSources sources;
    const char* path = std::getenv("PATH");
    sources.ProgramDirs = Split(path ? path : "", ':');
    for (const char* dir : {"/usr/sbin", "/sbin", "/usr/bin", "/bin"}) sources.ProgramDirs.emplace_back(dir);
    return sources;
}

std::string PortFailureHint(const std::string& Message, const std::string& Path, const THintSources& Sources) {
    if (Says(Message, EACCES)) return PermissionHint(Path);
    if (Says(Message, EBUSY)) return BusyHint(Path, Sources.ProcDir);
    if (Says(Message, ENOENT)) return VanishedHint(Sources.ProgramDirs);
    return {};
}

