#!/usr/bin/python3
"""Runs a transport test program beside a TLS peer on 127.0.0.1 whose certificate is
self-signed (for localhost and 127.0.0.1), made afresh for the run: a client that verifies
certificates must refuse it. The peer's port goes to the program in KPV_TLS_PORT. Should a
client accept the certificate, the peer answers as a web server (HTTP 200) or a mail server
(a 220 greeting) would, so that the test sees the connection succeed and fails. Each
connection adds a line to the file named in KPV_TLS_LOG: "handshake" once the TLS handshake is
complete, then "data" if the client sent anything through it; a client that refuses the
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
                    "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1",
                    "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return key, cert


def note(log, event):
    with open(log, "a", encoding="ascii") as file:
        file.write(event + "\n")


def serve(listener, context, log):
    while True:
        try:
            connection, _ = listener.accept()
        except OSError:
            return
        with connection:
            connection.settimeout(10)
            try:
                with context.wrap_socket(connection, server_side=True) as tls:
                    note(log, "handshake")
                    tls.settimeout(1)
                    try:
                        asked = tls.recv(4096)
                    except socket.timeout:
                        asked = b""
                    if asked:
                        note(log, "data")
                        tls.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n"
                                    b"Connection: close\r\n\r\n")
                    else:
                        tls.sendall(b"220 localhost ESMTP\r\n")
                        tls.settimeout(5)
                        if tls.recv(4096):
                            note(log, "data")
            except (OSError, ssl.SSLError) as refused:  # as a verifying client should
                if os.environ.get("KPV_TLS_PEER_VERBOSE"):
                    print("tls peer:", refused, file=sys.stderr)


def main(command):
    with tempfile.TemporaryDirectory() as folder:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*reversed(make_certificate(folder)))
        listener = socket.create_server(("127.0.0.1", 0))
        log = os.path.join(folder, "tls.log")
        open(log, "w", encoding="ascii").close()
        threading.Thread(target=serve, args=(listener, context, log), daemon=True).start()
        environment = dict(os.environ, KPV_TLS_PORT=str(listener.getsockname()[1]),
                           KPV_TLS_LOG=log)
        result = subprocess.run(command, env=environment, check=False)
        listener.close()
        return result.returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
