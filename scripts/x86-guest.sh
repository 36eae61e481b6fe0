#!/usr/bin/env bash
# Builds the 32-bit guest into DIR: `vmlinuz` (Debian's cloud kernel, whose NVMe and ext4 drivers
# are built in, so it boots without an initramfs) and `root.raw` (a Debian 12 tree with the i386
# Wine and Xvfb, as an ext4 image made without mounting). scripts/x86-session.sh caches the result
# under the hash of this file, so any change here rebuilds the guest.
# Usage: x86-guest.sh DIR (DIR must not exist; a failed build leaves nothing there)
set -euo pipefail
dest=$1
suite=bookworm
# Wine's 32-bit test programs write a 1.2 GB file and its temporary copy: leave room for more.
free_space_mb=7168

# The Debian mirror this machine's apt uses, in either sources format; none is assumed.
debian_mirror() {
    local uri
    uri=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\)\/\?$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
        head -n 1)
    [ -n "$uri" ] || uri=$(sed -n 's/^deb \+\(http[^ ]*\/debian\)\/\? .*/\1/p' \
        /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | head -n 1)
    [ -n "$uri" ] || {
        echo "x86-guest: no Debian mirror in this machine's apt sources (/etc/apt/sources.list*)" >&2
        return 1
    }
    echo "$uri"
}

mirror=$(debian_mirror)
work=$(mktemp -d "$(dirname "$dest")/.build.XXXXXX")
tree=$work/tree
log=$work/build.log
cleanup() {
    mountpoint -q "$tree/proc" && umount "$tree/proc"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

debootstrap --variant=minbase --arch=amd64 "$suite" "$tree" "$mirror" >"$log" 2>&1 ||
    { tail -n 40 "$log" >&2; exit 1; }

in_tree() {
    chroot "$tree" env DEBIAN_FRONTEND=noninteractive LC_ALL=C "$@" 2>>"$log" ||
        { tail -n 40 "$log" >&2; return 1; }
}
mount -t proc proc "$tree/proc"
echo "deb $mirror $suite main" >"$tree/etc/apt/sources.list"
echo "deb $mirror $suite-updates main" >>"$tree/etc/apt/sources.list"
in_tree dpkg --add-architecture i386
in_tree apt-get update -qq
# The tree is thrown away if the build fails: dpkg need not wait for each file to reach the disk.
in_tree apt-get install -y -qq --no-install-recommends -o Dpkg::Options::=--force-unsafe-io \
    wine32:i386 wine64 xvfb locales >>"$log"
# Wine takes the ANSI code page from the locale: the Wine tests run under 1251, 932 and 65001.
for locale in ru_RU ja_JP hi_IN; do in_tree localedef -i "$locale" -f UTF-8 "$locale.UTF-8"; done

# The kernel is taken from its package rather than installed: the guest needs no modules.
kernel_package=$(in_tree apt-cache depends linux-image-cloud-amd64 | sed -n 's/^ *Depends: //p' |
    head -n 1)
in_tree sh -c "cd /tmp && apt-get download -qq $kernel_package"
dpkg-deb --fsys-tarfile "$tree"/tmp/"$kernel_package"_*.deb |
    tar -x -C "$work" --wildcards './boot/vmlinuz-*'
umount "$tree/proc"

in_tree apt-get clean
rm -rf "$tree"/tmp/* "$tree"/var/lib/apt/lists/*
install -m 0755 "$(dirname "$0")/x86-guest-init.sh" "$tree/sbin/instdll-init"

tree_mb=$(du -sm "$tree" | cut -f 1)
mkdir "$work/guest"
mv "$work"/boot/vmlinuz-* "$work/guest/vmlinuz"
# Sparse: only the tree's blocks are allocated. The storage is known to read as zeros, so the
# guest's kernel has no inode tables left to clear at every boot.
mke2fs -q -t ext4 -m 0 -L instdll-x86 -E assume_storage_prezeroed=1 -d "$tree" \
    "$work/guest/root.raw" "$((tree_mb + tree_mb / 5 + free_space_mb))M" >/dev/null
mv "$work/guest" "$dest"
