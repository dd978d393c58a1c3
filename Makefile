# The two commands a newcomer needs; each installs what it uses first.
#   make run    opens Pixelkite (the Windows program under Wine on Linux)
#   make test   runs every test suite
#   make bench  compares the command line with peer tools (installs them first)
.PHONY: run test setup build clean bench

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

clean:
	rm -rf build
