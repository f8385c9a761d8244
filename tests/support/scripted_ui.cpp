#include "tests/support/scripted_ui.h"

#include "accounts/pending_name.h"

namespace kpv::test {

Answer ScriptedUi::showMessage(const char* utf8Text, MessageKind kind) {
    messages.push_back({utf8Text, kind});
    if (whileMessageOpen)
        whileMessageOpen(utf8Text);
    if (answers.empty())
        return Answer::Ok;
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

bool ScriptedUi::choose(SecureBuffer& path) {
    if (chosenPaths.empty())
        return false;
    const std::string chosen = chosenPaths.front();
    chosenPaths.pop_front();
    if (chosen.empty())
        return false;
    path = SecureBuffer::fromCString(chosen.c_str());
    return true;
}

int ScriptedUi::showNameDialog() {
    const SecureBuffer& initial = pendingName();
    nameDialogInitialTexts.emplace_back(reinterpret_cast<const char*>(initial.data()),
                                        initial.length());
    if (names.empty())
        return 0;
    const NameEntry entry = names.front();
    names.pop_front();
    if (!entry.ok)
        return 0;
    pendingName().assignBytes(entry.typed.data(), static_cast<std::uint32_t>(entry.typed.size()));
    return 1;
}

void ScriptedUi::insertRow(std::uint32_t accountId, const SecureBuffer* texts,
                           const RowStatus& status) {
    ShownRow row{accountId, {}, status};
    for (int i = 0; i < STATUS_COLUMN_COUNT; ++i) {
        const SecureBuffer& text = texts[i];
        if (text.empty() || text.data()[text.length() - 1] != 0)
            row.texts.emplace_back("<none>");
        else
            row.texts.emplace_back(text.text());
    }
    rows.push_back(row);
}

std::vector<std::string> ScriptedUi::messageTexts() const {
    std::vector<std::string> texts;
    for (const ShownMessage& m : messages)
        texts.push_back(m.text);
    return texts;
}

const ShownRow* ScriptedUi::rowFor(std::uint32_t accountId) const {
    for (const ShownRow& row : rows)
        if (row.accountId == accountId)
            return &row;
    return nullptr;
}

} // namespace kpv::test
