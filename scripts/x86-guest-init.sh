#!/bin/bash
# The 32-bit guest's first process: mounts what Wine and Xvfb need and the run disk, runs the
# run disk's script and reports its exit status after a marker that scripts/x86-session.sh
# looks for, then powers the machine off.
mount -t devtmpfs devtmpfs /dev
exec </dev/null >/dev/ttyS0 2>&1
stty -F /dev/ttyS0 -onlcr  # plain newlines: the host reads the output as it was written
mount -t proc proc /proc
mount -t sysfs sysfs /sys
ln -s /proc/self/fd /dev/fd
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /run  # not /tmp: the tests' temporary files outgrow the guest's memory
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root

status=125
run_disk=$(blkid -L instdll-run)
if [ -n "$run_disk" ] && mkdir -p /mnt/run && mount -o ro "$run_disk" /mnt/run; then
    bash /mnt/run/guest-run.sh
    status=$?
else
    echo "instdll-init: the run disk is missing"
fi
sync
echo "instdll-x86-exit-status: $status"
echo o >/proc/sysrq-trigger
sleep 60
