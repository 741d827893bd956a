# Shared environment for running Windows programs under Wine (sourced, not run).
#
#   tarvo_arch          prints the Windows target this machine runs under Wine (i686 or x86_64)
#   tarvo_wine_env      exports WINEPREFIX, HOME, WINEDEBUG, WINEDLLOVERRIDES, LANG, WINEARCH and
#                       TARVO_WINE (the Wine loader for the target: run programs with "$TARVO_WINE")
#   tarvo_wine_start    creates the prefix if needed, starts a persistent wineserver and warms it
#   tarvo_display_start starts Xvfb on a free display unless DISPLAY is set
#   tarvo_sound_start   starts a PulseAudio null sink reachable through PULSE_SERVER
#   tarvo_services_stop stops what the start functions started
#
# TARVO_SCRATCH is the scratch folder of one run (prefix, home, sockets); it defaults to a
# per-user folder under /tmp.

# The product is 32-bit Windows (i686). Some kernels cannot run 32-bit programs at all, and so
# cannot run 32-bit Wine: there everything is built and run as 64-bit Windows (x86_64) instead.
# TARVO_ARCH overrides the choice.
tarvo_arch() {
  if [ -n "${TARVO_ARCH:-}" ]; then
    echo "$TARVO_ARCH"
  elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo i686
  else
    echo x86_64
  fi
}

tarvo_wine_env() {
  export TARVO_SCRATCH="${TARVO_SCRATCH:-${TMPDIR:-/tmp}/tarvolive-$(id -u)}"
  export WINEPREFIX="${TARVO_WINEPREFIX:-$TARVO_SCRATCH/wineprefix}"
  export HOME="$TARVO_SCRATCH/home"
  export WINEDEBUG="${TARVO_WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  export LANG="${TARVO_LANG:-C.UTF-8}"
  TARVO_ARCH="$(tarvo_arch)"
  export TARVO_ARCH
  if [ "$TARVO_ARCH" = x86_64 ]; then
    # /usr/bin/wine prefers the 32-bit loader whenever it is installed, even where it cannot run.
    export WINEARCH=win64 TARVO_WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64
  else
    export WINEARCH=win32 TARVO_WINE=wine
  fi
  mkdir -p "$HOME"
  if [ -S "$TARVO_SCRATCH/pulse/native" ] && [ -z "${PULSE_SERVER:-}" ]; then
    export PULSE_SERVER="unix:$TARVO_SCRATCH/pulse/native"
  fi
  if [ -z "${DISPLAY:-}" ] && [ -f "$TARVO_SCRATCH/display" ]; then
    DISPLAY="$(cat "$TARVO_SCRATCH/display")"
    export DISPLAY
  fi
}

tarvo_wine_start() {
  tarvo_wine_env
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    local t0=$SECONDS
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$TARVO_WINE" wineboot -i >/dev/null 2>&1
    wineserver -w
    # The skins name Chinese fonts that Wine lacks: draw them with WenQuanYi Micro Hei.
    local font
    for font in "Microsoft YaHei" "微软雅黑"; do
      "$TARVO_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /t REG_SZ \
        /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1 || true
    done
    # Xvfb runs no window manager: with managed windows Wine waits about 2 s on every hide for
    # a manager that never answers.
    "$TARVO_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
    wineserver -w
    echo "wine: prefix created in $((SECONDS - t0)) s" >&2
  fi
  # A persistent wineserver; one that already runs for the prefix (a second prefix's, or an
  # earlier run's) makes this fail, and is used as it is.
  wineserver -p || true
  # One warm-up process: a cold start costs over a second, a warm one tens of milliseconds.
  "$TARVO_WINE" cmd /c exit >/dev/null 2>&1 || true
  # Start the desktop process now. Otherwise the first program that opens a window starts it,
  # it inherits that program's output, and CTest waits for it to end (until the last window
  # of the whole run has gone) before it counts that test as finished.
  if [ -n "${DISPLAY:-}" ]; then
    "$TARVO_WINE" rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 || true
  fi
}

tarvo_display_start() {
  tarvo_wine_env
  if [ -n "${DISPLAY:-}" ]; then return 0; fi
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then break; fi
  done
  Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >"$TARVO_SCRATCH/xvfb.log" 2>&1 &
  echo $! > "$TARVO_SCRATCH/xvfb.pid"
  local i
  for i in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.05
  done
  export DISPLAY=":$n"
  echo "$DISPLAY" > "$TARVO_SCRATCH/display"
}

tarvo_sound_start() {
  tarvo_wine_env
  local dir="$TARVO_SCRATCH/pulse"
  mkdir -p "$dir"
  if [ -S "$dir/native" ] && PULSE_SERVER="unix:$dir/native" pactl info >/dev/null 2>&1; then
    export PULSE_SERVER="unix:$dir/native"
    return 0
  fi
  rm -f "$dir/native"
  # The null sink plays in real time, so DirectSound and Core Audio see a working device.
  # Two more sinks serve Morlun's device tests, which hear what they play on the sinks'
  # monitors: "Tarvo Tone" and one whose description is longer than the 31 characters of a
  # wave-out device name.
  pulseaudio -D -n --exit-idle-time=-1 --daemonize=yes --use-pid-file=no \
    --load="module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
    --load="module-null-sink sink_name=tarvo_null" \
    --load="module-null-source source_name=tarvo_mic" \
    --load='module-null-sink sink_name=tarvo_tone sink_properties=device.description="Tarvo\ Tone"' \
    --load='module-null-sink sink_name=tarvo_long_name sink_properties=device.description="Tarvo\ Speaker\ Test\ Output\ With\ A\ Long\ Name"' \
    >"$TARVO_SCRATCH/pulse.log" 2>&1 || true
  local i
  for i in $(seq 1 100); do
    [ -S "$dir/native" ] && break
    sleep 0.05
  done
  export PULSE_SERVER="unix:$dir/native"
}

tarvo_services_stop() {
  tarvo_wine_env
  wineserver -k >/dev/null 2>&1 || true
  if [ -f "$TARVO_SCRATCH/xvfb.pid" ]; then
    kill "$(cat "$TARVO_SCRATCH/xvfb.pid")" 2>/dev/null || true
    rm -f "$TARVO_SCRATCH/xvfb.pid" "$TARVO_SCRATCH/display"
  fi
  if [ -n "${PULSE_SERVER:-}" ]; then
    pactl exit >/dev/null 2>&1 || true
  fi
}
