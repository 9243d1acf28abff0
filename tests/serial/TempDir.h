// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A temporary directory removed with everything in it, and whole-file reads.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

class TTempDir {
public:
    // A name nobody has taken; create_directory fails on one that exists.
    TTempDir() {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && FPath.empty(); ++attempt) {
            const auto path = std::filesystem::temp_directory_path() / ("ostra-serial-" + std::to_string(random()));
            if (std::filesystem::create_directory(path)) FPath = path;
        }
        if (FPath.empty()) throw std::runtime_error("no temporary directory could be made");
    }
    ~TTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    std::string File(const std::string& Name) const { return (FPath / Name).string(); }

private:
    std::filesystem::path FPath;
};

// The bytes of a file; empty when it does not exist.
inline std::string FileContents(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
