#include "export/ShortCodes.h"

#include "formats/Text.h"

#include <algorithm>

namespace almadia {

namespace {
constexpr std::size_t CodeWidth = 10;
}

std::string cutCode(const std::string& code) {
    return std::string(text::trimControls(std::string_view(code).substr(0, CodeWidth)));
}

std::string compressCode(const std::string& code) {
    if (code.size() <= CodeWidth) return code;
    return code.substr(0, 8) + code.substr(code.size() - 2);
}

std::optional<std::string> registryShortCode(CodeRegistries& registries, const std::string& fullCode,
                                             RegistryKey key) {
    const std::string cut = cutCode(fullCode);
    const bool alreadyUsed = registries.CodigosUsados.count(cut) != 0;

    const std::string& keyText = key == RegistryKey::FullCode ? fullCode : cut;
    std::string candidate;
    if (registries.CodigosLargosVistos.insert(keyText).second)
        candidate = compressCode(fullCode);
    else
        candidate = cut;

    if (alreadyUsed || registries.CodigosUsados.count(candidate) != 0) return std::nullopt;
    registries.CodigosUsados.insert(candidate);
    return candidate;
}

bool CodeList::contains(const std::string& code) const {
    return folded_.count(text::foldCase(text::heldForm(code, CodeWidth))) != 0;
}

void CodeList::add(const std::string& code) {
    folded_.insert(text::foldCase(text::heldForm(code, CodeWidth)));
}

std::string CodeList::suffixed(const std::string& base, unsigned number) const {
    const std::string digits = std::to_string(number);
    std::string code = base + digits;
    if (code.size() <= CodeWidth) return code;
    // Compressing keeps only the last two digits, so from three digits on the base is shortened
    // instead; otherwise the numbers would come round to codes already given and never end.
    if (compress_ && digits.size() <= 2) return compressCode(code);
    const std::size_t room = CodeWidth - std::min(digits.size(), CodeWidth);
    return base.substr(0, room) + digits;
}

CodeList::Result CodeList::take(const std::string& code) {
    std::string candidate = compress_ ? compressCode(code) : code;
    if (!contains(candidate)) {
        add(candidate);
        return {std::move(candidate), false};
    }
    const std::string base = cutCode(code);
    for (unsigned number = 1;; ++number) {
        std::string next = suffixed(base, number);
        if (!contains(next)) {
            add(next);
            return {std::move(next), true};
        }
    }
}

} // namespace almadia
