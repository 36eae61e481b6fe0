#!/usr/bin/env bash
# Makes the release zip: both DLLs, the header, both import libraries, the README and the
# documents an integrator needs (every one under docs/ but the developers' own).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh win32 win64
version=$(sed -n 's/^project(InstDLL VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=$(mktemp -d /tmp/instdll-package.XXXXXX)
trap 'rm -rf "$stage"' EXIT
root="$stage/InstDLL-$version"
mkdir -p "$root/include"
for arch in win32:x86 win64:x64; do
    preset=${arch%%:*}
    folder="$root/${arch##*:}"
    mkdir -p "$folder"
    cp "build/$preset/bin/InstDLL.dll" "build/$preset/libInstDLL.dll.a" "build/$preset/InstDLL.lib" "$folder/"
done
cp include/InstDLL.h "$root/include/"
cp README.md "$root/"
developer_docs=(testing.md runtime.md footprint.md fuzzing.md x86-stage.md)
mkdir -p "$root/docs"
for doc in docs/*.md docs/*.png; do
    [[ " ${developer_docs[*]} " == *" $(basename "$doc") "* ]] || cp "$doc" "$root/docs/"
done
mkdir -p dist
rm -f "dist/InstDLL-$version.zip"
(cd "$stage" && zip -q -r "$OLDPWD/dist/InstDLL-$version.zip" "InstDLL-$version")
echo "dist/InstDLL-$version.zip:"
unzip -l "dist/InstDLL-$version.zip"
