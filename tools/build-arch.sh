#!/usr/bin/env bash
# Prints the architecture of the build that runs here: i686 (the program as
# it ships) where this machine runs 32-bit code itself under Wine, x86_64
# (the same sources built for 64-bit Windows) where it runs 64-bit code only,
# as some virtual machines do. 32-bit code that runs only through an
# emulator registered with the kernel (qemu-user) does not count: Wine
# under it is too slow and too unlike Windows to test with.
set -euo pipefail
for entry in /proc/sys/fs/binfmt_misc/*i386*; do
    [ -f "$entry" ] && grep -qx enabled "$entry" && { echo x86_64; exit 0; }
done
if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo i686; else echo x86_64; fi
