#include "app/attention.h"

#include "status/account_state.h"
#include "status/column_text.h"

#include <algorithm>

namespace kpv {
namespace {

// "YYYY-MM-DD HH:MM" in local time; the empty text when the time cannot be shown.
std::string localDateTime(std::int64_t seconds) {
    if (seconds < 0 || seconds > std::int64_t(UINT32_MAX))
        return {};
    const SecureBuffer text = formatDateTime(static_cast<std::uint32_t>(seconds));
    return text.empty() ? std::string() : std::string(text.text());
}

// Only the clock time when the day is today's, so the line stays short and exact.
std::string sinceText(std::int64_t since, std::int64_t now) {
    const std::string sinceAt = localDateTime(since);
    const std::string nowAt = localDateTime(now);
    constexpr std::size_t DATE_LENGTH = 10; // "YYYY-MM-DD"
    if (sinceAt.size() > DATE_LENGTH && nowAt.compare(0, DATE_LENGTH, sinceAt, 0, DATE_LENGTH) == 0)
        return sinceAt.substr(DATE_LENGTH + 1);
    return sinceAt;
}

std::string accounts(std::uint32_t count) {
    return std::to_string(count) + (count == 1 ? " konto" : " konton");
}

} // namespace

RowMark rowMark(const RowStatus& status, std::int64_t now, std::uint32_t periodSeconds) {
    switch (judgeAccount(status, now, periodSeconds)) {
    case AccountState::Unopened:
        return RowMark::Unopened;
    case AccountState::Outdated:
        return RowMark::Outdated;
    default:
        return RowMark::Current;
    }
}

std::string trayTooltip(const std::string& secondLine) {
    return secondLine.empty() ? std::string("Kopiavakt") : "Kopiavakt\n" + secondLine;
}

void AttentionBoard::clearRows() {
    rows_.clear();
}

void AttentionBoard::addRow(std::uint32_t accountId, const RowStatus& status) {
    rows_.emplace_back(accountId, status);
}

void AttentionBoard::updateStarting() {
    failedDuring_.push_back(false);
}

void AttentionBoard::exchangeFailed(std::int64_t now) {
    if (!failedDuring_.empty())
        failedDuring_.back() = true;
    if (!lastExchangeFailed_)
        failingSince_ = now;
    lastExchangeFailed_ = true;
}

void AttentionBoard::updateFinished(bool exchangeRan, std::int64_t now) {
    bool failed = false;
    if (!failedDuring_.empty()) {
        failed = failedDuring_.back();
        failedDuring_.pop_back();
    }
    if (exchangeRan && !failed) {
        lastExchangeFailed_ = false;
        lastContact_ = now;
    }
    // An outermost update that found nothing to ask about (the last account removed): no
    // exchange will ever run to end the failure, and there is no server left to miss.
    if (!exchangeRan && failedDuring_.empty() && rows_.empty())
        lastExchangeFailed_ = false;
}

void AttentionBoard::remark(std::int64_t now, std::uint32_t periodSeconds) {
    marks_.clear();
    outdatedRows_ = 0;
    unopenedRows_ = 0;
    markedAt_ = now;
    for (const auto& [accountId, status] : rows_) {
        const RowMark mark = rowMark(status, now, periodSeconds);
        outdatedRows_ += mark == RowMark::Outdated ? 1 : 0;
        unopenedRows_ += mark == RowMark::Unopened ? 1 : 0;
        // Two rows of one id cannot be told apart when drawn: the graver mark shows.
        RowMark& shown = marks_[accountId];
        shown = std::max(shown, mark);
    }
}

RowMark AttentionBoard::markOf(std::uint32_t accountId) const {
    const auto found = marks_.find(accountId);
    return found != marks_.end() ? found->second : RowMark::Current;
}

TrayState AttentionBoard::trayState() const {
    if (lastExchangeFailed_)
        return TrayState::NoContact;
    return outdatedRows_ + unopenedRows_ > 0 ? TrayState::NeedsAttention : TrayState::AllWell;
}

std::string AttentionBoard::trayLine() const {
    switch (trayState()) {
    case TrayState::AllWell:
        return {};
    case TrayState::NoContact: {
        const std::string since =
            sinceText(lastContact_ != 0 ? lastContact_ : failingSince_, markedAt_);
        return since.empty() ? "Ingen kontakt med servern"
                             : "Ingen kontakt med servern sedan " + since;
    }
    case TrayState::NeedsAttention:
        break;
    }
    const std::string outdated = outdatedRows_ == 1
                                     ? "1 konto har en föråldrad kopia"
                                     : accounts(outdatedRows_) + " har föråldrade kopior";
    if (unopenedRows_ == 0)
        return outdated;
    if (outdatedRows_ == 0)
        return accounts(unopenedRows_) + " kunde inte läsas";
    return outdated + ", " + std::to_string(unopenedRows_) + " kunde inte läsas";
}

} // namespace kpv
