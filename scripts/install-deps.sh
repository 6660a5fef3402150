#!/bin/sh
# Installs the Debian packages the build and the tests need, only those that
# are missing; safe to run any number of times.
set -eu

PACKAGES="
cmake g++ make pkg-config
libx11-dev libxft-dev libfontconfig-dev fonts-dejavu-core fonts-liberation
libgl-dev libglu1-mesa-dev libgl1-mesa-dri libglx-mesa0 libosmesa6-dev
libgtest-dev libxtst-dev libxres-dev libxdamage-dev
xvfb xauth x11-apps x11-utils xdotool imagemagick valgrind
g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64
desktop-file-utils dpkg-dev man-db zip unzip
"

missing=""
for p in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
    "install ok installed") ;;
    *) missing="$missing $p" ;;
    esac
done
[ -z "$missing" ] && exit 0

echo "install-deps: installing$missing"
if [ "$(id -u)" -eq 0 ]; then
    run() { "$@"; }
else
    run() { sudo "$@"; }
fi
run apt-get update -q
# shellcheck disable=SC2086
run env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
