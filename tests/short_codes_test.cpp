#include "export/ShortCodes.h"

#include "formats/Text.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace almadia;

namespace {

TEST(CutAndCompress, Lengths) {
    EXPECT_EQ(cutCode("BIOLOGIA1BACH"), "BIOLOGIA1B");
    EXPECT_EQ(cutCode("ABCDEFGHIJ"), "ABCDEFGHIJ");
    EXPECT_EQ(cutCode("Taller de tecnolog\xED"
                      "a"),
              "Taller de"); // the blank on the tenth character goes
    EXPECT_EQ(cutCode(""), "");
    EXPECT_EQ(compressCode("ABCDEFGHIJ"), "ABCDEFGHIJ");
    EXPECT_EQ(compressCode("ABCDEFGHIJK"), "ABCDEFGHJK");
    EXPECT_EQ(compressCode("2BACHCIENCIAS"), "2BACHCIEAS");
}

struct RegistryStep {
    RegistryKey key;
    const char* code;
    std::optional<std::string> result; // nullopt: no row
};

// One run: the subjects, then the activity types, on the same two registries.
TEST(RegistryVariant, WorkedExample) {
    const auto S = RegistryKey::FullCode;
    const auto A = RegistryKey::CutCode;
    const RegistryStep steps[] = {
        {S, "LEN", "LEN"},
        {S, "LEN", std::nullopt},
        {S, "BIOLOGIA1BACH", "BIOLOGIACH"},
        {S, "BIOLOGIA2BACH", std::nullopt}, // its compressed code is taken
        {S, "BIOLOGIA1BACH", "BIOLOGIA1B"}, // key seen: the cut code
        {S, "len", "len"},
        {A, "LEN", std::nullopt},
        {A, "GUARDIARECREO", "GUARDIAREO"},
        {A, "GUARDIARECREO2", "GUARDIAREC"},
        {A, "GUARDIARECREO3", std::nullopt},
    };
    CodeRegistries registries;
    for (std::size_t i = 0; i < std::size(steps); ++i)
        EXPECT_EQ(registryShortCode(registries, steps[i].code, steps[i].key), steps[i].result)
            << "step " << i + 1 << ": " << steps[i].code;
}

TEST(RegistryVariant, SubjectKeysAreWholeCodes) {
    const RegistryStep steps[] = {
        {RegistryKey::FullCode, "GUARDIARECREO", "GUARDIAREO"},
        {RegistryKey::FullCode, "GUARDIARECREO2", "GUARDIARO2"},
        {RegistryKey::FullCode, "GUARDIARECREO3", "GUARDIARO3"},
        // The same long code three times: compressed, then cut, then left out.
        {RegistryKey::FullCode, "MATEMATICASII", "MATEMATIII"},
        {RegistryKey::FullCode, "MATEMATICASII", "MATEMATICA"},
        {RegistryKey::FullCode, "MATEMATICASII", std::nullopt},
        // An empty code gives one row, then none.
        {RegistryKey::FullCode, "", ""},
        {RegistryKey::CutCode, "", std::nullopt},
    };
    CodeRegistries registries;
    for (const auto& step : steps)
        EXPECT_EQ(registryShortCode(registries, step.code, step.key), step.result) << step.code;

    registries.clear();
    EXPECT_EQ(registryShortCode(registries, "GUARDIARECREO", RegistryKey::FullCode), "GUARDIAREO")
        << "a new run starts with empty registries";
}

struct ListStep {
    const char* code;
    const char* teachers;    // no compression
    const char* compressing; // classrooms and groups
};

void runList(const std::vector<ListStep>& steps, const char* what) {
    CodeList teachers(false);
    CodeList compressing(true);
    for (const auto& step : steps) {
        EXPECT_EQ(teachers.take(step.code).code, step.teachers) << what << ": teachers, " << step.code;
        EXPECT_EQ(compressing.take(step.code).code, step.compressing)
            << what << ": classrooms/groups, " << step.code;
    }
}

TEST(ListVariant, WorkedExample) {
    runList({{"1A", "1A", "1A"},
             {"1A", "1A1", "1A1"},
             {"1a", "1a2", "1a2"}, // 1a1 matches 1A1
             {"", "", ""},
             {"", "1", "1"},
             {"1A1", "1A11", "1A11"},
             {"2BACHCIENCIAS", "2BACHCIENCIAS", "2BACHCIEAS"},
             {"2BACH-CIEN", "2BACH-CIEN", "2BACH-CIEN"},
             {"2BACH-CIEN", "2BACH-CIE1", "2BACH-CIN1"}},
            "worked example");
}

TEST(ListVariant, LongCodesStayDistinctAsTheFieldHoldsThem) {
    runList({{"2BACHCIENCIAS", "2BACHCIENCIAS", "2BACHCIEAS"},
             {"2BACHCIENCIAS", "2BACHCIEN1", "2BACHCIEC1"},
             {"2BACHCIENCIAS", "2BACHCIEN2", "2BACHCIEC2"}},
            "repeated long code");
    runList({{"ABCDEFGHIJ", "ABCDEFGHIJ", "ABCDEFGHIJ"},
             {"ABCDEFGHIJ", "ABCDEFGHI1", "ABCDEFGHJ1"},
             {"ABCDEFGHIJ", "ABCDEFGHI2", "ABCDEFGHJ2"}},
            "10-character code three times");
    // Two teacher codes that share their first 10 characters.
    runList({{"PROFESOR0001", "PROFESOR0001", "PROFESOR01"},
             {"PROFESOR0002", "PROFESOR01", "PROFESOR02"},
             {"PROFESOR0099", "PROFESOR02", "PROFESOR99"},
             {"PROFESOR0102", "PROFESOR03", "PROFESOR11"}},
            "shared first characters");
}

// Once the two-digit suffixes of a compressed code run out, codes keep coming and stay distinct.
TEST(ListVariant, ManyRepeatsOfOneLongCode) {
    for (const bool compress : {false, true}) {
        CodeList list(compress);
        std::set<std::string> held;
        for (int i = 0; i < 300; ++i) {
            const auto given = list.take("GRUPOLARGO123");
            EXPECT_EQ(given.suffixed, i > 0);
            EXPECT_TRUE(held.insert(text::foldCase(text::heldForm(given.code, 10))).second)
                << "repeat " << i << " gave " << given.code;
        }
    }
}

TEST(ListVariant, CaseIgnoredForAsciiAndAccentedLetters) {
    struct Pair {
        const char* first;
        const char* second;
        bool same;
    };
    const Pair pairs[] = {
        {"JGP", "jgp", true},
        {"\xC1NGEL", "\xE1ngel", true}, // ÁNGEL / ángel
        {"PE\xD1"
         "A",
         "pe\xF1"
         "a",
         true}, // PEÑA / peña
        {"\xC7"
         "A",
         "\xE7"
         "a",
         true},                       // ÇA / ça
        {"ANGEL", "\xC1NGEL", false}, // plain and accented letters differ
        {"N", "\xD1", false},
        {"\xD7", "\xF7", false}, // × and ÷ are no letters
    };
    for (const auto& p : pairs) {
        CodeList list(false);
        list.take(p.first);
        const auto given = list.take(p.second);
        EXPECT_EQ(given.suffixed, p.same)
            << text::cp1252ToUtf8(p.first) << " / " << text::cp1252ToUtf8(p.second);
        EXPECT_EQ(given.code, p.same ? std::string(p.second) + "1" : std::string(p.second));
    }
}

TEST(ListVariant, ClassroomNamesCutToTenCharacters) {
    // The builder passes the first 10 characters of Denominacion when Codigo is empty.
    runList({{"Gimnasio", "Gimnasio", "Gimnasio"},
             {"Gimnasio", "Gimnasio1", "Gimnasio1"},
             {"Laboratori", "Laboratori", "Laboratori"},
             {"Laboratori", "Laborator1", "Laboratoi1"},
             {"Taller de ", "Taller de ", "Taller de "},
             {"Taller de ", "Taller de1", "Taller de1"}},
            "classroom names");
}

} // namespace
