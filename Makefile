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

# Each benchmark program runs 5 repetitions; bench/ratios.py then prints, for
# every BM_<Case>_Ours and BM_<Case>_Peer pair, the medians and ours / peer.
bench: deps
	cmake --preset bench
	cmake --build --preset bench
	@for b in build/bench/bench/qirn_bench_*; do \
		echo "== $$b"; \
		$$b --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
			--benchmark_out=build/bench/$$(basename $$b).json --benchmark_out_format=json || exit 1; \
		python3 bench/ratios.py build/bench/$$(basename $$b).json; \
	done

clean:
	rm -rf build
