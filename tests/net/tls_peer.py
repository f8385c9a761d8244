#!/usr/bin/python3
"""Runs a transport test program beside two TLS peers on 127.0.0.1 whose certificate is
self-signed (for the name localhost only) and made afresh for the run:

- KPV_TLS_PORT: TLS from the start. Should a client accept the certificate, the peer answers as
  a web server (HTTP 200) or a mail server (a 220 greeting) would, so that the test sees the
  connection succeed and fails.
- KPV_STARTTLS_PORT: a mail server's greeting in the clear, then TLS after "STARTTLS", and
  inside it an answer to whatever the client says.

Each connection adds lines to the file named in KPV_TLS_LOG: "handshake" once a TLS handshake
is complete, then "data" if the client sent anything through it. A client that refuses the
certificate completes the handshake and sends nothing, which tells its refusal from TLS that
does not work at all."""
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading


def make_certificate(folder):
    key, cert = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:P-256", "-nodes", "-days", "2", "-subj", "/CN=localhost",
                    "-addext", "subjectAltName=DNS:localhost",
                    "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return key, cert


def note(log, event):
    with open(log, "a", encoding="ascii") as file:
        file.write(event + "\n")


def implicit_tls(tls, log):
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


def serve(listener, handler, context, log):
    while True:
        try:
            connection, _ = listener.accept()
        except OSError:
            return
        with connection:
            connection.settimeout(10)
            try:
                if handler is implicit_tls:
                    with context.wrap_socket(connection, server_side=True) as tls:
                        note(log, "handshake")
                        implicit_tls(tls, log)
                else:
                    handler(connection, context, log)
            except (OSError, ssl.SSLError) as refused:  # as a verifying client should
                if os.environ.get("KPV_TLS_PEER_VERBOSE"):
                    print("tls peer:", refused, file=sys.stderr)


def main(command):
    with tempfile.TemporaryDirectory() as folder:
        key, cert = make_certificate(folder)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        log = os.path.join(folder, "tls.log")
        open(log, "w", encoding="ascii").close()
        environment = dict(os.environ, KPV_TLS_LOG=log)
        listeners = []
        for name, handler in (("KPV_TLS_PORT", implicit_tls), ("KPV_STARTTLS_PORT", start_tls)):
            listener = socket.create_server(("127.0.0.1", 0))
            listeners.append(listener)
            environment[name] = str(listener.getsockname()[1])
            threading.Thread(target=serve, args=(listener, handler, context, log),
                             daemon=True).start()
        result = subprocess.run(command, env=environment, check=False)
        for listener in listeners:
            listener.close()
        return result.returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
