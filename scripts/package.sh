#!/usr/bin/env bash
# Makes the release zip: both DLLs with their import libraries, both instdll-inspect.exe and
# instdll-selftest.exe, the header, the README with the documents and examples an integrator
# needs (scripts/release-documents.sh) and every shipped binary's debug file. It fails when a
# relative link in the zip's documents does not resolve inside the zip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh win32 win64
version=$(sed -n 's/^project(InstDLL VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=$(mktemp -d /tmp/instdll-package.XXXXXX)
trap 'rm -rf "$stage"' EXIT
root="$stage/InstDLL-$version"
mkdir -p "$root/include"
# The debug files stay apart from what an integrator redistributes (docs/debugging.md).
for arch in win32:x86 win64:x64; do
    preset=${arch%%:*}
    folder="$root/${arch##*:}"
    debug="$root/debug/${arch##*:}"
    mkdir -p "$folder" "$debug"
    cp "build/$preset/bin/InstDLL.dll" "build/$preset/libInstDLL.dll.a" "build/$preset/InstDLL.lib" \
        "build/$preset/bin/instdll-inspect.exe" "build/$preset/bin/instdll-selftest.exe" "$folder/"
    cp "build/$preset/bin/InstDLL.dll.debug" "build/$preset/bin/instdll-inspect.exe.debug" \
        "build/$preset/bin/instdll-selftest.exe.debug" "$debug/"
done
cp include/InstDLL.h "$root/include/"
scripts/release-documents.sh "$root"
mkdir -p dist
rm -f "dist/InstDLL-$version.zip"
(cd "$stage" && zip -q -r "$OLDPWD/dist/InstDLL-$version.zip" "InstDLL-$version")
tests/check-zip-links.sh "dist/InstDLL-$version.zip"
echo "dist/InstDLL-$version.zip:"
unzip -l "dist/InstDLL-$version.zip"
