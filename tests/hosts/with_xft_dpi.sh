#!/bin/sh
# Runs a command on an X server whose resources say the desktop's DPI, as GNOME and KDE set it.
# usage: with_xft_dpi.sh DPI COMMAND...
dpi=$1
shift
echo "Xft.dpi: $dpi" | xrdb -merge && exec "$@"
