"""The alerts of the real client, configured by policy values as an administrator would: a
webhook, a dead-man's ping and mail reach receivers on loopback once per change, wait while a
receiver is down (also across a restart), and never hold up the window."""

import time

import pytest

import resource_ids as ids
from alert_receivers import MailSink, SilentReceiver, WebhookReceiver
from win32_constants import NIN_BALLOONUSERCLICK
from wine_harness import wait_until

POLICY_KEY = "HKCU\\Software\\Policies\\Kopiavakt"


def set_policy(gui, name, value):
    kind = "REG_DWORD" if isinstance(value, int) else "REG_SZ"
    result = gui.case.run("reg", "add", POLICY_KEY, "/v", name, "/t", kind, "/d", value, "/f",
                          name="reg")
    assert result.rc == 0, f"reg add {name}"


def timer_update(gui, expect_warning):
    """One timer update; the outdated warning that follows it is closed."""
    requests = gui.server.requests()
    gui.must("timer")
    gui.server.wait_for_requests(requests + 1, 60)
    if expect_warning:
        gui.must("msgbox", "--press", "ok")
    gui.must("settle")


def test_webhook_mail_and_ping_once_per_change(gui):
    """An account that goes stale on a timer update makes one message on the webhook and one
    mail, none on the next tick, one "recovered" when it is fresh again; the ping goes only
    after updates in which all is well."""
    receiver = WebhookReceiver()
    receiver.start()
    sink = MailSink()
    try:
        set_policy(gui, "WebhookUrl", receiver.url("/hook"))
        set_policy(gui, "PingUrl", receiver.url("/ping"))
        set_policy(gui, "MailServer", "127.0.0.1")
        set_policy(gui, "MailPort", sink.port)
        set_policy(gui, "MailSecurity", "none")
        set_policy(gui, "MailFrom", "kopiavakt@example.org")
        set_policy(gui, "MailTo", "anna@example.org; it@example.org")
        gui.keytool.account("--id", 7, "--name", "Färsk", "--age", 3600)
        gui.keytool.account("--id", 300, "--name", "Bertil", "--age", 3600)
        gui.keytool.user_list(gui.work_folder / "account_list.bin")
        gui.server.start()
        gui.client.start()
        gui.client_ready(2)

        # The first start finds all well: a ping, no message.
        wait_until(lambda: receiver.pings() == 1, 30, "the first ping")
        assert receiver.posts() == [], "messages with all well"

        gui.keytool.account("--id", 300, "--keep-secret", "--age", 864000)
        timer_update(gui, expect_warning=True)
        wait_until(lambda: len(receiver.posts()) == 1, 30, "the message of the stale account")
        wait_until(lambda: len(sink.messages) == 1, 30, "the mail of the stale account")
        stale = receiver.posts()[0]
        assert stale["event"] == "attention"
        assert stale["needing_attention"] == 1
        assert stale["summary"] == "1 konto har en föråldrad kopia"
        assert stale["no_contact_since"] is None
        assert [(a["id"], a["name"], a["state"], a["previous_state"], a["age_days"])
                for a in stale["accounts"]] == [(300, "Bertil", "outdated", "ok", 10)]
        mail_from, mail_to, mail = sink.messages[0]
        assert (mail_from, mail_to) == ("kopiavakt@example.org",
                                        ["anna@example.org", "it@example.org"])
        assert b"Subject: =?UTF-8?B?" in mail and b"Bertil (300): f\xc3\xb6r\xc3\xa5ldrad" in mail

        # The balloon's click opens the window.
        gui.must("close")
        gui.must("wait-hidden")
        gui.must("tray", NIN_BALLOONUSERCLICK)
        gui.must("wait-visible")

        # The next tick changes nothing: no message, no ping.
        timer_update(gui, expect_warning=True)
        time.sleep(3)
        assert len(receiver.posts()) == 1 and len(sink.messages) == 1, "messages on the next tick"
        assert receiver.pings() == 1, "pings while an account is stale"

        gui.keytool.account("--id", 300, "--keep-secret", "--age", 60)
        timer_update(gui, expect_warning=False)
        wait_until(lambda: len(receiver.posts()) == 2, 30, "the recovery message")
        wait_until(lambda: len(sink.messages) == 2, 30, "the recovery mail")
        recovered = receiver.posts()[1]
        assert recovered["event"] == "recovered"
        assert recovered["needing_attention"] == 0
        assert [(a["id"], a["state"], a["previous_state"]) for a in recovered["accounts"]] == \
            [(300, "ok", "outdated")]
        assert recovered["id"] != stale["id"]
        wait_until(lambda: receiver.pings() == 2, 30, "the ping after the recovery")
        gui.exit_client()
    finally:
        receiver.stop()
        sink.stop()


def test_message_waits_for_receiver_across_restart(gui):
    """A receiver that is down gets the message once it is back, after a restart of the client
    too, and the restart repeats nothing."""
    receiver = WebhookReceiver()
    set_policy(gui, "WebhookUrl", receiver.url("/hook"))
    gui.keytool.account("--id", 300, "--name", "Bertil", "--age", 864000)
    gui.keytool.user_list(gui.work_folder / "account_list.bin")
    gui.server.start()
    gui.client.start()
    gui.client_ready(1)
    # The first start reports what already needs attention; the receiver is down.
    gui.must("tray-tip", "--expect",
             "Kopiavakt\\n1 konto har en föråldrad kopia (avisering ej skickad)",
             "--timeout", 30000)
    assert (gui.work_folder / "outbox.bin").exists(), "outbox.bin"
    assert (gui.work_folder / "alert_state.bin").exists(), "alert_state.bin"
    gui.exit_client()

    receiver.start()
    try:
        gui.client.start()
        gui.client_ready(1)
        # The entry is due a minute after its failure.
        wait_until(lambda: len(receiver.posts()) >= 1, 120, "the message after the restart")
        gui.must("tray-tip", "--expect", "Kopiavakt\\n1 konto har en föråldrad kopia",
                 "--timeout", 30000)
        time.sleep(2)
        posts = receiver.posts()
        assert len(posts) == 1, "messages after the restart"
        assert posts[0]["event"] == "attention" and posts[0]["accounts"][0]["id"] == 300
        gui.exit_client()
    finally:
        receiver.stop()


def test_hanging_receiver_never_holds_up_the_window(gui):
    """With a receiver that accepts and never answers, the window answers WM_NULL within a
    second while the delivery waits, its updates go on, and it ends at once."""
    silent = SilentReceiver()
    try:
        set_policy(gui, "WebhookUrl", silent.url("/hook"))
        set_policy(gui, "PingUrl", silent.url("/ping"))
        gui.keytool.account("--id", 300, "--name", "Bertil", "--age", 864000)
        gui.keytool.user_list(gui.work_folder / "account_list.bin")
        gui.server.start()
        gui.client.start()
        gui.client_ready(1)
        wait_until(lambda: len(silent.accepted) >= 1, 30, "the delivery's connection")
        for _ in range(3):
            gui.must("settle", "--timeout", 1000)
        timer_update(gui, expect_warning=True)
        gui.must("settle", "--timeout", 1000)
        gui.exit_client()
    finally:
        silent.stop()


def test_alerts_dialog(gui):
    """With nothing configured no alert file appears; "Aviseringar..." (IDM_ALERTS) opens the
    dialog, whose "Skicka test" reports each channel; "OK" turns the alerts on; a policy value
    shows greyed while a bad one is named and ignored."""
    receiver = WebhookReceiver()
    receiver.start()
    try:
        gui.keytool.account("--id", 7, "--name", "Färsk", "--age", 3600)
        gui.keytool.user_list(gui.work_folder / "account_list.bin")
        gui.server.start()
        gui.client.start()
        gui.client_ready(1)
        timer_update(gui, expect_warning=False)
        for name in ("alerts.bin", "alert_state.bin", "outbox.bin"):
            assert not (gui.work_folder / name).exists(), f"{name} with nothing configured"

        gui.must("command", ids.IDM_ALERTS)
        fields = gui.must("alerts", "--set", f"{ids.IDC_ALERT_WEBHOOK_URL}={receiver.url('/hook')}",
                          "--set", f"{ids.IDC_ALERT_PING_URL}={receiver.url('/ping')}", "--test",
                          "--ok", "--timeout", 60000).lines()
        assert fields[0] == "Aviseringar", "caption"
        result = next(line for line in fields
                      if line.startswith(f"{ids.IDC_ALERT_TEST_RESULT}\t"))
        assert "Webhook: levererad (204" in result and "Ping: levererad (200" in result, result
        assert [post["event"] for post in receiver.posts()] == ["test"]
        assert (gui.work_folder / "alerts.bin").exists(), "alerts.bin after OK"

        pings = receiver.pings()
        timer_update(gui, expect_warning=False)
        wait_until(lambda: receiver.pings() == pings + 1, 30, "the ping of the saved settings")
        assert len(receiver.posts()) == 1, "messages with all well"

        set_policy(gui, "WebhookFormat", "slack")
        set_policy(gui, "MailPort", 0)
        gui.must("command", ids.IDM_ALERTS)
        fields = gui.must("alerts", "--cancel").lines()
        assert f"{ids.IDC_ALERT_WEBHOOK_URL}\tenabled\t{receiver.url('/hook')}" in fields, \
            "the user's webhook"
        assert f"{ids.IDC_ALERT_WEBHOOK_FORMAT}\tdisabled\tSlack" in fields, \
            "the policy's format, greyed"
        assert f"{ids.IDC_ALERT_MAIL_PORT}\tenabled\t" in fields, \
            "the port, whose policy value is unusable"
        problems = next(line for line in fields if line.startswith(f"{ids.IDC_ALERT_PROBLEMS}\t"))
        assert 'MailPort: ogiltigt värde "0", används inte.' in problems, problems
        assert "Gråa fält är inställda av administratören." in problems, problems
        gui.exit_client()
    finally:
        receiver.stop()
