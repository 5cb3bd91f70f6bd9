#!/usr/bin/env bash
# The 32-bit lane: runs the i686 tree's Wine tests (the test programs and the
# survey script) under 32-bit Wine inside a QEMU guest, since this kind of host
# runs no 32-bit code itself; and, with 64-bit Wine beside it, the WOW64 test
# of both packages (64-bit Windows running 32-bit programs). Needs root (debootstrap and chroot build the
# guest's system image).
#
#   lane32.sh image <build-dir>    build the guest image if it is missing or stale
#   lane32.sh run <build-dir>      build the image if needed, boot the guest, run the tests
#   lane32.sh key <build-dir>      print the key that the image is reused under
#
# Everything lives below <build-dir>/guest: the system image (a Debian root
# with the guest's kernel, 32-bit and 64-bit Wine, Xvfb and Mesa, made once and reused
# until the package list, the guest's init or the way it is built changes),
# the disk that carries the tests in and the results out, and the guest's
# console log. The guest is stopped after ORVANTA_GUEST_TIMEOUT seconds
# (default 3600). ORVANTA_LANE32_TESTS, a ctest regular expression, runs only
# the tests it matches (and their fixtures).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

command=${1:?usage: lane32.sh image|run <build-dir>}
build=$(cd "${2:?missing build directory}" && pwd)
guest=$build/guest
timeout=${ORVANTA_GUEST_TIMEOUT:-3600}
suite=bookworm
mirror=${ORVANTA_GUEST_MIRROR:-http://deb.debian.org/debian}

# The guest's packages: its kernel, 32-bit Wine (and 64-bit Wine, for the
# WOW64 test's win64 prefix), ctest to run the tests, python3 for the survey
# tool test's JSON check and the install tests, and
# what the 64-bit harness has on the host: Xvfb, Mesa for Direct3D (the i386
# libraries, since 32-bit Wine loads them) and ALSA for the null output.
guest_packages=(
  linux-image-amd64 wine wine32 wine64 cmake xvfb xauth python3
  libasound2:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
  libxrandr2:i386 libxrender1:i386 libxi6:i386 libxcursor1:i386 libxcomposite1:i386
  libxinerama1:i386 libxxf86vm1:i386 libxfixes3:i386
)

# The guest's first process: mounts what Wine and Xvfb need, runs the lane's
# script from the second disk and powers off.
guest_init='#!/bin/sh
export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
mount -t proc proc /proc 2>/dev/null
mount -t sysfs sys /sys 2>/dev/null
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
mkdir -p /lane
if mount -t ext4 /dev/vdb /lane; then
  sh /lane/guest.sh
  sync
  umount /lane
fi
sync
echo o >/proc/sysrq-trigger
sleep 60
'

image_key() {
  # The packages, the guest's init and the recipe itself.
  printf '%s\n' "$suite" "$mirror" "${guest_packages[@]}" "$guest_init" "$(declare -f build_image)" |
    sha256sum | cut -d' ' -f1
}

log() { echo "lane32: $*" >&2; }

build_image() {
  local key
  key=$(image_key)
  if [[ -f $guest/image.key && $(cat "$guest/image.key") == "$key" && -f $guest/system.raw ]]; then
    return 0
  fi
  log "building the guest image in $guest (once; a few minutes)"
  local started=$SECONDS
  # What a stopped build may have left mounted in the root is let go first.
  umount "$guest/root/proc" 2>/dev/null || true
  rm -rf --one-file-system "$guest/root" "$guest/system.raw" "$guest/vmlinuz" "$guest/initrd.img" "$guest/image.key"
  mkdir -p "$guest"
  rootfs=$guest/root
  debootstrap --arch=amd64 --variant=minbase "$suite" "$rootfs" "$mirror" >"$guest/debootstrap.log" 2>&1 ||
    { tail -n 20 "$guest/debootstrap.log" >&2; return 1; }
  log "base system after $((SECONDS - started)) s"
  mount -t proc proc "$rootfs/proc"
  trap 'umount "$rootfs/proc" 2>/dev/null || true' EXIT
  cat >"$rootfs/etc/apt/sources.list" <<EOF
deb $mirror $suite main
EOF
  # No initramfs hooks asking questions, no documentation.
  cat >"$rootfs/etc/dpkg/dpkg.cfg.d/01-lane-nodoc" <<'EOF'
path-exclude /usr/share/doc/*
path-exclude /usr/share/man/*
path-exclude /usr/share/info/*
path-exclude /usr/share/locale/*
EOF
  # The initrd needs only what mounts the root: the virtio disk and ext4
  # (with the checksum that ext4 uses). The default, most of the kernel's
  # modules, makes its generation the longest step of the image.
  mkdir -p "$rootfs/etc/initramfs-tools/conf.d"
  echo MODULES=list >"$rootfs/etc/initramfs-tools/conf.d/lane-modules"
  printf '%s\n' virtio_pci virtio_blk ext4 crc32c_generic >"$rootfs/etc/initramfs-tools/modules"
  chroot "$rootfs" dpkg --add-architecture i386
  if ! chroot "$rootfs" /usr/bin/env DEBIAN_FRONTEND=noninteractive sh -c \
    "apt-get update -qq && apt-get install -y -qq --no-install-recommends -o Dpkg::Options::=--force-confold ${guest_packages[*]}" \
    >"$guest/packages.log" 2>&1 <<<"" ; then
    tail -n 30 "$guest/packages.log" >&2
    return 1
  fi
  log "packages after $((SECONDS - started)) s"
  umount "$rootfs/proc"
  trap - EXIT
  cp -L "$rootfs/vmlinuz" "$guest/vmlinuz"
  cp -L "$rootfs/initrd.img" "$guest/initrd.img"
  # The kernel and initrd are handed to QEMU directly; the modules the root
  # needs (virtio, ext4) are in the initrd.
  rm -rf "$rootfs"/lib/modules/* "$rootfs"/boot/* "$rootfs"/var/cache/apt/archives/*.deb "$rootfs"/var/lib/apt/lists/*
  printf '%s' "$guest_init" >"$rootfs/sbin/lane-init"
  chmod 755 "$rootfs/sbin/lane-init"
  truncate -s 4G "$guest/system.raw.new"
  mkfs.ext4 -q -F -L lane-system -d "$rootfs" "$guest/system.raw.new"
  mv "$guest/system.raw.new" "$guest/system.raw"
  rm -rf "$rootfs"
  echo "$key" >"$guest/image.key"
  log "guest image ready after $((SECONDS - started)) s"
}

# The second disk: the guest's script, the i686 tree's programs and test
# files, the sources the tests name (scripts, tests, examples, the manual),
# and the 64-bit tree's package and programs for the WOW64 test, each at the
# path it has here so that ctest finds what it was configured with.
make_work_disk() {
  local stage=$guest/stage
  rm -rf "$stage" "$guest/work.raw"
  local x64
  x64=$(cd "$build/../x64" && pwd)
  mkdir -p "$stage/src/docs" "$stage/build" "$stage/x64/bin" "$stage/x64/installer" "$stage/results"
  cp "$root/scripts/lane32-guest.sh" "$stage/guest.sh"
  printf "source_dir=%s\nbuild_dir=%s\nx64_dir=%s\ntests='%s'\n" "$root" "$build" "$x64" "${ORVANTA_LANE32_TESTS:-}" \
    >"$stage/lane.conf"
  cp -r "$root/scripts" "$root/examples" "$stage/src/"
  cp -r "$root/tests" "$stage/src/"
  cp "$root/docs/manual.md" "$stage/src/docs/"
  cp "$x64"/bin/{ORVANTA.OCX,orvanta-survey.exe} "$stage/x64/bin/"
  cp "$x64"/installer/ORVANTA-*-x64.msi "$stage/x64/installer/"
  cp -r "$build/bin" "$stage/build/"
  # The x86 package, for the install test.
  cp -r "$build/installer" "$stage/build/"
  (cd "$build" && find . \( -path ./guest -o -path ./wine \) -prune -o -name CTestTestfile.cmake \
    -exec cp --parents {} "$stage/build/" \;)
  truncate -s 3G "$guest/work.raw"
  mkfs.ext4 -q -F -L lane-work -d "$stage" "$guest/work.raw"
}

run_guest() {
  build_image
  make_work_disk
  rm -rf "$guest/results" "$guest/console.log"
  log "booting the guest (32-bit Wine; stopped after $timeout s)"
  local started=$SECONDS status=0
  # -smap: with SMAP the guest's kernel faults on the iret back to 32-bit user
  # code under this QEMU's emulation, and every 32-bit process dies.
  # In the caller's process group (--foreground), so that stopping the caller's
  # group stops QEMU too.
  timeout --foreground --kill-after=30 "$timeout" qemu-system-x86_64 \
    -machine pc -cpu max,-smap -accel tcg,thread=multi -smp "$(( $(nproc) < 4 ? $(nproc) : 4 ))" -m 3G \
    -display none -monitor none -serial "file:$guest/console.log" -no-reboot \
    -kernel "$guest/vmlinuz" -initrd "$guest/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 quiet panic=-1 init=/sbin/lane-init" \
    -drive "file=$guest/system.raw,format=raw,if=virtio,snapshot=on" \
    -drive "file=$guest/work.raw,format=raw,if=virtio" </dev/null || status=$?
  if [[ $status -eq 124 || $status -eq 137 ]]; then
    log "the guest did not finish within $timeout s; the end of its console:"
    tail -n 40 "$guest/console.log" >&2 || true
    return 1
  fi
  if [[ $status -ne 0 ]]; then
    log "qemu failed ($status); the end of the guest's console:"
    tail -n 40 "$guest/console.log" >&2 || true
    return 1
  fi
  debugfs -R "rdump /results $guest" "$guest/work.raw" >/dev/null 2>&1 || true
  log "guest finished after $((SECONDS - started)) s"
  if [[ ! -f $guest/results/status ]]; then
    log "the guest left no result; the end of its console:"
    tail -n 40 "$guest/console.log" >&2 || true
    return 1
  fi
  cat "$guest/results/ctest.log" 2>/dev/null || true
  [[ $(cat "$guest/results/status") == 0 ]]
}

case "$command" in
  image) build_image ;;
  run) run_guest ;;
  key) image_key ;;
  *)
    echo "lane32: unknown command $command" >&2
    exit 2
    ;;
esac
