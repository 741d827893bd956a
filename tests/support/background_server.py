"""The life of a test server that runs in the background between a CTest fixture's start and
stop steps. The server's own script calls run(): "start" runs its preparation, spawns the script
again as "serve" in a session of its own and waits for STATE_DIR/port; "serve" runs the server,
which calls publish() once it listens; "stop" ends the process named in STATE_DIR/pid."""

import os
import signal
import subprocess
import sys
import time


def publish(state_dir, port):
    """Writes STATE_DIR/pid, then STATE_DIR/port in one step (the starter waits for it)."""
    with open(os.path.join(state_dir, "pid"), "w") as f:
        f.write(str(os.getpid()))
    with open(os.path.join(state_dir, "port.tmp"), "w") as f:
        f.write(str(port))
    os.replace(os.path.join(state_dir, "port.tmp"), os.path.join(state_dir, "port"))


def launch(script, state_dir, label):
    """Spawns SCRIPT serve STATE_DIR; 0 once it listens, 1 when it did not within 10 s."""
    log = open(os.path.join(state_dir, "server.log"), "wb")
    subprocess.Popen([sys.executable, os.path.abspath(script), "serve", state_dir],
                     stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    for _ in range(200):
        if os.path.exists(os.path.join(state_dir, "port")):
            return 0
        time.sleep(0.05)
    print(label + " did not start", file=sys.stderr)
    return 1


def stop(state_dir):
    try:
        with open(os.path.join(state_dir, "pid")) as f:
            pid = int(f.read())
    except (FileNotFoundError, ValueError):
        return 0
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    os.remove(os.path.join(state_dir, "pid"))
    return 0


def run(serve, start):
    """The command line: serve|start|stop STATE_DIR."""
    command, state = sys.argv[1], sys.argv[2]
    if command == "serve":
        serve(state)
    elif command == "start":
        sys.exit(start(state))
    else:
        sys.exit(stop(state))
