#!/usr/bin/env python3
"""Compares two mono WAV files (16-bit PCM or 32-bit float) as Audacity exports and zaltrim-host
renders them.

    wav_compare.py A B [MAX_SHIFT]

Finds the shift of B against A (B later by N samples for a positive N, within +-MAX_SHIFT,
default 16) that matches best over their common length, and prints "shift N, max difference X,
at 0: max difference Y". Exit status 0, or 2 when a file cannot be read.
"""
import struct
import sys


def read(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(f"{path}: not a WAV file")
    pos, fmt, samples = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            tag, channels, _, _, _, bits = struct.unpack("<HHIIHH", body[:16])
            if tag == 0xFFFE:
                tag = struct.unpack("<H", body[24:26])[0]
            fmt = (tag, channels, bits)
        elif cid == b"data" and fmt:
            tag, channels, bits = fmt
            if tag == 3 and bits == 32:
                values = struct.unpack(f"<{len(body) // 4}f", body[:len(body) // 4 * 4])
            elif tag == 1 and bits == 16:
                values = [v / 32768.0 for v in struct.unpack(f"<{len(body) // 2}h", body[:len(body) // 2 * 2])]
            else:
                raise ValueError(f"{path}: format {tag}, {bits} bits not read here")
            samples = list(values[::channels])
        pos += 8 + size + (size & 1)
    if samples is None:
        raise ValueError(f"{path}: no data")
    return samples


def max_difference(a, b, shift):
    # b[n + shift] against a[n]
    start, end = max(0, -shift), min(len(a), len(b) - shift)
    return max((abs(a[n] - b[n + shift]) for n in range(start, end)), default=float("inf"))


def main():
    try:
        a, b = read(sys.argv[1]), read(sys.argv[2])
    except (OSError, ValueError) as error:
        print(error, file=sys.stderr)
        return 2
    limit = int(sys.argv[3]) if len(sys.argv) > 3 else 16
    best = min(range(-limit, limit + 1), key=lambda s: max_difference(a, b, s))
    print(f"shift {best}, max difference {max_difference(a, b, best):.3g}, at 0: max difference {max_difference(a, b, 0):.3g}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
