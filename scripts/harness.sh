#!/usr/bin/env bash
# The Wine harness of one build tree: its own Wine prefix (64-bit, or 32-bit
# with ORVANTA_WINEARCH=win32 where 32-bit Wine runs), one Xvfb server, ALSA
# pointed at a null output, and one Wine session that lasts from start to stop.
#
#   harness.sh start <state-dir>             start Xvfb, make the prefix and start its session (idempotent)
#   harness.sh run <state-dir> prog [args]   run a Windows program in the harness (its exit code)
#   harness.sh stop <state-dir>              stop Wine and Xvfb
#   harness.sh wait <state-dir>              end the session once the caller's programs have ended,
#                                            so that Wine saves its registry (system.reg, user.reg)
#
# Why one session: a Wine program that is the first to need the desktop
# starts Wine's desktop process (explorer.exe) itself, waits 10 s for it and
# then goes on without a display driver if it is not ready: no Direct3D, no
# display modes. On a loaded machine (the emulated 32-bit guest) that
# happens. So the harness starts the desktop process itself, detached from
# any caller's output, and a keeper (cmd.exe reading a FIFO) holds the
# desktop open until "wait" or "stop" ends the session; programs run once
# the desktop process has its display driver.
#
# A process that a program starts and that outlives it (the desktop process,
# should a program have to start it after all) keeps the program's standard
# error open, the only handle that Wine gives it. So "run" writes the
# program's standard error to a file and copies it out while the program
# runs: the copying ends with the program, not with the session.
#
# ORVANTA_HARNESS_SOUND=none in the environment of "run": the program finds
# no sound device at all.
#
# Never touches ~/.wine: everything lives below <state-dir>.
set -euo pipefail

export WINEARCH=${ORVANTA_WINEARCH:-win64}
case $WINEARCH in
  win64) WINE=/usr/lib/wine/wine64 ;;
  win32) WINE=/usr/lib/wine/wine ;;
  *) echo "harness: unknown Wine architecture $WINEARCH" >&2; exit 2 ;;
esac
WINESERVER=/usr/lib/wine/wineserver

command=${1:?usage: harness.sh start|run|wait|stop <state-dir> [program args...]}
state=${2:?missing state directory}
shift 2
mkdir -p "$state"
state=$(cd "$state" && pwd)

export WINEPREFIX="$state/prefix"
# Wine's own diagnostics for users only ("winediag"): among them the reasons
# for which Wine ends a process with exit code 1 and nothing else, such as a
# display connection it could not open.
export WINEDEBUG=${WINEDEBUG:--all,err+winediag}
# No Mono or Gecko installer prompts, and no menu entries made for the
# prefix's programs (which would also touch the desktop while it starts).
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Only the harness's own ALSA configuration: a null default device with a
# hint, so that Wine sees exactly one playback device. With
# ORVANTA_HARNESS_SOUND=none, a configuration without any device: Wine's ALSA
# driver runs in each Wine process, so that process finds no sound device.
export ALSA_CONFIG_PATH="$state/asound.conf"
[[ ${ORVANTA_HARNESS_SOUND:-} != none ]] || ALSA_CONFIG_PATH="$state/asound-none.conf"

# Runs a command with a deadline of $1 seconds (then ends it and whatever it
# started), and says which command overran.
within() {
  local seconds=$1 status=0
  shift
  timeout --kill-after=10 "$seconds" "$@" || status=$?
  if ((status == 124 || status == 137)); then
    echo "harness: $* did not end within $seconds s" >&2
  fi
  return "$status"
}

xvfb_running() {
  [[ -s "$state/display" && -f "$state/xvfb.pid" ]] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null
}

start_xvfb() {
  rm -f "$state/display" "$state/xvfb.pid"
  # Detached from the caller's output, so that a test runner waiting for the
  # caller's pipes is not held up by the server.
  setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
    3>"$state/display" </dev/null >"$state/xvfb.log" 2>&1 9>&- &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 100); do
    [[ -s "$state/display" ]] && return 0
    sleep 0.1
  done
  echo "harness: Xvfb did not start (see $state/xvfb.log)" >&2
  return 1
}

write_alsa_config() {
  cat >"$state/asound.conf" <<'ALSA'
pcm.!default {
    type null
    hint {
        show on
        description "Null output"
    }
}
ALSA
  echo "# No sound device." >"$state/asound-none.conf"
}

make_prefix() {
  [[ -f "$WINEPREFIX/system.reg" ]] && return 0
  echo "harness: creating the Wine prefix $WINEPREFIX (once per build tree)" >&2
  # (Under emulation a prefix takes minutes to make.)
  within 1800 "$WINE" wineboot --init >"$state/wineboot.log" 2>&1
  # Sound through ALSA (the null device) rather than a PulseAudio server.
  within 300 "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >>"$state/wineboot.log" 2>&1
  # A crashing program prints its backtrace and ends, rather than waiting
  # for someone to close a crash dialog on the invisible display.
  within 300 "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$state/wineboot.log" 2>&1
  within 300 "$WINESERVER" -w
}

session_running() {
  [[ -f "$state/keeper.pid" ]] && kill -0 "$(cat "$state/keeper.pid")" 2>/dev/null
}

# Whether the session's desktop process has loaded its display driver: it
# writes the driver's name to a volatile key, which lives only as long as
# the session. (Output to a file: a process that the query starts must not
# hold a pipe of ours.)
desktop_ready() {
  # (reg's complaints are silenced inside, so that an overrun is still told.)
  within 120 sh -c 'exec "$@" 2>/dev/null' sh "$WINE" reg query 'HKLM\System\CurrentControlSet\Control\Video' /s /v GraphicsDriver \
    </dev/null >"$state/desktop.txt" 9>&- || true
  grep -qi 'GraphicsDriver.*REG_SZ.*[a-z]' "$state/desktop.txt" && ! grep -qi 'REG_SZ *null' "$state/desktop.txt"
}

# Wine's desktop process, detached from any caller's output (one that finds
# a desktop process in place just ends).
start_desktop() {
  setsid "$WINE" explorer.exe /desktop </dev/null >/dev/null 2>&1 9>&- &
}

start_session() {
  rm -f "$state/keeper.pid" "$state/session.fifo"
  mkfifo "$state/session.fifo"
  # The desktop process first, so that no program of the session has to
  # start it; then cmd.exe, which reads its commands from the FIFO and holds
  # it open for writing too, so it waits for them without end.
  start_desktop
  setsid "$WINE" cmd.exe <>"$state/session.fifo" >/dev/null 2>&1 9>&- &
  echo $! >"$state/keeper.pid"
  local deadline=$((SECONDS + ${ORVANTA_HARNESS_DESKTOP_TIMEOUT:-600})) started=$SECONDS
  until desktop_ready; do
    if ((SECONDS >= deadline)); then
      echo "harness: Wine's desktop process did not load a display driver in ${ORVANTA_HARNESS_DESKTOP_TIMEOUT:-600} s" >&2
      return 1
    fi
    # A program that gave up waiting for the desktop process leaves the
    # desktop without one: start another.
    if ((SECONDS - started >= 60)); then
      start_desktop
      started=$SECONDS
    fi
    sleep 1
  done
}

# The callers' programs have ended; what is left, the keeper and the desktop
# process among it, is the session's own.
end_session() {
  within 60 "$WINESERVER" -k 9>&- || true
  local status=0
  within 300 "$WINESERVER" -w 9>&- || status=$?
  rm -f "$state/keeper.pid" "$state/session.fifo"
  return "$status"
}

# One harness command at a time changes the harness: a run that is starting
# the session and a stop must not each find the other's half-made state (a
# stop that kills the Xvfb server a start has just begun). Making a prefix
# under emulation is the longest hold.
lock_harness() {
  exec 9>"$state/lock"
  if ! flock -w 3600 9; then
    echo "harness: another harness command has held $state/lock for an hour" >&2
    exit 1
  fi
}

unlock_harness() {
  flock -u 9
  exec 9>&-
}

ensure_started() {
  lock_harness
  [[ -f "$state/asound.conf" && -f "$state/asound-none.conf" ]] || write_alsa_config
  xvfb_running || start_xvfb
  export DISPLAY=":$(head -n1 "$state/display")"
  make_prefix
  session_running || start_session
  unlock_harness
}

case "$command" in
  start)
    ensure_started
    ;;
  run)
    ensure_started
    errors=$(mktemp "$state/stderr.XXXXXX")
    program=
    trap 'echo "harness: stopped by a signal while $1 ran" >&2; [[ -z $program ]] || kill "$program" 2>/dev/null; rm -f "$errors"; exit 143' TERM INT HUP
    "$WINE" "$@" <&0 2>"$errors" &
    program=$!
    # Whenever a program asks Windows for MIDI devices (the DxDiag provider
    # does), Wine's ALSA driver looks for the ALSA sequencer, and ALSA prints
    # "ALSA lib seq.c:...:(snd_seq_open_noupdate) Unknown SEQ default" on
    # standard error. ALSA prints some line on every way the sequencer can fail
    # to open, and a machine without a sound card has none to open, so that one
    # line is dropped from what Wine prints, and so is Wine's note that no MIDI
    # synthesizer exists; everything else passes unchanged.
    tail -q -f -s 0.1 --pid="$program" -n +1 "$errors" |
      sed -u -e '/^ALSA lib seq\.c:[0-9]*:(snd_seq_open_noupdate) Unknown SEQ default$/d' \
        -e '/^[0-9a-f]*:err:winediag:MIDIMAP_drvOpen No software synthesizer midi port found/d' >&2 &
    copy=$!
    status=0
    # (Quietly: the program's exit code says how it ended.)
    wait "$program" 2>/dev/null || status=$?
    # Not a bare wait: the session's processes may be children of this shell.
    wait "$copy" || true
    rm -f "$errors"
    # A program that a signal ended (the kernel's out-of-memory killer, a
    # crash outside Windows code) prints nothing of its own: say so. (A
    # Windows exit code gives the same status only if the program chose it.)
    if ((status > 128)) && signal=$(kill -l "$status" 2>/dev/null); then
      echo "harness: $1 was ended by signal $((status - 128)) ($signal)" >&2
    fi
    exit "$status"
    ;;
  wait)
    lock_harness
    end_session
    unlock_harness
    ;;
  stop)
    lock_harness
    status=0
    end_session || status=$?
    if [[ -f "$state/xvfb.pid" ]]; then
      kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
      rm -f "$state/xvfb.pid" "$state/display"
    fi
    unlock_harness
    exit "$status"
    ;;
  *)
    echo "harness: unknown command $command" >&2
    exit 2
    ;;
esac
