# Ties the build trees together (host, windows, windows64). Every target runs `setup` first, so each
# command works on a fresh Debian 12 machine. See README.md.
SHELL := /bin/bash
ROOT := $(CURDIR)
BOOK ?= $(ROOT)/book
JOBS ?= $(shell nproc)
HOST := build/host
WIN := build/windows
WIN64 := build/windows64
BOOKPACK := $(ROOT)/$(HOST)/tools/bookpack/bookpack
PECOMPACT := $(ROOT)/$(HOST)/tools/pecompact/pecompact

.PHONY: all setup host windows windows64 run check bench fuzz clean

all: windows windows64

setup:
	@sh scripts/setup.sh

host: setup
	@mkdir -p build
	@cmake --preset host -DTOLM_BOOK_DIR=$(BOOK) >build/host-configure.log || { cat build/host-configure.log; exit 1; }
	@cmake --build $(HOST) -j$(JOBS)

# The shipped 32-bit programs and their tests.
windows: host
	@cmake --preset windows -DBOOKPACK=$(BOOKPACK) -DPECOMPACT=$(PECOMPACT) -DTOLM_BOOK_DIR=$(BOOK) >build/windows-configure.log || { cat build/windows-configure.log; exit 1; }
	@cmake --build $(WIN) -j$(JOBS)

# Their 64-bit twin and its tests, for hosts whose Wine runs only 64-bit
# programs. It also reads the 32-bit programs' resources, from $(WIN).
windows64: host
	@cmake --preset windows64 -DBOOKPACK=$(BOOKPACK) -DPECOMPACT=$(PECOMPACT) -DTOLM_BOOK_DIR=$(BOOK) \
	    -DTOLM_PRODUCT_TREE=$(ROOT)/$(WIN) >build/windows64-configure.log || { cat build/windows64-configure.log; exit 1; }
	@cmake --build $(WIN64) -j$(JOBS)

# Builds the programs this host's Wine runs (scripts/windows-arch) and starts
# the installer: on the user's display when there is one, otherwise headless,
# driven through its default path.
run: setup
	@$(MAKE) --no-print-directory $(if $(filter 64,$(shell scripts/windows-arch)),windows64,windows)
	@scripts/run.sh

# Every test of every tree. The Windows tests run under Wine, on a virtual
# display when there is no real one, against the programs this host runs
# (scripts/check-windows); every Wine server is ended afterwards.
check: windows windows64
	ctest --test-dir $(HOST) --output-on-failure -j$(JOBS)
	@scripts/check-windows $(JOBS)

bench: all
	@scripts/bench.sh

fuzz: host
	@scripts/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf build
