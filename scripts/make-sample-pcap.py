#!/usr/bin/env python3
"""Writes samples/sample.pcap: a small Ethernet capture (ARP, IPv4 with ICMP,
UDP and TCP, one 802.1Q frame and one IPv6 UDP datagram) for first runs."""
import struct
import sys


def checksum(data: bytes) -> int:
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack(f"!{len(data) // 2}H", data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def ipv4(proto: int, payload: bytes, src=(10, 0, 0, 1), dst=(10, 0, 0, 2), ident=1) -> bytes:
    header = struct.pack("!BBHHHBBH4B4B", 0x45, 0, 20 + len(payload), ident, 0x4000, 64, proto, 0,
                         *src, *dst)
    header = header[:10] + struct.pack("!H", checksum(header)) + header[12:]
    return header + payload


def udp(sport: int, dport: int, data: bytes) -> bytes:
    return struct.pack("!HHHH", sport, dport, 8 + len(data), 0) + data


def tcp(sport: int, dport: int, seq: int, flags: int, data: bytes = b"") -> bytes:
    return struct.pack("!HHIIBBHHH", sport, dport, seq, 0, 5 << 4, flags, 65535, 0, 0) + data


def ether(ethertype: int, payload: bytes, src=b"\x02\x00\x00\x00\x00\x01",
          dst=b"\x02\x00\x00\x00\x00\x02") -> bytes:
    frame = dst + src + struct.pack("!H", ethertype) + payload
    return frame + b"\0" * max(0, 60 - len(frame))


def main(path: str) -> None:
    frames = []
    arp = struct.pack("!HHBBH", 1, 0x0800, 6, 4, 1) + b"\x02\x00\x00\x00\x00\x01" + bytes(
        [10, 0, 0, 1]) + b"\0" * 6 + bytes([10, 0, 0, 2])
    frames.append(ether(0x0806, arp, dst=b"\xff" * 6))
    icmp = struct.pack("!BBHHH", 8, 0, 0, 0x1234, 1) + b"pakscope"
    icmp = icmp[:2] + struct.pack("!H", checksum(icmp)) + icmp[4:]
    frames.append(ether(0x0800, ipv4(1, icmp)))
    for i in range(6):
        frames.append(ether(0x0800, ipv4(17, udp(5000 + i, 53, b"query %d" % i), ident=10 + i)))
    for i, flags in enumerate((0x02, 0x12, 0x10, 0x18, 0x11)):
        frames.append(ether(0x0800, ipv4(6, tcp(40000, 80, 1000 + i, flags,
                                                b"GET / HTTP/1.0\r\n\r\n" if flags == 0x18 else b""),
                                     ident=100 + i)))
    tagged = struct.pack("!HH", 100, 0x0800) + ipv4(17, udp(7, 7, b"vlan 100"))
    frames.append(ether(0x8100, tagged))
    v6 = struct.pack("!IHBB", 0x60000000, 8 + 4, 17, 64) + b"\xfe\x80" + b"\0" * 13 + b"\x01" + \
        b"\xfe\x80" + b"\0" * 13 + b"\x02" + udp(546, 547, b"dhcp")
    frames.append(ether(0x86DD, v6))

    with open(path, "wb") as out:
        out.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 1))
        for n, frame in enumerate(frames):
            out.write(struct.pack("<IIII", 1765000000 + n, 0, len(frame), len(frame)))
            out.write(frame)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "samples/sample.pcap")
