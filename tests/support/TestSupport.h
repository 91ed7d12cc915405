#pragma once

// Small helpers shared by the core tests.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace almadia::testing {

// A fresh empty folder under the system temp folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::filesystem::path dataFile(const std::string& name); // tests/data/NAME
std::vector<std::uint8_t> readBytes(const std::filesystem::path& file);
std::string readText(const std::filesystem::path& file);
void writeText(const std::filesystem::path& file, const std::string& content);

// Every entry of a folder by name: a file's bytes, "<carpeta>" for a folder. Two snapshots are
// equal when nothing in the folder changed.
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshot(const std::filesystem::path& folder);

// Runs a command line with /bin/sh; returns its exit status and fills `output` with stdout.
int runCommand(const std::string& command, std::string* output = nullptr);

// The TDbf reader built by the tests (empty when Free Pascal is missing).
std::string tdbfDump();

} // namespace almadia::testing
