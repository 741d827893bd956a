"""Processes of the end-to-end tests on the host: a room server and client programs under Wine,
in the run's prefix or in a second prefix with its own wineserver (scripts/second-prefix).

    with Session(root, bin_dir) as s:
        server = s.room_server()                 # orvim_room_server.exe on a free port
        a = s.client("e2e_client.exe", "A")      # the run's prefix
        b = s.client("e2e_client.exe", "B", second_prefix=True)
        a.command("login " + server.address + " room1 a A")
        a.wait_line(lambda l: l.startswith("OWNER OnJoinRoom 1"))
    # Leaving the block quits the clients, kills what is left, stops the server and the second
    # prefix's wineserver and removes that prefix.

A client speaks line commands on its standard input and answers one line per answer or event
(see e2e_client.cpp); Client keeps every line and lets a test wait for one.
"""

import json
import os
import subprocess
import threading
import time


class ProcessLines:
    """A process whose standard output is read line by line on a thread of its own."""

    def __init__(self, name, argv, env):
        self.name = name
        self.lines = []
        self._cond = threading.Condition()
        self.proc = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, env=env, text=True, bufsize=1)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for line in self.proc.stdout:
            line = line.rstrip("\r\n")
            with self._cond:
                self.lines.append(line)
                self._cond.notify_all()
        with self._cond:
            self._cond.notify_all()

    def wait_line(self, match, timeout=20.0, start=0):
        """The first line from index |start| for which match(line) holds; None on time-out."""
        deadline = time.monotonic() + timeout
        with self._cond:
            while True:
                for line in self.lines[start:]:
                    if match(line):
                        return line
                left = deadline - time.monotonic()
                if left <= 0 or (self.proc.poll() is not None and not self._reader.is_alive()):
                    return None
                self._cond.wait(min(left, 0.2))

    def mark(self):
        with self._cond:
            return len(self.lines)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass


class Client(ProcessLines):
    """A client program driven by line commands."""

    def command(self, text, timeout=20.0):
        """Sends |text| and returns the values of its "OK <name>" answer (raises on ERR)."""
        name = text.split()[0]
        start = self.mark()
        self.proc.stdin.write(text + "\n")
        self.proc.stdin.flush()
        line = self.wait_line(lambda l: l.split()[:2] in (["OK", name], ["ERR", name]), timeout, start)
        if line is None or line.startswith("ERR"):
            raise RuntimeError("%s: %s -> %s" % (self.name, text, line))
        return line.split()[2:]

    def events(self, number, start=0):
        """The page events numbered |number| since line |start|, parsed."""
        out = []
        with self._cond:
            lines = list(self.lines[start:])
        for line in lines:
            if line.startswith("EV "):
                event = json.loads(line[3:])
                if event.get("event") == number:
                    out.append(event)
        return out

    def wait_event(self, number, where=lambda e: True, timeout=20.0, start=0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for event in self.events(number, start):
                if where(event):
                    return event
            time.sleep(0.05)
        return None

    def quit(self, timeout=30.0):
        """Asks the client to end; its exit code (None when it had to be killed)."""
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write("quit\n")
                self.proc.stdin.flush()
                self.proc.stdin.close()
            except (BrokenPipeError, ValueError):
                pass
            try:
                return self.proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                self.kill()
                return None
        return self.proc.returncode


class RoomServer(ProcessLines):
    """orvim_room_server.exe; the port is the first line it prints."""

    def __init__(self, name, argv, env):
        super().__init__(name, argv, env)
        line = self.wait_line(lambda l: l.strip().isdigit(), 30.0)
        if line is None:
            self.kill()
            raise RuntimeError("the room server printed no port")
        self.port = int(line.strip())
        self.address = "127.0.0.1:%d" % self.port


class Session:
    """Owns every process a test starts and the second prefix; cleans up on exit."""

    def __init__(self, root, bin_dir):
        self.root = root
        self.bin_dir = bin_dir
        scratch = os.environ.get("TARVO_SCRATCH") or "/tmp/tarvolive-%d" % os.getuid()
        self.second_prefix = os.path.join(scratch, "wineprefix-second-%d" % os.getpid())
        self._second_started = False
        self._processes = []

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _wine_run(self):
        return [os.path.join(self.root, "scripts", "wine-run")]

    def _second_run(self):
        if not self._second_started:
            subprocess.run([os.path.join(self.root, "scripts", "second-prefix"), "start", self.second_prefix],
                           check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            self._second_started = True
        return [os.path.join(self.root, "scripts", "second-prefix"), "run", self.second_prefix]

    def room_server(self, port=0):
        exe = os.path.join(self.bin_dir, "orvim_room_server.exe")
        server = RoomServer("server", self._wine_run() + [exe, str(port)], dict(os.environ))
        self._processes.append(server)
        return server

    def client(self, program, name, second_prefix=False):
        exe = os.path.join(self.bin_dir, program)
        argv = (self._second_run() if second_prefix else self._wine_run()) + [exe]
        client = Client(name, argv, dict(os.environ))
        self._processes.append(client)
        if client.wait_line(lambda l: l == "OK ready", 60.0) is None:
            raise RuntimeError("%s did not start" % name)
        return client

    def tails(self, count=25):
        """The last |count| lines of every process started, for a failure's log."""
        out = []
        for p in self._processes:
            with p._cond:
                lines = p.lines[-count:]
            out.append("--- %s (%s):" % (p.name, "running" if p.proc.poll() is None else "ended %s" % p.proc.returncode))
            out.extend("    " + line[:300] for line in lines)
        return "\n".join(out)

    def close(self):
        for p in self._processes:
            if isinstance(p, Client):
                p.quit(timeout=15.0)
        for p in self._processes:
            p.kill()
        if self._second_started:
            subprocess.run([os.path.join(self.root, "scripts", "second-prefix"), "stop", self.second_prefix],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self._second_started = False
