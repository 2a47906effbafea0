# Tavelo Desktop — the two commands of the README, the benchmarks and the fuzzers.
BUILD_DIR   ?= build
RELEASE_DIR ?= build-release
TEST_RELEASE_DIR ?= build-test-release
FUZZ_DIR    ?= build-fuzz
# Seconds each fuzz target runs for; the corpus replay of `make test` takes none of this.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := picture album_json album_file extract
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_GEN   := -G Ninja

PACKAGE_DIR ?= build-package

.PHONY: all deps configure build test test-release bench fuzz fuzz-build run package format format-check clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DTAVELO_SANITIZE=ON -DTAVELO_BUILD_TESTS=ON \
	  -DTAVELO_WERROR=ON >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# Runs every test, then names the slowest (also when some failed).
test: build
	@cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORMTHEME= \
	  ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS); \
	  status=$$?; bash $(CURDIR)/scripts/slowest-tests.sh . 10; exit $$status

# The same tests built as a user or packager builds (Release, -O3), where the optimiser sees
# faults and warnings that the sanitizer build does not.
test-release: deps
	@cmake -S . -B $(TEST_RELEASE_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DTAVELO_BUILD_TESTS=ON -DTAVELO_BUILD_BENCH=ON -DTAVELO_WERROR=ON >/dev/null
	@cmake --build $(TEST_RELEASE_DIR) -j $(JOBS)
	@cd $(TEST_RELEASE_DIR) && QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORMTHEME= \
	  ctest --output-on-failure -j $(JOBS); \
	  status=$$?; bash $(CURDIR)/scripts/slowest-tests.sh . 10; exit $$status

bench: deps
	@cmake -S . -B $(RELEASE_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DTAVELO_BUILD_TESTS=OFF -DTAVELO_BUILD_BENCH=ON >/dev/null
	@cmake --build $(RELEASE_DIR) -j $(JOBS)
	@for b in $(RELEASE_DIR)/bench/tavelo_*_bench; do echo "== $$b"; $$b; done

# libFuzzer needs clang: its own build folder, every library instrumented for coverage.
# `fuzz-build` only builds the targets, which CI does so that clang keeps compiling them.
fuzz-build: deps
	@bash scripts/install-deps.sh fuzz
	@cmake -S . -B $(FUZZ_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
	  -DTAVELO_SANITIZE=ON -DTAVELO_BUILD_TESTS=ON -DTAVELO_FUZZ=ON -DTAVELO_WERROR=ON >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(addprefix tavelo_fuzz_,$(FUZZ_TARGETS))

fuzz: fuzz-build
	@bash fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

run: deps
	@bash scripts/run.sh

package: deps
	@bash scripts/install-deps.sh package
	@cmake -S . -B $(PACKAGE_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DTAVELO_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(PACKAGE_DIR) -j $(JOBS)
	@rm -f $(PACKAGE_DIR)/tavelo_*.deb
	@cd $(PACKAGE_DIR) && cpack -G DEB >/dev/null
	@bash scripts/check-package.sh $(PACKAGE_DIR)/tavelo_*.deb

# Every C++ file the project tracks, formatted with its .clang-format; `format-check` changes
# nothing and fails on the first file that differs (CI runs it).
CLANG_FORMAT ?= clang-format-14
format:
	@bash scripts/install-deps.sh format
	@git ls-files '*.cpp' '*.h' | xargs $(CLANG_FORMAT) -i

format-check:
	@bash scripts/install-deps.sh format
	@git ls-files '*.cpp' '*.h' | xargs $(CLANG_FORMAT) --dry-run -Werror

clean:
	rm -rf $(BUILD_DIR) $(RELEASE_DIR) $(TEST_RELEASE_DIR) $(PACKAGE_DIR) $(FUZZ_DIR)
