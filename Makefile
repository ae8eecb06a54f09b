# Viertal -- the two set-up commands of the README, and the other everyday tasks.
#   make run      installs the game's missing Debian packages, builds the game, starts it
#   make test     installs every missing Debian package, builds, runs every test: the format and static
#                 checks, the unit tests under AddressSanitizer and ThreadSanitizer, then every CTest
#                 test (unit, fuzz seeds, the real window under Xvfb, the Windows program under
#                 Wine, the Debian package)
#   make check    builds and runs the unit tests only: the edit-compile loop
#   make bench    builds and runs the benchmarks, prints one table
#   make fuzz     fuzzes every target for FUZZ_SECONDS (default 600)
#   make package  builds the Debian package build/viertal_<version>_<arch>.deb
#   make windows  cross-builds the Windows program build-windows/viertal.exe and its zip
#   make web      builds the browser version into build-web/site/ (a folder any static web host serves)
#   make web-run  builds it and serves it on http://127.0.0.1:$(WEB_PORT)/
#   make format   formats the project's sources in place

BUILD ?= build
JOBS  ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 600
WEB_PORT ?= 8640

.PHONY: all deps configure build run test check bench fuzz package windows web web-run format clean

# The groups of scripts/debian-packages.txt each target needs: `deps` installs the missing packages
# of the groups of the targets asked for; make test and `make deps` alone, of every group (what
# scripts/install-deps does when given no group).
deps_all       = run
deps_configure = run
deps_build     = run
deps_run       = run
deps_check     = run check
deps_windows   = run windows
deps_web       = run web
deps_web-run   = run web
deps_package   = run package
deps_fuzz      = run check fuzz
deps_bench     = run bench windows web test
goal_groups = $(sort $(foreach goal,$(or $(MAKECMDGOALS),all),$(deps_$(goal))))
DEPS_GROUPS = $(if $(filter deps test,$(MAKECMDGOALS)),,$(goal_groups))

all: build

deps:
	@scripts/install-deps $(DEPS_GROUPS)

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target viertal
	./$(BUILD)/viertal

test: build
	@cmake --build $(BUILD) --target windows
	@cmake --build $(BUILD) --target web
	@scripts/check-sources
	scripts/test-sanitizers
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

check: configure
	@cmake --build $(BUILD) -j $(JOBS) --target unit_programs
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L unit

bench: build
	@cmake --build $(BUILD) --target windows
	@cmake --build $(BUILD) --target web
	scripts/bench $(BUILD)

fuzz: deps
	scripts/fuzz $(FUZZ_SECONDS)

package: build
	cmake --build $(BUILD) --target package

windows: deps
	@cmake -S . -B build-windows --toolchain tools/windows/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-windows -j $(JOBS)

web: deps
	@cmake -S . -B build-web --toolchain tools/web/emscripten.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-web -j $(JOBS)
	@echo "The browser version: build-web/site/"

web-run: web
	@echo "Viertal in the browser: http://127.0.0.1:$(WEB_PORT)/ (Ctrl+C stops the server)"
	@/usr/bin/python3 -m http.server $(WEB_PORT) --bind 127.0.0.1 --directory build-web/site

format:
	@scripts/source-files | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-address build-thread build-fuzz build-windows build-web
