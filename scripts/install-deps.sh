#!/usr/bin/env bash
# Installs the Debian packages the project builds with. Idempotent: it asks
# apt only for what is missing, so a machine that has everything is left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libplist-dev libicu-dev libxerces-c-dev libglib2.0-dev
  # memcheck runs the block allocator's seeded workload; its header lets the
  # allocator announce its blocks
  valgrind
  # benchmark-only: peers of the block allocator, loaded with LD_PRELOAD
  libjemalloc2 libtcmalloc-minimal4
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
