#!/bin/bash
# Builds MakeBagSeeds.cpp as the bag_stream harness is built (same flags,
# same libraries, its object in place of the harness's) and runs it from the
# repository's root, rewriting the seeds it makes. Usage:
#   scripts/fuzz-seeds/make-bag-seeds.sh [build dir, default build/default]
# (the build dir, default or fuzz, must have built qirn_fuzz_bag_stream).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)
cd "$build"
compile=$(ninja -t commands qirn_fuzz_bag_stream | grep -- '-c .*fuzz/bag_stream/bag_stream.cpp' | tail -1)
link=$(ninja -t commands qirn_fuzz_bag_stream | tail -1)
object=$(echo "$compile" | sed -E 's/.* -o ([^ ]+) .*/\1/')
out="$build/make-bag-seeds"
eval "$(echo "$compile" | sed -E "s# -MD -MT [^ ]+ -MF [^ ]+##; s# -o [^ ]+ # -o $out.o #; s# -c [^ ]+bag_stream.cpp# -c $root/scripts/fuzz-seeds/MakeBagSeeds.cpp#")"
eval "$(echo "$link" | sed -E "s#$object#$out.o#; s#[^ ]*libqirn_fuzz_seedmain.a##; s# -fsanitize=fuzzer # #g; s# -o [^ ]+ # -o $out #")"
cd "$root"
"$out"
