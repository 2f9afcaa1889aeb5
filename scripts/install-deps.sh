#!/usr/bin/env bash
# Installs every Debian package that pavex's build, tests, benchmarks and fuzzers use.
# Run as root on Debian 12. Does nothing (quickly) when everything is present already.
set -euo pipefail

packages=(
    # build
    cmake make g++ ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-translations-l10n libcups2-dev libjpeg-dev zlib1g-dev
    liblcms2-dev
    libx11-dev libxdamage-dev
    # fonts: Japanese faces for the interface and the printed header, metric-compatible
    # Latin faces and a symbol face for metafiles
    fonts-ipafont-gothic fonts-ipafont-mincho fonts-liberation2 fonts-dejavu-core
    fonts-opensymbol fontconfig
    # run time: the URL opener that the About window's link hands the home page to
    xdg-utils
    # Chinese faces for metafile text in the GB2312 and Big5 character sets
    fonts-wqy-microhei
    # end-to-end tests: a virtual X server, input and window tools, screenshots
    xvfb xauth xdotool x11-utils imagemagick
    # printing: a CUPS daemon with a PDF queue, and the tools that read a PDF back
    cups cups-client cups-bsd printer-driver-cups-pdf poppler-utils ghostscript
    # desktop integration checks: the entries, the manual pages, SVG read back, and GNOME's
    # thumbnail factory and sandbox running the thumbnailer
    desktop-file-utils man-db librsvg2-bin bubblewrap python3-gi gir1.2-gnomedesktop-3.0
    # sanitizer and fuzzer builds
    clang libclang-rt-14-dev llvm
    # the metafile fidelity tool
    python3 python3-numpy python3-pil
    # benchmarks
    feh libjpeg-turbo-progs valgrind
    # colour tests and the benchmark: LittleCMS's own JPEG converter
    liblcms2-utils
)

missing=()
for p in "${packages[@]}"; do
    # dpkg-query prints "install ok installed" for an installed package
    if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: these packages are missing; run as root to install them: ${missing[*]}" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=600 update -q
apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
