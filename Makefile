# The two commands a newcomer needs; each installs what it uses first.
#   make run    opens Pixelkite (the Windows program under Wine on Linux)
#   make test   runs every test suite
#   make bench  compares the command line with peer tools (installs them first)
#   make dist   zips the shipped 32-bit program, its update library and the command line
.PHONY: run test setup build clean bench dist

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
	@bash bench/setup.sh
	@bash bench/run.sh

dist: setup
	@bash scripts/dist.sh

clean:
	rm -rf build
