#pragma once
// A user-interface port for tests: it records what the logic shows and answers from a script.
#include "core/user_interface.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kpv::test {

struct ShownMessage {
    std::string text;
    MessageKind kind;
};

struct ShownRow {
    std::uint32_t accountId;
    std::vector<std::string> texts; // the eight column texts; "<none>" for a text without zero
    RowStatus status;
};

class ScriptedUi final : public UserInterface {
  public:
    // Answers given in order; Answer::Ok when the script runs out.
    std::deque<Answer> answers;
    // Each file dialog takes the next path; an empty path means the user cancelled.
    std::deque<std::string> chosenPaths;
    // Each name dialog takes the next entry: the bytes typed (set into pendingName) and
    // whether "OK" was pressed.
    struct NameEntry {
        std::string typed;
        bool ok;
    };
    std::deque<NameEntry> names;
    // Called inside showMessage, before it returns: lets a test act while a box is "open".
    std::function<void(const std::string&)> whileMessageOpen;
    bool hasSelection = false;
    std::uint32_t selectedId = 0;

    std::vector<ShownMessage> messages;
    std::vector<ShownRow> rows;
    std::vector<std::string> nameDialogInitialTexts;
    std::vector<std::string> saveDialogInitialNames;
    int clears = 0;
    int windowShown = 0;
    // The update calls in order: "start manual", "start timer", "failed", "end exchange",
    // "end none".
    std::vector<std::string> updateCalls;

    Answer showMessage(const char* utf8Text, MessageKind kind) override;
    bool chooseLogFile(SecureBuffer& path) override { return choose(path); }
    bool chooseUserListToOpen(SecureBuffer& path) override { return choose(path); }
    bool chooseUserListToSave(SecureBuffer& path, const char* initialUtf8Name) override {
        saveDialogInitialNames.emplace_back(initialUtf8Name);
        return choose(path);
    }
    int showNameDialog() override;
    void clearRows() override {
        rows.clear();
        ++clears;
    }
    void insertRow(std::uint32_t accountId, const SecureBuffer* texts,
                   const RowStatus& status) override;
    bool selectedAccountId(std::uint32_t& accountId) override {
        if (hasSelection)
            accountId = selectedId;
        return hasSelection;
    }
    void showMainWindow() override { ++windowShown; }
    void updateStarting(bool manual) override {
        updateCalls.emplace_back(manual ? "start manual" : "start timer");
    }
    void exchangeFailed() override { updateCalls.emplace_back("failed"); }
    void updateFinished(bool exchangeRan) override {
        updateCalls.emplace_back(exchangeRan ? "end exchange" : "end none");
    }

    std::vector<std::string> messageTexts() const;
    const ShownRow* rowFor(std::uint32_t accountId) const;

  private:
    bool choose(SecureBuffer& path);
};

} // namespace kpv::test
