#!/usr/bin/env python3
"""Prints the Zaltrim state a host saved in a session file.

  state.py FILE.ardour   Ardour: <chunk> holds the 8 bytes base64-encoded
  state.py FILE.qts      Qtractor: <config key="chunk"> holds them compressed as Qt's
                         qCompress does (4-byte big-endian length, then zlib), then base64

The chunk is the gain as a little-endian float and the factor as a little-endian uint32.
One line per plug-in instance: the chunk's gain and factor, then the parameter values the
host keeps beside it.
"""
import base64
import math
import struct
import sys
import xml.etree.ElementTree as ET
import zlib


def describe_chunk(raw):
    if len(raw) < 8:
        return "chunk of %d bytes (too short)" % len(raw)
    gain, factor = struct.unpack("<fI", raw[:8])
    decibels = "%+.1f dB" % (20 * math.log10(gain)) if gain > 0 and math.isfinite(gain) else "not a gain"
    return "chunk gain %.6g (%s), factor %d" % (gain, decibels, factor)


def ardour(root):
    for processor in root.iter("Processor"):
        if processor.get("type") != "lxvst" or processor.get("name") != "Zaltrim":
            continue
        chunk = processor.find("./lxvst/chunk")
        text = describe_chunk(base64.b64decode(chunk.text)) if chunk is not None and chunk.text else "no chunk"
        params = ["%s=%s" % (c.get("name"), c.get("value")) for c in processor.findall("Controllable")]
        yield "%s; parameters %s" % (text, ", ".join(params) or "none")


def qtractor(root):
    for plugin in root.iter("plugin"):
        if plugin.get("type") != "VST2" or plugin.findtext("label") != "Zaltrim":
            continue
        chunk = plugin.find("./configs/config[@key='chunk']")
        if chunk is not None and chunk.text:
            packed = base64.b64decode("".join(chunk.text.split()))
            text = describe_chunk(zlib.decompress(packed[4:]))
        else:
            text = "no chunk"
        params = ["%s=%s" % (p.get("name"), (p.text or "").strip()) for p in plugin.findall("./params/param")]
        yield "%s; parameters %s" % (text, ", ".join(params) or "none")


def main(path):
    root = ET.parse(path).getroot()
    lines = list(ardour(root) if root.tag == "Session" else qtractor(root))
    print("\n".join(lines) if lines else "no Zaltrim instance in " + path)
    return 0 if lines else 1


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
