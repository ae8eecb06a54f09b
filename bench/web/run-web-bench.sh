#!/usr/bin/env bash
# run-web-bench.sh -- the browser version in Debian's headless Chromium (no X server needed).
#
#   bench/web/run-web-bench.sh [BUILD_DIR]
#
# Measures BUILD_DIR/web/site (cmake --build BUILD_DIR --target web) through the tests' driver,
# tests/window/browser.py: page load to the first complete start screen (WEB_BENCH_RUNS, 10,
# first visits in fresh profiles and as many returning ones; target < 300 ms), key to changed
# canvas over the headless transcript's game by keys (target < 16 ms), the main thread's busy
# time and the timers and animation frames while the game waits at the start question
# (WEB_BENCH_IDLE_RUNS, 3, x WEB_BENCH_SECONDS, 20; target < 0.5 %, none) and the bytes of a
# first visit as gzip -9 would send them (target < 500 KB). See bench/web/web_bench.py.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
[ -f "$build/web/site/index.html" ] || {
  echo "run-web-bench: $build/web/site is not built (cmake --build $build --target web)" >&2
  exit 1
}
exec /usr/bin/python3 "$here/web_bench.py" "$build/web/site" "$here/../../tests/golden"
