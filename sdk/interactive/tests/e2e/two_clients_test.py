#!/usr/bin/env python3
"""Two clients end to end: a room server and two client processes, client B in a second Wine
prefix with its own wineserver (the stream blocks are named per machine). Run by CTest:

    two_clients_test.py <source root> <bin folder> meeting|faults

"meeting": joining, publishing, the live stream, the video wall, mutes, a share and leaving.
"faults": a killed and restarted server, a lost publish stream (also with a muted camera), a
kick and a refused login. Afterwards nothing the test started is left running.
"""

import json
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_clients import Session  # noqa: E402


class Failed(Exception):
    pass


def check(condition, what, seen=None):
    """Passes or raises Failed; |seen|, when given, is what the check looked at (for the log)."""
    if not condition:
        raise Failed(what if seen is None else "%s (seen: %r)" % (what, seen))
    print("ok:", what, flush=True)


def tag_of(text):
    """orvim::TagFromText as the virtual devices compute it."""
    h = 2166136261
    for ch in text.encode():
        h ^= ch
        h = (h * 16777619) & 0xFFFFFFFF
    tag = (h ^ (h >> 16)) & 0xFFFF
    return tag or 1


def blocks(client):
    """{"live": (pictures, w, h, tag, counter, repeats, backwards), ..., "mixhalves": [...]}"""
    out = {}
    for item in client.command("blocks"):
        key, _, value = item.partition("=")
        if key == "mixhalves":
            out[key] = [] if value == "-" else [tuple(int(x) for x in h.split(":")) for h in value.split(",")]
            continue
        pictures, size, tag, rep, back = value.split("/")
        w, h = size.split("x")
        t, c = tag[3:].split(":")
        out[key] = (int(pictures), int(w), int(h), int(t), int(c), int(rep[3:]), int(back[4:]))
    return out


def tap(client):
    """{tag: (first, last, packets, ordered)} of the sound received since the last call."""
    out = {}
    client.last_tap = client.command("tap")
    for item in client.last_tap:
        tag, counters, packets, order = item.split(":")
        first, last = counters.split("-")
        # One run per received stream (live and mix both carry the sound): each in order.
        before = out.get(int(tag), (int(first), int(last), 0, True))
        out[int(tag)] = (min(before[0], int(first)), max(before[1], int(last)), before[2] + int(packets),
                         before[3] and order == "ordered")
    return out


def hears(client, tag, seconds=1.0):
    """Over |seconds| the client's tap got more than ten packets of |tag|, each stream in order."""
    tap(client)
    time.sleep(seconds)
    sound = tap(client)
    return tag in sound and sound[tag][2] > 10 and sound[tag][3]


def server_tap(client, uid):
    """What the room server sent |uid|: packets per (stream, tag), for failure messages."""
    answer = json.loads(" ".join(client.command('server {"cmd":"tap","uid":"%s","drain":true}' % uid)))
    out = {}
    for entry in answer.get("entries", []):
        key = (entry["stream"], entry["tag"])
        out[key] = out.get(key, 0) + 1
    return out


def advancing(client, block, tag, seconds=1.5):
    """The block shows |tag| with a counter that grew over |seconds| and never repeated."""
    first = blocks(client)[block]
    time.sleep(seconds)
    second = blocks(client)[block]
    # Repeats and steps back are counted since the client started: none may be added meanwhile.
    return (first[3] == tag and second[3] == tag and second[4] > first[4] and second[5] == first[5] and
            second[6] == first[6])


def users(client):
    return {u.split("/")[0]: u.split("/")[1:] for u in client.command("users")}


def wait(predicate, timeout=20.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.2)
    return False


def join_both(server, a, b):
    a.command("login %s room1 a Ann" % server.address)
    check(a.wait_line(lambda l: l.startswith("OWNER OnJoinRoom 1")) is not None, "A joins")
    b.command("login %s room1 b Ben" % server.address)
    check(b.wait_line(lambda l: l.startswith("OWNER OnJoinRoom 1")) is not None, "B joins")
    check(wait(lambda: set(users(a)) == {"a", "b"} and set(users(b)) == {"a", "b"}), "each page lists both users")


def publish_both(a, b):
    start_a, start_b = a.mark(), b.mark()
    a.command("publish")
    check(a.wait_line(lambda l: l == "OWNER OnPublishSuccess", start=start_a) is not None, "A publishes")
    b.command("publish")
    check(b.wait_line(lambda l: l == "OWNER OnPublishSuccess", start=start_b) is not None, "B publishes")


def meeting(session):
    server = session.room_server()
    a = session.client("e2e_client.exe", "A")
    b = session.client("e2e_client.exe", "B", second_prefix=True)
    ta, tb = tag_of("a"), tag_of("b")
    join_both(server, a, b)
    publish_both(a, b)

    b.command("live 1280 720")
    check(wait(lambda: blocks(b)["live"][1:4] == (1280, 720, ta)), "B's live block shows A's camera at 1280 x 720")
    check(advancing(b, "live", ta), "B's live counter advances without repeats")
    check(wait(lambda: hears(b, ta)), "B hears A's sample counter in order", b.last_tap)

    mark = a.mark()
    a.command("wall 1")
    check(a.wait_event(18, lambda e: len(e.get("list", [])) == 2) is not None, "A gets event 18 with two items")

    def wall_tags():
        return {h[0]: h[1] for h in blocks(a)["mixhalves"]}

    def wall_over(seconds=1.5):
        """The wall's tags and counters, then again after |seconds|."""
        first = wall_tags()
        time.sleep(seconds)
        return first, wall_tags()

    def both_advance():
        first, second = wall_over()
        return all(t in first and t in second and second[t] > first[t] for t in (ta, tb))

    check(wait(lambda: set(wall_tags()) == {ta, tb}), "A's video wall shows both tags")
    check(wait(both_advance), "both tiles advance", wall_tags())

    # A mutes B's video: B's tile stops, both pages say "inactive"; opt 1 resumes.
    a.command("mute_video b 0")
    check(wait(lambda: users(a)["b"][0] == "inactive" and users(b)["b"][0] == "inactive"),
          "both pages show B's video inactive")
    time.sleep(1.0)
    # The mix block may still hold a picture made before the mute: B's tile goes blank or
    # stays still, its counter never grows.
    first, second = wall_over()
    check(tb not in second or (tb in first and second[tb] <= first[tb]), "B's tile stops", (first, second))
    stopped_at = max(first.get(tb, 0), second.get(tb, 0))
    a.command("mute_video b 1")
    check(wait(lambda: users(a)["b"][0] == "active" and users(b)["b"][0] == "active"), "B's video active again")
    check(wait(lambda: wall_tags().get(tb, 0) > stopped_at), "B's tile resumes", wall_tags())

    # B mutes its microphone: A stops hearing B; unmuting resumes the counter.
    check(wait(lambda: hears(a, tb)), "A hears B's sample counter in order", (a.last_tap, server_tap(a, "a")))
    b.command("mute_mic b 0")
    check(wait(lambda: users(a)["b"][1] == "inactive"), "A's page shows B's microphone inactive")
    time.sleep(0.5)
    tap(a)
    time.sleep(1.5)
    check(tb not in tap(a), "A's tap falls silent", a.last_tap)
    b.command("mute_mic b 1")
    check(wait(lambda: users(a)["b"][1] == "active"), "B's microphone active again")
    check(wait(lambda: hears(a, tb)), "A hears B's counter again, in order", (a.last_tap, server_tap(a, "a")))

    # B shares: A's cast block shows it with event 17 (2, B's uid), then 17 (0) on stop.
    mark = a.mark()
    check(b.command("share_start") == ["0"], "B's share starts")
    check(a.wait_event(17, lambda e: e.get("mediaShareType") == 2 and e.get("uid") == "b", start=mark) is not None,
          "A gets event 17 (2, b)")
    check(wait(lambda: blocks(a)["cast"][3] == tb), "A's cast block shows B's sequence")
    check(advancing(a, "cast", tb), "the shared sequence advances without repeats")
    mark = a.mark()
    b.command("share_stop")
    check(a.wait_event(17, lambda e: e.get("mediaShareType") == 0, start=mark) is not None, "A gets event 17 (0)")

    # B leaves (event 14 at A), A leaves; both end by themselves with no SDK thread left.
    mark = a.mark()
    b.command("leave")
    check(a.wait_event(14, start=mark) is not None, "A gets event 14")
    a.command("leave")
    check(b.quit() == 0, "B ends with code 0 and no SDK thread")
    check(a.quit() == 0, "A ends with code 0 and no SDK thread")


def faults(session):
    server = session.room_server()
    port = server.port
    a = session.client("e2e_client.exe", "A")
    b = session.client("e2e_client.exe", "B", second_prefix=True)
    ta = tag_of("a")
    join_both(server, a, b)
    publish_both(a, b)
    b.command("live 1280 720")
    check(wait(lambda: blocks(b)["live"][3] == ta), "B watches A's camera")

    # The server dies: both clients take the server-loss path (event 27 deferred to the owner).
    ma, mb = a.mark(), b.mark()
    server.kill()
    check(a.wait_line(lambda l: l.startswith("DEFER 0"), 30.0, ma) is not None, "A: server loss deferred to the owner")
    check(b.wait_line(lambda l: l.startswith("DEFER 0"), 30.0, mb) is not None, "B: server loss deferred to the owner")
    check(a.command("ids")[0] == "publish=-" and b.command("ids")[0] == "publish=-", "the meetings' state is wiped")
    check(not a.events(27, ma) and not b.events(27, mb), "no event 27 reaches the pages at once")

    # Restarted on the same port: the owners' login retry joins again; frames flow again.
    server = session.room_server(port)
    check(a.wait_line(lambda l: l.startswith("OWNER OnJoinRoom 1"), 30.0, ma) is not None, "A's retry joins again")
    check(b.wait_line(lambda l: l.startswith("OWNER OnJoinRoom 1"), 30.0, mb) is not None, "B's retry joins again")
    publish_both(a, b)
    b.command("live 1280 720")
    check(wait(lambda: advancing(b, "live", ta)), "frames flow again")

    # A's publish stream is lost: 28/1, the owner's retry publishes again, 28/2, B's counter goes on.
    for muted in (False, True):
        if muted:
            a.command("mute_video a 0")
            check(wait(lambda: users(b)["a"][0] == "inactive"), "A's camera muted before the loss")
        publish = a.command("ids")[0].split("=")[1]
        ma = a.mark()
        b.command('server {"cmd":"drop_media","uid":"a","stream":"%s"}' % publish)
        check(a.wait_event(28, lambda e: e.get("status") == 1, start=ma) is not None, "A gets 28/1")
        check(a.wait_event(28, lambda e: e.get("status") == 2, timeout=30.0, start=ma) is not None,
              "the owner's retry publishes again: 28/2")
        if not muted:
            check(wait(lambda: advancing(b, "live", ta)), "B's counter resumes")
        else:
            # The room's live picture turns to B's camera, the first one that is on; no picture
            # of A's may follow.
            time.sleep(1.0)
            first = blocks(b)["live"]
            time.sleep(1.5)
            now = blocks(b)["live"]
            still = now[3] != ta or (first[3] == ta and now[4] == first[4])
            check(still and users(b)["a"][0] == "inactive", "the muted camera stays muted after the re-publish",
                  (first, now))

    # B is kicked with reason 1: B gets event 27, A event 14.
    ma, mb = a.mark(), b.mark()
    a.command('server {"cmd":"kick","uid":"b","origin":"host","reason":1}')
    check(b.wait_event(27, lambda e: e.get("reason") == 1, start=mb) is not None, "B gets event 27 (1)")
    check(a.wait_event(14, start=ma) is not None, "A gets event 14")

    # A refused login: the owner hears OnJoinRoom(-1).
    mb = b.mark()
    a.command('server {"cmd":"refuse_login","uid":"b","count":1}')
    b.command("login %s room1 b Ben" % server.address)
    check(b.wait_line(lambda l: l.startswith("OWNER OnJoinRoom -1"), 20.0, mb) is not None,
          "a refused login gives the owner OnJoinRoom(-1)")
    b.command("leave")
    a.command("leave")
    check(b.quit() == 0, "B ends with code 0")
    check(a.quit() == 0, "A ends with code 0")


def main():
    root, bin_dir, scenario = sys.argv[1], sys.argv[2], sys.argv[3]
    second = None
    session = None
    try:
        with Session(root, bin_dir) as session:
            second = session.second_prefix
            {"meeting": meeting, "faults": faults}[scenario](session)
    except Failed as failure:
        print("FAILED:", failure, flush=True)
        if session:
            print(session.tails(), flush=True)
        return 1
    finally:
        # Nothing of the second prefix is left: its wineserver stopped, its folder gone.
        if second and os.path.exists(second):
            print("FAILED: the second prefix is still there", flush=True)
            return 1
    print("PASSED", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
