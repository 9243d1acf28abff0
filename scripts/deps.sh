# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build needs that are not there yet.
# Sourced by the README's commands.

# What building the program needs; each command adds its own on top.
ostra_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core libvterm-dev
)
# What making the Debian package adds (CPack's dependency list comes from
# dpkg-shlibdeps, which finds the programs with file).
ostra_package_packages=(dpkg-dev file)
# What the tests add: GoogleTest, the Windows cross build (with a Qt built
# from Debian's source) run under Wine against a pair of virtual COM ports and
# on a virtual display, and the package and the tools that check it; the
# fuzzers (clang's libFuzzer), the real programs terminal mode is tested with,
# pyte as the reference screen, a device server for network ports, and lrzsz
# as the far end of file transfers.
ostra_test_packages=(
  googletest libgtest-dev libgmock-dev ser2net lrzsz
  clang libclang-rt-14-dev python3-pyte vttest vim-tiny dialog less
  g++-mingw-w64-x86-64 wine wine64 socat xvfb
  "${ostra_package_packages[@]}" lintian desktop-file-utils appstream man-db
)

# What the plot benchmark adds to compare its drawing with a plotting library.
ostra_bench_packages=(libqcustomplot-dev)

ostra_install_missing() {
  local missing=() pkg
  for pkg in "${ostra_packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

ostra_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ostra_jobs=$(nproc 2>/dev/null || echo 2)
