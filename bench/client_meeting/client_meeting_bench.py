#!/usr/bin/env python3
"""The two-client meeting's figures (run through bench/client_meeting/run):

    client_meeting_bench.py <source root> <bin folder> <output folder> <rounds>

Client figures, from |rounds| meetings of two real clients driven as the ClientMeetingEndToEnd
test drives them (tests/client_meeting): B is in the room; A clicks Join, goes through the
device test that the client shows at the start of a live (waiting for its camera, then
skipping), and the time ends with A's first picture in B's live block (read by B's probe from
B's stream block); then five times A mutes its camera with the page's button, B's live block
stops, and the time from the unmute click to A's next picture in B's live block.

The floor: SdkMeetingFloorBench.exe, the same two steps by two bare services of the SDK
stand-in in one process. Medians and the ratios client / floor are printed.

The client side cannot be a Google Benchmark program: each client needs a Wine prefix (a
wineserver) and a display of its own, which only the host can give it.
"""

import json
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "client_meeting"))
from client_meeting_test import listed, login, still, tag_of  # noqa: E402
from meeting_clients import Failed, Meeting, wait  # noqa: E402


def client_round(root, bin_dir, out_dir, unmutes):
    """One meeting: (login click to first picture, [unmute to first picture, ...]) in seconds."""
    with Meeting(root, bin_dir, out_dir) as m:
        m.room_server()
        a = m.client("A")
        b = m.client("B")
        for c, name in ((b, "Ben"), (a, "Ann")):
            c.open_page()
            if not wait(lambda: c.visible("#login-form"), 120.0):
                raise Failed("%s shows no login form" % c.name)
            login(c, "4711", name)
        b.click("#login-submit")
        if not wait(lambda: b.visible("#meeting-screen"), 30.0):
            raise Failed("B did not enter the meeting")
        b.device_test(keep_camera=False)
        a.click("#login-submit")
        clicked = time.monotonic()
        if not wait(lambda: a.visible("#meeting-screen"), 30.0):
            raise Failed("A did not enter the meeting")
        tag_a = tag_of(a.page.value("state.login.userid"))
        a.device_test(keep_camera=True)
        if not wait(lambda: b.blocks()["live"][3] == tag_a, 30.0, 0.01):
            raise Failed("B's live block got no picture of A")
        joined = time.monotonic() - clicked
        if not wait(lambda: a.own_state() == ("on", "on")):
            raise Failed("A's page does not show its camera and microphone on")
        unmuted = []
        for _ in range(unmutes):
            a.click("#camera-button")
            if not wait(lambda: a.own_state()[0] == "off" and listed(b, "Ann") == ["camera off", "mic on"]):
                raise Failed("A's camera did not go off")
            time.sleep(0.5)
            if not still(b, "live", 1.0):
                raise Failed("B's live block did not stop")
            stopped_at = b.blocks()["live"][4]
            a.click("#camera-button")
            clicked = time.monotonic()
            if not wait(lambda: b.blocks()["live"][4] > stopped_at, 20.0, 0.01):
                raise Failed("B's live block did not advance after the unmute")
            unmuted.append(time.monotonic() - clicked)
        return joined, unmuted


def floor(root, bin_dir):
    """{benchmark name: seconds per iteration} of SdkMeetingFloorBench.exe."""
    run = subprocess.run([os.path.join(root, "scripts", "wine-run"), os.path.join(bin_dir, "SdkMeetingFloorBench.exe"),
                          "--benchmark_format=json"], capture_output=True, text=True, check=True)
    report = json.loads(run.stdout[run.stdout.index("{"):])
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    return {b["name"].split("/")[0]: b["real_time"] * scale[b["time_unit"]] for b in report["benchmarks"]
            if "error_occurred" not in b}


def main():
    root, bin_dir, out_dir, rounds = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    joins, unmutes = [], []
    for n in range(rounds):
        joined, unmuted = client_round(root, bin_dir, os.path.join(out_dir, "round%d" % n), 5)
        print("round %d: login click to first picture %.3f s; unmute to first picture %s s"
              % (n + 1, joined, " ".join("%.3f" % u for u in unmuted)), flush=True)
        joins.append(joined)
        unmutes += unmuted
    sdk = floor(root, bin_dir)
    rows = [("login click to A's first picture in B's live block", statistics.median(joins),
             sdk.get("BM_JoinToFirstLivePicture")),
            ("camera unmute to its first picture in B's live block", statistics.median(unmutes),
             sdk.get("BM_UnmuteToFirstLivePicture"))]
    print("%-55s %12s %12s %8s" % ("median of %d rounds" % rounds, "client", "SDK floor", "ratio"))
    for what, client, base in rows:
        print("%-55s %10.0f ms %10.0f ms %7.1fx" % (what, client * 1e3, (base or 0) * 1e3,
                                                      client / base if base else float("nan")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
