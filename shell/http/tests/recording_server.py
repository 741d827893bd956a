#!/usr/bin/env python3
"""A small HTTP server on 127.0.0.1 that records every request, for the upload tests.

    recording_server.py start STATE_DIR   starts the server in the background; STATE_DIR/port
                                          holds its port once it listens
    recording_server.py stop STATE_DIR    stops it

Each request is recorded under STATE_DIR/requests/<first path segment>/ as <n>.head (request
line and headers), <n>.body (the exact body bytes) and, for a multipart upload, <n>.file (the
file part) and <n>.name (its file name); n counts from 0 per folder. A test uses a first
segment of its own and reads its requests back from there.

The query string chooses the answer:
    status=N          status code (200)
    location=URL      a Location header (for a redirect status)
    reply=TEXT        body text; default "stored:<file name>" for an upload, else "ok"
    size=N            a body of N bytes: numbered lines "%07d\n"
    chunk=N,pause=MS  send the body in pieces of N bytes with a pause between them
    chunked=1         send the body with chunked transfer encoding (chunks of `chunk` bytes,
                      4096 by default) instead of a Content-Length
    cut=N             send only the first N bytes of the body, then close the connection (with
                      chunked=1: inside the chunk that holds byte N, without the last chunk)
    delay=MS          wait before answering
    delay_file=TEXT   ... only for an upload whose file name contains TEXT
    fail_file=TEXT    answer 500 "rejected" to an upload whose file name contains TEXT
    close=1           read the request, then close the connection without an answer
    hang=S            read the request, then keep silent for S seconds (at most 60), then close

The server ends by itself after one hour.
"""

import os
import shutil
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                                "tests", "support"))
import background_server  # noqa: E402

MAX_LIFETIME_S = 3600
BOUNDARY = b"----WebKitFormBoundaryl6TGOBASIHwzq0uj"


def file_part(body):
    """Returns (name, bytes) of the first part with a filename, or None."""
    marker = b'filename="'
    start = body.find(marker)
    if start < 0:
        return None
    name_end = body.find(b'"', start + len(marker))
    name = body[start + len(marker):name_end]
    data_start = body.find(b"\r\n\r\n", name_end)
    if data_start < 0:
        return None
    data_start += 4
    data_end = body.find(b"\r\n--" + BOUNDARY, data_start)
    if data_end < 0:
        data_end = len(body)
    return name, body[data_start:data_end]


class Recorder:
    def __init__(self, root):
        self.root = root
        self.lock = threading.Lock()
        self.counts = {}

    def record(self, segment, head, body):
        folder = os.path.join(self.root, segment or "_")
        with self.lock:
            os.makedirs(folder, exist_ok=True)
            n = self.counts.get(folder, 0)
            self.counts[folder] = n + 1
        part = file_part(body)
        base = os.path.join(folder, str(n))
        if part is not None:
            with open(base + ".file", "wb") as f:
                f.write(part[1])
            with open(base + ".name", "wb") as f:
                f.write(part[0])
        with open(base + ".body", "wb") as f:
            f.write(body)
        # The head is written last: a test that sees it finds the whole record.
        with open(base + ".head.tmp", "wb") as f:
            f.write(head)
        os.replace(base + ".head.tmp", base + ".head")
        return part


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        self.handle_any()

    def do_POST(self):
        self.handle_any()

    def handle_any(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        if url.path == "/__stop":
            self.answer(200, b"bye")
            threading.Thread(target=self.server.shutdown, daemon=True).start()
            return
        length = int(self.headers.get("Content-Length", "0") or "0")
        body = self.rfile.read(length) if length > 0 else b""
        segment = url.path.lstrip("/").split("/", 1)[0]
        head = (self.requestline + "\r\n" + str(self.headers)).encode("latin-1")
        part = self.server.recorder.record(segment, head, body)

        name = part[0].decode("latin-1") if part is not None else ""
        if "delay" in query and query.get("delay_file", "") in name:
            time.sleep(int(query["delay"]) / 1000.0)
        if query.get("fail_file") and query["fail_file"] in name:
            self.answer(500, b"rejected")
            return
        if query.get("close") == "1":
            self.close_connection = True
            return
        if "hang" in query:
            time.sleep(min(int(query["hang"]), 60))
            self.close_connection = True
            return

        if "size" in query:
            n = int(query["size"])
            text = b"".join(b"%07d\n" % i for i in range(n // 8 + 1))[:n]
        elif "reply" in query:
            text = query["reply"].encode("utf-8")
        elif part is not None:
            text = b"stored:" + part[0]
        else:
            text = b"ok"
        status = int(query.get("status", "200"))
        chunk = int(query.get("chunk", "0"))
        pause_ms = int(query.get("pause", "0"))
        cut = int(query["cut"]) if "cut" in query else None
        if query.get("chunked") == "1":
            self.answer_chunked(status, text, chunk or 4096, cut)
        else:
            self.answer(status, text, chunk, pause_ms, cut, query.get("location"))

    def answer(self, status, text, chunk=0, pause_ms=0, cut=None, location=None):
        self.send_response(status)
        if location is not None:
            self.send_header("Location", location)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(text)))
        self.end_headers()
        if cut is not None:
            text = text[:cut]
            self.close_connection = True
        if chunk <= 0:
            self.wfile.write(text)
            return
        for i in range(0, len(text), chunk):
            self.wfile.write(text[i:i + chunk])
            self.wfile.flush()
            time.sleep(pause_ms / 1000.0)

    def answer_chunked(self, status, text, chunk, cut=None):
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        for i in range(0, len(text), chunk):
            piece = text[i:i + chunk]
            if cut is not None and i + len(piece) > cut:
                # The chunk announces its whole size, but the connection ends inside it.
                self.wfile.write(b"%x\r\n" % len(piece) + piece[:max(cut - i, 0)])
                break
            self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
        if cut is None or cut >= len(text):
            self.wfile.write(b"0\r\n\r\n")
        if cut is not None:
            self.close_connection = True
        self.wfile.flush()


def serve(state_dir):
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.recorder = Recorder(os.path.join(state_dir, "requests"))
    threading.Timer(MAX_LIFETIME_S, server.shutdown).start()
    background_server.publish(state_dir, server.server_address[1])
    server.serve_forever()
    os._exit(0)


def start(state_dir):
    background_server.stop(state_dir)
    # Requests of an earlier run go: segment names carry process ids, which a new run reuses.
    shutil.rmtree(os.path.join(state_dir, "requests"), ignore_errors=True)
    os.makedirs(state_dir, exist_ok=True)
    for name in ("port", "pid"):
        try:
            os.remove(os.path.join(state_dir, name))
        except FileNotFoundError:
            pass
    return background_server.launch(__file__, state_dir, "recording server")


if __name__ == "__main__":
    background_server.run(serve, start)
