#!/bin/sh
# Whole-process speed of `pakscope-cli analyse` on a generated capture of mixed
# Ethernet traffic: one thread, every core, and tshark's protocol hierarchy on
# the same file in the same run. Usage: analyse-speed.sh CLI [PACKETS] [BASE_CLI]
# (BASE_CLI: an older build to compare one thread with).
set -eu
cli=$1
packets=${2:-5000000}
base=${3:-}
file=${TMPDIR:-/tmp}/pakscope-analyse-speed-$$.pcap
trap 'rm -f "$file" "$file.err"' EXIT
python3 - "$file" "$packets" <<'PY'
import random, struct, sys
path, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(7)
eth = lambda t: bytes([0, 0x11, 0x22, 0x33, 0x44, 0x55, 0, 0x66, 0x77, 0x88, 0x99, 0xAA]) + struct.pack("!H", t)
v4 = lambda p: bytes([0x45, 0, 0, 0, 0x12, 0x34, 0x40, 0, 64, p, 0, 0, 10, 0, 0, 1, 10, 0, 0, 2])
v6 = lambda n: bytes([0x60, 0, 0, 0, 0, 0, n, 64]) + b"\xfe" * 32
tcp = bytes([4, 0xD2, 0, 0x50, 0, 0, 0, 1, 0, 0, 0, 0, 0x50, 0x18, 0x20, 0, 0, 0, 0, 0])
udp = bytes([0x9C, 0x40, 0x9C, 0x41, 0, 0, 0, 0])
kinds = [eth(0x0800) + v4(6) + tcp] * 40 + [eth(0x0800) + v4(17) + udp] * 30 + \
        [eth(0x86DD) + v6(6) + tcp] * 10 + [eth(0x0806) + bytes([0, 1, 8, 0, 6, 4, 0, 1])] * 20
pool = bytes(rng.randrange(256) for _ in range(4096))
with open(path, "wb") as out:
    out.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 1))
    chunk = []
    for n in range(count):
        frame = kinds[rng.randrange(100)]
        extra = rng.randrange(40)
        at = rng.randrange(4096 - 40)
        frame = frame + pool[at:at + extra]
        if len(frame) < 60:
            frame += bytes(60 - len(frame))
        chunk.append(struct.pack("<IIII", 1765000000 + n // 1000, n % 1000, len(frame), len(frame)) + frame)
        if len(chunk) == 65536:
            out.write(b"".join(chunk))
            chunk = []
    out.write(b"".join(chunk))
PY
echo "load: $(cut -d' ' -f1-3 /proc/loadavg), $packets packets, $(stat -c %s "$file") bytes"
# Wall time, and the processor time it took, which other load on the machine
# does not inflate.
run() {
  label=$1
  shift
  /usr/bin/time -f "$label: %e s wall, %U s user, %S s system" "$@" >/dev/null 2>"$file.err" ||
    true
  tail -n 1 "$file.err"
}
[ -n "$base" ] && run "before, one thread" "$base" analyse "$file"
run "one thread" "$cli" analyse --threads 1 "$file"
run "two threads" "$cli" analyse --threads 2 "$file"
command -v tshark >/dev/null && run "tshark -qz io,phs" tshark -r "$file" -qz io,phs
# Loading alone, for what analysing adds.
run "info (loading only)" "$cli" info "$file"
