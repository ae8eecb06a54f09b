#!/usr/bin/python3
"""key_latency.py -- key-to-screen latency of a window, measured from outside through the X server
(bench/watcher.py): 63 keys, 1 to 7 nine times, about 80 ms apart, each sent through
XTEST and timed from the moment the server has taken it to the first change of the window's
contents after it (the DAMAGE extension). Prints one line with the median, p90 and max in ms.

    key_latency.py WINDOW_ID      (DISPLAY names the X server; the window has the focus)
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "window"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))  # bench/watcher.py
from driver import Failure  # noqa: E402
from watcher import Watcher  # noqa: E402

KEYS = "1234567" * 9
GAP = 0.080  # seconds from one key to the next


def quantile(samples, q):
    """The value at fraction q of the sorted samples."""
    ordered = sorted(samples)
    return ordered[min(len(ordered) - 1, int(q * len(ordered)))]


def main():
    watcher = Watcher(os.environ["DISPLAY"])
    watcher.watch(window=int(sys.argv[1], 0))
    latencies = []
    try:
        for key in KEYS:
            sent = time.time()
            latencies.append(1000.0 * watcher.key_latency(key))
            watcher.pause(sent + GAP - time.time())  # takes the reaction's later changes too
    except Failure as failure:
        sys.exit("key_latency: %s" % failure)
    finally:
        watcher.close()
    print("screen: key-to-screen latency over %d keys, ms (target median < 15): median %.2f, p90 %.2f, max %.2f"
          % (len(latencies), quantile(latencies, 0.5), quantile(latencies, 0.9), quantile(latencies, 1.0)))


if __name__ == "__main__":
    main()
