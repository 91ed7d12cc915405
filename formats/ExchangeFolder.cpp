#include "formats/ExchangeFolder.h"

#include "formats/Text.h"

#include <cstdlib>
#include <system_error>

namespace almadia {

std::filesystem::path defaultExchangeFolder() {
    if (const char* forced = std::getenv("ALMADIA_KTEMP"); forced && *forced)
        return std::filesystem::path(forced);
#ifdef _WIN32
    return std::filesystem::path("C:\\KTEMP");
#else
    std::filesystem::path prefix;
    if (const char* wine = std::getenv("WINEPREFIX"); wine && *wine) {
        prefix = wine;
    } else {
        const char* home = std::getenv("HOME");
        prefix = std::filesystem::path(home && *home ? home : ".") / ".wine";
    }
    return prefix / "drive_c" / "KTEMP";
#endif
}

std::filesystem::path findFile(const std::filesystem::path& folder, std::string_view fileName) {
    std::filesystem::path exact = folder / std::filesystem::path(std::string(fileName));
    std::error_code ec;
    if (std::filesystem::exists(exact, ec)) return exact;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (text::equalsIgnoreCase(it->path().filename().string(), fileName)) return it->path();
    }
    return exact;
}

bool isRegularFile(const std::filesystem::path& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace almadia
