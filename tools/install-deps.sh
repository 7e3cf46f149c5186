#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, test and run Lumenstack.
set -euo pipefail
packages=(cmake g++ make pkg-config qtbase5-dev qttools5-dev-tools qttools5-dev libtiff-dev
          libtiff-tools libfftw3-dev zlib1g-dev libgtest-dev libbenchmark-dev
          libhdf5-dev hdf5-tools libdeflate-dev libeigen3-dev fonts-ipafont-gothic
          python3 python3-tifffile python3-pil python3-numpy python3-scipy python3-h5py python3-skimage python3-sklearn
          pybind11-dev python3-dev python3-pytest python3-matplotlib
          imagemagick)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
