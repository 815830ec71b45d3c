#!/usr/bin/env bash
# package_test.sh SOURCE_DIR BUILD_DIR
# Builds the Debian package from the build tree, unpacks it into a staging
# root and checks it step by step; each step says what failed.
set -uo pipefail
SOURCE=$1
BUILD=$2

# What the package must hold, and every program it ships.
PROGRAMS="recorder-sim zorvan zorvan-cli"
FILES="
./usr/bin/zorvan
./usr/bin/recorder-sim
./usr/bin/zorvan-cli
./usr/share/zorvan/Dot_n.dot
./usr/share/applications/zorvan.desktop
./usr/share/icons/hicolor/scalable/apps/zorvan.svg
./usr/share/icons/hicolor/48x48/apps/zorvan.png
./usr/share/icons/hicolor/128x128/apps/zorvan.png
./usr/share/doc/zorvan/copyright
./usr/share/doc/zorvan/changelog.Debian.gz
./usr/share/man/man1/zorvan.1.gz
./usr/share/man/man1/zorvan-cli.1.gz
./usr/share/man/man1/recorder-sim.1.gz
./usr/lib/systemd/system/zorvan-round.service
./usr/lib/systemd/system/zorvan-round.timer
./usr/lib/systemd/user/zorvan-round.service
./usr/lib/systemd/user/zorvan-round.timer
"
# Libraries the programs need, which the package must declare.
DEPENDS="libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6charts6 libqt6svg6 libpq5 libsodium23"

WORK=$(mktemp -d)
SIM_PID=
cleanup() {
    [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() { echo "== $*"; }

step "build the package"
ZORVAN_BUILD=$BUILD "$SOURCE/scripts/package" "$WORK/out" >"$WORK/package.log" 2>&1 ||
    { cat "$WORK/package.log" >&2; fail "scripts/package"; }
shopt -s nullglob
debs=("$WORK"/out/zorvan_*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one zorvan_*.deb, found ${#debs[@]}"
DEB=${debs[0]}
VERSION=$(dpkg-deb -f "$DEB" Version)
ARCH=$(dpkg-deb -f "$DEB" Architecture)
[ "$(basename "$DEB")" = "zorvan_${VERSION}_${ARCH}.deb" ] || fail "package name $(basename "$DEB")"
[ "$ARCH" = "$(dpkg --print-architecture)" ] || fail "architecture $ARCH"

step "file list"
dpkg-deb --contents "$DEB" | awk '{print $6}' | sed 's|/$||' >"$WORK/contents"
for f in $FILES; do
    grep -qx -- "$f" "$WORK/contents" || fail "missing from the package: $f"
done
shipped=$(grep '^\./usr/bin/.' "$WORK/contents" | sed 's|^\./usr/bin/||' | sort | tr '\n' ' ')
[ "$shipped" = "$(echo $PROGRAMS | tr ' ' '\n' | sort | tr '\n' ' ')" ] ||
    fail "programs in usr/bin: $shipped"

step "the round's units are shipped, never enabled"
! grep -q '^\./etc/systemd' "$WORK/contents" || fail "the package enables a unit"
dpkg-deb --ctrl-tarfile "$DEB" | tar -t | grep -qE 'postinst|prerm|postrm' &&
    fail "the package has maintainer scripts"
if command -v systemd-analyze >/dev/null; then
    for u in system/zorvan-round.service system/zorvan-round.timer; do
        systemd-analyze verify --man=no "$SOURCE/cmake/systemd/$u" 2>&1 | grep -v 'Command /usr/bin/zorvan-cli is not executable' |
            grep . && fail "systemd-analyze verify $u"
    done
fi

step "declared dependencies"
depends=$(dpkg-deb -f "$DEB" Depends)
for d in $DEPENDS; do
    echo "$depends" | tr ',' '\n' | grep -q "^ *$d\( \|$\)" || fail "Depends lacks $d: $depends"
done

step "lintian reports no error"
if command -v lintian >/dev/null; then
    # Run as root lintian says so on every run; that is no finding.
    lintian --allow-root "$DEB" >"$WORK/lintian.txt" 2>&1
    cat "$WORK/lintian.txt"
    ! grep -q '^E: ' "$WORK/lintian.txt" || fail "lintian reports errors"
else
    echo "lintian is not installed: not checked"
fi

step "unpack into a staging root"
ROOT=$WORK/root
dpkg -x "$DEB" "$ROOT" || fail "dpkg -x"
BIN=$ROOT/usr/bin

step "menu entry"
DESKTOP=$ROOT/usr/share/applications/zorvan.desktop
for key in '^Type=Application$' '^Exec=zorvan$' '^Icon=zorvan$' '^Name\[ru\]=.' '^Comment\[ru\]=.' \
    '^Categories=.*Utility;'; do
    grep -q -- "$key" "$DESKTOP" || fail "zorvan.desktop lacks $key"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$DESKTOP" || fail "desktop-file-validate"
fi

step "every program answers --version, without a display"
VERSION_UPSTREAM=${VERSION%-*}
for p in $PROGRAMS; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$BIN/$p" --version 2>&1) ||
        fail "$p --version exited $?: $out"
    [ "$out" = "$p $VERSION_UPSTREAM" ] || fail "$p --version printed: $out"
done
# The man pages are whole: man formats each without a warning.
for p in $PROGRAMS; do
    warnings=$(man --warnings -l "$ROOT/usr/share/man/man1/$p.1.gz" 2>&1 >/dev/null) ||
        fail "man $p"
    [ -z "$warnings" ] || fail "man $p: $warnings"
done

step "zorvan without a display: one line pointing to zorvan-cli, status 1"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$BIN/zorvan" >"$WORK/nodisplay.txt" 2>&1
status=$?
[ $status -eq 1 ] || fail "zorvan without a display exited $status"
[ "$(wc -l <"$WORK/nodisplay.txt")" -eq 1 ] && grep -q zorvan-cli "$WORK/nodisplay.txt" ||
    { cat "$WORK/nodisplay.txt" >&2; fail "zorvan without a display did not point to zorvan-cli"; }

step "recorder-sim --help"
"$BIN/recorder-sim" --help >"$WORK/help" 2>&1 || fail "recorder-sim --help exited $?"
grep -q -- '--com' "$WORK/help" || fail "recorder-sim --help does not list --com"

step "zorvan --list-ports shows a simulator bound as COM 42, without a display"
export ZORVAN_PORTS=$WORK/ports
# The programs archive every readout: not into the archive of whoever runs the test.
export XDG_DATA_HOME=$WORK/data
"$BIN/recorder-sim" --com 42 >"$WORK/sim.out" 2>&1 &
SIM_PID=$!
for _ in $(seq 100); do
    grep -q '^READY ' "$WORK/sim.out" && break
    sleep 0.1
done
DEVICE=$(sed -n 's/^READY //p' "$WORK/sim.out")
[ -n "$DEVICE" ] || { cat "$WORK/sim.out" >&2; fail "recorder-sim did not become ready"; }
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$BIN/zorvan" --list-ports >"$WORK/ports.txt" 2>&1 ||
    { cat "$WORK/ports.txt" >&2; fail "zorvan --list-ports exited $?"; }
cat "$WORK/ports.txt"
grep -q "^COM42 $DEVICE\$" "$WORK/ports.txt" || fail "COM42 $DEVICE not listed"

step "zorvan-cli info reads the identification, without a display"
# The link's clock runs faster for the test: every pause in proportion.
export ZORVAN_TIME_SCALE=10
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$BIN/zorvan-cli" info --com 42 >"$WORK/info.txt" 2>&1 ||
    { cat "$WORK/info.txt" >&2; fail "zorvan-cli info exited $?"; }
cat "$WORK/info.txt"
# The simulator's identification names this crane model and recorder.
grep -q 'КС-45717К-1' "$WORK/info.txt" && grep -q 'РП-2М регистратор параметров' "$WORK/info.txt" ||
    fail "the identification is not in the info output"

step "zorvan-cli summator --word finds the installed template and makes the report"
mkdir -p "$WORK/run"
(cd "$WORK/run" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    "$BIN/zorvan-cli" summator --com 42 --out "$WORK/run/out" --word -q >"$WORK/sum.txt" 2>&1) ||
    { cat "$WORK/sum.txt" >&2; fail "zorvan-cli summator --word exited $?"; }
cat "$WORK/sum.txt"
REPORT=$(grep 'list\.doc$' "$WORK/sum.txt" | tail -1)
[ -n "$REPORT" ] && [ -f "$REPORT" ] || fail "no list.doc named in the output"
head -c 5 "$REPORT" | grep -q '{\\rtf' || fail "$REPORT is not an RTF document"
# Whoever runs it (root too), the installed program writes nothing into usr/bin.
[ ! -e "$BIN/list.doc" ] || fail "list.doc was written into usr/bin"
for f in report.xls summator.xls recorder.img index.html; do
    [ -s "$WORK/run/out/$f" ] || fail "the readout left no $f"
done

echo "package test passed: $(basename "$DEB")"
