#!/bin/sh
# damage_entry.sh corrupt|truncated SOURCE OUT: writes OUT, a one-file ZIP
# archive of SOURCE (DEFLATE), damaged in one of two ways:
#   corrupt    one byte early in the compressed data is inverted;
#   truncated  the archive ends halfway through the compressed data, while its
#              header still claims the full size.
set -eu
mode=$1 source=$2 out=$3
work=$out.work
rm -rf "$work" && mkdir -p "$work"
# A fixed name and time, no extra fields: the same source gives the same bytes.
cp "$source" "$work/entry"
touch -d "2000-01-01 00:00:00" "$work/entry"
(cd "$work" && zip -q -9 -X archive.zip entry)

# u16 OFFSET / u32 OFFSET: little-endian header fields.
u16() { od -An -tu2 -j "$1" -N2 "$work/archive.zip" | tr -d ' '; }
u32() { od -An -tu4 -j "$1" -N4 "$work/archive.zip" | tr -d ' '; }
[ "$(u16 8)" = 8 ] || { echo "damage_entry: $source was not deflated" >&2; exit 1; }
data=$((30 + $(u16 26) + $(u16 28)))
compressed=$(u32 18)
[ "$compressed" -ge 16 ] || { echo "damage_entry: $source is too small" >&2; exit 1; }

case $mode in
corrupt)
    offset=$((data + compressed / 4))
    byte=$(od -An -tu1 -j "$offset" -N1 "$work/archive.zip" | tr -d ' ')
    printf "\\$(printf '%03o' $((255 - byte)))" |
        dd of="$work/archive.zip" bs=1 seek="$offset" conv=notrunc status=none
    cp "$work/archive.zip" "$out"
    ;;
truncated)
    head -c $((data + compressed / 2)) "$work/archive.zip" >"$out"
    ;;
*)
    echo "damage_entry: unknown mode $mode" >&2
    exit 2
    ;;
esac
rm -rf "$work"
