#!/usr/bin/env bash
# Installs the Debian packages a goal needs, only those that are missing.
# Usage: cmake/install-deps.sh build|test|tidy|run|bench|fuzz|thread|windows|web|package|dist
set -euo pipefail

build=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libpng-dev libsdl2-dev python3
       libavformat-dev libavcodec-dev libswscale-dev libavutil-dev)
declare -A extra=(
  [build]=""
  [test]="g++-mingw-w64-x86-64 wine wine64 xvfb pulseaudio xdotool imagemagick valgrind clang-tidy
          icoutils libxml2-utils dpkg-dev lintian desktop-file-utils zip openbox xfwm4 dbus-daemon
           emscripten nodejs npm chromium firefox-esr clang libclang-rt-14-dev"
  [tidy]="clang-tidy"
  [run]=""
  [bench]="xmp openmpt123 python3-numpy xvfb openbox dbus-daemon"
  [fuzz]="clang libclang-rt-14-dev"
  [thread]="clang libclang-rt-14-dev xvfb"
  [windows]="g++-mingw-w64-x86-64"
  [package]="dpkg-dev"
  [dist]="g++-mingw-w64-x86-64 dpkg-dev zip"
  [web]="emscripten nodejs python3"
)
# A command that another source already provides (Node.js's own packages
# bring node and npm) counts as installed: Debian's package would clash.
declare -A provided_by_command=([nodejs]=node [npm]=npm)
goal=${1:-build}
wanted=("${build[@]}" ${extra[$goal]})

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] && continue
  command=${provided_by_command[$package]:-}
  [[ -n $command ]] && command -v "$command" >/dev/null && continue
  missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
