"""Two real clients on one machine, as two people would run them, for the meeting test:

    with Meeting(root, bin_dir, out_dir) as m:
        server = m.room_server()                    # room server serving the page at /cla/pc
        a = m.client("A")                           # TarvoLive.exe in a prefix and display of its own
        a.page.value("document.title")              # the page read through the engine's protocol
        a.click("#login-submit")                    # input through the client's window
        a.probe.command("blocks")                   # the client's stream blocks, read in its prefix

Each client has its own Wine prefix (a copy of the run's, with its own wineserver: the client's
instance mutex and its four stream blocks are named per wineserver), its own Xvfb display (input
and screen captures of one never reach the other), its own configuration (only the page address)
and a probe program (meeting_probe.exe) in its prefix that gives input and reads the blocks.
Leaving the block ends whatever is left: probes, clients, the server, the prefixes' wineservers
and the displays; the clients' logs and crash dumps are copied to the test's output first.
"""

import ctypes
import glob
import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import time
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "sdk", "interactive", "tests", "e2e"))
from wine_clients import Client as LineProgram, RoomServer  # noqa: E402
from devtools import PageReader  # noqa: E402


class Failed(Exception):
    pass


def wait(predicate, timeout=20.0, interval=0.2):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(interval)
    return False


def server_control(port, request, timeout=10.0):
    """One request on a control connection of the room server (platform/orvim/README.md)."""
    body = json.dumps({"op": "control", "request": request}).encode()
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(struct.pack("<IB", len(body) + 1, 1) + body)

        def exact(n):
            data = b""
            while len(data) < n:
                chunk = s.recv(n - len(data))
                if not chunk:
                    raise Failed("the room server closed the control connection")
                data += chunk
            return data

        length, kind = struct.unpack("<IB", exact(5))
        return json.loads(exact(length - 1).decode())


class Display:
    """An Xvfb server on a display number it chose itself (-displayfd: no race for a number)."""

    def __init__(self, log_path):
        read, write = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1920x1080x24",
                                      "-nolisten", "tcp"], pass_fds=(write,), stdin=subprocess.DEVNULL,
                                     stdout=open(log_path, "w"), stderr=subprocess.STDOUT)
        os.close(write)
        number = b""
        with os.fdopen(read, "rb") as r:
            while not number.endswith(b"\n"):
                chunk = r.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip().isdigit():
            self.stop()
            raise Failed("Xvfb did not start (see %s)" % log_path)
        self.name = ":" + number.strip().decode()

    def _xtest(self, actions):
        """Runs pointer actions through XTest on this display, as the mouse gives them: Wine
        refuses a program's own SetCursorPos while another program holds the pointer (as the
        client does while sharing). |actions|: ("move", x, y), ("press",), ("release",),
        ("pause", seconds)."""
        x11 = ctypes.CDLL("libX11.so.6")
        xtest = ctypes.CDLL("libXtst.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        xtest.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                               ctypes.c_ulong]
        xtest.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        display = x11.XOpenDisplay(self.name.encode())
        if not display:
            raise Failed("cannot open display %s" % self.name)
        try:
            for action in actions:
                if action[0] == "move":
                    xtest.XTestFakeMotionEvent(display, -1, action[1], action[2], 0)
                elif action[0] in ("press", "release"):
                    xtest.XTestFakeButtonEvent(display, 1, action[0] == "press", 0)
                x11.XFlush(display)
                time.sleep(action[1] if action[0] == "pause" else 0.02)
        finally:
            x11.XCloseDisplay(display)

    def move_pointer(self, x, y):
        self._xtest([("move", x, y)])

    def click(self, x, y):
        self._xtest([("move", x, y), ("pause", 0.05), ("press",), ("pause", 0.05), ("release",)])

    def drag(self, start, end, steps=8):
        """Presses at |start|, moves to |end| in |steps| moves and releases there."""
        moves = [("move", start[0] + (end[0] - start[0]) * i // steps,
                  start[1] + (end[1] - start[1]) * i // steps) for i in range(1, steps + 1)]
        self._xtest([("move", start[0], start[1]), ("pause", 0.05), ("press",), ("pause", 0.1)] + moves +
                    [("pause", 0.1), ("release",)])

    def pixel(self, x, y):
        """The colour (r, g, b) of the screen at (x, y)."""
        out = subprocess.run("xwd -root -silent -display %s | convert xwd:- -crop 1x1+%d+%d -depth 8 rgb:-"
                             % (self.name, x, y), shell=True, capture_output=True).stdout
        return tuple(out[:3]) if len(out) >= 3 else None

    def screenshot(self, path):
        subprocess.run("xwd -root -silent -display %s | convert xwd:- %s" % (self.name, path), shell=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()


class MeetingClient:
    """TarvoLive.exe with its prefix, display, probe and page reader."""

    def __init__(self, meeting, name):
        self.meeting = meeting
        self.name = name
        self.dir = os.path.join(meeting.out_dir, name)
        self.prefix = os.path.join(self.dir, "prefix")
        self.second_prefix = os.path.join(meeting.root, "scripts", "second-prefix")
        self.started = False
        self.display = self.probe = self.proc = self.page = self.log = None
        os.makedirs(self.dir, exist_ok=True)
        try:
            self._start()
        except BaseException:
            self.stop()
            raise

    def _start(self):
        self.display = Display(os.path.join(self.dir, "xvfb.log"))
        self.env = dict(os.environ, DISPLAY=self.display.name)
        print("%s: display %s, prefix %s" % (self.name, self.display.name, self.prefix), flush=True)
        subprocess.run([self.second_prefix, "start", self.prefix], check=True, env=self.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.started = True
        self._fresh_client_files()
        # The prefix's desktop process now, so that it does not inherit a program's output.
        self._wine(["rundll32.exe", "user32.dll,GetDesktopWindow"]).wait(timeout=60)
        probe = os.path.join(self.meeting.bin_dir, "meeting_probe.exe")
        self.probe = LineProgram(self.name + ".probe", self._run_argv(probe), self.env)
        if self.probe.wait_line(lambda l: l == "OK ready", 60.0) is None:
            raise Failed("%s: the probe did not start" % self.name)
        self.log = open(os.path.join(self.dir, "client.out"), "w")
        self.proc = self._wine([os.path.join(self.meeting.bin_dir, "TarvoLive.exe")], stdout=self.log)

    def _run_argv(self, program):
        return [self.second_prefix, "run", self.prefix, program]

    def _wine(self, argv, stdout=subprocess.DEVNULL):
        return subprocess.Popen(self._run_argv(argv[0]) + argv[1:], env=self.env, stdin=subprocess.DEVNULL,
                                stdout=stdout, stderr=subprocess.STDOUT)

    def _users_folder(self):
        for folder in glob.glob(os.path.join(self.prefix, "drive_c", "users", "*")):
            if os.path.basename(folder) != "Public" and os.path.isdir(os.path.join(folder, "AppData", "Roaming")):
                return folder
        raise Failed("%s: no user folder in the prefix" % self.name)

    def app_data(self):
        """The client's roaming application-data folder (configuration, logs, crash dump)."""
        return os.path.join(self._users_folder(), "AppData", "Roaming", "TarvoLive")

    def _fresh_client_files(self):
        """As on a fresh machine: no configuration but the page address, no logs, no engine profile."""
        shutil.rmtree(self.app_data(), ignore_errors=True)
        for temp in (("Temp",), ("AppData", "Local", "Temp")):
            for old in glob.glob(os.path.join(self._users_folder(), *temp, "TarvoLive-web-*")):
                shutil.rmtree(old, ignore_errors=True)
        os.makedirs(self.app_data())
        with open(os.path.join(self.app_data(), "config.ini"), "w", newline="") as f:
            f.write("[LiveConfig]\r\npageurl=%s\r\n" % self.meeting.page_url)

    def open_page(self, timeout=120.0):
        """Waits until the client's window shows its page, and connects the page reader."""
        self.page = PageReader.wait(self.prefix, "/cla/pc", timeout)
        if not wait(lambda: self.page_area() is not None, timeout):
            raise Failed("%s: the client's window does not show its page" % self.name)

    def page_area(self):
        """(left, top, width, height) of the page on the screen; None while the window shows none."""
        try:
            area = [int(v) for v in self.probe.command("page")]
        except RuntimeError:
            return None
        return area if area[2] > 1 and area[3] > 1 else None

    # ---- the page, as a person uses it ----

    def visible(self, selector):
        return bool(self.page.value(
            "(() => { const e = document.querySelector(%s); if (!e) return false;"
            " const r = e.getBoundingClientRect(); return r.width > 0 && r.height > 0 &&"
            " getComputedStyle(e).visibility !== 'hidden'; })()" % json.dumps(selector)))

    def centre(self, selector):
        """The element's centre in pixels of the page's window (scrolled into view first)."""
        at = self.page.value(
            "(() => { const e = document.querySelector(%s); if (!e) return null;"
            " e.scrollIntoView({block: 'center', inline: 'center'});"
            " const r = e.getBoundingClientRect(); if (r.width <= 0 || r.height <= 0) return null;"
            " const s = devicePixelRatio;"
            " return [Math.round((r.left + r.width / 2) * s), Math.round((r.top + r.height / 2) * s)]; })()"
            % json.dumps(selector))
        if at is None:
            raise Failed("%s: %s is not on the page" % (self.name, selector))
        return at

    def click(self, selector):
        # The client hides its page while it changes its look (a one-pixel window): a person
        # waits until the page is back.
        if not wait(lambda: self.page_area() is not None, 30.0):
            raise Failed("%s: the client's window does not show its page" % self.name)
        x, y = self.centre(selector)
        self.probe.command("click %d %d" % (x, y))

    def type_into(self, selector, text):
        """Clicks the field and types |text|; the field must then hold it."""
        self.click(selector)
        if not wait(lambda: self.page.value("document.activeElement === document.querySelector(%s)"
                                            % json.dumps(selector)), 10.0):
            raise Failed("%s: %s did not take the focus" % (self.name, selector))
        self.probe.command("type " + text)
        if not wait(lambda: self.page.value("document.querySelector(%s).value" % json.dumps(selector)) == text, 10.0):
            raise Failed("%s: %s holds %r, not %r" % (self.name, selector, self.page.value(
                "document.querySelector(%s).value" % json.dumps(selector)), text))

    def texts(self, selector):
        return self.page.value("[...document.querySelectorAll(%s)].map((e) => e.textContent)" % json.dumps(selector))

    def log_text(self):
        """Everything the client has written to its program log so far."""
        text = ""
        for path in sorted(glob.glob(os.path.join(self.app_data(), "Logs", "*.log"))):
            with open(path, encoding="utf-8", errors="replace") as f:
                text += f.read()
        return text

    def window(self, cls="CMainFrame"):
        """(left, top, width, height) of the visible window of class |cls|; None when there is none."""
        try:
            return [int(v) for v in self.probe.command("window 0 " + cls)]
        except RuntimeError:
            return None

    def device_test(self, keep_camera):
        """The device test the client shows at the start of a live, in front of its mask layer: the
        person waits until the test has opened the camera (the test window asks the SDK for the
        camera's stream, which locks the skip button until its result), then skips the rest.
        Without |keep_camera| the person then turns the camera off on the page, so that the
        room's live picture comes from another camera. Returns once the mask has gone (and the
        page shows the camera off)."""
        if not wait(lambda: self.window("CMaskLayerFrame") is not None, 30.0):
            raise Failed("%s: no device test after the join" % self.name)
        if not wait(lambda: "CAVTestFrame::OnCameraChosen" in self.log_text(), 30.0):
            raise Failed("%s: the device test did not open a camera" % self.name)

        def skip():
            mask = self.window("CMaskLayerFrame")
            if mask is None:
                return True
            left, top, width, height = mask
            # The skip button (110 x 36) is centred under the test window's 480-pixel row, 24
            # pixels below it; the three rows are centred in the mask (mask_lay_frame.xml).
            self.probe.command("at %d %d" % (left + width // 2, top + (height - 540) // 2 + 480 + 24 + 18))
            return wait(lambda: self.window("CMaskLayerFrame") is None, 1.0, 0.1)

        if not wait(skip, 30.0):
            shot = os.path.join(self.dir, "device-test.png")
            self.display.screenshot(shot)
            raise Failed("%s: the device test's skip button does not end the test (screenshot %s, mask at %s)"
                         % (self.name, shot, self.window("CMaskLayerFrame")))
        if keep_camera:
            return
        # The camera comes on once the test has ended; the page's camera button turns it off.
        if not wait(lambda: self.own_state()[0] == "on", 30.0):
            raise Failed("%s: the camera does not come on after the device test" % self.name)
        self.click("#camera-button")
        if not wait(lambda: self.own_state()[0] == "off", 30.0):
            raise Failed("%s: the page's camera button does not turn the camera off" % self.name)

    def own_state(self):
        """The page's own camera and microphone buttons: ("on"|"off", "on"|"off")."""
        return (self.page.value("document.getElementById('camera-button').dataset.state"),
                self.page.value("document.getElementById('mic-button').dataset.state"))

    def blocks(self):
        """{"live": (pictures, w, h, tag, counter, repeats, backwards), "mix": ..., "cast": ..., "camera": ...}"""
        out = {}
        for item in self.probe.command("blocks"):
            key, _, value = item.partition("=")
            pictures, size, mark, rep, back = value.split("/")
            w, h = size.split("x")
            tag, counter = mark[3:].split(":")
            out[key] = (int(pictures), int(w), int(h), int(tag), int(counter), int(rep[3:]), int(back[4:]))
        return out

    # ---- the end ----

    def running(self):
        return self.proc.poll() is None

    def archive(self):
        """Copies the client's logs, crash dump and engine log to its output folder."""
        try:
            folder = self.app_data()
        except Failed:
            return
        if os.path.isdir(os.path.join(folder, "Logs")):
            shutil.copytree(os.path.join(folder, "Logs"), os.path.join(self.dir, "logs"), dirs_exist_ok=True)
        for dump in glob.glob(os.path.join(folder, "*.dmp")):
            shutil.copy(dump, self.dir)

    def crash_dumps(self):
        return glob.glob(os.path.join(self.app_data(), "*.dmp"))

    def stop(self):
        if self.page:
            self.page.close()
        if self.probe:
            self.probe.quit(timeout=10.0)
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
        if self.started:
            self.archive()
            subprocess.run([self.second_prefix, "stop", self.prefix], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            self.started = False
        if self.display:
            self.display.stop()


class Meeting:
    """Owns the room server and the clients of one test; ends them all on exit."""

    def __init__(self, root, bin_dir, out_dir):
        self.root = root
        self.bin_dir = bin_dir
        self.out_dir = out_dir
        self.clients = []
        self.server = None
        self.page_url = None
        shutil.rmtree(out_dir, ignore_errors=True)
        os.makedirs(out_dir)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def room_server(self):
        exe = os.path.join(self.bin_dir, "orvim_room_server.exe")
        page_root = "--page-root=Z:" + os.path.join(self.root, "platform", "webapp")
        self.server = RoomServer("server", [os.path.join(self.root, "scripts", "wine-run"), exe, "0", page_root],
                                 dict(os.environ))
        self.page_url = "http://%s/cla/pc" % self.server.address
        return self.server

    def control(self, request):
        return server_control(self.server.port, request)

    def client(self, name):
        client = MeetingClient(self, name)
        self.clients.append(client)
        return client

    def close(self):
        for c in self.clients:
            try:
                c.stop()
            except Exception as e:  # Every client is stopped, whatever one of them does.
                print("stopping %s: %s" % (c.name, e), flush=True)
        if self.server:
            self.server.kill()
