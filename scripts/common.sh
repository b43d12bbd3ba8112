# Shared by scripts/test and scripts/run: install what is missing, configure and build.
# shellcheck shell=bash

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-5compat-dev liblog4cplus-dev libssl-dev openssl zlib1g-dev libbz2-dev liblcms2-dev lzma-dev
  libgtest-dev libgmock-dev
  python3 zip unzip p7zip-full icc-profiles-free colord-data edid-decode argyll
  xvfb trayer
  libjpeg-dev liblcms2-utils libxml2-utils libbenchmark-dev qt6-translations-l10n qt6-l10n-tools
  qt6-svg-dev libqt6svg6 qt6-image-formats-plugins fonts-liberation
)

install_missing() {
  local missing=() package
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# build DIR [CMAKE ARGS...]
build() {
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  # Progress lines hidden; warnings and errors stay.
  cmake --build "$dir" -j "$(nproc)" | { grep -v -E '^\[[0-9]+/[0-9]+\] ' || true; }
}
