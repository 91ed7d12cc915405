#include "export/RunReport.h"

namespace almadia {

void RunReport::clear() {
    counts_.clear();
    notes_.clear();
}

void RunReport::rowsWritten(const std::string& what, std::size_t count) {
    counts_.push_back(what + ": " + std::to_string(count) + (count == 1 ? " fila" : " filas"));
}

void RunReport::note(std::string line) {
    notes_.push_back(std::move(line));
}

std::string RunReport::text() const {
    std::string out;
    for (const auto& line : counts_) out += line + '\n';
    if (!notes_.empty()) {
        out += '\n';
        for (const auto& line : notes_) out += line + '\n';
    }
    return out;
}

} // namespace almadia
