# qhost on a full disk: every output that cannot be written is reported with the system's reason
# and a non-zero exit, and the files already there keep every byte. Runs on a small tmpfs, which
# needs root (CI runs as root); elsewhere the stage says why it is skipped.
set -euo pipefail
qhost=build/native-asan/host/qhost
[ -x "$qhost" ] || { echo "no $qhost: stage 10 builds it" >&2; exit 1; }

disk=$(mktemp -d /tmp/seg4-full-disk.XXXXXX)
work=$(mktemp -d /tmp/seg4-full-disk-work.XXXXXX)
if ! mount -t tmpfs -o size=512k,nr_inodes=64 seg4-full-disk "$disk" 2>/dev/null; then
  echo "-- skipped: this user may not mount a tmpfs (run as root to try a full disk)"
  rm -rf "$disk" "$work"
  exit 0
fi
trap 'umount "$disk"; rm -rf "$disk" "$work"' EXIT

run() { # run NAME: runs $work/NAME.qhs, keeps its output and status
  set +e
  "$qhost" run "$work/$1.qhs" >"$work/$1.out" 2>&1
  echo $? >"$work/$1.status"
  set -e
}

cat >"$work/first.qhs" <<QHS
place left
QuorvaneVersion = 1026
save "$disk/document.json"
codegen "$disk/program.c"
snapshot "$disk/left.png"
vcd "$disk/run.vcd"
page open
page snapshot "$disk/page.png"
QHS
run first
[ "$(cat "$work/first.status")" = 0 ] || { cat "$work/first.out"; echo "the first run failed" >&2; exit 1; }
sha256sum "$disk"/* >"$work/before.sha"

# Fill the disk to its last block.
dd if=/dev/zero of="$disk/filler" bs=4k 2>/dev/null || true

failures=0
for command in 'save "DISK/document.json"' 'codegen "DISK/program.c"' 'snapshot "DISK/left.png"' \
               'scan "DISK/scan.txt"' 'eye "DISK/eye.png"' 'animate "DISK/run.png"' 'vcd "DISK/run.vcd"' \
               'page open\npage snapshot "DISK/page.png"'; do
  name=${command%% *}
  printf 'place left\nplace right\nQuorvaneVersion = 1026\nLEDColour = 2\n%b\n' "${command//DISK/$disk}" >"$work/$name.qhs"
  run "$name"
  status=$(cat "$work/$name.status")
  if [ "$status" = 0 ] || ! grep -q 'No space left on device' "$work/$name.out"; then
    echo "-- $name on a full disk: status $status, said: $(cat "$work/$name.out")"
    failures=$((failures + 1))
  fi
done
rm -f "$disk/filler"
if ! sha256sum --quiet -c "$work/before.sha"; then
  echo "-- a file that was there before changed" >&2
  failures=$((failures + 1))
fi
extra=$(ls -A "$disk" | grep -v -x -E 'document.json|program.c|left.png|run.vcd|page.png' || true)
if [ -n "$extra" ]; then
  echo "-- left behind on the disk: $extra" >&2
  failures=$((failures + 1))
fi
# The demo writes its files the same way.
dd if=/dev/zero of="$disk/filler" bs=4k 2>/dev/null || true
set +e
"$qhost" demo --out "$disk/demo" >"$work/demo.out" 2>&1
status=$?
set -e
if [ "$status" = 0 ] || ! grep -q 'No space left on device' "$work/demo.out"; then
  echo "-- the demo on a full disk: status $status, said: $(tail -n 3 "$work/demo.out")"
  failures=$((failures + 1))
fi
[ "$failures" = 0 ] || exit 1
echo "-- 9 writers on a full disk: each failed with the system's reason, nothing stored was lost"
