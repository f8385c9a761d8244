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
    return markOf(judgeAccount(status, now, periodSeconds));
}

RowMark markOf(AccountState state) {
    switch (state) {
    case AccountState::Unopened:
        return RowMark::Unopened;
    case AccountState::Outdated:
        return RowMark::Outdated;
    case AccountState::Emptied:
    case AccountState::Shrunk:
    case AccountState::CopiesLost:
        return RowMark::Anomaly;
    case AccountState::Snoozed:
        return RowMark::Snoozed;
    case AccountState::Ok:
        break;
    }
    return RowMark::Current;
}

const char* stateText(AccountState state) {
    switch (state) {
    case AccountState::Unopened:
        return "Status kunde inte läsas";
    case AccountState::Outdated:
        return "Föråldrad kopia";
    case AccountState::Emptied:
        return "Avvikelse: kopian har inga filer";
    case AccountState::Shrunk:
        return "Avvikelse: kopian har krympt";
    case AccountState::CopiesLost:
        return "Avvikelse: lagrade kopior har försvunnit";
    case AccountState::Snoozed:
        return "Varningar pausade";
    case AccountState::Ok:
        break;
    }
    return "Aktuell kopia";
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

void AttentionBoard::remark(std::int64_t now, std::uint32_t periodSeconds,
                            const RulesTable& rules) {
    states_.clear();
    outdatedRows_ = 0;
    unopenedRows_ = 0;
    anomalyRows_ = 0;
    markedAt_ = now;
    AccountContext context;
    context.now = now;
    context.globalPeriodSeconds = periodSeconds;
    for (const auto& [accountId, status] : rows_) {
        context.rules = rules.rulesOf(accountId);
        const AccountState state = judgeAccount(status, context);
        outdatedRows_ += state == AccountState::Outdated ? 1 : 0;
        unopenedRows_ += state == AccountState::Unopened ? 1 : 0;
        anomalyRows_ += isAnomaly(state) ? 1u : 0u;
        // Two rows of one id cannot be told apart when drawn: the graver state shows.
        const auto [shown, added] = states_.emplace(accountId, state);
        if (!added && kpv::markOf(state) > kpv::markOf(shown->second))
            shown->second = state;
    }
}

RowMark AttentionBoard::markOf(std::uint32_t accountId) const {
    return kpv::markOf(stateOf(accountId));
}

AccountState AttentionBoard::stateOf(std::uint32_t accountId) const {
    const auto found = states_.find(accountId);
    return found != states_.end() ? found->second : AccountState::Ok;
}

bool AttentionBoard::rowStatusOf(std::uint32_t accountId, RowStatus& status) const {
    for (const auto& [id, rowStatus] : rows_)
        if (id == accountId) {
            status = rowStatus;
            return true;
        }
    return false;
}

TrayState AttentionBoard::trayState() const {
    if (lastExchangeFailed_)
        return TrayState::NoContact;
    return outdatedRows_ + unopenedRows_ + anomalyRows_ > 0 ? TrayState::NeedsAttention
                                                            : TrayState::AllWell;
}

std::string AttentionBoard::trayLine() const {
    const std::string line = summaryLine();
    if (!deliveryFailed_)
        return line;
    return line.empty() ? std::string(DELIVERY_FAILED_LINE) : line + DELIVERY_FAILED_NOTE;
}

std::string AttentionBoard::summaryLine() const {
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
    std::string line;
    if (outdatedRows_ + unopenedRows_ > 0) {
        const std::string outdated = outdatedRows_ == 1
                                         ? "1 konto har en föråldrad kopia"
                                         : accounts(outdatedRows_) + " har föråldrade kopior";
        if (unopenedRows_ == 0)
            line = outdated;
        else if (outdatedRows_ == 0)
            line = accounts(unopenedRows_) + " kunde inte läsas";
        else
            line = outdated + ", " + std::to_string(unopenedRows_) + " kunde inte läsas";
    }
    if (anomalyRows_ == 0)
        return line;
    if (!line.empty())
        return line + ", " + std::to_string(anomalyRows_) + " avviker";
    return anomalyRows_ == 1 ? "1 konto har en avvikande kopia"
                             : accounts(anomalyRows_) + " har avvikande kopior";
}

} // namespace kpv
