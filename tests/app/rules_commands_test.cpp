#include "app/rules_commands.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

#include <string>

using namespace kpv;

TEST_CASE("the rules dialog's form: shown, checked, stored with the pause kept") {
    test::TempFolder folder;
    RulesForm form = rulesFormFor(7, 0);
    CHECK_FALSE(form.ownPeriod);
    CHECK(form.periodDays == 3); // the global default fills the field
    CHECK(rulesFormFor(7, 10).periodDays == 10);

    form.ownPeriod = true;
    for (const std::uint32_t bad : {0u, 61u}) {
        form.periodDays = bad;
        CHECK(std::string(storeRulesForm(7, form)) ==
              "Fel: Ange en egen varningstid på 1 till 60 dagar.");
    }
    form.periodDays = 14;
    form.sizeDropPercent = 100;
    CHECK(std::string(storeRulesForm(7, form)) ==
          "Fel: Ange gränserna i hela procent från 1 till 99.");
    CHECK(loadRules().empty()); // nothing stored after a refusal
    form.sizeRule = false;      // a switched-off rule's field is not checked, nor stored
    RowStatus shown;
    shown.opened = true;
    shown.lastCopyTime = 1700000000;
    REQUIRE(snoozeAccount(7, SnoozeChoice::UntilNewCopy, shown, 1800000000));
    CHECK(storeRulesForm(7, form) == nullptr);

    const AccountRules stored = loadRules().rulesOf(7);
    CHECK(stored.periodDays == 14);
    CHECK_FALSE(stored.sizeRule);
    CHECK(stored.sizeDropPercent == DEFAULT_DROP_PERCENT);
    CHECK(stored.snooze == SnoozeKind::UntilNewCopy);
    CHECK(stored.snoozeCopyTime == 1700000000);
    CHECK(rulesFormFor(7, 0).ownPeriod);
}

TEST_CASE("pauses for days end by the clock; an account gone from the list loses its rules") {
    test::TempFolder folder;
    const RowStatus none;
    REQUIRE(snoozeAccount(8, SnoozeChoice::ThreeDays, none, 1000));
    CHECK(loadRules().rulesOf(8).snooze == SnoozeKind::UntilTime);
    CHECK(loadRules().rulesOf(8).snoozeUntil == 1000 + 3 * 86400);
    REQUIRE(snoozeAccount(9, SnoozeChoice::SevenDays, none, 1000));
    REQUIRE(snoozeAccount(8, SnoozeChoice::End, none, 2000));
    CHECK(isDefault(loadRules().rulesOf(8)));

    dropRulesOutside(AccountIdList()); // a list that did not load forgets nothing
    CHECK(loadRules().size() == 1);
    AccountIdList others;
    others.append(8);
    dropRulesOutside(others);
    CHECK(loadRules().empty());
}
