# Viertal -- the two set-up commands of the README, plus the benchmarks.
#   make run    installs missing Debian packages, builds, starts the game
#   make test   installs missing Debian packages, builds, runs every test
#   make bench  builds and runs the benchmarks, prints one table

BUILD ?= build
JOBS  ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run test bench clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/viertal

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	scripts/bench $(BUILD)

clean:
	rm -rf $(BUILD)
