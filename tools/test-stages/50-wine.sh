#!/usr/bin/env bash
# The Windows module under Wine: a throwaway prefix, regsvr32, the COM contract and differential
# tests (built with MinGW-w64 beside the module and its data files), qhost.exe compared with the
# native qhost on the scenario corpus and the demo, a run in German set with `wine reg add`, then
# regsvr32 /u and a check that no key is left. Every Wine command runs under
# `timeout`, the test program has its own watchdog, and the Wine server is stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/../.."

stage_start=$(date +%s.%N)
build=${SEG4_MINGW_BUILD:-build/mingw}
if [ -z "${SEG4_MINGW_BUILD:-}" ]; then
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j "${SEG4_JOBS:-2}"
fi
[ -f "$build/data/ARM_7seg4.ocx" ] && [ -f "$build/data/seg4_wine_tests.exe" ] || {
  echo "the MinGW build has no module or no Wine tests in $build/data" >&2
  exit 1
}

prefix=$(mktemp -d /tmp/seg4-wine-prefix.XXXXXX)
layout=$(mktemp -d /tmp/seg4-wine-layout.XXXXXX)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
export LANG=C.UTF-8 SEG4_WATCHDOG_SECONDS=${SEG4_WATCHDOG_SECONDS:-240}
cleanup() {
  timeout 20 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix" "$layout"
}
trap cleanup EXIT

# run <seconds> <command...>: no Wine command may hang the stage.
run() {
  local limit=$1
  shift
  timeout --kill-after=10 "$limit" "$@"
}
elapsed() { awk -v now="$(date +%s.%N)" -v since="$1" 'BEGIN { printf "%.1f", now - since }'; }

# The module, the test program and the data files as they are installed: side by side.
cp -r "$build/data/." "$layout/"
cp "$build/generated/com/QuorvaneV4.tlb" "$layout/" # the host's library as a file of its own
module="Z:${layout//\//\\}\\ARM_7seg4.ocx"
tests="$layout/seg4_wine_tests.exe"

t=$(date +%s.%N)
run 120 wine wineboot -i >/dev/null 2>&1
run 60 wineserver -w
# Windows without an X server: Wine's null graphics driver still runs windows and message boxes.
run 30 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
run 30 wine reg add 'HKCU\Software\DelmarshSW\QuorvaneV4\Info' /v CurrentLanguage /d engb /f >/dev/null
# The desktop keeps the driver it started with (the X11 one, which fails here): start afresh.
run 30 wineserver -k
echo "-- prefix ready in $(elapsed "$t") s"

t=$(date +%s.%N)
run 60 wine regsvr32 /s "$module"
echo "-- registered in $(elapsed "$t") s"

t=$(date +%s.%N)
run 600 wine "$tests" --gtest_brief=1 '--gtest_filter=-Unregistered.*:StageLanguage.*'
echo "-- contract and differential tests in $(elapsed "$t") s"

# A script client through Wine's own script host: both classes made by name, the control's
# members called late-bound; its answers must be those in client.expected.
t=$(date +%s.%N)
client=tests/com/script_client
script=$(pwd -P)/$client/client.vbs
if ! diff <(run 60 wine cscript //nologo "Z:${script//\//\\}" 2>/dev/null | tr -d '\r') "$client/client.expected"; then
  echo "the script client's answers differ from $client/client.expected (< got, > expected)" >&2
  exit 1
fi
echo "-- script client in $(elapsed "$t") s"

# qhost.exe on the registered module: its tests, then the scenario corpus and the demo, each
# compared with the native qhost's run (tools/wine-corpus.sh).
t=$(date +%s.%N)
bash tools/wine-corpus.sh "$build" "$layout"
echo "-- qhost.exe against the native qhost in $(elapsed "$t") s"

t=$(date +%s.%N)
run 30 wine reg add 'HKCU\Software\DelmarshSW\QuorvaneV4\Info' /v CurrentLanguage /d dede /f >/dev/null
run 120 env SEG4_STAGE_LANGUAGE=dede wine "$tests" --gtest_brief=1 '--gtest_filter=StageLanguage.*'
echo "-- German run in $(elapsed "$t") s"

t=$(date +%s.%N)
run 60 wine regsvr32 /s /u "$module"
run 120 wine "$tests" --gtest_brief=1 '--gtest_filter=Unregistered.*'
echo "-- unregistered and checked in $(elapsed "$t") s"

run 20 wineserver -k || true
echo "-- Wine stage: $(elapsed "$stage_start") s in all"
