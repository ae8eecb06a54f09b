"""e2e_common.py -- what every end-to-end test script of the real window shares: its failure
type, its check, the test-tool check and the frame size."""
import shutil

TIMEOUT = 10.0  # seconds for any single wait
FRAME_W, FRAME_H = 640, 480


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def need_tools(*tools):
    missing = [t for t in tools if shutil.which(t) is None]
    check(not missing, "missing tools: %s (run scripts/install-deps)" % " ".join(missing))
