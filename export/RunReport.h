#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace almadia {

// What a run did: rows written per table (or activities written) and every element left out or
// changed, with the reason. Lines are Spanish, UTF-8.
class RunReport {
public:
    void clear();
    void rowsWritten(const std::string& what, std::size_t count);
    void note(std::string line);

    const std::vector<std::string>& counts() const { return counts_; }
    const std::vector<std::string>& notes() const { return notes_; }
    // The whole report as text, one line each: counts first, then the notes.
    std::string text() const;

private:
    std::vector<std::string> counts_;
    std::vector<std::string> notes_;
};

} // namespace almadia
