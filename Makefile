# One entry point for newcomers and CI: every target installs what is missing first.
BUILD    ?= build
SANITIZE ?= build-sanitize
JOBS     ?= $(shell nproc)
PREFIX   ?= $(HOME)/.local
CMAKE_FLAGS ?=
# A locale that writes decimals with a comma: the suite runs once more in it,
# so no number we write or read can follow the user's locale unnoticed.
TEST_LOCALE ?= de_DE.UTF-8
# Every test entry stops after this many seconds, also one that hangs.
TEST_TIMEOUT ?= 600
LSAN_SUPPRESSIONS = $(CURDIR)/tests/lsan.supp
CTEST = QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout $(TEST_TIMEOUT) -j $(JOBS)

.PHONY: all deps configure build test test-locale bench sanitize clean run install

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
	cd $(BUILD) && $(CTEST)
	$(MAKE) --no-print-directory test-locale

# The same build's tests once more under the comma locale.
test-locale: build
	@if [ "$$(LC_ALL=$(TEST_LOCALE) locale decimal_point 2>/dev/null)" != "," ]; then \
	  echo "The locale $(TEST_LOCALE) is missing or has no decimal comma (make deps generates it)"; exit 1; fi
	cd $(BUILD) && LC_ALL=$(TEST_LOCALE) $(CTEST)

bench: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target measure_bench display_bench io_bench job_bench
	$(BUILD)/bin/measure_bench
	$(BUILD)/bin/display_bench
	$(BUILD)/bin/io_bench
	$(BUILD)/bin/job_bench

sanitize: deps
	cmake -S . -B $(SANITIZE) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALVEX_SANITIZE=ON -DKALVEX_BENCH=OFF
	cmake --build $(SANITIZE) -j $(JOBS)
	cd $(SANITIZE) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(LSAN_SUPPRESSIONS) \
	  UBSAN_OPTIONS=print_stacktrace=1 $(CTEST)

clean:
	rm -rf $(BUILD) $(SANITIZE)
