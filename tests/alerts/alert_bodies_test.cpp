// The bodies as their receivers read them: parsed back with a JSON parser, every field checked.
#include "alerts/alert_bodies.h"

#include <doctest/doctest.h>
#include <nlohmann/json.hpp>

namespace kpv {
namespace {

constexpr std::int64_t NOW = 1800000000; // 2027-01-15T08:00:00Z

AlertMessage message() {
    AlertMessage sent;
    sent.id = "0000abcd-0123456789abcdef";
    sent.event = AlertEvent::Attention;
    sent.time = NOW;
    sent.summary = "1 konto har en föråldrad kopia, 1 kunde inte läsas";
    sent.needingAttention = 2;
    AlertAccount old;
    old.id = 300;
    old.name = "Åsa \"Ö\"\n.";
    old.state = AccountState::Outdated;
    old.previousState = AccountState::Ok;
    old.lastCopyTime = NOW - 10 * 86400 - 5;
    old.periodSeconds = 3 * 86400;
    AlertAccount locked;
    locked.id = 12;
    locked.name = "Cesar";
    locked.state = AccountState::Unopened;
    locked.periodSeconds = 3 * 86400;
    sent.accounts = {old, locked};
    return sent;
}

const AlertOrigin ORIGIN{"KONTOR-PC", "anna", "1.0.0"};

} // namespace

TEST_CASE("the JSON body carries every fact under its name, absent facts as null") {
    const WipingString text = jsonBody(message(), ORIGIN);
    const auto body = nlohmann::json::parse(text.begin(), text.end());
    CHECK(body["id"] == "0000abcd-0123456789abcdef");
    CHECK(body["event"] == "attention");
    CHECK(body["time"] == "2027-01-15T08:00:00Z");
    CHECK(body["computer"] == "KONTOR-PC");
    CHECK(body["user"] == "anna");
    CHECK(body["version"] == "1.0.0");
    CHECK(body["summary"] == "1 konto har en föråldrad kopia, 1 kunde inte läsas");
    CHECK(body["needing_attention"] == 2);
    CHECK(body["no_contact_since"].is_null());
    REQUIRE(body["accounts"].size() == 2);
    const auto& old = body["accounts"][0];
    CHECK(old["id"] == 300);
    CHECK(old["name"] == "Åsa \"Ö\"\n.");
    CHECK(old["state"] == "outdated");
    CHECK(old["previous_state"] == "ok");
    CHECK(old["last_copy_time"] == "2027-01-05T07:59:55Z");
    CHECK(old["age_days"] == 10);
    CHECK(old["period_days"] == 3);
    const auto& locked = body["accounts"][1];
    CHECK(locked["state"] == "unopened");
    CHECK(locked["previous_state"].is_null());
    CHECK(locked["last_copy_time"].is_null());
    CHECK(locked["age_days"].is_null());

    AlertMessage lost = message();
    lost.accounts.clear();
    lost.noContactSince = NOW - 86400;
    const WipingString lostText = jsonBody(lost, ORIGIN);
    CHECK(nlohmann::json::parse(lostText.begin(), lostText.end())["no_contact_since"] ==
          "2027-01-14T08:00:00Z");
    CHECK(alertTitle(lost) == "Kopiavakt: ingen kontakt med servern");
}

TEST_CASE("the Slack body and the text tell the same facts in Swedish") {
    const WipingString slack = slackBody(message(), ORIGIN);
    const auto body = nlohmann::json::parse(slack.begin(), slack.end());
    REQUIRE(body.size() == 1);
    const std::string text = body["text"];
    CHECK(text.rfind("Kopiavakt: säkerhetskopior behöver åtgärdas\n\n", 0) == 0);

    const WipingString plain = alertText(message(), ORIGIN);
    CHECK(text.find(std::string(plain.begin(), plain.end())) != std::string::npos);
    for (const char* fact : {"1 konto har en föråldrad kopia, 1 kunde inte läsas\n",
                             "Konton som behöver åtgärdas: 2\n",
                             " (300): föråldrad, tidigare aktuell. Senaste kopia 2027-01-05 "
                             "07:59 UTC, 10 dagar gammal. Tid för varning 3 dagar.\n",
                             "Cesar (12): kunde inte läsas. Tid för varning 3 dagar.\n",
                             "Dator: KONTOR-PC, användare: anna, Kopiavakt 1.0.0.\n",
                             "Meddelande-id: 0000abcd-0123456789abcdef\n"}) {
        CAPTURE(fact);
        CHECK(plain.find(fact) != WipingString::npos);
    }
}

} // namespace kpv
