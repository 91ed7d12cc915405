#pragma once

#include <filesystem>
#include <string_view>

namespace almadia {

// The folder shared with the timetabling program. ALMADIA_KTEMP overrides it; on Windows it is
// C:\KTEMP; elsewhere drive_c/KTEMP under the Wine prefix ($WINEPREFIX, default ~/.wine).
// The program never creates it.
std::filesystem::path defaultExchangeFolder();

// The file `fileName` ("SOLUC.DBF") in `folder`, found whatever the case of its name on a
// case-sensitive file system; folder/fileName when no spelling exists.
std::filesystem::path findFile(const std::filesystem::path& folder, std::string_view fileName);

// A regular file exists at path (an empty path or a folder counts as missing).
bool isRegularFile(const std::filesystem::path& path);

} // namespace almadia
