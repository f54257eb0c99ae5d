#!/usr/bin/env bash
# qhost.exe against the native qhost, under Wine, with the module registered in the prefix that
# the caller prepared (tools/test-stages/50-wine.sh calls this with its prefix and layout):
#   1. qhost.exe's own tests (its backend against the same contract as the native one, its
#      host options against the real registry);
#   2. every scenario of tests/scenarios, with the options its header names, run by both
#      programs from copies of the scenario folder: the output, the errors, the exit status and
#      every file the run wrote must be equal;
#   3. the demo: the same text, the same files, the pictures equal pixel for pixel.
#
# usage: wine-corpus.sh MINGW_BUILD LAYOUT
#   LAYOUT is the folder of the registered module and its data. The native qhost reads the same
#   folder (--module-folder), so paths print alike on both: Z:\... on Wine and from the Linux
#   adapter. The native qhost is $SEG4_NATIVE_BUILD/host/qhost (default build/native-asan),
#   built when it is missing.
#
# Differences allowed where a platform fact differs, each normalised before comparing: none.
set -euo pipefail
cd "$(dirname "$0")/.."

build=$1
layout=$2
native_build=${SEG4_NATIVE_BUILD:-build/native-asan}
native="$native_build/host/qhost"
if [ ! -x "$native" ]; then
  cmake --preset native-asan >/dev/null
  cmake --build --preset native-asan --target qhost -j "${SEG4_JOBS:-2}"
  native=build/native-asan/host/qhost
fi
native=$(realpath "$native")
qhost_exe="$(realpath "$build/host/qhost.exe")"
tests_exe="$(realpath "$build/tests/host_backends/qhost_com_tests.exe")"
# qhost.exe stops itself when a run hangs (a message box nobody answers, a stuck call).
export SEG4_WATCHDOG_SECONDS=${SEG4_QHOST_WATCHDOG_SECONDS:-60}

work=$(mktemp -d /tmp/seg4-wine-corpus.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}
wine_run() { timeout --kill-after=10 "$((SEG4_WATCHDOG_SECONDS + 30))" wine "$@"; }

# ---- 1. qhost.exe's own tests ----
(cd "$work" && wine_run "$tests_exe" --gtest_brief=1) || fail "qhost.exe's tests"

# ---- 2. the scenario corpus ----
# run_both NAME DIR ARGS...: the native qhost in DIR/native, qhost.exe in DIR/wine, each from its
# own copy of the scenario folder; leaves NAME.{out,err,status} beside the copies.
run_both() {
  local name=$1 dir=$2
  shift 2
  local side
  for side in native wine; do
    local status=0
    if [ "$side" = native ]; then
      (cd "$dir/$side" && "$native" "$@" >"$dir/$name.$side.out" 2>"$dir/$name.$side.err") || status=$?
    else
      (cd "$dir/$side" && wine_run "$qhost_exe" "$@" >"$dir/$name.$side.out" 2>"$dir/$name.$side.err") ||
        status=$?
    fi
    echo "$status" >"$dir/$name.$side.status"
  done
}

# same WHAT FILE_A FILE_B: byte-equal, or the first lines of the difference.
same() {
  if ! cmp -s "$2" "$3"; then
    fail "$1 differs (native, then Wine):"
    diff -u "$2" "$3" | head -40 >&2 || true
  fi
}

corpus=0
for script in tests/scenarios/*.qhs; do
  name=$(basename "$script" .qhs)
  # A script of something the Windows build cannot do yet says so in its header.
  if grep -q '^# qhost-native-only' "$script"; then
    echo "-- scenario $name: native only, not compared"
    continue
  fi
  options=$(sed -n 's/^# qhost-options: //p' "$script")
  expected=$(sed -n 's/^# qhost-status: //p' "$script")
  dir="$work/scenario-$name"
  mkdir -p "$dir"
  cp -r tests/scenarios "$dir/native"
  cp -r tests/scenarios "$dir/wine"
  # A registry file stands for the host's whole settings: nothing from earlier runs may remain.
  if [[ " $options " == *" --registry "* ]]; then
    wine_run reg delete 'HKCU\Software\DelmarshSW' /f >/dev/null 2>&1 || true
  fi
  # The registered module's folder, unless the scenario names its own (qhost.exe then serves the
  # module from there for the run and restores the registration after).
  folder=(--module-folder "$layout")
  [[ " $options " == *" --module-folder "* ]] && folder=()
  # shellcheck disable=SC2086 # the header's options are words
  run_both "$name" "$dir" run "$name.qhs" "${folder[@]}" $options
  [ "$(cat "$dir/$name.native.status")" = "${expected:-0}" ] ||
    fail "scenario $name: the native qhost exited with $(cat "$dir/$name.native.status"), expected ${expected:-0}"
  for part in status out err; do same "scenario $name: $part" "$dir/$name.native.$part" "$dir/$name.wine.$part"; done
  if ! diff -r "$dir/native" "$dir/wine" >"$dir/files.diff"; then
    fail "scenario $name: the files it wrote differ"
    head -20 "$dir/files.diff" >&2
  fi
  corpus=$((corpus + 1))
done
echo "-- $corpus scenarios compared"

# A run on a changed system (another module folder, another screen) puts the system back however
# it ends: a failed expectation (1), a fault of the script (2), the watchdog (3).
registration() {
  local key
  for key in '{4DB172DB-1264-415E-9417-10B6459B4AEE}' '{203E56B0-72FB-4E19-BB19-8F05D50226A3}'; do
    wine_run reg query "HKCR\\CLSID\\$key\\InprocServer32" /ve 2>/dev/null | tr -d '\r' | grep REG_SZ
  done
  wine_run reg query 'HKCU\Control Panel\Desktop' /v LogPixels 2>/dev/null | tr -d '\r' | grep LogPixels || true
}
before=$(registration)
dir="$work/changed-system"
mkdir -p "$dir"
cp -r tests/scenarios/fixtures/module_folder "$dir/folder"
for ending in "1|expect MacroParameters(0) == Array()" "2|snapshot" "3|for i = 1 to 9999999
snapshot again.png
next"; do
  expected=${ending%%|*}
  printf 'place\n%s\n' "${ending#*|}" >"$dir/ending.qhs"
  status=0
  (cd "$dir" && SEG4_WATCHDOG_SECONDS=$([ "$expected" = 3 ] && echo 8 || echo 60) \
    wine_run "$qhost_exe" run ending.qhs --module-folder folder --twips 12 >"$dir/out" 2>&1) || status=$?
  [ "$status" = "$expected" ] || fail "a run on a changed system exited with $status, expected $expected: $(head -3 "$dir/out")"
  # A query that meets a busy wineserver can come back short: a second look decides, and a
  # change that stays is shown.
  after=$(registration)
  [ "$after" = "$before" ] || { sleep 2; after=$(registration); }
  [ "$after" = "$before" ] || {
    fail "a run on a changed system that exited with $status left the registry changed"
    diff <(echo "$before") <(echo "$after") >&2 || true
  }
  [ ! -e "$dir/folder/ARM_7seg4.ocx" ] || fail "a run on a changed system that exited with $status left its module copy"
done

# A Unix path to the script, as a user under Wine types it: a path, not a Windows "/option".
dir="$work/unix-path"
mkdir -p "$dir/native" "$dir/wine"
cp tests/scenarios/pins.qhs "$dir/native/"
cp tests/scenarios/pins.qhs "$dir/wine/"
run_both unix-path "$dir" run "$dir/wine/pins.qhs" --module-folder "$layout"
[ "$(cat "$dir/unix-path.wine.status")" = 0 ] ||
  fail "qhost.exe run /absolute/path.qhs exited with $(cat "$dir/unix-path.wine.status"): $(head -3 "$dir/unix-path.wine.err")"

# ---- 3. the demo ----
dir="$work/demo"
mkdir -p "$dir/native" "$dir/wine"
run_both demo "$dir" demo --out out --module-folder "$layout"
for part in status out err; do same "demo: $part" "$dir/demo.native.$part" "$dir/demo.wine.$part"; done
for file in document.json program.c scan.txt run.png; do
  same "demo: $file" "$dir/native/out/$file" "$dir/wine/out/$file"
done
# The pictures compare as pixels, whatever the encoder made of them.
python3 - "$dir/native/out" "$dir/wine/out" instant.png eye.png <<'EOF' || fail "demo: the pictures differ"
import struct, sys, zlib

def rgba(path):
    """Width, height and straight RGBA rows of an 8-bit, non-interlaced PNG."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path + " is no PNG"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and interlace == 0 and colour in (2, 6), path + ": unsupported PNG"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    channels = 4 if colour == 6 else 3
    raw, stride, rows, prior = zlib.decompress(idat), width * channels, [], bytearray(width * channels)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b, c = prior[i], prior[i - channels] if i >= channels else 0
            if kind == 1: line[i] = (line[i] + a) & 255
            elif kind == 2: line[i] = (line[i] + b) & 255
            elif kind == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line) if channels == 4 else
                    b"".join(bytes(line[i:i + 3]) + b"\xff" for i in range(0, stride, 3)))
        prior = line
    return width, height, rows

ok = True
for name in sys.argv[3:]:
    (w1, h1, a), (w2, h2, b) = rgba(sys.argv[1] + "/" + name), rgba(sys.argv[2] + "/" + name)
    if (w1, h1) != (w2, h2):
        print(f"{name}: {w1}x{h1} natively, {w2}x{h2} under Wine", file=sys.stderr)
        ok = False
        continue
    wrong = [(x // 4, y) for y in range(h1) for x in range(0, w1 * 4, 4) if a[y][x:x + 4] != b[y][x:x + 4]]
    if wrong:
        print(f"{name}: {len(wrong)} pixels differ, the first at {wrong[0]}", file=sys.stderr)
        ok = False
    else:
        print(f"-- {name}: {w1}x{h1}, every pixel equal")
sys.exit(0 if ok else 1)
EOF

if [ "$failures" -gt 0 ]; then
  echo "qhost.exe and the native qhost disagree ($failures failures)" >&2
  exit 1
fi
echo "-- qhost.exe agrees with the native qhost"
