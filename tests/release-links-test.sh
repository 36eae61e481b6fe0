#!/usr/bin/env bash
# Zips the release's documents as scripts/package.sh does and checks that every relative link in
# them resolves inside the zip (tests/check-zip-links.sh), and that its README names no script of
# the source tree, which the zip does not carry. The binaries play no part in it.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d "${TMPDIR:-/tmp}/instdll-release-links.XXXXXX")
trap 'rm -rf "$work"' EXIT
scripts/release-documents.sh "$work/InstDLL"
if grep -n 'scripts/' "$work/InstDLL/README.md"; then
    echo "the zip's README names the source tree's scripts" >&2
    exit 1
fi
(cd "$work" && zip -q -r documents.zip InstDLL)
tests/check-zip-links.sh "$work/documents.zip"
