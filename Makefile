# The two commands: `make run` and `make test`. Everything else is a helper.
BUILD ?= build
JOBS ?= 2

.PHONY: all deps configure build run test test-asan fuzz bench package windows screenshots clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)/app/robot-kovra

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Everything built with AddressSanitizer and UndefinedBehaviorSanitizer in
# $(ASAN_BUILD); the unit, render, e2e and reliability tiers run under them.
ASAN_BUILD ?= build-asan
test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVRA_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@tests/reliability/sanitized.sh $(ASAN_BUILD) -j $(JOBS)

# The long reliability runs: 10^6 fuzzed messages, damaged resource scripts,
# a session under valgrind, 200 dialog and menu cycles.
fuzz: build
	@ctest --test-dir $(BUILD) -C Nightly -L nightly --verbose

# Start-up, key-to-frame, coalescing, idling and memory beside a minimal GLX
# program and the Windows build under Wine; the table, and <build>/bench.json.
bench: configure
	@bench/run.sh $(BUILD)

# The Debian package: <build>/robot-kovra_<version>_<arch>.deb.
package: build
	@cmake --build $(BUILD) --target package

# Both Windows builds, zipped into <build>/robot-kovra-windows.zip.
windows: deps
	@tests/windows/build.sh $(CURDIR) $(BUILD)/win32 $(CURDIR)/cmake/toolchain-i686-w64-mingw32.cmake
	@tests/windows/build.sh $(CURDIR) $(BUILD)/win64 $(CURDIR)/cmake/toolchain-x86_64-w64-mingw32.cmake
	@scripts/windows-zip.sh $(BUILD)

# The README's pictures in docs/, taken of both builds running.
screenshots: build windows
	@scripts/screenshots.sh $(BUILD) docs

clean:
	rm -rf $(BUILD)
