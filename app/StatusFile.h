#pragma once

// The completion status left for the timetabling program: "Horavel.ini", section "Transformadores",
// key "Transformado". Plain C++: the file is edited line by line so that every other line (comments,
// blank lines, spacing, other sections and keys, CRLF or LF endings) stays byte for byte as it was.

#include <filesystem>
#include <string>
#include <string_view>

namespace almadia::app {

inline constexpr const char* StatusFileName = "Horavel.ini";
inline constexpr const char* StatusSection = "Transformadores";
inline constexpr const char* StatusKey = "Transformado";

// The status file in `executableFolder`. The environment variable ALMADIA_STATUS_DIR, when set and
// not empty, names another folder (the tests use it).
std::filesystem::path statusFilePath(const std::filesystem::path& executableFolder);

// `text` with `key` of `section` set to `value`. Section and key names compare with ASCII case
// ignored, as INI files do; the first matching section and the first matching key in it win. A key
// line keeps everything up to the value; a missing key goes after the section's last non-blank
// line, a missing section at the end. New lines take the file's first line ending (CRLF when none).
std::string setIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

// Sets the key in `file` (created when absent) through a temporary file in the same folder renamed
// into place. Throws almadia::Error("Unable to write to <file>") when the file cannot be written.
void writeStatus(const std::filesystem::path& file, int status);

} // namespace almadia::app
