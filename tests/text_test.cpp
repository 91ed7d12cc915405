#include "formats/Text.h"

#include <gtest/gtest.h>

#include <string>

using namespace almadia;

namespace {

struct Conversion {
    const char* what;
    std::string utf8;
    std::string cp1252;
};

// Characters both forms hold: they must survive the trip both ways.
const Conversion twoWay[] = {
    {"ASCII", "Aula 1-B", "Aula 1-B"},
    {"Latin-1 letters", "Peñalara Ávila Ü ç ÿ",
     "Pe\xF1"
     "alara \xC1vila \xDC \xE7 \xFF"},
    {"euro sign", "10 €", "10 \x80"},
    {"letters of 0x80-0x9F", "Š š Œ œ Ž ž Ÿ", "\x8A \x9A \x8C \x9C \x8E \x9E \x9F"},
    {"punctuation of 0x80-0x9F", "“a” ‘b’ – — … •",
     "\x93"
     "a\x94 \x91"
     "b\x92 \x96 \x97 \x85 \x95"},
    {"no-break space and ×", "a\u00A0b×c",
     "a\xA0"
     "b\xD7"
     "c"},
    {"byte the code page leaves undefined", "\u0081\u008D", "\x81\x8D"},
    {"empty", "", ""},
};

TEST(TextConversion, BothWays) {
    for (const auto& c : twoWay) {
        EXPECT_EQ(text::utf8ToCp1252(c.utf8), c.cp1252) << c.what;
        EXPECT_EQ(text::cp1252ToUtf8(c.cp1252), c.utf8) << c.what;
    }
}

TEST(TextConversion, WhatTheCodePageLacksBecomesQuestionMark) {
    const Conversion cases[] = {
        {"Greek and Cyrillic", "αЖ", "??"},
        {"CJK", "漢字", "??"},
        {"outside the BMP, one mark per character", "a😀b", "a?b"},
        {"C1 control the code page maps elsewhere", "\u0080", "?"},
        {"lone continuation byte",
         "a\x80"
         "b",
         "a?b"},
        {"lead byte without continuation", "a\xC3", "a?"},
        {"sequence cut short, one mark",
         "\xE2\x82"
         "b",
         "?b"},
        {"overlong slash", "\xC0\xAF", "??"},
        {"surrogate encoded", "\xED\xA0\x80", "???"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
        {"invalid byte",
         "\xFF"
         "x",
         "?x"},
    };
    for (const auto& c : cases) EXPECT_EQ(text::utf8ToCp1252(c.utf8), c.cp1252) << c.what;
}

TEST(TextTrim, ControlsAndBlanks) {
    EXPECT_EQ(text::trimControls(" \t\r\n A1 \x01\x1F "), "A1");
    EXPECT_EQ(text::trimControls("  a b  "), "a b");
    EXPECT_EQ(text::trimControls("\t \n"), "");
    // Bytes of accented letters are above 32 and stay.
    EXPECT_EQ(text::trimControls("\xA0x\xE9"), "\xA0x\xE9");

    EXPECT_EQ(text::trimTrailingBlanks("  ab \t  "), "  ab \t");
    EXPECT_EQ(text::trimTrailingBlanks("   "), "");
}

TEST(TextHeldForm, CutAtWidthThenTrailingBlanksDropped) {
    struct {
        std::string value;
        std::size_t width;
        std::string held;
    } cases[] = {
        {"Matem\xE1ticas", 5, "Matem"},
        {"Matem\xE1ticas", 6, "Matem\xE1"},
        {"ab  cd", 4, "ab"},
        {"ab", 10, "ab"},
        {"ab   ", 10, "ab"},
        {" ab", 10, " ab"},
        {"abc", 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text::heldForm(c.value, c.width), c.held) << c.value << " / " << c.width;
}

TEST(TextCase, FoldsAsciiAndAccentedLettersOnly) {
    EXPECT_EQ(text::foldCase("ABCxyz 09 -"), "abcxyz 09 -");
    // À-Þ but ×, and the four capitals of 0x80-0x9F.
    EXPECT_EQ(text::foldCase("\xC0\xC9\xD1\xD6\xD8\xDE"), "\xE0\xE9\xF1\xF6\xF8\xFE");
    EXPECT_EQ(text::foldCase("\xD7\xDF\xF7"), "\xD7\xDF\xF7");
    EXPECT_EQ(text::foldCase("\x8A\x8C\x8E\x9F"), "\x9A\x9C\x9E\xFF");
    EXPECT_EQ(text::foldCase("\x80\xA0\xAA"), "\x80\xA0\xAA");

    const struct {
        std::string a, b;
        bool equal;
    } cases[] = {
        {"EXPORTAR", "exportar", true},
        {"Espa\xD1"
         "a",
         "ESPA\xF1"
         "A",
         true},
        {"\xC1vila", "\xE1VILA", true},
        {"\x8C", "\x9C", true},
        {"\xC1vila", "avila", false},
        {"Espa\xF1"
         "a",
         "espana", false},
        {"abc", "abcd", false},
        {"", "", true},
    };
    for (const auto& c : cases) EXPECT_EQ(text::equalsIgnoreCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
}

} // namespace
