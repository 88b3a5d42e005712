#!/usr/bin/env bash
# The Debian package installs, puts gridshow and modrender on the PATH and
# removes cleanly. Needs root, as CI runs; apt-get runs dpkg and waits for
# the package database's lock instead of failing on it.
# Usage: package_install.sh BUILD_DIR VERSION
set -euo pipefail

if (($(id -u) != 0)); then
    echo "skipped: installing a package needs root (CI runs as root)"
    exit 77
fi
status=$(dpkg-query -W -f='${Status}' gridshow 2>/dev/null || true)
if [[ $status == *" installed" ]]; then
    echo "skipped: gridshow is already installed on this machine; the test leaves it alone"
    exit 77
fi

version=$2
work=$(mktemp -d)
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=900 "$@"; }
trap 'apt_get remove gridshow >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
# shellcheck source=build_package.sh
source "$(dirname "$0")/build_package.sh"
build_package "$1" "$version" "$work"
failed=0

apt_get install "$deb" >/dev/null
installed=$(dpkg -L gridshow | while read -r path; do [[ -f $path ]] && echo "$path"; done)
[[ $(command -v gridshow) == /usr/bin/gridshow ]] || { echo "gridshow is not on the PATH" >&2; failed=1; }
[[ $(modrender --version) == "modrender $version" ]] || { echo "modrender --version is wrong" >&2; failed=1; }
man -w gridshow >/dev/null || { echo "no manual page for gridshow" >&2; failed=1; }

apt_get remove gridshow >/dev/null
if dpkg-query -W -f='${Status}' gridshow 2>/dev/null | grep -q ' installed$'; then
    echo "gridshow is still installed after its removal" >&2
    failed=1
fi
for path in $installed; do
    [[ -e $path ]] && { echo "$path is left after the removal" >&2; failed=1; }
done
exit $failed
