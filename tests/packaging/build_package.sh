# shellcheck shell=bash
# Sourced by the package tests: build_package BUILD_DIR VERSION DIR builds
# the Debian package of the build folder into DIR and sets $deb to it.
build_package() {
    local build=$1 version=$2 dir=$3
    SOURCE_DATE_EPOCH=$(git -C "$build" log -1 --format=%ct) \
        cpack --config "$build/CPackConfig.cmake" -B "$dir" >/dev/null
    deb=$dir/gridshow_${version}_amd64.deb
    [[ -f $deb ]] || { echo "cpack wrote no $deb" >&2; exit 1; }
}
