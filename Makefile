# Every target installs what is missing first, so a fresh Debian 12 machine
# needs nothing but this file and root.
.PHONY: deps build test asan tsan bench fuzz demo clean

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
# every BM_<Case>_Ours and BM_<Case>_Peer pair, the medians and ours / peer
# (bench/run.sh; the allocator benchmark runs once more under each peer malloc).
bench: deps
	cmake --preset bench
	cmake --build --preset bench
	@bash bench/run.sh build/bench

# Builds the fuzz harnesses with clang's fuzzing engine and runs each for
# FUZZ_SECONDS (make fuzz FUZZ_SECONDS=600; FUZZ_RUNS=1000000 stops each after
# that many executions; FUZZ_JOBS harnesses at a time, FUZZ_WORKERS
# processes on each, FUZZ_ONLY=json_text to run some only). New inputs go to build/fuzz/corpus,
# crashes to build/fuzz/artifacts; scripts/fuzz.sh prints each harness's
# executions and coverage.
FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= 1
FUZZ_WORKERS ?= 1
fuzz:
	@bash scripts/install-deps.sh --fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz
	@FUZZ_JOBS=$(FUZZ_JOBS) FUZZ_WORKERS=$(FUZZ_WORKERS) FUZZ_ONLY="$(FUZZ_ONLY)" FUZZ_RUNS="$(FUZZ_RUNS)" bash scripts/fuzz.sh build/fuzz $(FUZZ_SECONDS)

# A real update in a temporary folder: installs, builds, installs the build
# there and runs the updater as an application would (scripts/demo.sh).
demo:
	@bash scripts/demo.sh

clean:
	rm -rf build
