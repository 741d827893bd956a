#!/usr/bin/env python3
"""An HTTPS update service on 127.0.0.1 for the settings window's update check tests.

    update_server.py start STATE_DIR   makes a certificate for 127.0.0.1 (STATE_DIR/cert.pem),
                                       starts the server in the background; STATE_DIR/port holds
                                       its port once it listens; STATE_DIR/untrusted_port is a
                                       second port that answers alike with another certificate
                                       (untrusted.pem), which the tests do not trust
    update_server.py stop STATE_DIR    stops it

The request path is fixed ("/?cmd=update"), so a test chooses the answer beforehand: the file
STATE_DIR/answer holds a JSON object {"status": 200, "body": "...", "delay_ms": 0} (these are
also the defaults). Every request is appended to STATE_DIR/requests as one JSON line
{"path": ..., "content_type": ..., "body": ...}. The server ends by itself after one hour.
"""

import json
import os
import ssl
import subprocess
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                                "tests", "support"))
import background_server  # noqa: E402

MAX_LIFETIME_S = 3600


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        self.handle_any()

    def do_POST(self):
        self.handle_any()

    def handle_any(self):
        length = int(self.headers.get("Content-Length", "0") or "0")
        body = self.rfile.read(length) if length > 0 else b""
        state = self.server.state_dir
        with self.server.lock:
            with open(os.path.join(state, "requests"), "a", encoding="utf-8") as f:
                f.write(json.dumps({"path": self.path,
                                    "content_type": self.headers.get("Content-Type", ""),
                                    "body": body.decode("utf-8", "replace")}) + "\n")
        answer = {"status": 200, "body": "", "delay_ms": 0}
        try:
            with open(os.path.join(state, "answer"), encoding="utf-8") as f:
                answer.update(json.load(f))
        except (FileNotFoundError, ValueError):
            pass
        time.sleep(answer["delay_ms"] / 1000.0)
        text = answer["body"].encode("utf-8")
        try:
            self.send_response(answer["status"])
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(text)))
            self.end_headers()
            self.wfile.write(text)
        except OSError:
            pass  # the client gave up


def make_server(state_dir, lock, name):
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.state_dir = state_dir
    server.lock = lock
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(state_dir, name + ".pem"),
                            os.path.join(state_dir, name + "_key.pem"))
    server.socket = context.wrap_socket(server.socket, server_side=True)
    return server


def serve(state_dir):
    lock = threading.Lock()
    server = make_server(state_dir, lock, "cert")
    untrusted = make_server(state_dir, lock, "untrusted")
    threading.Thread(target=untrusted.serve_forever, daemon=True).start()
    threading.Timer(MAX_LIFETIME_S, server.shutdown).start()
    with open(os.path.join(state_dir, "untrusted_port"), "w") as f:
        f.write(str(untrusted.server_address[1]))
    background_server.publish(state_dir, server.server_address[1])
    server.serve_forever()
    os._exit(0)


def start(state_dir):
    background_server.stop(state_dir)
    os.makedirs(state_dir, exist_ok=True)
    for name in ("port", "untrusted_port", "pid", "requests", "answer"):
        try:
            os.remove(os.path.join(state_dir, name))
        except FileNotFoundError:
            pass
    for name, subject in (("cert", "/O=Tarvo Test/CN=127.0.0.1"),
                          ("untrusted", "/O=Nobody/CN=127.0.0.1")):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", subject, "-addext", "subjectAltName=IP:127.0.0.1,DNS:127.0.0.1",
                        "-addext", "basicConstraints=critical,CA:TRUE",
                        "-keyout", os.path.join(state_dir, name + "_key.pem"),
                        "-out", os.path.join(state_dir, name + ".pem")],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return background_server.launch(__file__, state_dir, "update server")


if __name__ == "__main__":
    background_server.run(serve, start)
