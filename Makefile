# Two commands for a fresh Debian machine: `make run` and `make test`.
# Both install missing packages first (scripts/install-deps.sh).

BUILD      ?= build
PREFIX     ?= /usr/local
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
ARGS       ?=

export LSAN_OPTIONS := suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS := print_stacktrace=1:halt_on_error=1

.PHONY: all deps build run test test-fast test-asan bench install uninstall pot clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX) > /dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)/pathlark.bin $(ARGS)

# Every suite, then the same suites again under AddressSanitizer and UBSan.
test: test-fast test-asan

test-fast: build
	@cd $(BUILD) && ctest --output-on-failure

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DPATHLARK_SANITIZE=ON > /dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ctest --output-on-failure

bench: build
	@bash scripts/install-deps.sh --bench
	@cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	@bash scripts/run-benchmarks.sh $(BUILD)

# `make` first, then `sudo make install` (the same PREFIX for both);
# DESTDIR=/some/root stages it elsewhere.
install:
	@test -x $(BUILD)/pathlark.bin || $(MAKE) build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# Removes what the last install wrote (build/install_manifest.txt).
uninstall:
	@cmake -DMANIFEST=$(CURDIR)/$(BUILD)/install_manifest.txt -P cmake/Uninstall.cmake

# Renews the message templates po/*/*.pot from the sources; translators then
# bring their catalogues up to date with msgmerge --update --no-wrap.
pot:
	@bash scripts/extract-messages.sh po

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
