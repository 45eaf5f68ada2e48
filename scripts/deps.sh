#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, skipping what is already there.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format
          qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5charts5-dev qttools5-dev qttools5-dev-tools
          libudev-dev umockdev libumockdev-dev
          postgresql libqt5sql5-psql libpq-dev
          libqt5websockets5-dev chromium
          xvfb socat fonts-dejavu-core python3 dpkg-dev file
          lintian help2man man-db bash-completion
          minisign libsodium-dev locales)
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
# The record's figures are checked under a German locale too (a decimal comma).
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
fi
