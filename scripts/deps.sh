#!/usr/bin/env bash
# Installs the Debian packages Quillon needs to build, test and show its Chinese interface
# (lupdate and lrelease for the English catalogue come with qttools5-dev-tools).
set -euo pipefail
packages=(cmake ninja-build g++ make qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev
          qttools5-dev-tools fonts-noto-cjk)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
