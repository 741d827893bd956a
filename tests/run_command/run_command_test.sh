#!/usr/bin/env bash
# The run command's start (scripts/run-built, what scripts/run runs once built) as on a fresh
# machine: a Wine prefix it makes itself (with its own wineserver), no display (the run starts
# its own Xvfb) and its own sound. The room server serves the page; the client's window shows
# the login form (a screenshot of the display, checked pixel by pixel); the viewer stands beside
# it; closing the client ends the run, and the server and the viewer with it.
#   run_command_test.sh ROOT BIN OUT [--second]
# ROOT is the source tree, BIN the built programs, OUT a folder for this test (made anew; the
# screenshot stays there as login.png). With --second the run also starts a second client and
# viewer in a second prefix: both main windows come, both viewers show, the run lasts until both
# clients are closed, and the second prefix is gone after it.
set -euo pipefail
root="$1"
bin="$2"
out="$3"
mode="${4:-}"
# shellcheck source=scripts/env.sh
source "$root/scripts/env.sh"
tarvo_wine_env
rm -rf "$out"
mkdir -p "$out"
prefix="$out/wineprefix"
run_pid=""
# The test run's sound and display are not this run's.
unset DISPLAY PULSE_SERVER
fail() {
  echo "FAILED: $*" >&2
  echo "--- run log" >&2
  cat "$out/run.log" >&2 || true
  exit 1
}
cleanup() {
  # Ends whatever is left in the prefix: a client still running ends, and the run stops the rest.
  if [ -f "$prefix/system.reg" ]; then
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -f "$out/second-prefix/system.reg" ]; then
    WINEPREFIX="$out/second-prefix" wineserver -k >/dev/null 2>&1 || true
  fi
  if [ -n "$run_pid" ]; then
    for _ in $(seq 1 200); do kill -0 "$run_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$run_pid" 2>/dev/null || true
  fi
  if [ -f "$out/xvfb.pid" ]; then kill "$(cat "$out/xvfb.pid")" 2>/dev/null || true; fi
  rm -rf "$prefix"
}
trap cleanup EXIT

# Seconds since the start, for the log.
t0=$SECONDS
step() { echo "[$((SECONDS - t0)) s] $*"; }

TARVO_SCRATCH="$out" TARVO_WINEPREFIX="$prefix" TARVO_ROOM_PORT=0 \
  "$root/scripts/run-built" "$bin" $mode </dev/null >"$out/run.log" 2>&1 &
run_pid=$!

# The run's own line: the port, the pids of the server and the viewer, the display.
line=""
# Making the prefix takes the longest.
for _ in $(seq 1 3000); do
  line="$(grep -m 1 '^run: room server' "$out/run.log" || true)"
  [ -n "$line" ] && break
  kill -0 "$run_pid" 2>/dev/null || fail "the run ended before it started the client"
  sleep 0.1
done
[ -n "$line" ] || fail "the run did not start its programs within 300 s"
port="$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\) (pid.*/\1/p' <<<"$line")"
server_pid="$(sed -n 's/.*(pid \([0-9]*\)).*/\1/p' <<<"$line")"
viewer_pid="$(sed -n 's/.*viewer pid \([0-9]*\).*/\1/p' <<<"$line")"
display="$(sed -n 's/.*display \(:[0-9]*\).*/\1/p' <<<"$line")"
[ -n "$port" ] && [ -n "$server_pid" ] && [ -n "$viewer_pid" ] && [ -n "$display" ] ||
  fail "unexpected start line: $line"
step "room server on $port, display $display"

probe() {
  DISPLAY="$display" WINEPREFIX="$prefix" "$TARVO_WINE" "$bin/run_command_probe.exe" "$@"
}
rect="$(probe window 120000 | tr -d '\r')" || fail "no main window within 120 s"
read -r left top width height <<<"$rect"
step "main window at $left,$top, $width x $height"
viewers=1
if [ "$mode" = --second ]; then
  viewers=2
  line2=""
  for _ in $(seq 1 600); do
    line2="$(grep -m 1 '^run: second client' "$out/run.log" || true)"
    [ -n "$line2" ] && break
    sleep 0.1
  done
  second_prefix="$(sed -n 's/^run: second client in \(.*\) (pid.*/\1/p' <<<"$line2")"
  second_client_pid="$(sed -n 's/.*(pid \([0-9]*\),.*/\1/p' <<<"$line2")"
  second_viewer_pid="$(sed -n 's/.*viewer pid \([0-9]*\)).*/\1/p' <<<"$line2")"
  [ "$second_prefix" = "$out/second-prefix" ] && [ -n "$second_client_pid" ] &&
    [ -n "$second_viewer_pid" ] || fail "unexpected second client line: $line2"
  probe2() {
    DISPLAY="$display" WINEPREFIX="$second_prefix" "$TARVO_WINE" "$bin/run_command_probe.exe" "$@"
  }
  probe2 window 120000 >/dev/null || fail "no second main window within 120 s"
  step "second main window shown"
fi

# The login form in the page's colours: the card, the blue buttons, the dark input boxes (the
# client's own start screen has none of them); the card fits the 400-pixel window, so it touches
# neither side of it.
check_login() {
  xwd -root -display "$display" -silent | convert xwd:- "$out/screen.png" || return 1
  convert "$out/screen.png" -crop "${width}x${height}+${left}+${top}" +repage -depth 8 \
    "rgb:$out/window.rgb" || return 1
  python3 - "$out/window.rgb" "$width" <<'EOF'
import sys

pixels = open(sys.argv[1], "rb").read()
width = int(sys.argv[2])
colours = {"card": (0x25, 0x28, 0x4A), "button": (0x2F, 0x9A, 0xFF), "input": (0x12, 0x14, 0x2A)}
needed = {"card": 50000, "button": 1500, "input": 8000}
counts = dict.fromkeys(colours, 0)
card_at_sides = 0
for i in range(0, len(pixels) - 2, 3):
    r, g, b = pixels[i], pixels[i + 1], pixels[i + 2]
    for name, (cr, cg, cb) in colours.items():
        if abs(r - cr) <= 6 and abs(g - cg) <= 6 and abs(b - cb) <= 6:
            counts[name] += 1
            x = (i // 3) % width
            if name == "card" and (x < 4 or x >= width - 4):
                card_at_sides += 1
print("login form pixels:", counts, "needed:", needed, "card at the sides:", card_at_sides)
sys.exit(0 if all(counts[n] >= needed[n] for n in needed) and card_at_sides == 0 else 1)
EOF
}
shown=false
deadline=$((SECONDS + 180))
while [ "$SECONDS" -lt "$deadline" ]; do
  if check_login >"$out/check.log" 2>&1; then
    shown=true
    break
  fi
  sleep 1
done
cat "$out/check.log"
cp "$out/screen.png" "$out/login.png" 2>/dev/null || true
echo "screenshot: $out/login.png"
$shown || fail "the client's window does not show the login form within 180 s"
step "login form shown"
shown_viewers="$(xwininfo -root -tree -display "$display" | grep -c '"TarvoLive stream viewer"' || true)"
[ "$shown_viewers" -eq "$viewers" ] || fail "$shown_viewers viewer windows, not $viewers"
if [ "$mode" = --second ]; then
  # The run lasts while one client is left.
  probe2 close || fail "no second main window to close"
  for _ in $(seq 1 600); do kill -0 "$second_client_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$second_client_pid" 2>/dev/null && fail "the second client did not end"
  kill -0 "$run_pid" 2>/dev/null || fail "the run ended with the second client"
  step "second client closed"
fi

# Closing the client ends the run; the server and the viewer go with it.
probe close || fail "no main window to close"
for _ in $(seq 1 600); do kill -0 "$run_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$run_pid" 2>/dev/null && fail "the run did not end within 60 s of the client's close"
rc=0
wait "$run_pid" || rc=$?
run_pid=""
step "run ended with $rc"
[ "$rc" -eq 0 ] || fail "the run ended with $rc"
grep -q '^TarvoLive.exe exited with 0$' "$out/run.log" || fail "the client did not end with 0"
if [ "$mode" = --second ]; then
  grep -q '^the second TarvoLive.exe exited with 0$' "$out/run.log" ||
    fail "the second client did not end with 0"
  [ -e "$second_prefix" ] && fail "the second prefix is left"
  viewer_pid="$viewer_pid $second_viewer_pid"
fi
for pid in "$server_pid" $viewer_pid; do
  kill -0 "$pid" 2>/dev/null && fail "process $pid is still running after the run"
done
if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then fail "the room port still answers"; fi
echo "PASS"
