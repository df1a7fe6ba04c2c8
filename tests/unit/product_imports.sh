#!/bin/bash
# product_imports.sh OBJDUMP MAX_BYTES EXE [stub]: the shipped program imports only DLLs
# that come with Windows (a MinGW runtime DLL would stop it on a bare system) and is
# no larger than MAX_BYTES (0: its size is not checked, for a build that is not shipped).
# With "stub", the size is the installer's without its payload entries, as
# make bench counts it (scripts/pe_sizes.py): what the program itself costs.
set -u
objdump=$1
limit=$2
exe=$3
what=${4:-file}
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|comctl32|msvcrt)\.dll$'
status=0
imports=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || { echo "no imports read from $exe"; exit 1; }
for dll in $imports; do
    if echo "$dll" | grep -Eq "$allowed"; then echo "import: $dll"
    else echo "FAIL: $exe imports $dll"; status=1; fi
done
size=$(stat -c %s "$exe")
if [ "$what" = stub ] && [ "$limit" -ne 0 ]; then
    read -r _ _ _ payload < <(python3 "$(dirname "$0")/../../scripts/pe_sizes.py" "$exe") ||
        { echo "FAIL: cannot read the payload entries of $exe"; exit 1; }
    size=$((size - payload))
fi
if [ "$limit" -eq 0 ]; then echo "size: $size bytes (no limit for this build)"
elif [ "$size" -le "$limit" ]; then echo "size ($what): $size bytes (limit $limit)"
else echo "FAIL: $exe ($what) is $size bytes, over $limit"; status=1; fi
exit $status
