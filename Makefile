# One entry point for newcomers and CI: every target installs what is missing first.
BUILD    ?= build
SANITIZE ?= build-sanitize
JOBS     ?= $(shell nproc)
PREFIX   ?= $(HOME)/.local
CMAKE_FLAGS ?=

.PHONY: all deps configure build test bench sanitize clean run install

all: build

deps:
	@bash scripts/deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/kalvex $(ARGS)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)
	-update-desktop-database $(PREFIX)/share/applications 2>/dev/null

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target measure_bench display_bench
	$(BUILD)/bin/measure_bench
	$(BUILD)/bin/display_bench

sanitize: deps
	cmake -S . -B $(SANITIZE) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALVEX_SANITIZE=ON -DKALVEX_BENCH=OFF
	cmake --build $(SANITIZE) -j $(JOBS)
	cd $(SANITIZE) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(SANITIZE)
