# The two commands a newcomer needs; each installs what it uses first.
#   make run    opens Pixelkite (the Windows program under Wine on Linux)
#   make test   runs every test suite
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

# Benchmarks print their own figures; they are not tests and never fail on speed.
bench: setup
	cmake --preset win64 >/dev/null && cmake --build build/win64 -j2 --target Pixelkite pk_e2e_probe
	@bash bench/open_gui.sh build/win64

clean:
	rm -rf build
