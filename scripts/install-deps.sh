#!/usr/bin/env bash
# Installs the Debian packages the project builds with. Idempotent: it asks
# apt only for what is missing, so a machine that has everything is left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libplist-dev libicu-dev libxerces-c-dev libglib2.0-dev
  locales tzdata
  # memcheck runs the block allocator's seeded workload; its header lets the
  # allocator announce its blocks
  valgrind
  # a second JSON reader for the JSON conformance test (header-only, tests
  # and benchmarks only)
  nlohmann-json3-dev
  # benchmark-only: the JSON peers (simdjson parses only), the block
  # allocator's peers (loaded with LD_PRELOAD), the URL peer beside GLib
  # (uriparser), the logger's peer (spdlog's asynchronous logger), and
  # python3 for the script that prints the ratios; the XML peers of the bag
  # forms (pugixml, libxml2's SAX parser); msgfmt (gettext) for the catalogue
  # of the localization lookups' peer, glibc's dgettext
  rapidjson-dev libsimdjson-dev libjemalloc2 libtcmalloc-minimal4 liburiparser-dev libspdlog-dev python3
  libpugixml-dev libxml2-dev gettext
  # benchmark-only: the child-process launcher's peer (POCO's Process::launch)
  libpoco-dev
)

# The fuzz harnesses need clang and its fuzzing engine; only `make fuzz`
# asks for them (--fuzz).
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

# Tests of number texts run under a comma-decimal locale, and time tests under
# fixed zones: both must exist on the machine.
test_locale=de_DE.UTF-8

ensure_test_locale() {
  locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root to generate the $test_locale locale" >&2
    return 0
  fi
  sed -i "s/^# *\($test_locale UTF-8\)/\1/" /etc/locale.gen
  grep -q "^$test_locale UTF-8" /etc/locale.gen || echo "$test_locale UTF-8" >> /etc/locale.gen
  locale-gen >/dev/null
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  ensure_test_locale
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
ensure_test_locale
