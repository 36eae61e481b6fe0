# Sourced by the scripts that run inside a Wine session: the family's registry as `reg query`
# lists it, and the helpers to compare two listings.
WINE=${WINE:-/usr/lib/wine/wine64}
. "$(dirname "${BASH_SOURCE[0]}")/../scripts/wine-path.sh"

# In English whatever the session's locale: `reg` names the default value in the user's language,
# in the console's code page.
reg_query() {
    LC_ALL=C.UTF-8 "$WINE" reg query "$@" 2>/dev/null | tr -d '\r'
}

# $1: where the machine keeps the DLL's HKLM\SOFTWARE (default the native view's; a 32-bit
# DLL's on 64-bit Windows is HKLM\SOFTWARE\WOW6432Node).
# Three `reg` processes, whatever the number of keys: each Wine process costs seconds in an
# emulated machine.
family_registry() {
    family_machine_registry "$@"
    reg_query 'HKCU\Software\Zk' /s | sed '/^$/d' || true
}

# The HKEY_LOCAL_MACHINE part of family_registry ($1 as there), in two `reg` processes.
family_machine_registry() {
    local software=${1:-'HKLM\SOFTWARE'}
    reg_query "$software\Zk" /s | sed '/^$/d' || true
    family_uninstall_entries "$software" | sed '/^$/d' || true
}

# The family's entries in the uninstall list of $1 (as family_registry's), each key with its
# values.
family_uninstall_entries() {
    reg_query "$1\Microsoft\Windows\CurrentVersion\Uninstall" /s |
        awk '/^HKEY_/ { family = tolower($0) ~ /\\uninstall\\(zk:|otherapp)/ } family'
}

# Removes the family's keys that family_registry lists ($1 as there), so that a sample imported
# next is the whole family, whatever ran in the prefix before: one query and one import.
remove_family_registry() {
    local software=${1:-'HKLM\SOFTWARE'} removal
    removal=$(mktemp /tmp/instdll-removal.XXXXXX)
    {
        printf 'REGEDIT4\r\n\r\n'
        { family_uninstall_entries "$software" | grep '^HKEY_' || true; } | sed 's/.*/[-&]\r/'
        printf '[-%s]\r\n' "${software/#HKLM/HKEY_LOCAL_MACHINE}\Zk" 'HKEY_CURRENT_USER\Software\Zk'
    } >"$removal"
    "$WINE" regedit /S "$(windows_path "$removal")"
    rm -f "$removal"
}

# One line per value, prefixed by its key, so that a change reads on its own.
flatten() {
    awk '/^HKEY_/ { key = $0; print key; next } { sub(/^ +/, ""); print key ": " $0 }'
}

# A listing's HKEY_LOCAL_MACHINE part: the current user's keys are one for both registry views.
machine_part() {
    sed '/^HKEY_CURRENT_USER/,$d'
}

# What the pruning deletes and a backup or a restore puts back: the machine's part of a listing
# without the value that the demo setup's RegDBDeleteValue call deletes.
pruned_part() {
    machine_part | grep -v '^    PendingReboot '
}

# The keys of listing $1 that listing $2 lacks, sorted.
keys_gone() {
    comm -23 <(echo "$1" | grep '^HKEY_' | sort) <(echo "$2" | grep '^HKEY_' | sort)
}

# The component counter in a listing, in decimal.
counter_in() {
    local hex
    hex=$(echo "$1" | grep -A1 -E '\\Components$' | awk '/REG_DWORD/ { print $3 }')
    [ -n "$hex" ] && printf '%d\n' "$hex"
}

# From instdll-inspect's --prune --json answer: the keys it deletes, sorted, and the counter
# after.
planned_deletions() {
    echo "$1" | grep -o '"key":"[^"]*","result":0' |
        sed 's/^"key":"//; s/","result":0$//; s/\\\\/\\/g' | sort
}
planned_counter() {
    echo "$1" | grep -o '"after":[-0-9]*' | cut -d: -f2
}

# setup.nsi's directory, arguments, title value and title, and instdll-inspect's questions on
# them ("" for the catalogue; an option and its arguments joined by "|").
directory='C:\Program Files\Zk\Suite\'
arguments=CORE
title_value='Zk Suite 7.5'
title='Zk Suite'
setup_questions=("" "--find|$directory" "--prune|$directory|$arguments" "--title|$title_value|$title")

# Asks each of setup_questions through the caller's `ask` (the tool with its options) on the
# export files in the caller's array `exports` and on --live; fails unless the two answers are
# alike, and keeps them in the caller's associative array `answers` by option ("catalogue").
ask_export_and_live() {
    local question from_file live words
    for question in "${setup_questions[@]}"; do
        IFS='|' read -r -a words <<<"$question"
        from_file=$(ask "${exports[@]}" "${words[@]}")
        live=$(ask --live "${words[@]}")
        if [ "$from_file" != "$live" ]; then
            printf '%s: the export and the live registry answer differently:\n%s\n%s\n' \
                "${words[0]:-catalogue}" "$from_file" "$live" >&2
            return 1
        fi
        answers[${words[0]:-catalogue}]=$live
    done
}

# From instdll-inspect's --find and --title --json answers: the result as the demo setup prints
# it, and the text it stores.
planned_find() {
    echo "$1" | sed 's/.*"result":\([0-9]*\),"logFile":"\([^"]*\)".*/\1, log file "\2"/'
}
planned_title() {
    echo "$1" | sed 's/.*"stored":{"name":"[^"]*","type":1,"text":"\([^"]*\)".*/\1/'
}

# Fails, saying why, unless the demo setup's results ($1, its results file's text) and the
# family's keys after it ran ($2, a listing) are what instdll-inspect answered (the caller's
# `answers`, from ask_export_and_live): the log file found, the counter, the title stored.
setup_did_as_answered() {
    local results=$1 after=$2 found stored counter
    found=$(planned_find "${answers[--find]}")
    echo "$results" | grep -qF "FindISUInCatalog(\"$directory\") = $found" ||
        { echo "FindISUInCatalog: the tool says $found, the setup got: $results" >&2; return 1; }
    counter=$(planned_counter "${answers[--prune]}")
    [ "$counter" = "$(counter_in "$after")" ] ||
        { echo "the tool's counter $counter is not the setup's $(counter_in "$after")" >&2; return 1; }
    stored=$(planned_title "${answers[--title]}")
    echo "$after" | grep -qE "^    $title_value    REG_SZ    $stored\$" || {
        echo "the tool would store \"$stored\" under \"$title_value\"; the setup stored otherwise" >&2
        return 1
    }
}
