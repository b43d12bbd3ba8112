# Shared by scripts/test and scripts/run: install what is missing, configure and build.
# shellcheck shell=bash

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-5compat-dev liblog4cplus-dev libssl-dev openssl zlib1g-dev libbz2-dev liblcms2-dev lzma-dev
  libgtest-dev libgmock-dev
  python3 zip unzip p7zip-full icc-profiles-free colord-data edid-decode argyll
  libjpeg-dev liblcms2-utils libxml2-utils libbenchmark-dev xvfb trayer qt6-translations-l10n qt6-l10n-tools
  qt6-svg-dev libqt6svg6 qt6-image-formats-plugins fonts-liberation
  poppler-utils adwaita-icon-theme strace libxcb1-dev
  locales
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

# prepare_tray_machine BIN MACHINE SETDIR: on MACHINE (a machine directory), the tray program's
# usual state: a generated factory set (made in SETDIR) installed and its panel values written by
# Tessaly, elevated, calibration management on, the out-of-box wait over.
prepare_tray_machine() {
  local bin=$1 machine=$2 set=$3 format='KVL_4A1C_{ProfileName}.icm' profiles=sRGB,AdobeRGB,DCIP3,Default,Native
  local key=21addeda19fce827840950510720dcb422c38619575612bd247454399a6b0dda iv=e96c8dd1f7e70ec2e1b7c25baba0d22d
  encrypt() { printf '%s' "$1" | openssl enc -aes-256-cbc -K "$key" -iv "$iv" -a -A; }
  python3 "$bin/make_panel_archive.py" --folder "$set" --format "$format" --profiles "$profiles" \
    --color-space sRGB --brightness 60
  WINSIM_MACHINE=$machine "$bin/winsim" run --elevated -- "$bin/Tessaly" --color-calibration enabled >/dev/null
  local install=() file
  for file in "$set"/*.icm; do install+=(--install-profile "$file"); done
  WINSIM_MACHINE=$machine "$bin/winsim" run --elevated -- "$bin/Tessaly" "${install[@]}" \
    --set-registry-path 'HKEY_LOCAL_MACHINE\SOFTWARE\Korvel Inc\Korvel Tintwise\PanelInfo' \
    --add-registry-key HdrSupported --registry-value "$(encrypt 0)" \
    --add-registry-key DefaultProfileColorSpace --registry-value "$(encrypt sRGB)" \
    --add-registry-key DefaultProfileGamma --registry-value "$(encrypt 2.2)" \
    --add-registry-key RequiredProfiles --registry-value "$(encrypt "$profiles")" \
    --add-registry-key ProfileFormat --registry-value "$(encrypt "$format")" >/dev/null
  # Nothing of the three-hour wait after the out-of-box experience remains.
  local logs="$machine/drive_c/ProgramData/Korvel Inc/Korvel Tintwise/Users/${USER:-${USERNAME:-}}/log"
  mkdir -p "$logs"
  encrypt 0,0,0 >"$logs/OobeTime.log"
}

# start_tray_desktop DIR: an Xvfb with trayer as tray host; sets DISPLAY and tray_desktop_pids
# (stop them with stop_tray_desktop). Needs traywait in $root/build/bin.
start_tray_desktop() {
  local dir=$1
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1920x1200x24 3>"$dir/display" >/dev/null 2>&1 &
  tray_desktop_pids=($!)
  local tries=0
  while [ ! -s "$dir/display" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
  export DISPLAY=:$(cat "$dir/display")
  env -u DBUS_SESSION_BUS_ADDRESS trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
  tray_desktop_pids+=($!)
  QT_QPA_PLATFORM=xcb "$root/build/bin/traywait" 20
}

stop_tray_desktop() {
  local pid
  for pid in "${tray_desktop_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${tray_desktop_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
