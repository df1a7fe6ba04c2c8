# Ties the build trees together (host, windows, windows64, and the signed trees under build/signed).
# Every target runs `setup` first, so each command works on a fresh Debian 12 machine. See README.md.
SHELL := /bin/bash
ROOT := $(CURDIR)
BOOK ?= $(ROOT)/book
JOBS ?= $(shell nproc)
HOST := build/host
WIN := build/windows
WIN64 := build/windows64
BOOKPACK := $(ROOT)/$(HOST)/tools/bookpack/bookpack
PECOMPACT := $(ROOT)/$(HOST)/tools/pecompact/pecompact
SIGNED := build/signed/windows
SIGNED64 := build/signed/windows64

# Signing. make dist signs with the PKCS#12 file TOLM_SIGN_PKCS12, whose
# password is in the file TOLM_SIGN_PASSWORD_FILE, and has the signatures
# time-stamped by TOLM_SIGN_TIMESTAMP_URL when that is set. Without
# TOLM_SIGN_PKCS12 it signs with a throwaway certificate kept in build/signing,
# as make check always does; TOLM_SIGN_CAFILE verifies a real certificate's
# signatures (default: the system's roots).
SIGNING := $(ROOT)/build/signing
TEST_SIGNING := $(SIGNING)/test-signing
DIST_PKCS12 = $(if $(TOLM_SIGN_PKCS12),$(abspath $(TOLM_SIGN_PKCS12)),$(TEST_SIGNING).p12)
DIST_PASSWORD = $(if $(TOLM_SIGN_PKCS12),$(abspath $(TOLM_SIGN_PASSWORD_FILE)),$(TEST_SIGNING).password)
DIST_TRUST = $(if $(TOLM_SIGN_PKCS12),$(if $(TOLM_SIGN_CAFILE),--ca-file $(abspath $(TOLM_SIGN_CAFILE))),--test-certificate $(TEST_SIGNING).pem)
# The release folder and what its manifests say (README.md, "Signed releases").
DIST ?= $(ROOT)/dist
PACKAGE_ID ?=
INSTALLER_URL ?=

.PHONY: all setup host windows windows64 signed dist-certificate dist run check bench fuzz clean

all: windows windows64

setup:
	@sh scripts/setup.sh

host: setup
	@mkdir -p build
	@cmake --preset host -DTOLM_BOOK_DIR=$(BOOK) >build/host-configure.log || { cat build/host-configure.log; exit 1; }
	@cmake --build $(HOST) -j$(JOBS)

# The shipped 32-bit programs and their tests; the release tests among them
# read the signed programs of $(SIGNED).
windows: host
	@cmake --preset windows -DBOOKPACK=$(BOOKPACK) -DPECOMPACT=$(PECOMPACT) -DTOLM_BOOK_DIR=$(BOOK) \
	    -DTOLM_SIGNED_TREE=$(ROOT)/$(SIGNED) -DTOLM_SIGNING_CA=$(TEST_SIGNING).pem \
	    >build/windows-configure.log || { cat build/windows-configure.log; exit 1; }
	@cmake --build $(WIN) -j$(JOBS)

# Their 64-bit twin and its tests, for hosts whose Wine runs only 64-bit
# programs. It also reads the 32-bit programs' resources, from $(WIN) and,
# signed, from $(SIGNED), and installs the signed twin of $(SIGNED64).
windows64: host
	@cmake --preset windows64 -DBOOKPACK=$(BOOKPACK) -DPECOMPACT=$(PECOMPACT) -DTOLM_BOOK_DIR=$(BOOK) \
	    -DTOLM_PRODUCT_TREE=$(ROOT)/$(WIN) -DTOLM_SIGNED_TREE=$(ROOT)/$(SIGNED64) \
	    -DTOLM_SIGNED_PRODUCT_TREE=$(ROOT)/$(SIGNED) -DTOLM_SIGNING_CA=$(TEST_SIGNING).pem \
	    >build/windows64-configure.log || { cat build/windows64-configure.log; exit 1; }
	@cmake --build $(WIN64) -j$(JOBS)

# signed_tree PRESET TREE PKCS12 PASSWORD_FILE TIMESTAMP_URL: configures a
# signed tree and builds the installer in it (and with it the uninstaller).
define signed_tree
	@cmake --preset $(1) -DBOOKPACK=$(BOOKPACK) -DPECOMPACT=$(PECOMPACT) -DTOLM_BOOK_DIR=$(BOOK) \
	    "-DTOLM_SIGN_PKCS12=$(3)" "-DTOLM_SIGN_PASSWORD_FILE=$(4)" "-DTOLM_SIGN_TIMESTAMP_URL=$(5)" \
	    >build/$(1)-configure.log || { cat build/$(1)-configure.log; exit 1; }
	@cmake --build $(2) -j$(JOBS) --target TolmSetup
endef

# The programs signed with the throwaway certificate, which the release tests
# verify: the 32-bit ones, and on hosts without 32-bit execution also the
# 64-bit twin, which the signed install test installs there instead.
signed: host
	@release/test-certificate $(SIGNING)
	$(call signed_tree,signed-windows,$(SIGNED),$(TEST_SIGNING).p12,$(TEST_SIGNING).password,)
	$(if $(filter 64,$(shell scripts/windows-arch)),$(call signed_tree,signed-windows64,$(SIGNED64),$(TEST_SIGNING).p12,$(TEST_SIGNING).password,))

# The certificate make dist signs with, checked before anything is built.
dist-certificate: setup
	@$(if $(TOLM_SIGN_PKCS12),$(if $(TOLM_SIGN_PASSWORD_FILE),,$(error TOLM_SIGN_PASSWORD_FILE must name the file holding the password of $(TOLM_SIGN_PKCS12))),release/test-certificate $(SIGNING))
	@release/sign-program "$(DIST_PKCS12)" "$(DIST_PASSWORD)"

# A signed release in $(DIST): the installer, SHA256SUMS and the package
# manager's manifests. It is made in a staging folder and replaces $(DIST)
# only when complete.
dist: dist-certificate host
	$(call signed_tree,signed-windows,$(SIGNED),$(DIST_PKCS12),$(DIST_PASSWORD),$(TOLM_SIGN_TIMESTAMP_URL))
	@release/assemble $(DIST_TRUST) --package-id "$(PACKAGE_ID)" --installer-url "$(INSTALLER_URL)" \
	    $(SIGNED)/entry/TolmSetup.exe "$(DIST)"

# Builds the programs this host's Wine runs (scripts/windows-arch) and starts
# the installer: on the user's display when there is one, otherwise headless,
# driven through its default path.
run: setup
	@$(MAKE) --no-print-directory $(if $(filter 64,$(shell scripts/windows-arch)),windows64,windows)
	@scripts/run.sh

# Every test of every tree. The Windows tests run under Wine, on a virtual
# display when there is no real one, against the programs this host runs
# (scripts/check-windows); every Wine server is ended afterwards.
check: windows windows64 signed
	ctest --test-dir $(HOST) --output-on-failure -j$(JOBS)
	@scripts/check-windows $(JOBS)

bench: all
	@scripts/bench.sh

fuzz: host
	@scripts/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf build
