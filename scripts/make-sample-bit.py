#!/usr/bin/env python3
"""Writes samples/sample.bit: a small raw HDLC line for the bundled demo.

PPP frames in HDLC framing (address FF, control 03) carrying IPv4/UDP datagrams
and a few LCP echoes, each followed by its FCS-16, bit-stuffed and sent least
significant bit first, with idle flags between the frames. The line starts
three bits into the first byte so that nothing is byte-aligned in the file.
"""
import random
import struct
import sys


def fcs16(data):
    fcs = 0xFFFF
    for b in data:
        fcs ^= b
        for _ in range(8):
            fcs = (fcs >> 1) ^ 0x8408 if fcs & 1 else fcs >> 1
    return fcs ^ 0xFFFF


class Line:
    def __init__(self):
        self.bits = []

    def raw(self, value, count):
        self.bits.extend((value >> i) & 1 for i in range(count))

    def flag(self):
        self.raw(0x7E, 8)

    def frame(self, payload):
        fcs = fcs16(payload)
        ones = 0
        for b in payload + bytes([fcs & 0xFF, fcs >> 8]):
            for i in range(8):
                bit = (b >> i) & 1
                self.bits.append(bit)
                ones = ones + 1 if bit else 0
                if ones == 5:
                    self.bits.append(0)
                    ones = 0
        self.flag()

    def to_bytes(self):
        bits = self.bits + [1] * (-len(self.bits) % 8)
        out = bytearray()
        for i in range(0, len(bits), 8):
            out.append(sum(bit << k for k, bit in enumerate(bits[i:i + 8])))
        return bytes(out)


def checksum(header):
    total = sum(struct.unpack("!%dH" % (len(header) // 2), header))
    total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def udp_frame(rng, ident):
    payload = bytes(rng.randrange(256) for _ in range(rng.randrange(8, 200)))
    udp = struct.pack("!HHHH", rng.choice([53, 123, 161, 514]), rng.randrange(1024, 65535),
                      8 + len(payload), 0) + payload
    header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), ident, 0, 64, 17, 0,
                         bytes([10, 0, 0, rng.randrange(1, 30)]),
                         bytes([192, 168, 1, rng.randrange(1, 250)]))
    header = header[:10] + struct.pack("!H", checksum(header)) + header[12:]
    return b"\xff\x03\x00\x21" + header + udp


def lcp_echo(ident, reply):
    return b"\xff\x03\xc0\x21" + struct.pack("!BBHI", 10 if reply else 9, ident, 8, 0x1A2B3C4D)


def main():
    rng = random.Random(2026)
    line = Line()
    line.raw(0b101, 3)
    for _ in range(4):
        line.flag()
    for n in range(160):
        if n % 40 == 39:
            line.frame(lcp_echo(n // 40, False))
            line.frame(lcp_echo(n // 40, True))
        else:
            line.frame(udp_frame(rng, 0x1000 + n))
        for _ in range(rng.randrange(3)):
            line.flag()
    path = sys.argv[1] if len(sys.argv) > 1 else "samples/sample.bit"
    with open(path, "wb") as f:
        f.write(line.to_bytes())


if __name__ == "__main__":
    main()
