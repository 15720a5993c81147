# The two commands: `make demo` builds everything, bakes the content and plays
# the demo; `make test` builds and runs every test. `make asan-test` runs the unit
# tests under AddressSanitizer and UndefinedBehaviorSanitizer; `make tsan-test`
# runs the tests that start threads (and the whole program) under ThreadSanitizer;
# `make fuzz` builds the fuzz targets (clang) and runs each for FUZZ_SECONDS.
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
SHOW_DIR := build/show
VELMOOR := build/app/velmoor

.PHONY: all deps build demo demo-data demo-pack test asan-test tsan-test fuzz bench clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

# The demo's data set, made from source by the content baker. The default build
# already bakes it (only when the baker changed); this makes sure it is there.
demo-data: build
	@cmake --build --preset default --target demo_data

demo: demo-data
	$(VELMOOR) --data $(SHOW_DIR) $(ARGS)

test: build
	@ctest --preset default -j $(JOBS)

asan-test: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

# Only what the threaded tests need is built: the whole program, the tools the
# tiny test demo comes from, and the test executables the preset's filter names.
TSAN_TARGETS := velmoor zkpack x11_window_tool whole_demo_tests demo_script_tests app_tests platform_tests \
	platform_gl_device_tests files_tests effects_tests
tsan-test: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS) --target $(TSAN_TARGETS)
	@ctest --preset tsan -j $(JOBS)

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run

bench: build
	@for b in build/bench/*/*_bench; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf build build-asan build-tsan build-fuzz build-debug

# A release folder: the executable, vlm.ini, one pack and the soundtrack.
demo-pack: demo-data
	@scripts/make-release build $(SHOW_DIR) build/release
