#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent and quiet when everything is there. Run as root (or with sudo).
#   scripts/setup.sh          build, tests, demo
#   scripts/setup.sh --bench  also the tools the benchmarks compare against
#   scripts/setup.sh --docs   also LibreOffice, for the pictures in docs/ and the page plans
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache clang-format
  libzip-dev libpugixml-dev libexpat1-dev libicu-dev libstb-dev
  nlohmann-json3-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev
  python3 python3-openpyxl python3-pil
  fonts-wqy-microhei fonts-crosextra-carlito fonts-liberation2 poppler-utils
)
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(liborcus-bin libxlsxwriter-dev time)
fi
if [[ "${1:-}" == "--docs" ]]; then
  packages+=(libreoffice-calc-nogui python3-uno fonts-noto-cjk)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
