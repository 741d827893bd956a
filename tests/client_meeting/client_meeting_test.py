#!/usr/bin/env python3
"""Two clients meeting end to end: two TarvoLive.exe processes, each in a Wine prefix and an Xvfb
display of its own, against one room server that also serves the page. Everything a person does
goes through the client's window (clicks and typing, meeting_probe.exe); the page is read through
the web engine's protocol; received pictures are read from the client's stream blocks in its own
prefix, received sound from the room server's record of what it sent. Run by CTest:

    client_meeting_test.py <source root> <bin folder> <output folder>

The meeting: both log in to one room (B first, skipping the device test the client shows at the
start of a live and turning its camera off on the page; A keeps the camera its device test opens)
and see each other in the list; A's
camera and microphone are on: B's live block shows the virtual camera's counter advancing and B
receives A's sample counter; A mutes (B's live block stops, B's page shows A's camera off) and
unmutes; the server drops A's media connections (A's page shows the reconnection, B's live block
advances again); A shares the full screen with a window of known content (B's cast block shows
it at its place), draws a rectangle on it with the annotation tool (B's cast block shows it at its
place) and stops; A plays a local media file made with its frame numbers drawn in
(B's live block shows them in order); A leaves (B's list no longer has A). Each step's wall time is printed ("step
<seconds> <what>"), and the two times the benchmark measures ("measure: ..."). At the end both
clients have closed through their windows, with exit code 0; no program of theirs is left (in the
prefixes, nor the web engines outside them); their logs are archived under the output folder; no
crash dump.
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from meeting_clients import Failed, Meeting, wait  # noqa: E402


def check(condition, what, seen=None):
    if not condition:
        raise Failed(what if seen is None else "%s (seen: %r)" % (what, seen))
    print("ok:", what, flush=True)


class Steps:
    """Prints the wall time of each step."""

    def __init__(self):
        self.times = []

    def __call__(self, what):
        steps = self

        class Step:
            def __enter__(self):
                self.start = time.monotonic()
                print("-- %s" % what, flush=True)

            def __exit__(self, kind, *rest):
                seconds = time.monotonic() - self.start
                steps.times.append((what, seconds))
                print("step %7.2f s  %s%s" % (seconds, what, "" if kind is None else "  (failed)"), flush=True)
                return False

        return Step()

    def summary(self):
        print("wall times:", flush=True)
        for what, seconds in self.times:
            print("  %7.2f s  %s" % (seconds, what), flush=True)


# Programs of the client that must be gone once it has closed.
CLIENT_PROGRAMS = ("TarvoLive.exe", "Sorvane.exe")


def engine_processes(prefix):
    """Host processes of the web engines whose profile lies in |prefix| (engine_keeper.h)."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                environment = f.read()
        except OSError:
            continue
        for entry in environment.split(b"\0"):
            if entry.startswith(b"TARVO_ENGINE_PROFILE=") and prefix.encode() in entry:
                found.append(int(pid))
    return found


def login(client, room, name):
    """Fills in the login form as a person does (the server address is the page's own)."""
    client.type_into("#login-room", room)
    client.type_into("#login-name", name)
    print("ok: %s typed room %s and name %s into the form" % (client.name, room, name), flush=True)


def close_client(client):
    """Closes the client through its window and checks that it ended cleanly."""
    if client.window()[2] > 400:
        # The live look's close button asks the page (event 8); the page asks the person.
        client.probe.command("close 16 15")
        check(wait(lambda: client.visible("#close-dialog .card")), "%s's page asks whether to close" % client.name)
        client.click("#close-yes")
    else:
        client.probe.command("close 20 20")
    code = None
    try:
        code = client.proc.wait(timeout=60)
    except Exception:
        pass
    check(code == 0, "%s's client ends with code 0" % client.name, code)
    left = [p for p in client.probe.command("processes") if p in CLIENT_PROGRAMS]
    check(not left, "no program of %s's client is left in its prefix" % client.name, left)
    check(wait(lambda: not engine_processes(client.prefix), 20.0), "%s's web engine has ended" % client.name,
          engine_processes(client.prefix))


def tag_of(uid):
    """The virtual devices' tag of a user id (orvim::TagFromText)."""
    h = 2166136261
    for ch in uid.encode():
        h ^= ch
        h = (h * 16777619) & 0xFFFFFFFF
    return ((h ^ (h >> 16)) & 0xFFFF) or 1


def advancing(client, block, tag, seconds=1.5):
    """The block shows |tag| with a counter that grew over |seconds|, with no repeat or step back."""
    first = client.blocks()[block]
    time.sleep(seconds)
    second = client.blocks()[block]
    return (first[3] == tag and second[3] == tag and second[4] > first[4] and second[5:] == first[5:])


def still(client, block, seconds=1.5):
    """The block's picture counter did not move over |seconds|."""
    first = client.blocks()[block]
    time.sleep(seconds)
    return client.blocks()[block][4] == first[4]


def heard(m, uid, tag, seconds=1.0):
    """The room server's record of the sound it sent |uid|: over |seconds| more than ten packets
    carrying |tag|, each received stream's sample counter in order."""
    m.control({"cmd": "tap", "uid": uid, "drain": True})
    time.sleep(seconds)
    entries = m.control({"cmd": "tap", "uid": uid, "drain": True}).get("entries", [])
    counters = {}
    for e in entries:
        if e.get("marked") and e.get("tag") == tag:
            counters.setdefault(e["stream"], []).append(e["counter"])
    packets = sum(len(c) for c in counters.values())
    return packets > 10 and all(c == sorted(c) and len(set(c)) == len(c) for c in counters.values())


def listed(client, name):
    """The participant list's line of |name| (its camera and microphone texts), or None."""
    for item in client.page.value(
            "[...document.querySelectorAll('#user-list li')].map((li) => [li.querySelector('.name').textContent,"
            " li.querySelector('.cam').textContent, li.querySelector('.mic').textContent])") or []:
        if item[0] == name:
            return item[1:]
    return None


def toolbar_down(client, x):
    """Brings the share toolbar down from the top of the screen, where it has slid up out of the
    way: the pointer rests on its visible edge (it checks about once a second). True once down."""
    for step in range(6):
        client.display.move_pointer(x + step % 3, 3)
        if wait(lambda: (client.window("CShareToolsFrame") or [0, -1])[1] == 0, 2.0, 0.1):
            return True
    return False


def meeting(m, steps):
    with steps("room server with the page"):
        m.room_server()
    with steps("client A starts in its own prefix and display"):
        a = m.client("A")
    with steps("client B starts in its own prefix and display"):
        b = m.client("B")
    with steps("both pages show the login form"):
        for c in (a, b):
            c.open_page()
            check(wait(lambda: c.visible("#login-form"), 120.0), "%s's page shows the login form" % c.name)
            check(c.page.value("document.getElementById('login-server').value") == m.server.address,
                  "%s's form has the page's own server address" % c.name)
    with steps("A and B fill in the login form by typing"):
        login(a, "4711", "Ann")
        login(b, "4711", "Ben")

    # B joins first, skips the device test and turns its camera off; A joins and keeps the camera
    # its device test opens, so the room's live stream is A's camera (the first camera that is on).
    with steps("B clicks Join, enters the meeting, skips the device test and turns its camera off"):
        b.click("#login-submit")
        check(wait(lambda: b.visible("#meeting-screen"), 30.0), "B's page shows the meeting")
        b.device_test(keep_camera=False)
    with steps("A clicks Join and enters the meeting"):
        a.click("#login-submit")
        login_clicked = time.monotonic()
        check(wait(lambda: a.visible("#meeting-screen"), 30.0), "A's page shows the meeting")
    with steps("each sees the other in the participant list"):
        check(wait(lambda: listed(a, "Ben") is not None and listed(b, "Ann") is not None),
              "A's list has Ben and B's list has Ann", (a.texts("#user-list li"), b.texts("#user-list li")))
    uid_a = a.page.value("state.login.userid")
    uid_b = b.page.value("state.login.userid")
    tag_a = tag_of(uid_a)

    with steps("A's device test opens the camera; camera and microphone come on"):
        a.device_test(keep_camera=True)
        check(wait(lambda: a.own_state() == ("on", "on")), "A's page shows its camera and microphone on",
              a.own_state())
        check(wait(lambda: listed(b, "Ann") == ["camera on", "mic on"]),
              "B's page shows A's camera and microphone on", listed(b, "Ann"))
    with steps("A's camera in B's live block (from A's login click)"):
        check(wait(lambda: b.blocks()["live"][3] == tag_a, 30.0), "B's live block shows A's camera",
              b.blocks()["live"])
        print("measure: login click to A's first picture in B's live block: %.2f s"
              % (time.monotonic() - login_clicked), flush=True)
        check(advancing(b, "live", tag_a), "B's live block shows A's frame counter advancing, in order",
              b.blocks()["live"])
    with steps("B hears A's sample counter"):
        check(wait(lambda: heard(m, uid_b, tag_a)), "the sound B receives carries A's sample counter, in order")

    with steps("A mutes its camera"):
        a.click("#camera-button")
        check(wait(lambda: a.own_state()[0] == "off"), "A's page shows its camera off")
        check(wait(lambda: listed(b, "Ann") == ["camera off", "mic on"]), "B's page shows A's camera off",
              listed(b, "Ann"))
        time.sleep(0.5)  # A picture already on its way may still land.
        check(still(b, "live"), "B's live block stops advancing", b.blocks()["live"])
    with steps("A unmutes its camera (click to its first picture in B's live block)"):
        stopped_at = b.blocks()["live"][4]
        a.click("#camera-button")
        clicked = time.monotonic()
        check(wait(lambda: b.blocks()["live"][4] > stopped_at, 20.0, 0.02), "B's live block advances again")
        print("measure: camera unmute to its first picture in B's live block: %.2f s"
              % (time.monotonic() - clicked), flush=True)
        check(wait(lambda: listed(b, "Ann") == ["camera on", "mic on"]), "B's page shows A's camera on again")

    with steps("the server drops A's media connections; A reconnects"):
        banners = []

        def banner():
            text = a.page.value("document.getElementById('banner').hidden ? ''"
                                " : document.getElementById('banner').textContent")
            if text and (not banners or banners[-1] != text):
                banners.append(text)
            return text

        banner()
        m.control({"cmd": "drop_media", "uid": uid_a})
        lost = "Connection lost. Reconnecting\u2026"
        check(wait(lambda: banner() == lost, 20.0, 0.05), "A's page shows the lost connection", banners)
        check(wait(lambda: banner() == "Connection restored.", 30.0, 0.05), "A's page shows it restored", banners)
        check(wait(lambda: advancing(b, "live", tag_a), 30.0), "B's live block advances again with A's camera",
              b.blocks()["live"])

    with steps("A shares the full screen with a window of known content on it"):
        # The window: four quadrants, red, green, blue and white, at (300, 200), 400 x 300, on
        # top of A's screen. A full-screen share captures the screen from (8, 8) (the panel's
        # border stays out), so the window lies at (292, 192) of the shared picture.
        a.probe.command("content 300 200 400 300")
        a.click("#share-button")
        check(wait(lambda: a.window("CShareFrame") is not None), "A's share window opens")
        left, top, width, height = a.window("CShareFrame")
        # "Start sharing" (100 x 32) at the right end of the bottom row; the whole screen is chosen
        # when the window opens (select_share.xml).
        a.probe.command("at %d %d" % (left + width - 70, top + height - 30))
        check(wait(lambda: a.window("CShareToolsFrame") is not None), "A's share toolbar shows")
        check(wait(lambda: b.page.value("document.getElementById('share-label').textContent")
                   == "Ann is sharing the screen"), "B's page says that A shares the screen")

        def quadrant(x, y):
            colour = b.probe.command("sample cast %d %d 40 40" % (300 - 8 + x - 20, 200 - 8 + y - 20))
            return [int(v) for v in colour[:3]]

        def near(colour, expected):
            return all(abs(c - e) <= 24 for c, e in zip(colour, expected))

        expected = {(100, 75): (255, 0, 0), (300, 75): (0, 255, 0), (100, 225): (0, 0, 255), (300, 225): (255, 255, 255)}
        check(wait(lambda: b.blocks()["cast"][1:3] == (1904, 1064) and
                   all(near(quadrant(*at), colour) for at, colour in expected.items()), 20.0),
              "B's cast block shows the whole screen (1904 x 1064) with the window at its place",
              (b.blocks()["cast"], b.probe.command("sample cast 0 0 16 16")))
        # B's live stream is now the share.
        check(wait(lambda: b.blocks()["live"][1:3] == (1904, 1064)), "B's live block shows the share")

    with steps("A draws a rectangle with the annotation tool"):
        # The pointer on the toolbar's pen opens the palette under it; a person clicks the pen,
        # picks the palette's second tool (rectangles) and its widest pen (anno_tools.xml), drags
        # a rectangle on the white quadrant and turns the tool off with the toolbar's arrow. Each
        # click is made again until what it chose shows, as a person does when a click did not
        # take: under Wine the annotation panel, which takes the mouse while a tool is on, can
        # come in front of the toolbar for a moment before the toolbar is put back in front.
        left, top, width, height = a.window("CShareToolsFrame")

        def chosen(x, y):
            """The palette's or the toolbar's choice at (x, y) shows as selected (its blue)."""
            colour = a.display.pixel(x, y) or (0, 0, 0)
            return colour[2] > 200 and colour[0] < 100

        def pick(x, y, what):
            def attempt():
                a.display.click(x, y)
                return wait(lambda: chosen(x, y), 2.0, 0.1)
            check(wait(attempt, 20.0, 0.5), what)

        check(toolbar_down(a, left + width // 2), "A's share toolbar comes down")
        a.display.move_pointer(left + 191, 27)
        check(wait(lambda: a.window("CAnnoToolsFrame") is not None, 5.0), "A's annotation palette opens")
        palette_left, palette_top = a.window("CAnnoToolsFrame")[:2]
        # The selected colour fills the option's background (its icon is in the middle).
        pick(left + 180, 12, "A chose the pen")
        pick(palette_left + 115, palette_top + 12, "A chose the rectangle in the palette")
        pick(palette_left + 166, palette_top + 44, "A chose the widest pen in the palette")

        def shown(x, y):
            """The colour of B's cast block around screen point (x, y) of A."""
            return [int(v) for v in b.probe.command("sample cast %d %d 4 4" % (x - 8 - 2, y - 8 - 2))[:3]]

        red, white = (255, 0, 0), (255, 255, 255)
        edges = [(540, 425), (660, 425), (600, 380), (600, 470)]
        check(wait(lambda: a.display.drag((540, 380), (660, 470)) or
                   wait(lambda: all(near(shown(*at), red) for at in edges), 3.0), 20.0, 0.5),
              "B's cast block shows the red rectangle at its place", [shown(*at) for at in edges])

        def arrow():
            if not toolbar_down(a, left + width // 2):
                return False
            a.display.click(left + 155, 27)
            return wait(lambda: near(shown(600, 425), white), 3.0)

        check(wait(arrow, 30.0, 0.5), "with the arrow again, B's cast block shows the window inside the rectangle",
              shown(600, 425))
        check(all(near(shown(*at), red) for at in edges), "the rectangle stays", [shown(*at) for at in edges])

    with steps("A stops sharing"):
        # The toolbar slides up out of the way; the pointer on its edge brings it back, and its
        # last button, "Stop sharing", ends the share (a person clicks again when a click fell
        # while the toolbar was still moving).
        left, top, width, height = a.window("CShareToolsFrame")

        def stop():
            if not toolbar_down(a, left + width // 2):
                return False
            # A person clicks the red button once it is in sight.
            if not wait(lambda: (a.display.pixel(left + 341, 27) or (0, 0, 0))[0] > 200, 3.0, 0.1):
                return False
            a.display.click(left + 341, 27)
            return wait(lambda: a.window("CShareToolsFrame") is None, 3.0)

        check(wait(stop, 90.0, 0), "A's share toolbar goes", a.window("CShareToolsFrame"))
        check(wait(lambda: b.page.value("document.getElementById('share-label').textContent") == ""),
              "B's page no longer shows a share")
        check(wait(lambda: advancing(b, "live", tag_a), 20.0), "B's live block shows A's camera again",
              b.blocks()["live"])

    with steps("A plays a local media file with its frame numbers drawn in"):
        # 20 s at 25 pictures a second, 640 x 360: twelve bars across each picture carry its
        # frame number (bar k light when bit k is set), made by the host's ffmpeg.
        clip = os.path.join(m.out_dir, "numbered.mp4")
        subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "color=black:s=640x360:r=25:d=20",
                        "-vf", "geq=lum='255*mod(floor(N/pow(2\\,floor(X*12/W)))\\,2)':cb=128:cr=128",
                        "-c:v", "libx264", "-pix_fmt", "yuv420p", clip], check=True)
        a.click("#media-pick")
        check(wait(lambda: a.window("#32770") is not None), "A's file dialog opens")
        # The dialog's file name box has the focus: the path, then Enter.
        a.probe.command("type Z:" + clip.replace("/", "\\"))
        a.probe.command("key enter")
        check(wait(lambda: a.page.value("document.querySelectorAll('#media-list li').length") == 1),
              "A's page lists the file")
        a.click("#media-list .media-play")
        check(wait(lambda: b.blocks()["live"][1:3] == (640, 360), 20.0), "B's live block shows the clip")
        numbers = []
        for _ in range(12):
            numbers.append(int(b.probe.command("bits live 12")[0]))
            time.sleep(0.15)
        check(numbers == sorted(numbers) and numbers[-1] > numbers[0],
              "B's live block shows the clip's frame numbers in order", numbers)
        check(wait(lambda: "playing" in a.texts("#media-list .state")[0]), "A's page shows the file playing",
              a.texts("#media-list .state"))

    with steps("A leaves"):
        a.click("#leave-button")
        check(wait(lambda: a.visible("#login-form")), "A's page is back at the login form")
        check(wait(lambda: listed(b, "Ann") is None), "B's list no longer has A", b.texts("#user-list li"))

    with steps("both clients close through their windows"):
        for c in (b, a):
            close_client(c)
    for c in (a, b):
        c.archive()
        check(os.path.isdir(os.path.join(c.dir, "logs")) and os.listdir(os.path.join(c.dir, "logs")),
              "%s's logs are archived in %s" % (c.name, os.path.join(c.dir, "logs")))
        check(not c.crash_dumps(), "%s left no crash dump" % c.name, c.crash_dumps())


def main():
    root, bin_dir, out_dir = sys.argv[1], sys.argv[2], sys.argv[3]
    steps = Steps()
    try:
        with Meeting(root, bin_dir, out_dir) as m:
            try:
                meeting(m, steps)
            except Exception:
                for c in m.clients:
                    if c.display:
                        shot = os.path.join(c.dir, "failed.png")
                        c.display.screenshot(shot)
                        print("screenshot of %s: %s" % (c.name, shot), flush=True)
                raise
    except Exception as failure:  # A check, a probe's refusal or the page reader's error.
        steps.summary()
        print("FAILED: %s: %s" % (type(failure).__name__, failure), flush=True)
        return 1
    steps.summary()
    print("PASSED", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
