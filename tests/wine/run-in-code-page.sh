#!/usr/bin/env bash
# Runs the harness's tests of the code that handles text byte by byte (catalogue, titles,
# chooser, the log and its restore, the stamped strings) once more under another ANSI code page:
# 932 (ja_JP.UTF-8), double-byte, where a character's second byte may be 0x5C, or 65001
# (hi_IN.UTF-8, a locale with no ANSI code page of its own), where a character takes up to four
# bytes and no byte is a lead byte.
# Usage: run-in-code-page.sh LOCALE INSTDLL_WINE_TESTS_EXE (inside scripts/wine-session.sh)
set -euo pipefail
export LC_ALL=$1
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] ||
    { echo "run-in-code-page: the locale $LC_ALL is missing (scripts/install-deps.sh)" >&2; exit 1; }
# The harness fails at once where Wine gave another code page, which a missing locale would do.
case $1 in
ja_JP.UTF-8) export INSTDLL_EXPECTED_CODE_PAGE=932 ;;
hi_IN.UTF-8) export INSTDLL_EXPECTED_CODE_PAGE=65001 ;;
*) { echo "run-in-code-page: no code page known for $1" >&2; exit 2; } ;;
esac
filter='CatalogWineTest.*:TitlesWineTest.*:ChooserTest.*:ChooserResources.*'
filter+=':LogWineTest.LongText*:LogWineTest.EveryCall*:LogWineTest.RestoreFromTheLog*'
filter+=':UserParamsTest.TextOfTheCodePage*'
exec "$(dirname "$0")/run-in-wine.sh" "$2" --gtest_filter="$filter"
