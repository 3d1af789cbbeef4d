#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent and quiet when everything is there. Run as root (or with sudo).
#   scripts/setup.sh          build, tests, demo
#   scripts/setup.sh --bench  also the tools the benchmarks compare against
#   scripts/setup.sh --docs   also LibreOffice, for the pictures in docs/ and the page plans,
#                     and an X server in memory with a window manager and xdotool, for
#                     the pictures of kelv-form (docs/form/make_screenshots.sh)
#   scripts/setup.sh --windows  also the MinGW-w64 cross compiler, Wine, NSIS
#                     (the setup program), xdotool (its test presses the form's
#                     keys), and the Debian source entries scripts/windows-deps.sh
#                     fetches from
#   scripts/setup.sh --fuzz   also clang and its libFuzzer runtime
# Ends by checking that every tool, library and Python module is really
# usable (a package can be installed and still miss what it recommends), and
# names the Debian package of anything that is not.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache clang-format clang-tidy
  libzip-dev libdeflate-dev zlib1g-dev libpugixml-dev libexpat1-dev libicu-dev libstb-dev
  libzint-dev zbar-tools libjemalloc-dev
  nlohmann-json3-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev qt6-translations-l10n libqpdf-dev
  python3 python3-openpyxl python3-pil
  fonts-wqy-microhei fonts-wqy-zenhei fonts-arphic-uming fonts-arphic-ukai
  fonts-crosextra-carlito fonts-liberation2 poppler-utils
)
windows=0
bench=0
fuzz=0
docs=0
for option in "$@"; do
  case "$option" in
    --bench) bench=1; packages+=(liborcus-bin libxlsxwriter-dev time python3-xlwt) ;;
    --fuzz) fuzz=1; packages+=(clang libclang-rt-dev) ;;
    --docs)
      docs=1
      packages+=(libreoffice-calc-nogui python3-uno fonts-noto-cjk python3-xlwt python3-xlrd
                 xvfb xauth openbox xdotool imagemagick)
      ;;
    --windows)
      windows=1
      packages+=(g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev wine wine64
                 dpkg-dev icu-devtools googletest xvfb xauth nsis xdotool)
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
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
elif [[ $added_sources == 1 ]]; then
  $SUDO apt-get update -qq
fi

# What the build, the tests and the demo use, each with the package that
# brings it. Tools are looked up on PATH, libraries through pkg-config or
# their header, Python modules by importing them with the python3 the tests
# run (/usr/bin/python3).
problems=()
need_tool() {  # TOOL PACKAGE
  command -v "$1" >/dev/null 2>&1 || problems+=("the command $1 (package $2)")
}
need_pc() {  # PKG-CONFIG-NAME PACKAGE
  pkg-config --exists "$1" 2>/dev/null || problems+=("the library $1 (package $2)")
}
need_header() {  # HEADER PACKAGE
  [[ -f "/usr/include/$1" ]] || problems+=("the header $1 (package $2)")
}
need_python() {  # MODULE PACKAGE
  /usr/bin/python3 -c "import $1" >/dev/null 2>&1 ||
    problems+=("the Python module $1 for /usr/bin/python3 (package $2)")
}
need_tool g++ g++
need_tool cmake cmake
need_tool ninja ninja-build
need_tool pkg-config pkg-config
need_tool python3 python3
need_tool clang-format clang-format
need_tool run-clang-tidy clang-tidy
need_pc libzip libzip-dev
need_pc zlib zlib1g-dev
need_pc libdeflate libdeflate-dev
need_pc pugixml libpugixml-dev
need_pc expat libexpat1-dev
need_pc icu-uc libicu-dev
need_pc gtest libgtest-dev
need_pc gmock libgmock-dev
need_pc jemalloc libjemalloc-dev
need_pc Qt6Widgets qt6-base-dev
need_pc Qt6PrintSupport qt6-base-dev
need_pc libqpdf libqpdf-dev
need_tool pdftotext poppler-utils
need_tool pdffonts poppler-utils
need_font() {  # FAMILY PACKAGE
  fc-list ":family=$1" family 2>/dev/null | grep -q . || problems+=("the font $1 (package $2)")
}
need_font "WenQuanYi Micro Hei" fonts-wqy-microhei
need_font "WenQuanYi Zen Hei" fonts-wqy-zenhei
need_font "AR PL UMing CN" fonts-arphic-uming
need_font "AR PL UKai CN" fonts-arphic-ukai
need_font "Liberation Sans" fonts-liberation2
need_font Carlito fonts-crosextra-carlito
need_header stb/stb_image.h libstb-dev
need_header zint.h libzint-dev
need_tool zbarimg zbar-tools
need_header nlohmann/json.hpp nlohmann-json3-dev
need_header CLI/CLI.hpp libcli11-dev
need_header GL/gl.h libgl-dev
[[ -f /usr/share/qt6/translations/qtbase_zh_CN.qm ]] ||
  problems+=("Qt's Chinese translations (package qt6-translations-l10n)")
need_python openpyxl python3-openpyxl
need_python PIL python3-pil
if [[ $bench == 1 ]]; then
  need_tool orcus-xlsx liborcus-bin
  need_pc xlsxwriter libxlsxwriter-dev
  [[ -x /usr/bin/time ]] || problems+=("the command /usr/bin/time (package time)")
  need_python xlwt python3-xlwt
fi
if [[ $fuzz == 1 ]]; then
  need_tool clang++ clang
fi
if [[ $docs == 1 ]]; then
  need_tool soffice libreoffice-calc-nogui
  need_python uno python3-uno
  need_python xlwt python3-xlwt
  need_python xlrd python3-xlrd
  need_tool Xvfb xvfb
  need_tool openbox openbox
  need_tool xdotool xdotool
  need_tool import imagemagick
fi
if [[ $windows == 1 ]]; then
  need_tool x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
  need_tool x86_64-w64-mingw32-widl mingw-w64-tools
  [[ -x /usr/lib/wine/wine64 ]] || problems+=("the program /usr/lib/wine/wine64 (package wine64)")
  need_tool xvfb-run xvfb
  need_tool makensis nsis
  need_tool xdotool xdotool
fi
if [[ ${#problems[@]} -gt 0 ]]; then
  echo "setup: still missing after installing:" >&2
  for p in "${problems[@]}"; do echo "  - $p" >&2; done
  exit 1
fi
