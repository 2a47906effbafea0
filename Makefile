# Tavelo Desktop — the two commands of the README, and the benchmarks.
BUILD_DIR   ?= build
RELEASE_DIR ?= build-release
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_GEN   := -G Ninja

PACKAGE_DIR ?= build-package

.PHONY: all deps configure build test bench run package clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DTAVELO_SANITIZE=ON -DTAVELO_BUILD_TESTS=ON >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORMTHEME= \
	  ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

bench: deps
	@cmake -S . -B $(RELEASE_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DTAVELO_BUILD_TESTS=OFF -DTAVELO_BUILD_BENCH=ON >/dev/null
	@cmake --build $(RELEASE_DIR) -j $(JOBS)
	@for b in $(RELEASE_DIR)/bench/tavelo_*_bench; do echo "== $$b"; $$b; done

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

clean:
	rm -rf $(BUILD_DIR) $(RELEASE_DIR) $(PACKAGE_DIR)
