#!/bin/bash
# build_twice.sh SOURCE_DIR BOOK_DIR BOOKPACK PECOMPACT WORK_DIR
#
# Copies the source tree into two folders whose names differ in text and
# length, builds TolmSetup.exe and Kestrun.exe from scratch in each, and fails
# unless both programs come out byte for byte the same. Source paths, build
# paths, link time stamps and archive time stamps must not reach the output.
set -euo pipefail

source_dir=$1
book_dir=$2
bookpack=$3
pecompact=$4
work=$5
readonly programs=(TolmSetup.exe Kestrun.exe)
readonly copies=("$work/a" "$work/second-copy-in-a-longer-folder")

rm -rf "$work"
mkdir -p "$work"

# copy_tree DEST: the sources without build outputs or history, and the book under test.
copy_tree() {
    mkdir -p "$1"
    tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$1" -xf -
    rm -rf "$1/book"
    cp -r "$book_dir" "$1/book"
}

# build_tree DIR: configures the windows preset and builds only the two programs.
build_tree() {
    (cd "$1" &&
        cmake --preset windows -DBOOKPACK="$bookpack" -DPECOMPACT="$pecompact" -DTOLM_BOOK_DIR="$1/book" >configure.log 2>&1 &&
        cmake --build build/windows -j1 --target TolmSetup Kestrun >build.log 2>&1) ||
        { echo "build in $1 failed:"; tail -n 30 "$1/configure.log" "$1/build.log" 2>/dev/null; return 1; }
}

pids=()
for copy in "${copies[@]}"; do
    copy_tree "$copy"
    build_tree "$copy" &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
[ $status -eq 0 ] || exit 1

for program in "${programs[@]}"; do
    first=$(find "${copies[0]}/build/windows" -name "$program" -type f | head -n1)
    second=$(find "${copies[1]}/build/windows" -name "$program" -type f | head -n1)
    if [ -z "$first" ] || [ -z "$second" ]; then
        echo "FAIL: $program was not built"
        status=1
    elif cmp -s "$first" "$second"; then
        echo "identical: $program ($(stat -c %s "$first") bytes, sha256 $(sha256sum "$first" | cut -c1-16))"
    else
        echo "FAIL: $program differs between the two builds:"
        cmp -l "$first" "$second" | head -n 10
        status=1
    fi
done
[ $status -eq 0 ] && rm -rf "$work"
exit $status
