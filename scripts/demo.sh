#!/usr/bin/env bash
# The part-number command from end to end: elm loads the plug-in, the
# selected object of the sample session gets a number from elm-server, the
# number is saved in the session and the outcome is shown.
#
#   scripts/demo.sh             run it (again: the next number, for the same object)
#   ELM_DEMO_DIR=DIR ...        keep the working session and database in DIR
#                               (default: build/demo)
#   ELM_DEMO_RESET=1 ...        start over from the sample session and a new database
#   ELM_DEMO_BUILD=DIR ...      the build directory to use (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${ELM_DEMO_BUILD:-$root/build}
work=${ELM_DEMO_DIR:-$build/demo}

step() { printf '\n=== %s ===\n' "$*"; }

if [ ! -f "$build/CMakeCache.txt" ]; then
  step "first build"
  scripts/setup-deps.sh
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
else
  # Picks up folders added since the last configuration; keeps its options.
  cmake -S . -B "$build" >/dev/null
fi
# Cheap when nothing changed; keeps the demo in step with the sources.
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target elm elm-server ELMCommands >/dev/null

elm=$build/tools/elm/elm
server=$build/tools/elm-server/elm-server

if [ -n "${ELM_DEMO_RESET:-}" ]; then
  rm -f "$work/session.json" "$work/demo.db"
fi
mkdir -p "$work"
if [ ! -f "$work/session.json" ]; then
  cp examples/sessions/bicycle.json "$work/session.json"
  echo "Working session: $work/session.json (a copy of examples/sessions/bicycle.json)"
fi
if [ ! -f "$work/demo.db" ]; then
  "$server" seed --db "$work/demo.db" examples/server/demo-seed.xml >/dev/null
  echo "Demonstration database: $work/demo.db"
fi

# The server picks a free loopback port and prints its URL once it listens.
log=$(mktemp)
"$server" --db "$work/demo.db" --listen 127.0.0.1:0 --quiet >"$log" 2>&1 &
server_pid=$!
cleanup() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  rm -f "$log"
}
trap cleanup EXIT

url=""
for _ in $(seq 1 100); do
  url=$(grep -o 'http://[^ ]*' "$log" | head -n 1 || true)
  [ -n "$url" ] && break
  if ! kill -0 "$server_pid" 2>/dev/null; then
    cat "$log" >&2
    echo "demo: elm-server did not start" >&2
    exit 1
  fi
  sleep 0.1
done
if [ -z "$url" ]; then
  echo "demo: elm-server did not report its address" >&2
  exit 1
fi

step "elm run SetPartNumberFromExtPdmCmd (server $url)"
export ELM_SERVER_URL=$url
# The sample data is that of the OAK product module; another module, or none
# (which shows the plug-in's missing-module warning), can be given instead.
export ELM_MODULE=${ELM_MODULE-OAK}
"$elm" run SetPartNumberFromExtPdmCmd --session "$work/session.json"

step "outcome"
# The selected node of the sample session shows the object "frame".
number=$(grep -A6 '"id": "frame"' "$work/session.json" | grep -o '"PLM_ExternalID": "[^"]*"' | head -n 1 | cut -d'"' -f4)
echo "The frame's PLM_ExternalID in $work/session.json is now: $number"
echo "Run scripts/demo.sh again for the next number; ELM_DEMO_RESET=1 starts over."
