#!/usr/bin/env python3
"""The recording HTTP server (shell/http/tests/recording_server.py) over TLS on 127.0.0.1, for
the invitation link tests.

    tls_recording_server.py start STATE_DIR   makes two self-signed certificates for 127.0.0.1,
                                              cert.pem and untrusted.pem, and starts the server
                                              in the background: STATE_DIR/port shows
                                              cert.pem (a test trusts it), STATE_DIR/untrusted_port
                                              shows untrusted.pem (nobody trusts it)
    tls_recording_server.py stop STATE_DIR    stops it

Both ports answer as the recording server does (its query options: status, location, delay,
hang, ...) and record their requests under STATE_DIR/requests/<first path segment>/. The server
ends by itself after one hour.
"""

import os
import shutil
import ssl
import subprocess
import sys
import threading
from http.server import ThreadingHTTPServer

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "tests", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "http", "tests"))
import background_server  # noqa: E402
import recording_server  # noqa: E402


def make_server(state_dir, recorder, name):
    server = ThreadingHTTPServer(("127.0.0.1", 0), recording_server.Handler)
    server.daemon_threads = True
    server.recorder = recorder
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(state_dir, name + ".pem"),
                            os.path.join(state_dir, name + "_key.pem"))
    server.socket = context.wrap_socket(server.socket, server_side=True)
    return server


def serve(state_dir):
    recorder = recording_server.Recorder(os.path.join(state_dir, "requests"))
    server = make_server(state_dir, recorder, "cert")
    untrusted = make_server(state_dir, recorder, "untrusted")
    threading.Thread(target=untrusted.serve_forever, daemon=True).start()
    threading.Timer(recording_server.MAX_LIFETIME_S, server.shutdown).start()
    with open(os.path.join(state_dir, "untrusted_port"), "w") as f:
        f.write(str(untrusted.server_address[1]))
    background_server.publish(state_dir, server.server_address[1])
    server.serve_forever()
    os._exit(0)


def start(state_dir):
    background_server.stop(state_dir)
    shutil.rmtree(os.path.join(state_dir, "requests"), ignore_errors=True)
    os.makedirs(state_dir, exist_ok=True)
    for name in ("port", "untrusted_port", "pid"):
        try:
            os.remove(os.path.join(state_dir, name))
        except FileNotFoundError:
            pass
    for name, subject in (("cert", "/O=Tarvo Invitation Test/CN=127.0.0.1"),
                          ("untrusted", "/O=Nobody/CN=127.0.0.1")):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", subject, "-addext", "subjectAltName=IP:127.0.0.1,DNS:127.0.0.1",
                        "-addext", "basicConstraints=critical,CA:TRUE",
                        "-keyout", os.path.join(state_dir, name + "_key.pem"),
                        "-out", os.path.join(state_dir, name + ".pem")],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return background_server.launch(__file__, state_dir, "TLS recording server")


if __name__ == "__main__":
    background_server.run(serve, start)
