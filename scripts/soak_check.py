#!/usr/bin/env python3
"""Compares the station's packet logs with a capture of the same traffic.

Usage: soak_check.py CAPTURE.pcap STATION_ADDRESS STATION_PORT KERNEL_DROPS LOG_FILE...
Every valid datagram (whole header, signature 0xFF01) that reached the station must be a
received record of the logs, in order and byte for byte; no record may be torn. Captured
datagrams missing from the log are counted and set beside KERNEL_DROPS (the datagrams the
kernel dropped for want of room in the station's receive buffer). Prints a short report and
exits 1 on any difference.
"""

import struct
import sys

SIGNATURE = b"\x01\xff"
HEADER = 6
RECORD_HEADER = 16
PAYLOAD_MAX = 1160
# Payload length of each opcode the station may send or log, as the frame layout gives it.
LENGTHS = {
    0x0000: 2, 0x0101: 8, 0x0102: 8, 0x0103: 1, 0x0104: 1156, 0x0105: 4, 0x0106: 1,
    0x0107: 1, 0x0108: 1, 0x010B: 128, 0x010E: 1, 0x010F: 2,
}
SECRET_OPCODES = (0x010D, 0x810D)


def ipv4(text):
    a, b, c, d = (int(x) for x in text.split("."))
    return bytes((a, b, c, d))


def captured(path, station_ip, station_port):
    """Datagrams to the station in capture order: (valid ones, all of them count)."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 24:
        raise ValueError("capture too short")
    magic = data[:4]
    if magic in (b"\xd4\xc3\xb2\xa1", b"\x4d\x3c\xb2\xa1"):
        endian = "<"
    elif magic in (b"\xa1\xb2\xc3\xd4", b"\xa1\xb2\x3c\x4d"):
        endian = ">"
    else:
        raise ValueError("not a pcap file")
    linktype = struct.unpack(endian + "I", data[20:24])[0]
    link_header = {1: 14, 113: 16, 276: 20, 0: 4, 101: 0}.get(linktype)
    if link_header is None:
        raise ValueError("link type %d not handled" % linktype)
    valid, total, pos = [], 0, 24
    while pos + 16 <= len(data):
        incl, orig = struct.unpack(endian + "II", data[pos + 8:pos + 16])
        packet = data[pos + 16:pos + 16 + incl]
        pos += 16 + incl
        if incl != orig:
            raise ValueError("capture cut a packet short; raise the snap length")
        ip = packet[link_header:]
        if len(ip) < 20 or ip[0] >> 4 != 4 or ip[9] != 17:
            continue
        if struct.unpack("!H", ip[6:8])[0] & 0x3FFF:
            raise ValueError("fragmented datagram in the capture")
        udp = ip[(ip[0] & 0x0F) * 4:]
        if ip[16:20] != station_ip or struct.unpack("!H", udp[2:4])[0] != station_port:
            continue
        total += 1
        payload = udp[8:struct.unpack("!H", udp[4:6])[0]]
        if len(payload) >= HEADER and payload[:2] == SIGNATURE:
            valid.append((ip[12:16], struct.unpack("!H", udp[0:2])[0], payload))
    return valid, total


def sent_length(log, at):
    """Length of a frame the station sent, from its opcode; -1 when unknown."""
    if at + HEADER > len(log):
        return -1
    opcode = struct.unpack("<H", log[at + 4:at + 6])[0]
    if opcode in SECRET_OPCODES:
        if at + HEADER + 2 > len(log):
            return -1
        return HEADER + (struct.unpack("<H", log[at + 6:at + 8])[0] & 0x0FFF) + 2
    length = LENGTHS.get(opcode)
    return -1 if length is None else HEADER + length


def matching(log, frame_at, peer, port, expected, index):
    """Index of the first expected datagram from `index` on that the record holds; -1 if none."""
    for k in range(index, len(expected)):
        src, src_port, frame = expected[k]
        if log[frame_at:frame_at + len(frame)] == frame and peer == int.from_bytes(src, "big") \
                and port == src_port:
            return k
    return -1


def check(expected, logs):
    """Walks the logs in order against the expected received frames.

    Returns the problems, the records matched, the captured datagrams skipped (never logged)
    and the sent records seen."""
    problems, index, matched, skipped, sent = [], 0, 0, 0, 0
    for name in logs:
        with open(name, "rb") as f:
            log = f.read()
        at = 0
        while at < len(log):
            if at + RECORD_HEADER > len(log):
                problems.append("%s: torn record header at byte %d" % (name, at))
                break
            peer, port, direction = struct.unpack("<IHH", log[at + 8:at + 16])
            frame_at = at + RECORD_HEADER
            if direction == 1:
                length = sent_length(log, frame_at)
                if length < 0 or frame_at + length > len(log):
                    problems.append("%s: torn or unknown sent record at byte %d" % (name, at))
                    break
                sent += 1
                at = frame_at + length
                continue
            if direction != 0:
                problems.append("%s: record at byte %d has direction %d" % (name, at, direction))
                break
            k = matching(log, frame_at, peer, port, expected, index)
            if k < 0:
                problems.append("%s: received record at byte %d matches no later captured datagram"
                                % (name, at))
                break
            skipped += k - index
            index = k + 1
            matched += 1
            at = frame_at + len(expected[k][2])
    if not problems:
        skipped += len(expected) - index
    return problems, matched, skipped, sent


def main(argv):
    if len(argv) < 5:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    try:
        expected, total = captured(argv[1], ipv4(argv[2]), int(argv[3]))
    except (OSError, ValueError) as error:
        print("capture: %s" % error)
        return 1
    kernel_drops = int(argv[4])
    problems, matched, skipped, sent = check(expected, sorted(argv[5:]))
    print("captured to the station: %d datagrams, %d valid" % (total, len(expected)))
    print("logged: %d received records match the capture in order, %d sent records" % (matched, sent))
    if skipped:
        problems.append("%d captured valid datagrams are not in the log" % skipped)
        if skipped <= kernel_drops:
            problems.append("the kernel dropped %d datagrams for want of room in the station's receive "
                            "buffer: the station fell behind, the log lost nothing it read" % kernel_drops)
        else:
            problems.append("only %d of them were dropped by the kernel: the log lost datagrams" % kernel_drops)
    elif kernel_drops:
        print("note: the kernel dropped %d datagrams, none of them valid" % kernel_drops)
    for problem in problems:
        print("MISMATCH: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
