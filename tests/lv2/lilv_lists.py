#!/usr/bin/env python3
"""Prints what lilv lists for a plug-in, in the order lilv lists it, as hosts meet it.

    lilv_lists.py URI PORT_SYMBOL

Line 1, "points": the port's scale points as value=label, in lilv's order.
Line 2, "uis": the plug-in's UIs as URI=class, in lilv's order.

lilv through ctypes, as the hosts load it (liblilv-0.so.0, reading LV2_PATH); no headers needed.
"""
import ctypes
import sys

lilv = ctypes.CDLL("liblilv-0.so.0")
P = ctypes.c_void_p


def fn(name, restype, *argtypes):
    f = getattr(lilv, name)
    f.restype = restype
    f.argtypes = list(argtypes)
    return f


world_new = fn("lilv_world_new", P)
load_all = fn("lilv_world_load_all", None, P)
all_plugins = fn("lilv_world_get_all_plugins", P, P)
new_uri = fn("lilv_new_uri", P, P, ctypes.c_char_p)
new_string = fn("lilv_new_string", P, P, ctypes.c_char_p)
plugin_by_uri = fn("lilv_plugins_get_by_uri", P, P, P)
port_by_symbol = fn("lilv_plugin_get_port_by_symbol", P, P, P)
scale_points = fn("lilv_port_get_scale_points", P, P, P)
points_begin = fn("lilv_scale_points_begin", P, P)
points_get = fn("lilv_scale_points_get", P, P, P)
points_next = fn("lilv_scale_points_next", P, P, P)
points_is_end = fn("lilv_scale_points_is_end", ctypes.c_bool, P, P)
point_value = fn("lilv_scale_point_get_value", P, P)
point_label = fn("lilv_scale_point_get_label", P, P)
as_float = fn("lilv_node_as_float", ctypes.c_float, P)
as_string = fn("lilv_node_as_string", ctypes.c_char_p, P)
get_uis = fn("lilv_plugin_get_uis", P, P)
uis_begin = fn("lilv_uis_begin", P, P)
uis_get = fn("lilv_uis_get", P, P, P)
uis_next = fn("lilv_uis_next", P, P, P)
uis_is_end = fn("lilv_uis_is_end", ctypes.c_bool, P, P)
ui_uri = fn("lilv_ui_get_uri", P, P)
ui_classes = fn("lilv_ui_get_classes", P, P)
nodes_begin = fn("lilv_nodes_begin", P, P)
nodes_get = fn("lilv_nodes_get", P, P, P)
nodes_next = fn("lilv_nodes_next", P, P, P)
nodes_is_end = fn("lilv_nodes_is_end", ctypes.c_bool, P, P)


def main():
    uri, symbol = sys.argv[1].encode(), sys.argv[2].encode()
    world = world_new()
    load_all(world)
    plugin = plugin_by_uri(all_plugins(world), new_uri(world, uri))
    if not plugin:
        print(f"no plug-in {sys.argv[1]}", file=sys.stderr)
        return 1
    port = port_by_symbol(plugin, new_string(world, symbol))
    if not port:
        print(f"no port {sys.argv[2]}", file=sys.stderr)
        return 1
    points = []
    collection = scale_points(plugin, port)
    i = points_begin(collection) if collection else None
    while collection and not points_is_end(collection, i):
        point = points_get(collection, i)
        points.append((as_float(point_value(point)), as_string(point_label(point)).decode()))
        i = points_next(collection, i)
    print("points", " ".join(f"{v:g}={label}" for v, label in points))
    uis = []
    collection = get_uis(plugin)
    i = uis_begin(collection) if collection else None
    while collection and not uis_is_end(collection, i):
        ui = uis_get(collection, i)
        classes = ui_classes(ui)
        j = nodes_begin(classes)
        names = []
        while not nodes_is_end(classes, j):
            names.append(as_string(nodes_get(classes, j)).decode().rsplit("#", 1)[-1])
            j = nodes_next(classes, j)
        uis.append(f"{as_string(ui_uri(ui)).decode()}={','.join(names)}")
        i = uis_next(collection, i)
    print("uis", " ".join(uis))
    return 0


if __name__ == "__main__":
    sys.exit(main())
