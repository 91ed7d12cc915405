#pragma once

// The front end as a test sees it: scripted file choices, every message and error recorded.

#include "export/RunHost.h"

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace almadia::testing {

class FakeHost : public RunHost {
public:
    std::deque<std::optional<std::filesystem::path>> choices;
    std::vector<std::pair<std::string, std::string>> messages; // text, details
    std::vector<std::string> errors;
    bool busy = false;
    int closed = 0;

    std::optional<std::filesystem::path> chooseFile() override {
        if (choices.empty()) return std::nullopt;
        auto choice = choices.front();
        choices.pop_front();
        return choice;
    }
    void message(const std::string& text, const std::string& details) override {
        messages.emplace_back(text, details);
    }
    void showError(const std::string& text) override { errors.push_back(text); }
    void setBusy(bool value) override { busy = value; }
    void closeWindow() override { ++closed; }
};

} // namespace almadia::testing
