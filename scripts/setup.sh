#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent and quiet when everything is there. Run as root (or with sudo).
#   scripts/setup.sh          build, tests, demo
#   scripts/setup.sh --bench  also the tools the benchmarks compare against
#   scripts/setup.sh --docs   also what renders the pictures in docs/
#   scripts/setup.sh --windows  also the MinGW-w64 cross compiler, Wine, and
#                     the Debian source entries scripts/windows-deps.sh fetches from
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache clang-format
  libzip-dev libpugixml-dev libexpat1-dev libicu-dev libstb-dev
  nlohmann-json3-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev
  python3 python3-openpyxl python3-pil
)
windows=0
for option in "$@"; do
  case "$option" in
    --bench) packages+=(liborcus-bin libxlsxwriter-dev time) ;;
    --docs) packages+=(libreoffice-calc-nogui poppler-utils fonts-noto-cjk fonts-crosextra-carlito) ;;
    --windows)
      windows=1
      packages+=(g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev wine wine64
                 dpkg-dev icu-devtools googletest)
      ;;
    *) echo "setup: unknown option $option" >&2; exit 2 ;;
  esac
done

SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi

# apt-get source needs the source entries of the suites the machine uses.
sources=/etc/apt/sources.list.d/kelv-deb-src.sources
added_sources=0
if [[ $windows == 1 && ! -f $sources ]] && ! apt-cache showsrc icu 2>/dev/null | grep -q .; then
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $SUDO tee "$sources" >/dev/null
  else
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      $SUDO tee /etc/apt/sources.list.d/kelv-deb-src.list >/dev/null
  fi
  added_sources=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
  [[ $added_sources == 1 ]] && $SUDO apt-get update -qq
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
