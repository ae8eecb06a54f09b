#!/usr/bin/env bash
# install_deps_test.sh -- what scripts/install-deps asks apt for, through its --dry-run and a fake
# dpkg-query: each make target only its own packages, an installed machine nothing, and a held
# package manager lock waited for and named.
#   tests/scripts/install_deps_test.sh SOURCE_DIR SCRATCH_DIR
set -euo pipefail
top=$1 work=$2
rm -rf "$work" && mkdir -p "$work/bin"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The fake reports installed every package but those in $MISSING ("all": none).
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/bin/sh
shift 2
for p; do
  case " $MISSING " in *" all "* | *" $p "*) echo "$p not-installed" ;; *) echo "$p installed" ;; esac
done
FAKE
chmod +x "$work/bin/dpkg-query"
deps() { PATH="$work/bin:$PATH" "$top/scripts/install-deps" --dry-run "$@" 2>&1; }
asks() { deps "$@" | sed -n 's/.*would run: apt-get .* install .*--no-install-recommends //p'; }

# What each make target asks for on a bare machine: the groups its recipe passes.
for target in run windows web test; do
  groups=$(make -s -n -C "$top" "$target" | sed -n 's/^scripts\/install-deps//p' | head -1)
  packages=" $(MISSING=all asks $groups) "
  case $target in
    run) expected="cmake g++ libsdl2-dev zlib1g-dev" absent="libgtest-dev libbenchmark-dev wine64 emscripten chromium orca" ;;
    windows) expected="g++ g++-mingw-w64-x86-64-posix" absent="wine64 emscripten libgtest-dev" ;;
    web) expected="cmake emscripten binaryen" absent="chromium g++-mingw-w64-x86-64-posix libgtest-dev" ;;
    test) expected="zlib1g-dev libgtest-dev libbenchmark-dev wine64 emscripten chromium orca lintian clang" absent="" ;;
  esac
  for p in $expected; do [[ $packages == *" $p "* ]] || fail "make $target does not ask for $p:$packages"; done
  for p in $absent; do [[ $packages != *" $p "* ]] || fail "make $target asks for $p:$packages"; done
done
# Every package of the list once, for every group.
listed=$(sed 's/#.*//; /\[/d' "$top/scripts/debian-packages.txt" | tr -s ' \n' '\n' | sed '/^$/d' | sort -u)
[ "$(MISSING=all asks | tr ' ' '\n' | sort)" = "$listed" ] || fail "no group: not every listed package once"
# Only what is missing; nothing missing, no apt call.
[ "$(MISSING="cmake wine64" asks run test)" = "cmake wine64" ] || fail "asks for more than the missing ones"
out=$(MISSING="" deps run test)
[[ $out != *apt-get* ]] || fail "an installed machine calls apt: $out"
deps nogroup >/dev/null && fail "an unknown group is accepted"

# A held lock: named and waited for, then a clear failure; or the install once it is free.
lock=$work/lock-frontend
coproc holder { exec /usr/bin/python3 -c '
import fcntl, os, sys
fd = os.open(sys.argv[1], os.O_RDWR | os.O_CREAT)
fcntl.lockf(fd, fcntl.LOCK_EX)
print("held", flush=True)
sys.stdin.read()' "$lock"; }
read -r _ <&"${holder[0]}"
export INSTALL_DEPS_LOCKS="$work/free-lock $lock"
out=$(MISSING=cmake INSTALL_DEPS_LOCK_WAIT=0 deps run) && fail "a held lock does not fail: $out"
[[ $out == *"$lock is held by process $holder_PID ("* ]] || fail "the holder is not named: $out"
[[ $out == *"still busy after 0 s"* && $out != *apt-get* ]] || fail "no clear failure: $out"
MISSING=cmake INSTALL_DEPS_LOCK_WAIT=600 deps run >"$work/waiting.out" &
waiting=$!
until grep -q "waiting for the package manager" "$work/waiting.out"; do sleep 0.1; done
grep -q "would run" "$work/waiting.out" && fail "apt is called while the lock is held"
exec {to_holder}>&"${holder[1]}"- && exec {to_holder}>&- # the holder's stdin closes: it ends
wait "$waiting" || fail "the wait did not end in the install: $(cat "$work/waiting.out")"
grep -q "would run: apt-get .* install .* cmake$" "$work/waiting.out" || fail "no install after the wait"

echo "install_deps_test: $failures failed"
[ "$failures" -eq 0 ]
