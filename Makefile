# fxview: `make run` builds and runs the viewer on ./main.fx, `make test` builds and runs every test.
# Both install the Debian packages they need first. `make install` puts fxview on the PATH.
JOBS ?= $(shell nproc)
BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: all deps build run test windows windows-smoke install uninstall deb asan soak gallery clean fuzz gpu-check

all: build

deps:
	@scripts/deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Only the viewer is built, not the tests. `make run SAMPLE=life` runs a sample from samples/
# instead, in its own folder.
run: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target fxview
	@scripts/run.sh $(BUILD)/fxview $(if $(SAMPLE),samples/$(SAMPLE),.)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# fxview against a direct-Vulkan baseline: frame rate, start-up, F5 reload latency, memory, allocations.
# Prints figures and writes bench/results.md; `make bench ROUNDS=1 RELOADS=100` is the quick look.
ROUNDS ?= 3
RELOADS ?= 1000
BENCH_OUT ?= bench/results.md
# Debian's own Python, which has the python3-matplotlib that scripts/deps.sh --bench installs.
BENCH_PYTHON ?= /usr/bin/python3
BENCH_TARGETS = fxview fxbench_baseline fxbench_frame_watch fxbench_alloc_count fxbench_compile_time

.PHONY: bench
bench: deps $(BUILD)/CMakeCache.txt
	@scripts/deps.sh --bench
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) > /dev/null
	cmake --build $(BUILD) -j $(JOBS) --target $(BENCH_TARGETS)
	$(BENCH_PYTHON) bench/run.py --build $(BUILD) --rounds $(ROUNDS) --reloads $(RELOADS) --out $(BENCH_OUT)

# Cross-builds the Windows program with mingw-w64 against the real Windows headers and libraries.
windows:
	@scripts/deps.sh --windows
	cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=scripts/mingw-w64.cmake
	cmake --build build-windows -j $(JOBS)
	@echo "built build-windows/fxview.exe"

# The Windows program under Wine beside the Linux build, on the shaders in tests/windows/: the same
# console, picture and exit codes; and the conformance program under Wine.
windows-smoke: windows deps $(BUILD)/CMakeCache.txt
	@scripts/deps.sh --wine
	cmake --build $(BUILD) -j $(JOBS) --target fxview
	scripts/windows-smoke.sh $(BUILD)/fxview build-windows/fxview.exe build-windows/tests/conformance/fxconformance.exe

# `make install` puts fxview and fxview-compile in $(PREFIX)/bin, and the default main.fx, the
# samples and the shader contract in $(PREFIX)/share/fxview; `make install PREFIX=~/.local` installs
# for one user.
PREFIX ?= /usr/local
install: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target fxview fxview-compile
	cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	rm -f $(PREFIX)/bin/fxview $(PREFIX)/bin/fxview-compile
	rm -rf $(PREFIX)/share/fxview

# A Debian package, $(BUILD)/fxview_*.deb, for `apt install ./$(BUILD)/fxview_*.deb`.
deb: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target fxview fxview-compile
	cd $(BUILD) && cpack -G DEB

# The whole suite under AddressSanitizer, UndefinedBehaviorSanitizer and leak detection.
asan:
	@$(MAKE) --no-print-directory test BUILD=build-asan CMAKE_FLAGS="-DFXVIEW_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

# Fuzzes the shader front end with libFuzzer (clang, in build-fuzz) for FUZZ_SECONDS on a copy of
# fuzz/corpus; fails on any crash, leak, hang or sanitizer report.
FUZZ_SECONDS ?= 60
fuzz:
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) scripts/fuzz.sh

# fxview with AddressSanitizer and leak detection under Xvfb for 600 frames, reloading a good, a
# broken and an empty main.fx in turn every 5 frames: zero leaks, errors and validation messages.
soak:
	@scripts/deps.sh
	cmake -S . -B build-asan -DFXVIEW_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug > /dev/null
	cmake --build build-asan -j $(JOBS) --target fxview fxkeep_libraries
	tests/with-xvfb.sh 1920x1080 python3 scripts/soak.py build-asan/fxview build-asan/tests/libfxkeep_libraries.so

# Pictures of the default shader and of each sample, for the README: docs/gallery/*.png.
gallery: build
	tests/with-xvfb.sh 1920x1080 python3 scripts/gallery.py $(BUILD)/fxview

# For a machine with a GPU, in build-gpu-check: the device and the limits the layer relies on, the
# device tests and samples under synchronization, best-practices and GPU-assisted validation, the
# end-to-end tests on DISPLAY (else Xvfb) and the benchmark once; a short report. Not part of
# `make test`. GPU_CHECK_FLAGS=--no-bench leaves the benchmark out.
gpu-check: deps
	@scripts/gpu-check.sh $(GPU_CHECK_FLAGS)

# Every build folder the targets above make; $(BUILD) too when it was named another.
clean:
	rm -rf $(BUILD) build build-asan build-windows build-fuzz build-gpu-check
