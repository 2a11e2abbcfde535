# Duomira: the two commands are `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-bench
PREFIX     ?= /usr/local
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: all deps configure build run test test-asan fuzz-smoke format-check bench bench-figures install package clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/duomira

# The layout check comes first: it takes seconds and fails before a long build.
test: format-check build
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 600
	@$(MAKE) --no-print-directory fuzz-smoke

# Installs the programs, the imaging modules, the desktop entry, the icons and the
# AppStream metadata under PREFIX (make install PREFIX=$HOME/.local).
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, made by CPack from the built tree, in $(BUILD)/packages.
package: build
	@cd $(BUILD) && cpack --config CPackConfig.cmake -B packages

# Whether every C++ file in src/ and tests/ is laid out as .clang-format says; changes nothing.
format-check: deps
	@find src tests -path tests/data -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 | \
	  xargs -0 clang-format-14 --dry-run --Werror

# libFuzzer targets built with clang, AddressSanitizer and UndefinedBehaviorSanitizer,
# each run briefly on its seed corpus.
fuzz-smoke: deps
	@cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DDUOMIRA_FUZZ=ON -DDUOMIRA_WIDGETS=OFF -DDUOMIRA_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@cd $(FUZZ_BUILD) && ctest -j $(JOBS) --output-on-failure

# The whole suite under AddressSanitizer + UndefinedBehaviorSanitizer; any report fails.
test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DDUOMIRA_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest -j $(JOBS) --output-on-failure --timeout 900

bench:
	@DUOMIRA_BENCH_DEPS=1 scripts/install-deps
	@cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DDUOMIRA_BENCH=ON -DDUOMIRA_TESTS=OFF >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@echo "Benchmarks are in $(BENCH_BUILD)/bin/bench_*"

# The figures measured against the tools people would otherwise use, and against the
# plain libraries, each in the same run as its reference (BENCH_WRAP prefixes each program,
# for example with a lock on a shared machine).
BENCH_FIGURES := batch_copy lossless_rotation cli_inspect exif_reader imaging_thumbnail heif_raw
bench-figures: bench
	@for b in $(BENCH_FIGURES); do echo "== bench_$$b"; \
	  (cd $(BENCH_BUILD) && $(BENCH_WRAP) bin/bench_$$b) || exit 1; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)
