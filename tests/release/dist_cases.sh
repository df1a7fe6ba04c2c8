#!/bin/bash
# dist_cases.sh SOURCE_DIR SIGNED_TREE UNSIGNED_TREE TEST_CERTIFICATE WORK_DIR
#
# make dist's release, made by its assembly step from the signed installer,
# must pass check_release.py. Then make dist and the steps it runs are given
# something wrong, one case at a time: each must fail with a message naming
# the file at fault and the reason, and leave the release folder exactly as
# the good release left it, with nothing half-made beside it.
set -u
root=$1
signed=$2
unsigned=$3
certificate=$4
work=$5
signing=${certificate%.pem}   # the throwaway certificate's .p12 and .password beside it
dist=$work/dist
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$work"
mkdir -p "$work"
"$root/release/assemble" --test-certificate "$certificate" "$signed/entry/TolmSetup.exe" "$dist" ||
    { echo "FAIL: the signed installer gave no release"; exit 1; }
/usr/bin/python3 "$root/tests/release/check_release.py" "$root/scripts" "$root/installation/product.h" \
    "$root/release/installer-command-line.yaml" "$dist" || failures=$((failures + 1))

snapshot() { (cd "$dist" && find . -type f -exec sha256sum {} + | LC_ALL=C sort); }
readonly good=$(snapshot)
echo "not the password" >"$work/wrong-password"
echo "a text file, not a program" >"$work/notes.exe"
mkdir "$work/foreign" && echo "kept" >"$work/foreign/notes.txt"
"$root/release/test-certificate" "$work/other-signing"

# make dist as a user runs it, not as a job of the make that runs this test,
# and with no signing settings but the case's own.
make_dist() {
    env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL -u TOLM_SIGN_PKCS12 -u TOLM_SIGN_PASSWORD_FILE \
        -u TOLM_SIGN_TIMESTAMP_URL -u TOLM_SIGN_CAFILE \
        make --no-print-directory -C "$root" dist DIST="$dist" "$@"
}
sign_copy() {
    cp "$unsigned/uninstaller/Kestrun.exe" "$work/program.exe"
    "$root/release/sign-program" "$@"
}

# run_case NAME EXPECTED_MESSAGE COMMAND...: the command fails with the
# message, and the release folder and its surroundings are as they were.
run_case() {
    local name=$1 expected=$2 rc=0
    shift 2
    "$@" >"$work/case.out" 2>&1 || rc=$?
    if [ $rc -eq 0 ]; then
        fail "$name: succeeded"
    elif ! grep -qF -- "$expected" "$work/case.out"; then
        fail "$name: no message '$expected'"
        sed 's/^/    /' "$work/case.out" | tail -n 5
    else
        echo "ok   $name: $(grep -F -m1 -- "$expected" "$work/case.out")"
    fi
    [ "$(snapshot)" = "$good" ] || fail "$name: the release in $dist changed"
    [ -z "$(find "$work" -maxdepth 1 -name '.dist.*')" ] || fail "$name: a staging folder was left beside $dist"
    [ ! -e "$work/program.exe.signing" ] || fail "$name: a half-signed program was left"
}

run_case "make dist, wrong password" "sign: $signing.p12: wrong password" \
    make_dist TOLM_SIGN_PKCS12="$signing.p12" TOLM_SIGN_PASSWORD_FILE="$work/wrong-password"
run_case "make dist, no certificate file" "sign: $work/missing.p12: no such certificate file" \
    make_dist TOLM_SIGN_PKCS12="$work/missing.p12" TOLM_SIGN_PASSWORD_FILE="$signing.password"
run_case "make dist, no password file" "sign: $work/missing-password: no such password file" \
    make_dist TOLM_SIGN_PKCS12="$signing.p12" TOLM_SIGN_PASSWORD_FILE="$work/missing-password"
run_case "make dist, no password file named" "TOLM_SIGN_PASSWORD_FILE must name the file" \
    make_dist TOLM_SIGN_PKCS12="$signing.p12"
run_case "signing, wrong password" "sign: $signing.p12: wrong password" \
    sign_copy "$signing.p12" "$work/wrong-password" "$work/program.exe"
[ ! -e "$work/program.exe" ] || fail "signing, wrong password: the unsigned program was kept for a signed one"
run_case "signing, not a program" "sign: $work/notes.exe: osslsigncode could not sign it" \
    "$root/release/sign-program" "$signing.p12" "$signing.password" "$work/notes.exe"
run_case "release of an unsigned installer" "release: $unsigned/entry/TolmSetup.exe: its signature does not verify" \
    "$root/release/assemble" --test-certificate "$certificate" "$unsigned/entry/TolmSetup.exe" "$dist"
run_case "release signed by another certificate" "its signature does not verify against $work/other-signing" \
    "$root/release/assemble" --test-certificate "$work/other-signing/test-signing.pem" "$signed/entry/TolmSetup.exe" "$dist"
run_case "release into a folder of other files" "release: $work/foreign: holds files that are not a release" \
    "$root/release/assemble" --test-certificate "$certificate" "$signed/entry/TolmSetup.exe" "$work/foreign"
[ "$(cat "$work/foreign/notes.txt" 2>/dev/null)" = kept ] || fail "the folder of other files lost its file"

if [ $failures -eq 0 ]; then
    echo "PASS: release_dist"
    rm -rf "$work"
    exit 0
fi
echo "$failures failure(s)"
exit 1
