#pragma once

// Short codes of at most 10 characters under which the timetabling tables know a subject,
// activity type, teacher, classroom or group. All texts are Windows-1252.

#include <optional>
#include <set>
#include <string>
#include <unordered_set>

namespace almadia {

// Registry variant, shared by subjects and activity types: sorted, case-sensitive sets, emptied
// at the start of each conversion run.
struct CodeRegistries {
    std::set<std::string> CodigosUsados;
    std::set<std::string> CodigosLargosVistos;

    void clear() {
        CodigosUsados.clear();
        CodigosLargosVistos.clear();
    }
};

enum class RegistryKey { FullCode, CutCode }; // subjects: full code; activity types: cut code

// First 10 characters, trailing bytes below 33 dropped again.
std::string cutCode(const std::string& code);
// A code longer than 10 characters becomes its first 8 and last 2 characters.
std::string compressCode(const std::string& code);

// The short code to write in COD, or nullopt when the element gives no row.
std::optional<std::string> registryShortCode(CodeRegistries& registries, const std::string& fullCode,
                                             RegistryKey key);

// List variant (teachers, classrooms, groups): a per-builder list of the codes given, held as
// the 10-character field holds them (first 10 characters, trailing blanks dropped) and compared
// with case ignored (ASCII and the accented letters of Windows-1252), so every code it gives
// reads back distinct from the table.
class CodeList {
public:
    // `compress`: classrooms and groups compress a code longer than 10 characters before it is
    // tested; teachers write it whole and the field keeps its first 10 characters.
    explicit CodeList(bool compress) : compress_(compress) {}

    struct Result {
        std::string code;      // the code to write in ABREV (the field cuts it to 10)
        bool suffixed = false; // the code was taken already and got a numeric suffix
    };
    // The short code for `code` (for classrooms, after the fallback to Denominacion); records it.
    Result take(const std::string& code);

private:
    bool contains(const std::string& code) const;
    void add(const std::string& code);
    std::string suffixed(const std::string& base, unsigned number) const;

    bool compress_;
    std::unordered_set<std::string> folded_; // held forms, case folded
};

} // namespace almadia
