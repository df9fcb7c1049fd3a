#!/usr/bin/env python3
"""Prints the Zaltrim state a host saved in a session file, VST 2 and LV2 instances alike.

  state.py FILE.ardour   Ardour: a VST 2 <Processor type="lxvst"> holds the chunk base64-encoded
                         in <chunk>; an LV2 <Processor type="lv2"> holds <lv2><Port symbol value/>
                         and the last preset; the Controllables repeat the parameter values
  state.py FILE.qts      Qtractor: a <plugin type="VST2"> holds the chunk in <config key="chunk">,
                         compressed as Qt's qCompress does (4-byte big-endian length, then zlib),
                         then base64; a <plugin type="LV2"> holds <params><param index name>

The chunk is the gain as a little-endian float and the factor as a little-endian uint32.
One line per plug-in instance: for VST 2 the chunk's gain and factor, then the parameter values
the host keeps beside it; for LV2 the port values. Exit status 1 when the file holds none.
"""
import base64
import math
import struct
import sys
import xml.etree.ElementTree as ET
import zlib

URI = "https://orvendel.example/plugins/zaltrim"


def describe_chunk(raw):
    if len(raw) < 8:
        return "chunk of %d bytes (too short)" % len(raw)
    gain, factor = struct.unpack("<fI", raw[:8])
    decibels = "%+.1f dB" % (20 * math.log10(gain)) if gain > 0 and math.isfinite(gain) else "not a gain"
    return "chunk gain %.6g (%s), factor %d" % (gain, decibels, factor)


def pairs(elements, key, value):
    return ", ".join("%s=%s" % (key(e), value(e)) for e in elements) or "none"


def ardour(root):
    for processor in root.iter("Processor"):
        if processor.get("type") == "lxvst" and processor.get("name") == "Zaltrim":
            chunk = processor.find("./lxvst/chunk")
            text = describe_chunk(base64.b64decode(chunk.text)) if chunk is not None and chunk.text else "no chunk"
            params = pairs(processor.findall("Controllable"), lambda c: c.get("name"), lambda c: c.get("value"))
            yield "%s; parameters %s" % (text, params)
        elif processor.get("type") == "lv2" and processor.get("unique-id") == URI:
            lv2 = processor.find("lv2")
            ports = pairs(lv2.findall("Port") if lv2 is not None else [], lambda p: p.get("symbol"), lambda p: p.get("value"))
            preset = lv2.get("last-preset-label") if lv2 is not None else ""
            yield "ports %s; last preset '%s'" % (ports, preset or "")


def qtractor(root):
    for plugin in root.iter("plugin"):
        params = pairs(plugin.findall("./params/param"), lambda p: p.get("name"), lambda p: (p.text or "").strip())
        if plugin.get("type") == "VST2" and plugin.findtext("label") == "Zaltrim":
            chunk = plugin.find("./configs/config[@key='chunk']")
            if chunk is not None and chunk.text:
                packed = base64.b64decode("".join(chunk.text.split()))
                text = describe_chunk(zlib.decompress(packed[4:]))
            else:
                text = "no chunk"
            yield "%s; parameters %s" % (text, params)
        elif plugin.get("type") == "LV2" and (plugin.findtext("filename") or "").strip() == URI:
            preset = (plugin.findtext("preset") or "").strip()
            yield "params %s%s" % (params, "; preset '%s'" % preset if preset else "")


def main(path):
    root = ET.parse(path).getroot()
    lines = list(ardour(root) if root.tag == "Session" else qtractor(root))
    print("\n".join(lines) if lines else "no Zaltrim instance in " + path)
    return 0 if lines else 1


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
