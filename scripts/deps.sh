#!/usr/bin/env bash
# Installs what the build and the tests need, once; later calls return at once.
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
have cmake || need+=(cmake)
have ninja || need+=(ninja-build)
have g++ || need+=(g++)
have x86_64-w64-mingw32-g++-posix || need+=(mingw-w64 g++-mingw-w64-x86-64-posix)
have wine || need+=(wine wine64)
# Without its preloader Wine maps its libraries before it reserves the low addresses it needs, and
# now and then one lands on the page kept for the shared user data: the process then ends at start
# with exit code 1 and no output ("failed to map the shared user data", hidden by WINEDEBUG=-all).
[ -e /usr/lib/wine/wine64-preloader ] || need+=(wine64-preloader)
have Xvfb || need+=(xvfb)
have xdotool || need+=(xdotool)
have xwininfo || need+=(x11-utils)
have python3 || need+=(python3)
have clang-format-14 || need+=(clang-format-14)
# ImageMagick's import takes the screenshots the end-to-end tests keep.
have import || need+=(imagemagick)
# SHA-256 of the POSIX layer.
[ -f /usr/include/openssl/evp.h ] || need+=(libssl-dev)
# xxHash, for a fast hash of the written data on read-back.
[ -f /usr/include/xxhash.h ] || need+=(libxxhash-dev)
# File-system UUIDs and labels of the Linux volume layer.
[ -f /usr/include/blkid/blkid.h ] || need+=(libblkid-dev)
# The Linux program's settings file (an INI reader), and what finds it and libblkid.
[ -f /usr/include/ini.h ] || need+=(libinih-dev)
have pkg-config || need+=(pkg-config)
# The Linux program's tests make ext4 cards on loop devices.
have mkfs.ext4 || need+=(e2fsprogs)
# cpack -G DEB names the libraries the package depends on.
have dpkg-shlibdeps || need+=(dpkg-dev)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev libgmock-dev googletest)
[ -f /usr/lib/x86_64-linux-gnu/libtsan.so.2 ] || [ -f /usr/lib/gcc/x86_64-linux-gnu/12/libtsan.so ] || need+=(libtsan2)
# The fault suite: exFAT sticks through FUSE, and a FUSE view that fails chosen entries.
{ have mount.exfat-fuse && have mkfs.exfat && have fusermount3 && [ -f /usr/lib/python3/dist-packages/fusepy.py ]; } || need+=(exfatprogs exfat-fuse fuse3 python3-fusepy)

if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: ${need[*]}"
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y --no-install-recommends "${need[@]}"
fi
