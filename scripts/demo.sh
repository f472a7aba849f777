#!/usr/bin/env bash
# A real update, start to end, in a new temporary folder that is the whole
# world of the run (HOME and the XDG folders inside it; no display needed):
# the installed updater replaces a sample application 1.0 by its update 2.0
# as the application itself asks it to, and the run is shown.
#
#   scripts/demo.sh [--no-deps] [--build-dir DIR] [--keep]
#
# By default it installs the dependencies, builds the default preset and
# installs it; with --build-dir it installs that build as it is (ctest runs
# it so). Exit status 0 when 2.0 is in place and was started again.
set -euo pipefail
cd "$(dirname "$0")/.."

deps=1
build_dir=""
keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --no-deps) deps=0 ;;
    --build-dir) build_dir=$2; shift ;;
    --keep) keep=1 ;;
    *) echo "demo: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done

if [ -z "$build_dir" ]; then
  [ $deps -eq 1 ] && bash scripts/install-deps.sh
  cmake --preset default >/dev/null
  cmake --build --preset default
  build_dir=build/default
fi

demo=$(mktemp -d "${TMPDIR:-/tmp}/qirn-demo-XXXXXX")
if [ $keep -eq 0 ]; then
  trap 'rm -rf "$demo"' EXIT
fi

# The run sees nothing of the real home, trash or desktop.
export HOME=$demo/home
export XDG_DATA_HOME=$HOME/.local/share XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_STATE_HOME=$HOME/.local/state
unset XDG_RUNTIME_DIR DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$demo/apps" "$demo/updates"

echo "== Installing into $demo/prefix"
cmake --install "$build_dir" --prefix "$demo/prefix" >/dev/null
updater=$demo/prefix/lib/qirn/Updater.app/Contents/MacOS/Updater
open=$demo/prefix/lib/qirn/Updater.app/Contents/MacOS/open

# A sample bundle of the given version. Each start is recorded in
# $HOME/starts.log. Started with DEMO_UPDATE set, it runs the updater against
# itself as an application does: its pid, --caller-log, a log folder; it
# reads the updater's "waitquit" line, then quits so that the update can go
# on. The updater's exit code is written to $HOME/exit.fifo; a start of 2.0
# is told on $HOME/relaunched.fifo.
make_bundle() {
  local bundle=$1 version=$2
  mkdir -p "$bundle/Contents/MacOS" "$bundle/Contents/Resources"
  cat > "$bundle/Contents/Info.plist" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>CFBundleName</key>
	<string>Demo</string>
	<key>CFBundleExecutable</key>
	<string>Demo</string>
	<key>CFBundleShortVersionString</key>
	<string>$version</string>
</dict>
</plist>
EOF
  echo "$version" > "$bundle/Contents/Resources/version.txt"
  cat > "$bundle/Contents/MacOS/Demo" <<EOF
#!/usr/bin/env bash
version=$version
EOF
  cat >> "$bundle/Contents/MacOS/Demo" <<'EOF'
bundle=$(cd "$(dirname "$0")/../.." && pwd)
echo "Demo $version started: pid $$, arguments: [$*]" >> "$HOME/starts.log"
if [ "$version" = 2.0 ] && [ -p "$HOME/relaunched.fifo" ]; then
  echo "$version" > "$HOME/relaunched.fifo"
fi
if [ -n "${DEMO_UPDATE:-}" ]; then
  coproc UPDATER {
    updater=$DEMO_UPDATER update=$DEMO_UPDATE
    # The relaunched application must not ask again.
    unset DEMO_UPDATER DEMO_UPDATE
    "$updater" --pid $$ --caller-log 1 --log-dir "$HOME/logs" \
      --restart-params "$HOME/Server.QXlink" "$bundle" "$update" 2> "$HOME/updater-errors.txt"
    echo $? > "$HOME/exit.fifo"
  }
  read -r line <&"${UPDATER[0]}"
  echo "Demo $version: the updater says '$line'; quitting so that it can go on" >> "$HOME/starts.log"
fi
exit 0
EOF
  chmod 755 "$bundle/Contents/MacOS/Demo"
}

make_bundle "$demo/apps/Demo.app" 1.0
make_bundle "$demo/updates/Demo.app" 2.0
mkfifo "$HOME/exit.fifo" "$HOME/relaunched.fifo"

echo "== Starting Demo 1.0 ($demo/apps/Demo.app), which asks for its update"
DEMO_UPDATER=$updater DEMO_UPDATE=$demo/updates/Demo.app "$open" -a "$demo/apps/Demo.app"

status=0
code=$(timeout 120 cat "$HOME/exit.fifo") || code="(none: the updater did not end)"
relaunched=$(timeout 30 cat "$HOME/relaunched.fifo") || relaunched=""
now=$(sed -n 's/^\s*<string>\([0-9.]*\)<\/string>$/\1/p' "$demo/apps/Demo.app/Contents/Info.plist" 2>/dev/null || true)

echo
echo "== Updater exit code: $code"
echo "== Version now at $demo/apps/Demo.app: ${now:-(none)}"
echo "== Starts recorded:"
cat "$HOME/starts.log"
echo "== Updater's standard error:"
cat "$HOME/updater-errors.txt" 2>/dev/null || true
echo "== Log:"
cat "$HOME"/logs/*_1.txt 2>/dev/null || echo "(no log)"
echo "== Trash ($XDG_DATA_HOME/Trash):"
if [ -d "$XDG_DATA_HOME/Trash/files" ]; then
  (cd "$XDG_DATA_HOME/Trash" && find files -maxdepth 1 -mindepth 1 && cat info/*.trashinfo)
else
  echo "(empty)"
fi

[ "$code" = 0 ] || status=1
[ "$now" = 2.0 ] || status=1
[ "$relaunched" = 2.0 ] || status=1
[ $keep -eq 1 ] && echo "== Kept: $demo"
if [ $status -eq 0 ]; then
  echo "== Demo: 1.0 was replaced by 2.0, which was started again"
else
  echo "== Demo: the update did not go as expected" >&2
fi
exit $status
