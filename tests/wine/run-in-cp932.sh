#!/usr/bin/env bash
# Runs the harness's tests of the code that cuts text by bytes (catalogue, titles, chooser) once
# more under the double-byte ANSI code page 932, where a character's second byte may be 0x5C.
# Usage: run-in-cp932.sh INSTDLL_WINE_TESTS_EXE (inside scripts/wine-session.sh)
set -euo pipefail
export LC_ALL=ja_JP.UTF-8
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] ||
    { echo "run-in-cp932: the locale $LC_ALL is missing (scripts/install-deps.sh)" >&2; exit 1; }
export INSTDLL_EXPECTED_CODE_PAGE=932
exec "$(dirname "$0")/run-in-wine.sh" "$1" \
    --gtest_filter='CatalogWineTest.*:TitlesWineTest.*:ChooserTest.*:ChooserResources.*'
