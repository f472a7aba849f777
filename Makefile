# Every target installs what is missing first, so a fresh Debian 12 machine
# needs nothing but this file and root.
.PHONY: deps build test asan tsan bench clean

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default

test: build
	ctest --preset default

asan: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

bench: deps
	cmake --preset bench
	cmake --build --preset bench
	@for b in build/bench/bench/qirn_bench_*; do echo "== $$b"; $$b; done

clean:
	rm -rf build
