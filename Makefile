# Terraquill: the two commands a newcomer needs are `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
WIN_BUILD  ?= build-windows
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_GEN  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps build build-asan test test-normal test-asan kill-long run bench windows check-windows windows-zip fuzz clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTQ_SANITIZE=ON -DTQ_BENCH=OFF

build-asan: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-normal: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/support/lsan.supp \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# Every test, twice: a normal build and a sanitizer build. Fails if either fails.
test: test-normal test-asan

# The kill test at length: KILLS random SIGKILLs per two-file writer (freeze, melt, apply),
# besides the kill before each of their renames that every run makes.
KILLS ?= 100
kill-long: build
	TQ_KILLS=$(KILLS) TQ_KILL_OPS="freeze melt apply" bash tests/hardening/kill_test.sh $(BUILD)/bin/terraquill-cli $(BUILD)

run: build
	@scripts/run.sh $(BUILD)

bench: deps
	@scripts/install-deps.sh bench
	cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@scripts/run-benchmarks.sh $(BENCH_BUILD)

# Windows (MinGW-w64 cross-compile, no Qt): terraquill-cli.exe and the core's test
# programs in $(WIN_BUILD)/bin, statically linked. docs/windows.md tells the rest.
windows:
	@scripts/install-deps.sh mingw
	cmake -S . -B $(WIN_BUILD) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DTQ_CORE_ONLY=ON \
	  -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN_BUILD) -j $(JOBS)

# The Windows tests under Wine, and the Windows CLI compared with the Linux one
# (which it builds in $(BUILD) when missing).
check-windows: windows deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target terraquill-cli
	@scripts/check-windows.sh $(WIN_BUILD) $(BUILD)

# dist/terraquill-cli-windows.zip: the CLI with AutoSelect.txt, its help text and a README.
windows-zip: windows
	@scripts/windows-zip.sh $(WIN_BUILD) dist/terraquill-cli-windows.zip

# Every fuzz harness for FUZZ_SECONDS, with clang's libFuzzer (ASan + UBSan).
fuzz:
	@scripts/install-deps.sh fuzz
	cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DTQ_CORE_ONLY=ON -DTQ_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(WIN_BUILD) $(FUZZ_BUILD)
