"""Receivers for the alert tests, all on loopback: a webhook and ping receiver (http.server)
that can be down, answer, or accept and never answer; and an SMTP sink (aiosmtpd)."""

import json
import socket
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class WebhookReceiver:
    """Records every request: (method, path, headers, body). Started and stopped at will on one
    port, so that a client sees the same URL go down and come back."""

    def __init__(self, port=None):
        self.port = port or free_port()
        self.requests = []
        self.lock = threading.Lock()
        self.server = None

    def url(self, path):
        return f"http://127.0.0.1:{self.port}{path}"

    def start(self):
        receiver = self

        class Handler(BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def record(self):
                length = int(self.headers.get("Content-Length", 0))
                body = self.rfile.read(length) if length else b""
                with receiver.lock:
                    receiver.requests.append((self.command, self.path, dict(self.headers), body))
                self.send_response(204 if self.command == "POST" else 200)
                self.send_header("Content-Length", "0")
                self.end_headers()

            do_GET = record
            do_POST = record

        self.server = ThreadingHTTPServer(("127.0.0.1", self.port), Handler)
        self.server.allow_reuse_address = True
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def stop(self):
        if self.server is not None:
            self.server.shutdown()
            self.server.server_close()
            self.server = None

    def posts(self):
        """The JSON bodies posted so far."""
        with self.lock:
            return [json.loads(body) for method, _, _, body in self.requests if method == "POST"]

    def pings(self):
        with self.lock:
            return sum(1 for method, path, _, _ in self.requests
                       if method == "GET" and path == "/ping")


class SilentReceiver:
    """Accepts every connection and never answers: the receiver that hangs."""

    def __init__(self):
        self.port = free_port()
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", self.port))
        self.listener.listen(16)
        self.accepted = []
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            self.accepted.append(connection)

    def url(self, path):
        return f"http://127.0.0.1:{self.port}{path}"

    def stop(self):
        self.listener.close()
        for connection in self.accepted:
            connection.close()


class MailSink:
    """An SMTP server without TLS on loopback that keeps every message it is given."""

    def __init__(self):
        from aiosmtpd.controller import Controller

        sink = self
        self.messages = []

        class Handler:
            async def handle_DATA(self, server, session, envelope):
                sink.messages.append((envelope.mail_from, list(envelope.rcpt_tos),
                                      envelope.content))
                return "250 OK"

        self.port = free_port()
        self.controller = Controller(Handler(), hostname="127.0.0.1", port=self.port)
        self.controller.start()

    def stop(self):
        self.controller.stop()
