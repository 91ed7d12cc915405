#include "app/StatusFile.h"

#include "formats/Error.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace almadia::app {

namespace fs = std::filesystem;

namespace {

struct Line {
    std::string_view content; // without its ending
    std::string_view ending;  // "\r\n", "\n" or "" (last line without one)
};

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t newline = text.find('\n', start);
        if (newline == std::string_view::npos) {
            lines.push_back({text.substr(start), {}});
            break;
        }
        std::size_t contentEnd = newline;
        if (contentEnd > start && text[contentEnd - 1] == '\r') --contentEnd;
        lines.push_back(
            {text.substr(start, contentEnd - start), text.substr(contentEnd, newline + 1 - contentEnd)});
        start = newline + 1;
    }
    return lines;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The section a line opens, when it is a section header.
bool sectionHeader(std::string_view content, std::string_view& name) {
    std::string_view trimmed = trim(content);
    if (trimmed.empty() || trimmed.front() != '[') return false;
    std::size_t close = trimmed.find(']');
    if (close == std::string_view::npos) return false;
    name = trim(trimmed.substr(1, close - 1));
    return true;
}

bool isComment(std::string_view trimmed) {
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

} // namespace

fs::path statusFilePath(const fs::path& executableFolder) {
    const char* folder = std::getenv("ALMADIA_STATUS_DIR");
    if (folder && *folder) return fs::path(folder) / StatusFileName;
    return executableFolder / StatusFileName;
}

std::string setIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
    std::vector<Line> lines = splitLines(text);
    std::string_view eol = "\r\n";
    for (const auto& line : lines)
        if (!line.ending.empty()) {
            eol = line.ending;
            break;
        }

    // A byte-order mark is part of the first line's bytes, not of its name.
    auto contentOf = [&](std::size_t i) {
        std::string_view content = lines[i].content;
        if (i == 0 && content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
        return content;
    };

    std::size_t sectionLine = lines.size();
    std::size_t lastFilled = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view content = contentOf(i);
        std::string_view name;
        if (sectionLine == lines.size()) {
            if (sectionHeader(content, name) && sameName(name, section)) sectionLine = lastFilled = i;
            continue;
        }
        if (sectionHeader(content, name)) break;
        std::string_view trimmed = trim(content);
        if (trimmed.empty()) continue;
        lastFilled = i;
        if (isComment(trimmed)) continue;
        std::size_t equals = content.find('=');
        if (equals == std::string_view::npos || !sameName(trim(content.substr(0, equals)), key)) continue;

        std::size_t valueStart = equals + 1;
        while (valueStart < content.size() && isBlank(content[valueStart])) ++valueStart;
        const std::size_t offset = std::size_t(content.data() - text.data());
        std::string result(text.substr(0, offset + valueStart));
        result += value;
        result += text.substr(offset + content.size());
        return result;
    }

    std::string addition;
    std::size_t insertAt = text.size();
    if (sectionLine == lines.size()) {
        if (!text.empty() && text.back() != '\n') addition += eol;
        addition += "[";
        addition += section;
        addition += "]";
        addition += eol;
    } else {
        const Line& after = lines[lastFilled];
        insertAt =
            std::size_t(after.content.data() - text.data()) + after.content.size() + after.ending.size();
        if (after.ending.empty()) addition += eol;
    }
    addition += key;
    addition += "=";
    addition += value;
    addition += eol;

    std::string result(text.substr(0, insertAt));
    result += addition;
    result += text.substr(insertAt);
    return result;
}

void writeStatus(const fs::path& file, int status) {
    const Error failure("Unable to write to " + file.string());

    std::error_code ec;
    fs::path target = file;
    if (fs::is_symlink(target, ec)) {
        target = fs::weakly_canonical(target, ec);
        if (ec) throw failure;
    }

    std::string text;
    const bool exists = fs::exists(target, ec);
    if (exists) {
        if (!fs::is_regular_file(target, ec)) throw failure;
#ifndef _WIN32
        if (::access(target.c_str(), W_OK) != 0) throw failure;
#endif
        std::ifstream in(target, std::ios::binary);
        if (!in) throw failure;
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) throw failure;
    }
    const std::string updated = setIniValue(text, StatusSection, StatusKey, std::to_string(status));

    std::random_device random;
    std::ostringstream name;
    name << "." << target.filename().string() << "." << std::hex << random() << ".tmp";
    const fs::path temporary = target.parent_path() / name.str();
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) throw failure;
        out.write(updated.data(), std::streamsize(updated.size()));
        out.close();
        if (!out) {
            fs::remove(temporary, ec);
            throw failure;
        }
    }
    if (exists) fs::permissions(temporary, fs::status(target, ec).permissions(), ec);
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        throw failure;
    }
}

} // namespace almadia::app
