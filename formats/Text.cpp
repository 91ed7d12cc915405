#include "formats/Text.h"

#include <array>
#include <cstdint>

namespace almadia::text {

namespace {

// Code points of the bytes 0x80-0x9F; the five bytes the code page leaves undefined stand for
// the C1 control of the same number, so that every byte survives a round trip.
constexpr std::array<char16_t, 32> high = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char fromCodePoint(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (std::size_t i = 0; i < high.size(); ++i)
        if (high[i] == cp) return static_cast<char>(0x80 + i);
    return '?';
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::string utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    const std::size_t n = utf8.size();
    while (i < n) {
        const auto lead = static_cast<std::uint8_t>(utf8[i]);
        if (lead < 0x80) {
            // Most text is ASCII: copy the whole run at once.
            std::size_t end = i + 1;
            while (end < n && static_cast<std::uint8_t>(utf8[end]) < 0x80) ++end;
            out.append(utf8.data() + i, end - i);
            i = end;
            continue;
        }
        // Length and the allowed range of the second byte (this rules out overlong forms,
        // surrogates and code points beyond U+10FFFF).
        int length = 0;
        std::uint8_t low = 0x80, top = 0xBF;
        char32_t cp = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                top = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                top = 0x8F;
        } else {
            out += '?';
            ++i;
            continue;
        }
        // A broken sequence gives one '?' for the bytes that began it correctly.
        std::size_t j = i + 1;
        bool complete = true;
        for (int k = 1; k < length; ++k, ++j) {
            if (j >= n) {
                complete = false;
                break;
            }
            const auto next = static_cast<std::uint8_t>(utf8[j]);
            const std::uint8_t min = k == 1 ? low : 0x80;
            const std::uint8_t max = k == 1 ? top : 0xBF;
            if (next < min || next > max) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        out += complete ? fromCodePoint(cp) : '?';
        i = j;
    }
    return out;
}

std::string cp1252ToUtf8(std::string_view cp1252) {
    std::string out;
    out.reserve(cp1252.size() + cp1252.size() / 4);
    for (char c : cp1252) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (byte < 0x80)
            out += c;
        else if (byte < 0xA0)
            appendUtf8(out, high[byte - 0x80]);
        else
            appendUtf8(out, byte);
    }
    return out;
}

std::string_view trimControls(std::string_view s) {
    std::size_t begin = 0, end = s.size();
    while (begin < end && static_cast<std::uint8_t>(s[begin]) < 33) ++begin;
    while (end > begin && static_cast<std::uint8_t>(s[end - 1]) < 33) --end;
    return s.substr(begin, end - begin);
}

std::string_view trimTrailingBlanks(std::string_view s) {
    std::size_t end = s.size();
    while (end > 0 && s[end - 1] == ' ') --end;
    return s.substr(0, end);
}

std::string heldForm(std::string_view value, std::size_t width) {
    return std::string(trimTrailingBlanks(value.substr(0, width)));
}

char foldCase(char c) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte >= 'A' && byte <= 'Z') return static_cast<char>(byte + 0x20);
    if (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7) return static_cast<char>(byte + 0x20);
    switch (byte) {
    case 0x8A: // Š
    case 0x8C: // Œ
    case 0x8E: // Ž
        return static_cast<char>(byte + 0x10);
    case 0x9F: // Ÿ
        return static_cast<char>(0xFF);
    default:
        return c;
    }
}

std::string foldCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = foldCase(c);
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

} // namespace almadia::text
