# Everything a newcomer needs: `make run` and `make test` install what is
# missing, build, and run.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= 2
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test test-unit test-sanitize bench fuzz mutate count clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ]; then \
	  echo "No display is set. Run the plug-in on a virtual X server instead:"; \
	  echo "  xvfb-run -a -s '-screen 0 1280x1024x24' $(BUILD)/quarn-host"; \
	  echo "or set DISPLAY to your X display and run 'make run' again."; \
	  exit 1; \
	fi
	$(BUILD)/quarn-host

# The whole suite, then the same tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: test-unit test-sanitize

test-unit: build
	scripts/with-display.sh ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	scripts/test-sanitized.sh $(ASAN_BUILD) $(JOBS)

bench: build
	scripts/run-benchmarks.sh $(BUILD)

fuzz: deps
	scripts/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS)

# Plants each fault of tests/mutants.txt alone and checks that the suite
# catches it (long: not part of make test). MUTATE_ARGS="--only ID,..." runs a few.
MUTATE_ARGS ?=
mutate: deps
	scripts/with-display.sh scripts/mutate.py --jobs $(JOBS) $(MUTATE_ARGS)

# Lines of tests against lines of product C++.
count:
	@scripts/count-lines.py

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz build-mutate
