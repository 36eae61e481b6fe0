#!/usr/bin/env bash
# The 32-bit sibling of scripts/wine-session.sh: runs a command, given relative to the checkout's
# root, in a fresh Wine session with its own Xvfb inside an emulated x86 machine (this kernel runs
# no 32-bit code). The machine gets a copy of the checkout's scripts, tests and examples and of
# the win32 build's programs; in a 32-bit prefix also of the Inno Setup compiler (build/innosetup,
# scripts/inno-compiler.sh), in a 64-bit one of the 64-bit instdll-inspect where build/win64 has
# one (the tool as it reads a 64-bit machine's registry under WoW64). Its output is printed and
# its command's exit status returned. Nothing it starts outlives it, also on failure or timeout.
# x86-session.sh --image only builds the guest image where none is cached yet, which the test
# command starts early, beside the builds.
# INSTDLL_X86_PREFIX: the session's Wine prefix, win32 (default) or win64, in which 32-bit
# programs run under WoW64;
# INSTDLL_X86_BUILD: the build whose programs go in (default build/win32);
# INSTDLL_X86_CPUS: the machine's processors (default 2; the test command runs two machines of
# one each);
# INSTDLL_X86_TIMEOUT: seconds before the machine is stopped (default 3600);
# INSTDLL_X86_RESULTS: a directory that receives what the command leaves in $INSTDLL_RESULTS
# (for checks that need tools the guest lacks);
# INSTDLL_X86_CACHE: where the guest image is kept (default /var/cache/instdll/x86-guest).
set -euo pipefail
cd "$(dirname "$0")/.."
(($# > 0)) || { echo "usage: x86-session.sh COMMAND [ARGUMENT...] | --image" >&2; exit 2; }
build=${INSTDLL_X86_BUILD:-build/win32}
prefix=${INSTDLL_X86_PREFIX:-win32}
[[ $prefix == win32 || $prefix == win64 ]] ||
    { echo "x86-session: INSTDLL_X86_PREFIX is win32 or win64, not $prefix" >&2; exit 2; }
cpus=${INSTDLL_X86_CPUS:-2}
[[ $cpus =~ ^[1-9][0-9]*$ ]] ||
    { echo "x86-session: INSTDLL_X86_CPUS is a count, not $cpus" >&2; exit 2; }
timeout_seconds=${INSTDLL_X86_TIMEOUT:-3600}
cache=${INSTDLL_X86_CACHE:-/var/cache/instdll/x86-guest}
exit_marker=instdll-x86-exit-status:
needs() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "x86-session: $tool is missing" >&2; exit 1; }
    done
}
needs debootstrap mke2fs

# The image is built once per recipe; concurrent sessions wait for the one that builds it.
guest_image() {
    local recipe
    recipe=$(cat scripts/x86-guest.sh scripts/x86-guest-init.sh | sha256sum | cut -c 1-16)
    guest=$cache/$recipe
    mkdir -p "$cache"
    exec {lock}>"$cache/.lock"
    flock "$lock"
    if [ ! -d "$guest" ]; then
        echo "x86-session: building the guest image $guest" >&2
        scripts/x86-guest.sh "$guest"
    fi
    # Images of older recipes (about 2 GB each) go after a day, when no session can still be
    # starting from one.
    find "$cache" -mindepth 1 -maxdepth 1 -type d ! -name "$recipe" -mtime +0 -exec rm -rf {} +
    exec {lock}>&-
}

if [ "$1" = --image ]; then
    guest_image
    exit 0
fi
needs qemu-system-x86_64 debugfs
[ -f "$build/bin/InstDLL.dll" ] || { echo "x86-session: $build was not built" >&2; exit 1; }

session=$(mktemp -d "${TMPDIR:-/tmp}/instdll-x86.XXXXXX")
qemu_pid=
tail_pid=
cleanup() {
    set +e  # a killed child's status must not stop the cleanup
    [ -z "$qemu_pid" ] || { kill "$qemu_pid" 2>/dev/null; wait "$qemu_pid" 2>/dev/null; }
    [ -z "$tail_pid" ] || { kill "$tail_pid" 2>/dev/null; wait "$tail_pid" 2>/dev/null; }
    rm -rf "$session"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The run disk: what the guest's init runs and the checkout it runs it in.
run_disk() {
    local checkout=$session/run/checkout
    mkdir -p "$checkout/$build/bin"
    cp -a scripts tests examples "$checkout/"
    cp "$build"/bin/*.exe "$build"/bin/*.dll "$checkout/$build/bin/"
    [ ! -d "$build/demo" ] || cp -a "$build/demo" "$checkout/$build/"
    local inspect64=build/win64/bin/instdll-inspect.exe
    if [ "$prefix" = win32 ]; then
        # Without it the Inno Setup check alone fails, saying why; the other checks still run.
        scripts/inno-compiler.sh "$checkout/build/innosetup" ||
            echo "x86-session: the guest gets no Inno Setup compiler (see above)" >&2
    elif [ -f "$inspect64" ]; then
        mkdir -p "$checkout/${inspect64%/*}"
        cp "$inspect64" "$checkout/$inspect64"
    fi
    cp scripts/x86-guest-run.sh "$session/run/guest-run.sh"
    printf '%s\0' "$@" >"$session/run/command"
    echo "$prefix" >"$session/run/prefix"
    mke2fs -q -t ext4 -L instdll-run -d "$session/run" "$session/run.raw" \
        "$(($(du -sm "$session/run" | cut -f 1) * 2 + 16))M" >/dev/null
}

guest_image
run_disk "$@"
# The one disk the guest writes: its results, read back without mounting.
mke2fs -q -t ext4 -L instdll-results "$session/results.raw" 64M >/dev/null
# A disk request waits as long as the machine may run: on a loaded host one can take longer than
# the kernel's 30 s, and a request given up on resets the disk and fails every later one. Errors
# reach the console.
# The root disk is a snapshot: the guest's changes go to a temporary file under TMPDIR, inside
# the session. Only that disk: a global -snapshot would also keep the results disk's writes from
# reaching its file.
TMPDIR=$session timeout -k 10 "$timeout_seconds" qemu-system-x86_64 \
    -accel tcg -cpu max,-smap -m 3072 -smp "$cpus" -no-reboot -nic none \
    -display none -monitor none -serial "file:$session/console.log" \
    -kernel "$guest/vmlinuz" \
    -append "root=/dev/nvme0n1 rw console=ttyS0 init=/sbin/instdll-init panic=-1 quiet loglevel=3 \
nvme_core.io_timeout=$timeout_seconds nvme_core.admin_timeout=$timeout_seconds" \
    -device nvme,id=disks,serial=instdll \
    -drive "file=$guest/root.raw,format=raw,if=none,id=root,snapshot=on" \
    -device nvme-ns,drive=root,bus=disks,nsid=1 \
    -drive "file=$session/run.raw,format=raw,if=none,id=run,readonly=on" \
    -device nvme-ns,drive=run,bus=disks,nsid=2 \
    -drive "file=$session/results.raw,format=raw,if=none,id=results" \
    -device nvme-ns,drive=results,bus=disks,nsid=3 </dev/null &
qemu_pid=$!
touch "$session/console.log"
tail -n +1 -f --pid="$qemu_pid" "$session/console.log" &
tail_pid=$!
qemu_status=0
wait "$qemu_pid" || qemu_status=$?
qemu_pid=
wait "$tail_pid" || true
tail_pid=

if [ -n "${INSTDLL_X86_RESULTS:-}" ]; then
    mkdir -p "$INSTDLL_X86_RESULTS"
    debugfs -R "rdump / $INSTDLL_X86_RESULTS" "$session/results.raw" >/dev/null 2>&1 ||
        echo "x86-session: the guest's results could not be read" >&2
fi
status=$(tr -d '\r' <"$session/console.log" | sed -n "s/^$exit_marker \([0-9]*\)$/\1/p" | tail -n 1)
if [ -z "$status" ]; then
    ((qemu_status == 124)) && echo "x86-session: timed out after ${timeout_seconds}s" >&2
    echo "x86-session: the guest stopped without reporting an exit status" >&2
    exit 1
fi
exit "$status"
