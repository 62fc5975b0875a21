#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, only when one is missing.
set -euo pipefail
packages=(
    build-essential cmake pkg-config clang-format
    libx11-dev libxss-dev libxext-dev libxi-dev libxrandr-dev libsystemd-dev
    libvulkan-dev mesa-vulkan-drivers vulkan-validationlayers
    glslang-dev glslang-tools spirv-tools spirv-headers
    libgtest-dev
    xvfb xdotool x11-utils imagemagick
    dbus-daemon xdg-desktop-portal weston xwayland
)
if [ "${1:-}" = "--windows" ]; then
    packages+=(g++-mingw-w64-x86-64-posix)
fi
# Wine for the Windows smoke test, without its recommends: only the GL and X libraries Direct3D 11
# needs under Wine, and the fonts of its dialogs.
if [ "${1:-}" = "--wine" ]; then
    packages+=(wine wine64 libgl1 libgl1-mesa-dri libxrandr2 libxrender1 libxi6 libxcursor1 libxcomposite1
        libxinerama1 libxxf86vm1 fonts-wine)
fi
if [ "${1:-}" = "--bench" ]; then
    packages+=(libxdamage-dev libxtst-dev python3-matplotlib)
fi
if [ "${1:-}" = "--gpu-check" ]; then
    packages+=(vulkan-tools libxdamage-dev libxtst-dev python3-matplotlib)
fi
if [ "${1:-}" = "--fuzz" ]; then
    packages+=(clang libclang-rt-14-dev)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
