#!/bin/bash
# Prints the Windows architecture the Wine test bench can run on this machine:
# i686 where Wine's 32-bit loader starts, x86_64 where it cannot. Some kernels
# are built or booted without IA-32 emulation ("Exec format error" for every
# 32-bit Linux program), and then only 64-bit Wine runs; the shipped programs
# stay 32-bit either way. A 32-bit loader that only starts through a user-mode
# emulator registered with binfmt_misc does not count: Wine cannot reserve its
# address space there and hangs.
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    echo x86_64
elif [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo i686
elif [ ! -e /usr/lib/wine/wine ] && [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo i686
elif [ ! -e /usr/lib/wine/wine ] && [ ! -e /lib/ld-linux.so.2 ]; then
    # Nothing 32-bit installed yet to try: assume the usual kernel.
    echo i686
else
    echo x86_64
fi
