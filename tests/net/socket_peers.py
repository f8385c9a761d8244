#!/usr/bin/python3
"""Runs a test program beside the real peers of the client's sockets, all on 127.0.0.1, and
gives it their ports in environment variables. Usage: socket_peers.py [--server KPV_SERVER]
-- COMMAND...

With --server, the reference server kpv-server (a Linux program, reached from Wine too) runs
twice, on an accounts file made for the run:

- KPV_SERVER_PORT: accounts 1 (plain), 2 (chunked: 4-byte pieces 60 ms apart), 3 (no-answer)
  and 4 (truncate), none with a status, so each is answered with an entry of zeros.
- KPV_NEVER_READ_PORT: kpv-server --never-read, which never reads what it is sent.

Peers of the alert transports, in the clear:

- KPV_MAIL_PORT: a mail server that sends its greeting in two pieces, the second ending in a
  bare CR, reads one line, then answers with lines ending in CRLF, LF and nothing, one of
  4096 bytes and one of 5000 without an end.
- KPV_SILENT_PORT: reads up to the end of a request's headers and never answers.
- KPV_CLOSING_PORT: sends "220 x" and closes.
- KPV_INJECTING_PORT: sends a STARTTLS go-ahead with another line behind it in the clear.
- KPV_HTTP_PORT: reads one request (headers and a Content-Length body) and answers with the
  status named by the first segment of its path: /204/... gets "204 No Content", /404/... "404
  Not Found", /503/... "503 Try Later".

And two TLS peers whose certificate is self-signed (for the name localhost only) and made
afresh for the run:

- KPV_TLS_PORT: TLS from the start. Should a client accept the certificate, the peer answers as
  a web server (HTTP 200) or a mail server (a 220 greeting) would, so that the test sees the
  connection succeed and fails.
- KPV_STARTTLS_PORT: a mail server's greeting in the clear, then TLS after "STARTTLS", and
  inside it an answer to whatever the client says.

Every peer adds lines to the file named in KPV_PEER_LOG. The TLS peers write "handshake" once a
handshake is complete, then "data" if the client sent anything through it: a client that
refuses the certificate completes the handshake and sends nothing, which tells its refusal from
TLS that does not work at all. The peers in the clear write "mail HEX", "silent HEX" and "http
HEX" with what they read, and "http-connected" for every connection."""
import json
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

# Any key will do: no account of the run has a status to seal.
KEY = "00" * 32
ACCOUNTS = [{"id": 1, "key": KEY},
            {"id": 2, "key": KEY, "faults": ["chunked"]},
            {"id": 3, "key": KEY, "faults": ["no-answer"]},
            {"id": 4, "key": KEY, "faults": ["truncate"]}]
HTTP_STATUS = {"204": b"204 No Content", "404": b"404 Not Found", "503": b"503 Try Later"}


def make_certificate(folder):
    key, cert = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:P-256", "-nodes", "-days", "2", "-subj", "/CN=localhost",
                    "-addext", "subjectAltName=DNS:localhost",
                    "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return key, cert


LOG_LOCK = threading.Lock()


def note(log, event):
    with LOG_LOCK, open(log, "a", encoding="ascii") as file:
        file.write(event + "\n")


def receive_through(connection, marker, extra=0, got=b""):
    """`got` and what arrives until `marker` and `extra` more bytes; less when the client
    stops first."""
    while marker not in got or len(got) < got.index(marker) + len(marker) + extra:
        piece = connection.recv(4096)
        if not piece:
            break
        got += piece
    return got


def hold(connection):
    """Until the client closes (or 15 s pass)."""
    connection.settimeout(15)
    try:
        while connection.recv(4096):
            pass
    except OSError:
        pass


def implicit_tls(connection, context, log):
    with context.wrap_socket(connection, server_side=True) as tls:
        note(log, "handshake")
        tls.settimeout(1)
        try:
            asked = tls.recv(4096)
        except socket.timeout:
            asked = b""
        if asked:
            note(log, "data")
            tls.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        else:
            tls.sendall(b"220 localhost ESMTP\r\n")
            tls.settimeout(5)
            if tls.recv(4096):
                note(log, "data")


def start_tls(connection, context, log):
    connection.sendall(b"220 localhost ESMTP\r\n")
    if connection.makefile("rb").readline() != b"STARTTLS\r\n":
        return
    connection.sendall(b"220 go ahead\r\n")
    with context.wrap_socket(connection, server_side=True) as tls:
        note(log, "handshake")
        tls.sendall(b"250 localhost\r\n")
        if tls.recv(4096):
            note(log, "data")


def mail_lines(connection, _context, log):
    connection.sendall(b"22")
    time.sleep(0.05)
    connection.sendall(b"0 mail.example ESMTP\r")
    note(log, "mail " + receive_through(connection, b"\r\n").hex())
    connection.sendall("\n250-first\r\n250-\u00e5\r\n250 bare end\n\r\n".encode())
    connection.sendall(b"a" * 4096 + b"\r\n" + b"b" * 5000)
    hold(connection)


def silent(connection, _context, log):
    asked = receive_through(connection, b"\r\n\r\n")
    if asked:
        note(log, "silent " + asked.hex())
    hold(connection)


def closing(connection, _context, _log):
    connection.sendall(b"220 x")


def injecting(connection, _context, _log):
    connection.sendall(b"220 go ahead\r\n250 AUTH PLAIN\r\n")
    hold(connection)


def http(connection, _context, log):
    note(log, "http-connected")
    asked = receive_through(connection, b"\r\n\r\n")
    length = 0
    for line in asked.split(b"\r\n\r\n", 1)[0].lower().split(b"\r\n"):
        if line.startswith(b"content-length:"):
            length = int(line.split(b":", 1)[1])
    asked = receive_through(connection, b"\r\n\r\n", length, asked)
    note(log, "http " + asked.hex())
    segments = (asked.split(b" ") + [b""])[1].split(b"/") + [b""]
    status = HTTP_STATUS.get(segments[1].decode(errors="replace"), b"400 Bad Request")
    connection.sendall(b"HTTP/1.1 " + status +
                       b"\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")


def serve(listener, handler, context, log):
    while True:
        try:
            connection, _ = listener.accept()
        except OSError:
            return
        threading.Thread(target=serve_one, args=(connection, handler, context, log),
                         daemon=True).start()


def serve_one(connection, handler, context, log):
    with connection:
        connection.settimeout(10)
        try:
            handler(connection, context, log)
        except (OSError, ssl.SSLError) as refused:  # as a verifying client should
            if os.environ.get("KPV_PEER_VERBOSE"):
                print("peer:", refused, file=sys.stderr)


def start_server(program, arguments):
    """kpv-server on a free port: the process and its port, once it listens."""
    server = subprocess.Popen([program, "--port", "0", "--quiet"] + arguments,
                              stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    line = server.stdout.readline().decode()
    if not line.startswith("listening on 127.0.0.1:"):
        server.kill()
        raise SystemExit("socket_peers.py: kpv-server did not start: " + line)
    return server, line.strip().rsplit(":", 1)[1]


def main(arguments):
    server_program = None
    if arguments[:1] == ["--server"]:
        server_program, arguments = arguments[1], arguments[2:]
    if arguments[:1] == ["--"]:
        arguments = arguments[1:]
    with tempfile.TemporaryDirectory() as folder:
        key, cert = make_certificate(folder)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        log = os.path.join(folder, "peers.log")
        open(log, "w", encoding="ascii").close()
        environment = dict(os.environ, KPV_PEER_LOG=log)
        servers = []
        if server_program:
            accounts = os.path.join(folder, "accounts.json")
            with open(accounts, "w", encoding="ascii") as file:
                json.dump({"accounts": ACCOUNTS}, file)
            for name, options in (
                    ("KPV_SERVER_PORT", ["--chunk-bytes", "4", "--chunk-pause-ms", "60"]),
                    ("KPV_NEVER_READ_PORT", ["--never-read", "--idle-ms", "10000"])):
                server, port = start_server(server_program, ["--accounts", accounts] + options)
                servers.append(server)
                environment[name] = port
        listeners = []
        for name, handler in (("KPV_TLS_PORT", implicit_tls), ("KPV_STARTTLS_PORT", start_tls),
                              ("KPV_MAIL_PORT", mail_lines), ("KPV_SILENT_PORT", silent),
                              ("KPV_CLOSING_PORT", closing), ("KPV_INJECTING_PORT", injecting),
                              ("KPV_HTTP_PORT", http)):
            listener = socket.create_server(("127.0.0.1", 0))
            listeners.append(listener)
            environment[name] = str(listener.getsockname()[1])
            threading.Thread(target=serve, args=(listener, handler, context, log),
                             daemon=True).start()
        try:
            result = subprocess.run(arguments, env=environment, check=False)
        finally:
            for listener in listeners:
                listener.close()
            for server in servers:
                server.terminate()
                server.wait()
        return result.returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
