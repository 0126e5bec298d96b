# Everything a newcomer needs: `make run` and `make test` install what is
# missing, build, and run.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= 2
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60
# 1: the same inputs every time (what CI runs); 0: a new random start each run.
FUZZ_SEED ?= 1
# What to tell the user to run again after a failed step.
GOAL = $(or $(MAKECMDGOALS),all)

WIN32_BUILD ?= build-win32

.PHONY: all deps configure build run test test-unit test-sanitize bench fuzz mutate count clean \
        format format-check win32 win32-test win32-dist win32-bench

all: build

deps:
	@scripts/install-deps.sh || { \
	  echo; echo "FAILED: installing the Debian packages the build needs."; \
	  echo "Fix: run 'sudo scripts/install-deps.sh' (or as root), then 'make $(GOAL)' again."; \
	  exit 1; }

# Written only after cmake succeeds, so a failed or interrupted configure is
# simply run again by the next make.
CONFIGURED := $(BUILD)/.configured

$(CONFIGURED):
	@rm -f $@
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) || { \
	  echo; echo "FAILED: configuring the build in $(BUILD)/ (the CMake error above says what is missing)."; \
	  echo "Fix: 'make deps' installs the packages; then 'make $(GOAL)' configures again."; \
	  exit 1; }
	@touch $@

configure: deps $(CONFIGURED)

build: configure
	@cmake --build $(BUILD) -j $(JOBS) || { \
	  echo; echo "FAILED: compiling (the first error above)."; \
	  echo "If the build folder itself is broken: 'make clean', then 'make $(GOAL)'."; \
	  exit 1; }

run: build
	@if [ -z "$$DISPLAY" ]; then \
	  echo "No display is set. Run the plug-in on a virtual X server instead:"; \
	  echo "  xvfb-run -a -s '-screen 0 1280x1024x24' $(BUILD)/quarn-host"; \
	  echo "or set DISPLAY to your X display and run 'make run' again."; \
	  exit 1; \
	fi
	@$(BUILD)/quarn-host || { \
	  echo; echo "FAILED: quarn-host ended with an error (its message is above)."; exit 1; }

# The whole suite, then the same tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: test-unit test-sanitize

test-unit: build
	@scripts/with-display.sh ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) || { \
	  echo; echo "FAILED: the tests listed above."; \
	  echo "Run one again on its own: scripts/with-display.sh ctest --test-dir $(BUILD) --output-on-failure -R <name>"; \
	  exit 1; }

test-sanitize: deps
	@scripts/test-sanitized.sh $(ASAN_BUILD) $(JOBS) || { \
	  echo; echo "FAILED: the tests built with AddressSanitizer and UBSan (report above)."; \
	  echo "Run one again on its own: scripts/with-display.sh ctest --test-dir $(ASAN_BUILD) --output-on-failure -R <name>"; \
	  exit 1; }

bench: build
	scripts/run-benchmarks.sh $(BUILD)

fuzz: deps
	scripts/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS) $(FUZZ_SEED)

# Plants each fault of tests/mutants.txt alone and checks that the suite
# catches it (long: not part of make test). MUTATE_ARGS="--only ID,..." runs a few.
MUTATE_ARGS ?=
mutate: deps
	scripts/with-display.sh scripts/mutate.py --jobs $(JOBS) $(MUTATE_ARGS)

# Rewrites every C and C++ file in the tree's one format (.clang-format).
format:
	@scripts/format.sh

# Fails, naming them, when files are not in that format or when a test uses a
# comma operator (CI runs this).
format-check:
	@scripts/format.sh --check
	@scripts/check-commas.sh

# Lines of tests against lines of product C++, both formatted first; fails on
# a test line over the column limit.
count:
	@scripts/count-lines.py

# The 32-bit Windows DLL and host, cross-built with mingw-w64 against libraries
# cross-built once from Debian's sources (cached outside the clone).
win32:
	scripts/win32-build.sh $(WIN32_BUILD) $(JOBS)

# The Windows build's tests under Wine on a private X server; the Linux build
# (BUILD) is what its map text is compared with.
win32-test: build
	scripts/win32-build.sh $(WIN32_BUILD) $(JOBS) --test $(abspath $(BUILD))

# AdvancedRelievo-VERSION-win32.zip: the DLL, an install text, licence notices.
win32-dist: win32
	scripts/win32-dist.sh $(WIN32_BUILD)

# The map-text and terrain benchmarks, built for Windows and run under Wine
# beside the Linux build's; prints the Windows/Linux ratio of the medians.
win32-bench: build
	scripts/win32-bench.sh $(WIN32_BUILD) $(JOBS) $(abspath $(BUILD))

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz build-mutate $(WIN32_BUILD)
