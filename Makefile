# Two commands on a fresh Debian 12 machine:
#   make run    installs what is missing, builds and starts a capture run
#   make test   installs what is missing, builds and runs every test
BUILD ?= build
JOBS ?= $(shell nproc)

# What a capture run needs: the program, its clipboard keeper, the tray
# program, the extension libraries and the local upload service; tests and
# benchmarks are left for make test/bench.
PROGRAM_TARGETS = snaplark snaplark-clipboard-keeper snaplarkTray Extension Win7Extension snaplark-server

.PHONY: all deps configure build program run test bench package clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

program: configure
	@cmake --build $(BUILD) -j$(JOBS) --target $(PROGRAM_TARGETS)

run: program
	@scripts/run-capture $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# a Debian package of the installed tree, in the build folder
package: build
	@cmake --build $(BUILD) --target package

bench: build
	@bench/run-all $(BUILD)

clean:
	rm -rf $(BUILD)
