# Ties the two build trees together. Every target runs `setup` first, so each
# command works on a fresh Debian 12 machine. See README.md.
SHELL := /bin/bash
ROOT := $(CURDIR)
BOOK ?= $(ROOT)/book
JOBS ?= $(shell nproc)
HOST := build/host
WIN := build/windows
BOOKPACK := $(ROOT)/$(HOST)/tools/bookpack/bookpack
PECOMPACT := $(ROOT)/$(HOST)/tools/pecompact/pecompact

.PHONY: all setup host windows run check bench fuzz clean

all: windows

setup:
	@sh scripts/setup.sh

host: setup
	@mkdir -p build
	@cmake --preset host -DTOLM_BOOK_DIR=$(BOOK) >build/host-configure.log || { cat build/host-configure.log; exit 1; }
	@cmake --build $(HOST) -j$(JOBS)

windows: host
	@cmake --preset windows -DBOOKPACK=$(BOOKPACK) -DPECOMPACT=$(PECOMPACT) -DTOLM_BOOK_DIR=$(BOOK) >build/windows-configure.log || { cat build/windows-configure.log; exit 1; }
	@cmake --build $(WIN) -j$(JOBS)

# Builds everything and starts the installer: on the user's display when there
# is one, otherwise headless, driven through its default path.
run: windows
	@scripts/run.sh

# Every test of both trees. The Windows tests run under Wine, on a virtual
# display when there is no real one; every Wine server is ended afterwards.
check: windows
	ctest --test-dir $(HOST) --output-on-failure -j$(JOBS)
	@rc=0; scripts/headless ctest --test-dir $(WIN) --output-on-failure -j$(JOBS) || rc=$$?; \
	    scripts/wine-stop; exit $$rc

bench: windows
	@scripts/bench.sh

fuzz: host
	@scripts/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf build
