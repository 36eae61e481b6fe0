#!/usr/bin/env bash
# Copies what the release zip carries besides the binaries and the header into DEST: the README,
# the documents for integrators and support with the chooser's pictures, and the example setup
# scripts the README copies from. The developers' documents stay in the source tree, so no
# document in the zip may link them (tests/check-zip-links.sh).
# Usage: release-documents.sh DEST
set -euo pipefail
(($# == 1)) || { echo "usage: $0 DEST" >&2; exit 2; }
dest=$1
cd "$(dirname "$0")/.."
developer_docs=(building.md testing.md runtime.md footprint.md fuzzing.md x86-stage.md)
mkdir -p "$dest/docs" "$dest/examples"
# The zip's README starts with what an integrator and support need: what only the source tree
# can run is left out.
sed '/^<!-- source tree only -->$/,/^<!-- end of source tree only -->$/d' README.md >"$dest/README.md"
for doc in docs/*.md docs/*.png; do
    [[ " ${developer_docs[*]} " == *" $(basename "$doc") "* ]] || cp "$doc" "$dest/docs/"
done
for example in examples/setup.nsi examples/setup.iss examples/sample-registry.reg; do
    [ ! -f "$example" ] || cp "$example" "$dest/examples/"
done
