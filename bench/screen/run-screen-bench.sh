#!/usr/bin/env bash
# run-screen-bench.sh -- idle CPU and key-to-screen latency of the SDL window, under Xvfb.
#
#   bench/screen/run-screen-bench.sh [BUILD_DIR]
#
# Idle: screen_bench waits for input as the game does (3 ms polls that sleep until input can
# have changed, the window's 10 ms pass) with the window focused and the pointer over it; its
# CPU time (utime + stime from /proc/PID/stat) over SCREEN_BENCH_SECONDS (20) is taken
# SCREEN_BENCH_RUNS (3) times; the X server's is shown beside it. Targets: program < 1 % of one
# core. The game (BUILD_DIR/viertal, when built) is measured the same way once, at its start
# question. Latency: 63 keys sent 80 ms apart through XTEST; for each, the time from the X server
# taking the key to the first change of the window's contents after it, as the server reports it
# (DAMAGE), by key_latency.py: measured from outside, the program carries no probe. Target:
# median < 15 ms.
set -eu

if [ "${1:-}" != "--inside-xvfb" ]; then
  here=$(cd "$(dirname "$0")" && pwd)
  build=$(cd "${1:-build}" && pwd)
  exec "$here/../../scripts/with-xvfb" bash "$here/run-screen-bench.sh" --inside-xvfb "$build"
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$2
program=$build/screen_bench
seconds=${SCREEN_BENCH_SECONDS:-20}
runs=${SCREEN_BENCH_RUNS:-3}
tick=$(getconf CLK_TCK)
work=$(mktemp -d "${TMPDIR:-/tmp}/screen-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
[ -x "$program" ] || { echo "run-screen-bench: $program is not built" >&2; exit 1; }

# Prints the CPU ticks (user + system) a process has used so far.
cpu_ticks() {
  sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

# Starts the bench program in a mode; sets pid and window once the window shows its picture.
start() {
  SCREEN_BENCH_MODE=$1 "$program" >"$work/$1.log" 2>&1 &
  pid=$!
  for _ in $(seq 200); do grep -qs '^ready' "$work/$1.log" && break; sleep 0.05; done
  window=$(timeout 10 xdotool search --sync --onlyvisible --name '^screen_bench$' | head -1)
  if [ -z "$window" ]; then
    echo "run-screen-bench: no window appeared; the program said:" >&2
    cat "$work/$1.log" >&2
    exit 1
  fi
  xdotool windowfocus --sync "$window"
  xdotool mousemove --window "$window" 320 240
}

# Ends the bench program with Escape and waits for it.
stop() {
  xdotool key Escape
  wait "$pid"
}

# Prints the median of its arguments.
median() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

program_runs=()
server_runs=()
for run in $(seq "$runs"); do
  start idle
  sleep 1
  p0=$(cpu_ticks "$pid"); x0=$(cpu_ticks "$XVFB_PID")
  sleep "$seconds"
  p1=$(cpu_ticks "$pid"); x1=$(cpu_ticks "$XVFB_PID")
  stop
  program_runs+=("$(awk -v d=$((p1 - p0)) -v t="$tick" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * d / t / s }')")
  server_runs+=("$(awk -v d=$((x1 - x0)) -v t="$tick" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * d / t / s }')")
done

# The game itself at its start question, when it is built: one run.
game_line=
if [ -x "$build/viertal" ]; then
  mkdir -p "$work/temp"
  temp="$work/temp" "$build/viertal" >"$work/viertal.log" 2>&1 &
  pid=$!
  window=$(timeout 10 xdotool search --sync --onlyvisible --name '^viertal$' | head -1)
  if [ -n "$window" ]; then
    xdotool windowfocus --sync "$window"
    xdotool mousemove --window "$window" 320 240
    sleep 2
    p0=$(cpu_ticks "$pid")
    sleep "$seconds"
    p1=$(cpu_ticks "$pid")
    game_line="screen: idle CPU of viertal at its start question, % of one core over ${seconds} s: $(awk -v d=$((p1 - p0)) -v t="$tick" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * d / t / s }')"
  fi
  xdotool key Escape
  wait "$pid" || true
fi

start latency
sleep 0.5
if ! latency_line=$(/usr/bin/python3 "$here/key_latency.py" "$window"); then
  echo "run-screen-bench: the latency run failed; the program said:" >&2
  cat "$work/latency.log" >&2
  exit 1
fi
stop

echo "screen: idle CPU of the waiting program, % of one core over ${seconds} s (target < 1):" \
     "median $(median "${program_runs[@]}") (runs ${program_runs[*]})"
echo "screen: idle CPU of the X server meanwhile, % of one core: median $(median "${server_runs[@]}") (runs ${server_runs[*]})"
[ -z "$game_line" ] || echo "$game_line"
echo "$latency_line"
