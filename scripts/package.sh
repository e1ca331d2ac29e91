#!/usr/bin/env bash
# Makes the release packages in build/package:
#   Dorvane-VERSION-win32.zip          what a user takes to a Windows machine:
#                                      the i686 binaries without debug sections,
#                                      the user guide, setup.cfg.sample,
#                                      READ-ME-FIRST.txt and SHA256SUMS
#   Dorvane-VERSION-win32-symbols.zip  the binaries' symbols
#   Dorvane-VERSION-win64-test.zip     the same from the 64-bit test build,
#                                      with the emulated-hardware driver, for
#                                      the install test under Wine
# The guide's pictures are taken by the robot under Wine on an emulated card.
#   scripts/package.sh [--no-build]    --no-build: the build is up to date
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
if [ "${1:-}" != --no-build ]; then
    scripts/setup.sh
    scripts/build.sh
fi
version=$(head -1 VERSION)
out=$repo/build/package
guide=$repo/build/guide
# The sample setup.cfg is made by the build from app/res/texts.txt and its notes.
sample=build/user_texts/setup.cfg.sample
for f in build/win/ship/Dorvane.exe build/win64/ship/Dorvane.exe build/tools/guidegen/guidegen \
    build/tools/pelmixctl/pelmixctl "$sample"; do
    [ -f "$f" ] || { echo "package: $f is missing; build first (scripts/build.sh)" >&2; exit 1; }
done

echo "package: screenshots for the guide (robot under Wine)"
mkdir -p "$guide"
tests/release/guide_shots.sh build/win64 "$guide" build/tools/biosimage/biosimage \
    >"$guide/shots.log" 2>&1 || { cat "$guide/shots.log"; echo "package: the guide's screenshots failed" >&2; exit 1; }
# pelmixctl's help goes into the guide as the tool prints it (the native build
# prints the same text as pelmixctl.exe).
build/tools/pelmixctl/pelmixctl --help >"$guide/pelmixctl-help.txt"
build/tools/guidegen/guidegen build docs/guide/guide.txt app/res/texts.txt "$sample" \
    "$version" "$guide" "$guide/images" --include pelmixctl-help="$guide/pelmixctl-help.txt"

# Text files get Windows line ends.
crlf() { sed -e 's/\r$//' -e 's/$/\r/' "$1" >"$2"; }

# assemble BUILD NAME: stage and zip one package and its symbols.
assemble() {
    local bin=$1 name=$2
    local stage=$out/stage/$name
    rm -rf "$out/stage"
    mkdir -p "$stage/images" "$out/stage/symbols-$name"
    cp "$bin"/ship/Dorvane.exe "$bin"/ship/Pelmix.sys "$bin"/ship/pelmixctl.exe "$bin"/ship/biostool.exe "$stage/"
    cp "$guide/guide.html" "$stage/"
    cp "$guide"/images/*.png "$stage/images/"
    crlf "$guide/guide.txt" "$stage/guide.txt"
    crlf "$sample" "$stage/setup.cfg.sample"
    sed "s/{version}/$version/g" docs/guide/read-me-first.txt >"$stage/READ-ME-FIRST.tmp"
    crlf "$stage/READ-ME-FIRST.tmp" "$stage/READ-ME-FIRST.txt"
    rm "$stage/READ-ME-FIRST.tmp"
    (cd "$stage" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS)
    cp "$bin"/ship/symbols/*.debug "$out/stage/symbols-$name/"
    rm -f "$out/$name.zip" "$out/$name-symbols.zip"
    (cd "$out/stage" && cmake -E tar cf "$out/$name.zip" --format=zip "$name" &&
        mv "symbols-$name" "$name-symbols" && cmake -E tar cf "$out/$name-symbols.zip" --format=zip "$name-symbols")
    rm -rf "$out/stage"
    echo "package: $out/$name.zip"
}

mkdir -p "$out"
assemble build/win "Dorvane-$version-win32"
assemble build/win64 "Dorvane-$version-win64-test"
