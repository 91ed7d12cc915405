#pragma once

// 8-bit Windows-1252 text, the form in which every value is held in the working tables.
// Strings named "utf8" hold UTF-8; every other std::string in the core that holds table or
// document values holds Windows-1252 bytes.

#include <string>
#include <string_view>

namespace almadia::text {

// UTF-8 to Windows-1252; a character the code page lacks (or an invalid sequence) becomes '?'.
std::string utf8ToCp1252(std::string_view utf8);
// Windows-1252 to UTF-8; the five undefined bytes (81 8D 8F 90 9D) map to U+0081... as C1 controls.
std::string cp1252ToUtf8(std::string_view cp1252);

// Removes every leading and trailing byte below 33 (blanks, tabs, line ends, controls).
std::string_view trimControls(std::string_view s);
// Removes trailing blanks (0x20) only: how a fixed-width field reads back.
std::string_view trimTrailingBlanks(std::string_view s);

// A value as a field of `width` bytes holds it: first `width` bytes, trailing blanks dropped.
std::string heldForm(std::string_view value, std::size_t width);

// Case folding for Windows-1252: ASCII letters and the accented letters (À-Þ but ×, Š Œ Ž Ÿ)
// become lower case; everything else stays.
char foldCase(char c);
std::string foldCase(std::string_view s);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

} // namespace almadia::text
