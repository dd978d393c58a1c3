# The two commands a newcomer needs; each installs what it uses first.
#   make run    opens Pixelkite (the Windows program under Wine on Linux)
#   make test   runs every test suite
#   make bench  compares the command line with peer tools (installs them first)
#   make dist   the release files in build/dist: the 32-bit installer, the zip, the .deb,
#               SHA256SUMS, winget and Scoop manifests (docs/updates.md; TEST_BUILD=1
#               for a build with a test key)
#   make fuzz-campaign [SECONDS=600] [PROCS=2]
#               runs every fuzz target with sanitizers and prints its figures
.PHONY: run test setup build clean bench dist fuzz-campaign

setup:
	@bash scripts/setup.sh

build: setup
	cmake --preset native
	cmake --build build/native -j$$(nproc)

run: setup
	@bash scripts/run.sh

test: setup
	@bash scripts/test.sh

bench: build
	cmake --preset win64 >/dev/null && cmake --build build/win64 -j$$(nproc) --target Pixelkite pk_e2e_probe
	@bash bench/setup.sh
	@bash bench/run.sh

SECONDS ?= 600
PROCS ?= $(shell nproc)
fuzz-campaign: setup
	@bash scripts/fuzz-campaign.sh $(SECONDS) $(PROCS)

TEST_BUILD ?=
dist: setup
	@PK_DIST_TEST_BUILD=$${PK_DIST_TEST_BUILD:-$(TEST_BUILD)} bash scripts/dist.sh

clean:
	rm -rf build
