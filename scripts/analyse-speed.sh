#!/bin/sh
# Whole-process speed of `pakscope-cli analyse` on a generated capture of mixed
# Ethernet traffic: one thread, two threads, an older build, and tshark's
# protocol hierarchy, each run REPEATS times with the load of the machine.
# Usage: analyse-speed.sh CLI [PACKETS] [BASE_CLI] [BASE_PACKETS] [PEER_PACKETS] [REPEATS]
# BASE_CLI: an older build that reads at most 800,000,000 bytes, measured on
# the first BASE_PACKETS packets of the same file; tshark on the first
# PEER_PACKETS (0: not at all). Compare them per packet. The file goes to
# TMPDIR (or /tmp).
set -eu
cli=$1
packets=${2:-5000000}
base=${3:-}
basePackets=${4:-5000000}
peerPackets=${5:-1000000}
repeats=${6:-1}
dir=${TMPDIR:-/tmp}
file=$dir/pakscope-analyse-speed-$$.pcap
baseFile=$dir/pakscope-analyse-speed-$$-base.pcap
peerFile=$dir/pakscope-analyse-speed-$$-peer.pcap
trap 'rm -f "$file" "$file.err" "$baseFile" "$peerFile"' EXIT
# Prints the byte offsets where the first BASE_PACKETS and PEER_PACKETS end.
offsets=$(python3 - "$file" "$packets" "$basePackets" "$peerPackets" <<'PY'
import random, struct, sys
path, count = sys.argv[1], int(sys.argv[2])
marks = {int(sys.argv[3]): 0, int(sys.argv[4]): 0}
rng = random.Random(7)
eth = lambda t: bytes([0, 0x11, 0x22, 0x33, 0x44, 0x55, 0, 0x66, 0x77, 0x88, 0x99, 0xAA]) + struct.pack("!H", t)
v4 = lambda p: bytes([0x45, 0, 0, 0, 0x12, 0x34, 0x40, 0, 64, p, 0, 0, 10, 0, 0, 1, 10, 0, 0, 2])
v6 = lambda n: bytes([0x60, 0, 0, 0, 0, 0, n, 64]) + b"\xfe" * 32
tcp = bytes([4, 0xD2, 0, 0x50, 0, 0, 0, 1, 0, 0, 0, 0, 0x50, 0x18, 0x20, 0, 0, 0, 0, 0])
udp = bytes([0x9C, 0x40, 0x9C, 0x41, 0, 0, 0, 0])
kinds = [eth(0x0800) + v4(6) + tcp] * 40 + [eth(0x0800) + v4(17) + udp] * 30 + \
        [eth(0x86DD) + v6(6) + tcp] * 10 + [eth(0x0806) + bytes([0, 1, 8, 0, 6, 4, 0, 1])] * 20
pool = bytes(rng.randrange(256) for _ in range(4096))
written = 24
with open(path, "wb") as out:
    out.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 1))
    chunk = []
    for n in range(count):
        if n in marks:
            marks[n] = written
        frame = kinds[rng.randrange(100)]
        extra = rng.randrange(40)
        at = rng.randrange(4096 - 40)
        frame = frame + pool[at:at + extra]
        if len(frame) < 60:
            frame += bytes(60 - len(frame))
        chunk.append(struct.pack("<IIII", 1765000000 + n // 1000, n % 1000, len(frame), len(frame)) + frame)
        written += 16 + len(frame)
        if len(chunk) == 65536:
            out.write(b"".join(chunk))
            chunk = []
    out.write(b"".join(chunk))
print(marks[int(sys.argv[3])] or written, marks[int(sys.argv[4])] or written)
PY
)
head -c "${offsets% *}" "$file" >"$baseFile"
head -c "${offsets#* }" "$file" >"$peerFile"
echo "$packets packets, $(stat -c %s "$file") bytes"
# Wall time, and the processor time it took, which other load on the machine
# does not inflate; with the load average of the minute before.
run() {
  label=$1
  count=$2
  shift 2
  i=0
  while [ "$i" -lt "$repeats" ]; do
    i=$((i + 1))
    load=$(cut -d' ' -f1 /proc/loadavg)
    if ! /usr/bin/time -f "%e %U %S" "$@" >/dev/null 2>"$file.err"; then
      echo "$label: failed:" >&2
      cat "$file.err" >&2
    fi
    tail -n 1 "$file.err" | awk -v l="$label" -v n="$count" -v load="$load" \
      '{ printf "%s: %s s wall, %s s user, %s s system, %.0f packets/s wall, %.0f packets/s user, load %s\n", l, $1, $2, $3, n / $1, n / ($2 > 0 ? $2 : 1), load }'
  done
}
run "one thread" "$packets" "$cli" analyse --no-progress --threads 1 "$file"
run "two threads" "$packets" "$cli" analyse --no-progress --threads 2 "$file"
[ -n "$base" ] && run "before, one thread, first $basePackets" "$basePackets" "$base" analyse "$baseFile"
[ "$peerPackets" -gt 0 ] && command -v tshark >/dev/null &&
  run "tshark -qz io,phs, first $peerPackets" "$peerPackets" tshark -r "$peerFile" -qz io,phs
# Reading alone, for what analysing adds.
run "info (reading only)" "$packets" "$cli" info --no-progress "$file"
