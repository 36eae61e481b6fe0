#!/usr/bin/env bash
# Zips the release's documents as scripts/package.sh does and checks that every relative link in
# them resolves inside the zip (tests/check-zip-links.sh). The binaries play no part in it.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d "${TMPDIR:-/tmp}/instdll-release-links.XXXXXX")
trap 'rm -rf "$work"' EXIT
scripts/release-documents.sh "$work/InstDLL"
(cd "$work" && zip -q -r documents.zip InstDLL)
tests/check-zip-links.sh "$work/documents.zip"
