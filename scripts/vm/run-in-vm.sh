#!/usr/bin/env bash
# Runs a shell command inside a small QEMU virtual machine that boots Debian's kernel with the
# vivid V4L2 test driver loaded: a real kernel camera driver (/dev/video0 is its capture node),
# for tests of camera code without camera hardware. This machine's root filesystem is mounted
# read-only inside the machine, so built programs and libraries run there as they are; the
# command runs as root with HOME and TMPDIR on a tmpfs (/run), and $OUT (/run/out) is a folder
# shared with the host for results.
#   scripts/vm/run-in-vm.sh 'v4l2-ctl --list-devices; ./build/tests/avicap_tests > $OUT/log'
#   scripts/vm/run-in-vm.sh --fetch     only download and unpack the kernel and busybox
# Environment: VM (work folder; the kernel is kept there between runs, default
# /tmp/lumo-vm-UID), OUT (results folder on the host, default a fresh one under $VM/runs),
# VM_TIMEOUT (seconds, default 300), VM_ACCEL (kvm or tcg; default KVM when it works, else
# tcg), VIVID_OPTS (module options, e.g. 'n_devs=2'),
# VM_REASON_FILE (where to write why no machine could run),
# VM_DISK (a raw disk image holding an ext4 file system: a virtual disk the command finds
# mounted at /run/disk; what the machine had not yet written to it is lost when it ends),
# VM_PIDFILE (where QEMU writes its process id, so a caller can end the machine at once).
# Exit status: the command's; 77 when no machine can run here (no QEMU, no kernel package,
# or the machine never reached the command: the reason goes to stderr and VM_REASON_FILE);
# 99 when the machine started the command but gave no result (it hung or crashed).
set -euo pipefail
export PATH="$PATH:/usr/sbin:/sbin"
VM=${VM:-/tmp/lumo-vm-$(id -u)}
fetch_only=0
[ "${1:-}" = --fetch ] && fetch_only=1
[ "$fetch_only" = 1 ] || CMD=${1:?usage: run-in-vm.sh COMMAND | --fetch}

cannot_run() {
  if [ -n "${VM_REASON_FILE:-}" ]; then printf '%s\n' "$*" > "$VM_REASON_FILE"
  else echo "no virtual machine: $*" >&2
  fi
  exit 77
}
need() { command -v "$1" >/dev/null 2>&1; }

mkdir -p "$VM" || cannot_run "cannot create the work folder $VM"

# The kernel and busybox, once; a lock keeps concurrent runs from fetching at the same time.
fetch() {
  [ -f "$VM/kern/ready" ] && return 0
  local work k tool
  for tool in apt-get apt-cache dpkg-deb depmod; do
    need "$tool" || { echo "$tool is missing (scripts/deps.sh test installs what is needed)"; return 1; }
  done
  work=$(mktemp -d "$VM/fetch.XXXXXX")
  k=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/{print $2}' | head -1)
  [ -n "$k" ] || { rm -rf "$work"; echo "the package lists know no linux-image-amd64 kernel (run apt-get update)"; return 1; }
  if ! (cd "$work" && apt-get download "$k" busybox-static >/dev/null 2>"$work/download.log"); then
    echo "apt-get download $k busybox-static failed: $(tail -1 "$work/download.log")"
    rm -rf "$work"; return 1
  fi
  mkdir -p "$work/kern" "$work/bb"
  dpkg-deb -x "$work"/linux-image-*.deb "$work/kern" && dpkg-deb -x "$work"/busybox-static_*.deb "$work/bb" \
    && depmod -b "$work/kern" "$(ls "$work/kern/lib/modules")" \
    || { rm -rf "$work"; echo "could not unpack $k"; return 1; }
  rm -f "$work"/*.deb
  rm -rf "$VM/kern" "$VM/bb"
  mv "$work/kern" "$VM/kern"; mv "$work/bb" "$VM/bb"; rm -rf "$work"
  touch "$VM/kern/ready"
}
exec 9>"$VM/.lock"
flock 9
reason=$(fetch) || cannot_run "$reason"
exec 9>&-
[ "$fetch_only" = 1 ] && exit 0

need qemu-system-x86_64 || cannot_run "qemu-system-x86_64 is missing (scripts/deps.sh test installs it)"
need cpio || cannot_run "cpio is missing (scripts/deps.sh test installs it)"

KV=$(ls "$VM/kern/lib/modules"); MOD=$VM/kern/lib/modules/$KV
[ -f "$MOD/kernel/drivers/media/test-drivers/vivid/vivid.ko" ] || cannot_run "kernel $KV has no vivid module"
# A module and what it needs, dependencies first; built-in ones are not in modules.dep.
order() {
  local deps d
  deps=$(grep "^$1:" "$MOD/modules.dep" | cut -d: -f2 || true)
  for d in $(echo $deps | tr ' ' '\n' | tac); do order "$d"; done
  echo "$1"
}
LIST=$( { for m in kernel/drivers/virtio/virtio_pci.ko kernel/fs/9p/9p.ko kernel/net/9p/9pnet_virtio.ko \
          kernel/drivers/media/test-drivers/vivid/vivid.ko \
          ${VM_DISK:+kernel/drivers/block/virtio_blk.ko kernel/crypto/crc32c_generic.ko kernel/fs/ext4/ext4.ko}; do
          order "$m"; done; } | awk '!seen[$0]++')

# Everything of this run in a folder of its own, so runs may overlap.
mkdir -p "$VM/runs"
RUN=$(mktemp -d "$VM/runs/run.XXXXXX")
trap 'rm -rf "$RUN"' EXIT
OUT=${OUT:-$RUN/out}
mkdir -p "$OUT" "$RUN/initrd"
cd "$RUN/initrd"
mkdir -p bin mods proc sys dev host out
cp "$VM/bb/bin/busybox" bin/
for a in sh mount insmod mkdir poweroff chroot cat echo ls; do ln -sf busybox bin/$a; done
n=0
for m in $LIST; do
  [ -f "$MOD/$m" ] || continue
  n=$((n+1)); cp "$MOD/$m" "mods/$(printf %02d $n)-$(basename "$m")"
done
printf '%s\n' "${VIVID_OPTS:-}" > vivid-opts
cat > init <<'INIT'
#!/bin/sh
mount -t proc proc /proc; mount -t sysfs sys /sys; mount -t devtmpfs dev /dev
for m in /mods/*.ko; do
  case $m in *vivid.ko) insmod $m $(cat /vivid-opts) ;; *) insmod $m 2>/dev/null ;; esac
done
mount -t 9p -o trans=virtio,version=9p2000.L,ro hostroot /host
mount -t 9p -o trans=virtio,version=9p2000.L out /out
mount --bind /dev /host/dev; mount -t proc proc /host/proc; mount -t sysfs sys /host/sys
mount -t tmpfs tmp /host/run; mkdir -p /host/run/out; mount --bind /out /host/run/out
if [ -e /dev/vda ]; then mkdir -p /host/run/disk; mount -t ext4 /dev/vda /host/run/disk; fi
ls -la /dev/video* > /out/devices.txt 2>&1
echo started > /out/started.txt
chroot /host /bin/sh -c "cd /run; HOME=/run TMPDIR=/run OUT=/run/out . /run/out/cmd.sh" > /out/stdout.txt 2> /out/stderr.txt
echo "rc=$?" > /out/rc.txt
poweroff -f
INIT
chmod +x init
find . | cpio -o -H newc 2>/dev/null | gzip -1 > "$RUN/initrd.gz"
cd "$RUN"

printf '%s\n' "$CMD" > "$OUT/cmd.sh"
# Boots the machine with the accelerator given ($1), giving up when it has not reached the
# command after $2 seconds; fails when it did not reach it.
boot() {
  rm -f "$OUT/rc.txt" "$OUT/started.txt" "$OUT/stdout.txt" "$OUT/stderr.txt"
  timeout "${VM_TIMEOUT:-300}" qemu-system-x86_64 -accel "$1" -m 2048 -smp 2 -nographic -no-reboot \
    -kernel "$VM/kern/boot/vmlinuz-$KV" -initrd initrd.gz -append "console=ttyS0 quiet panic=-1" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$OUT,mount_tag=out,security_model=none" \
    ${VM_DISK:+-drive "file=$VM_DISK,format=raw,if=virtio"} ${VM_PIDFILE:+-pidfile "$VM_PIDFILE"} > console.log 2>&1 &
  local qemu=$! waited=0
  while kill -0 "$qemu" 2>/dev/null; do
    if [ ! -f "$OUT/started.txt" ] && [ "$waited" -ge "$2" ]; then
      kill "$qemu" 2>/dev/null || true
      break
    fi
    sleep 1; waited=$((waited + 1))
  done
  wait "$qemu" || true
  [ -f "$OUT/started.txt" ]
}
# KVM boots in seconds where it works; where /dev/kvm is there but does not work the kernel
# never starts, so it gets a minute before the machine is emulated instead (slow, but sure).
# That minute is paid once: the work folder remembers that KVM did not boot here.
accel=${VM_ACCEL:-auto}
if [ "$accel" = auto ]; then
  if [ -r /dev/kvm ] && [ -w /dev/kvm ] && [ ! -f "$VM/kvm-does-not-boot" ]; then
    boot kvm 60 || { touch "$VM/kvm-does-not-boot"; boot tcg "${VM_TIMEOUT:-300}" || true; }
  else
    boot tcg "${VM_TIMEOUT:-300}" || true
  fi
else
  boot "$accel" "${VM_TIMEOUT:-300}" || true
fi
cp console.log "$VM/last-console.log"
cat "$OUT/stdout.txt" 2>/dev/null || true
cat "$OUT/stderr.txt" >&2 2>/dev/null || true
rc=$(sed -n 's/rc=//p' "$OUT/rc.txt" 2>/dev/null || true)
if [ -z "$rc" ]; then
  [ -f "$OUT/started.txt" ] || cannot_run "the machine did not reach the command within ${VM_TIMEOUT:-300} s (console: $VM/last-console.log, ending: $(sed 's/\x1b\[[0-9;?]*[A-Za-z]//g; s/\x1bc//g' console.log | tr -cd '[:print:]\n' | grep -v '^\s*$' | tail -1 | cut -c1-120))"
  echo "the command started in the machine but gave no result within ${VM_TIMEOUT:-300} s (console: $VM/last-console.log)" >&2
  exit 99
fi
exit "$rc"
