#!/usr/bin/env bash
# Cross-builds, as static MinGW-w64 libraries, what kelv.exe and kelv-form.exe
# link and Debian ships only for Linux: expat, pugixml, libzip, libdeflate,
# zint, ICU (with its data cut down to the Chinese collation), GoogleTest and
# Qt's qtbase (Core, Gui, Widgets, PrintSupport), from Debian's source packages. The
# header-only libraries (nlohmann-json, CLI11, stb) are copied from the Linux
# packages; zlib is libz-mingw-w64-dev.
#
#   scripts/windows-deps.sh [CACHE]
#
# CACHE (default $KELV_MINGW_CACHE, else ~/.cache/kelv-mingw) lives outside
# the source tree and is reused by every build; the libraries are installed
# into CACHE/x86_64-w64-mingw32, which the toolchain file cmake/mingw-w64.cmake
# searches. Each library is built once and marked with a stamp; the script
# prints nothing when every stamp is there. A library's recipe revision is in
# its stamp name, so changing a recipe below rebuilds that library alone.
# Needs the packages of `scripts/setup.sh --windows` (which also adds the
# deb-src entry `apt-get source` needs).
set -euo pipefail

CACHE=${1:-${KELV_MINGW_CACHE:-$HOME/.cache/kelv-mingw}}
HOST=x86_64-w64-mingw32
PREFIX=$CACHE/$HOST
SRC=$CACHE/src
WORK=$CACHE/build
LOGS=$CACHE/logs
STAMPS=$PREFIX/.stamps
JOBS=${KELV_MINGW_JOBS:-$(nproc)}
HERE=$(cd "$(dirname "$0")/.." && pwd)
TOOLCHAIN=$HERE/cmake/mingw-w64.cmake

# name:revision of every library, in build order.
LIBS=(headers:1 expat:1 pugixml:1 libzip:1 libdeflate:1 zint:2 icu:2 googletest:1 qtbase:1)

done_stamp() { [[ -f $STAMPS/$1 ]]; }
all_done() {
  local lib
  for lib in "${LIBS[@]}"; do done_stamp "$lib" || return 1; done
}
all_done && exit 0

mkdir -p "$SRC" "$WORK" "$LOGS" "$STAMPS"
say() { echo "windows-deps: $*"; }

# Runs a build step with its output in LOGS/NAME.log; on failure shows the end.
logged() {
  local name=$1
  shift
  if ! "$@" >>"$LOGS/$name.log" 2>&1; then
    say "$name failed; the end of $LOGS/$name.log:"
    tail -n 30 "$LOGS/$name.log" >&2
    exit 1
  fi
}

# The unpacked Debian source of PACKAGE (its path on standard output). Tries
# the versions the package index lists, newest first: a mirror may lack the
# newest one's files for a while.
source_of() {
  local pkg=$1 dir versions v
  dir=$(find "$SRC" -maxdepth 1 -type d -name "$pkg-[0-9]*" | sort | tail -n 1)
  if [[ -z $dir ]]; then
    versions=$(apt-cache showsrc --only-source "$pkg" 2>/dev/null | sed -n 's/^Version: //p' |
      sort -r -V -u)
    [[ -n $versions ]] || {
      say "apt-cache knows no source package $pkg: run scripts/setup.sh --windows"
      exit 1
    }
    for v in $versions; do
      if (cd "$SRC" && apt-get source -qq -o APT::Sandbox::User=root "$pkg=$v") \
        >>"$LOGS/$pkg.log" 2>&1; then
        break
      fi
    done
    dir=$(find "$SRC" -maxdepth 1 -type d -name "$pkg-[0-9]*" | sort | tail -n 1)
    [[ -n $dir ]] || {
      say "apt-get source $pkg failed; see $LOGS/$pkg.log"
      exit 1
    }
  fi
  echo "$dir"
}

# A CMake project configured with the toolchain file, built and installed.
cmake_build() {
  local name=$1 src=$2
  shift 2
  rm -rf "${WORK:?}/$name"
  logged "$name" cmake -S "$src" -B "$WORK/$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DKELV_MINGW_PREFIX="$PREFIX" \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DBUILD_SHARED_LIBS=OFF "$@"
  logged "$name" cmake --build "$WORK/$name" -j "$JOBS"
  logged "$name" cmake --install "$WORK/$name"
  rm -rf "${WORK:?}/$name"
}

build_headers() {
  mkdir -p "$PREFIX/include" "$PREFIX/share/cmake"
  cp -r /usr/include/nlohmann /usr/include/CLI /usr/include/stb "$PREFIX/include/"
  cp -r /usr/share/cmake/nlohmann_json /usr/share/cmake/CLI11 "$PREFIX/share/cmake/"
}

build_expat() {
  local src
  src=$(source_of expat)
  # A Debian patch tests XML_DTD with #if, which the empty define CMake
  # writes for it cannot pass.
  sed -i 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/' "$src/expat/expat_config.h.cmake"
  cmake_build expat "$src/expat" -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
    -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_SHARED_LIBS=OFF
}

build_pugixml() {
  cmake_build pugixml "$(source_of pugixml)" -DPUGIXML_BUILD_TESTS=OFF
}

build_libzip() {
  # Deflate through zlib, encryption through Windows' own bcrypt.
  cmake_build libzip "$(source_of libzip)" -DENABLE_WINDOWS_CRYPTO=ON \
    -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
    -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DBUILD_TOOLS=OFF \
    -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF
}

# libdeflate's own build (a Makefile in Debian's version) makes a DLL for
# Windows; its few C files are compiled here into a static library instead,
# with a .pc file for pkg-config.
build_libdeflate() {
  local src obj=$WORK/libdeflate f
  src=$(source_of libdeflate)
  rm -rf "$obj"
  mkdir -p "$obj" "$PREFIX/include" "$PREFIX/lib/pkgconfig"
  for f in "$src"/lib/*.c "$src"/lib/*/*.c; do
    logged libdeflate $HOST-gcc-posix -O2 -fvisibility=hidden -I"$src" -c "$f" \
      -o "$obj/$(basename "${f%/*}")_$(basename "${f%.c}").o"
  done
  logged libdeflate $HOST-ar rcs "$PREFIX/lib/libdeflate.a" "$obj"/*.o
  cp "$src/libdeflate.h" "$PREFIX/include/"
  cat >"$PREFIX/lib/pkgconfig/libdeflate.pc" <<PC
prefix=$PREFIX
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: libdeflate
Description: Fast implementation of DEFLATE, zlib, and gzip
Version: $(sed -n 's/^#define LIBDEFLATE_VERSION_STRING[[:space:]]*"\(.*\)"/\1/p' "$src/libdeflate.h")
Libs: -L\${libdir} -ldeflate
Cflags: -I\${includedir}
PC
  rm -rf "$obj"
}

# ICU's data is 31 MB; kelv needs the root and Chinese collation, the
# Chinese locale data they fall back through, the normalisation data, and
# the converters of the code pages old workbooks and text files are in
# (GB18030, Big5 with the table it builds on, the Windows Latin and Cyrillic
# pages, Mac Roman).
# Everything else is removed from the prebuilt data file before it is
# compiled in (the file keeps its name, which the build looks for).
trim_icu_data() {
  local dat=$1 full=$WORK/icu-full/${1##*/}
  local keep='^(coll/(res_index|root|zh[A-Za-z_]*)\.res|coll/ucadata\.icu|(res_index|root|pool|zh|zh_CN|zh_Hans|zh_Hans_CN)\.res|(likelySubtags|metadata)\.res|[a-z_]+\.nrm|cnvalias\.icu|uemoji\.icu|ulayout\.icu|(gb18030|windows-950-2000|ibm-1373_P100-2002|ibm-53(4[6-9]|5[0-4])_P100-199[78]|macos-0_2-10\.2)\.cnv)$'
  if [[ ! -f $full ]]; then
    mkdir -p "${full%/*}"
    cp "$dat" "$full"
  fi
  icupkg -l "$full" | grep -Ev "$keep" >"$WORK/icu-remove.txt"
  icupkg -r "$WORK/icu-remove.txt" "$full" "$dat"
}

build_zint() {
  # The encoding library alone, static: kelv makes its own PNG pictures and
  # draws with its own painter, so neither libpng nor Qt.
  cmake_build zint "$(source_of zint)" -DZINT_SHARED=OFF -DZINT_STATIC=ON -DZINT_USE_PNG=OFF \
    -DZINT_USE_QT=OFF -DZINT_FRONTEND=OFF -DZINT_TEST=OFF
  # Debian's zint builds its DLL whatever ZINT_SHARED says; only the static
  # library (libzint-static.a) may be linked.
  rm -f "$PREFIX/lib/libzint.dll.a" "$PREFIX/bin/libzint.dll"
}

build_icu() {
  local src native cross dat
  src=$(source_of icu)/source
  native=$WORK/icu-native
  cross=$WORK/icu-cross
  dat=$(ls "$src"/data/in/icudt*l.dat)
  # Linux's icupkg (icu-devtools, the same ICU version) does the cutting.
  PATH=$PATH:/usr/sbin logged icu trim_icu_data "$dat"
  # The cross build runs ICU's own tools, built first for this machine (with
  # gcc: configure would take clang++ where it is installed).
  if [[ ! -x $native/bin/icupkg ]]; then
    rm -rf "$native"
    mkdir -p "$native"
    (cd "$native" && logged icu env CC=gcc CXX=g++ "$src/configure" --disable-tests \
      --disable-samples --disable-extras --disable-layoutex --disable-icuio)
    logged icu make -C "$native" -j "$JOBS"
  fi
  rm -rf "$cross"
  mkdir -p "$cross"
  (cd "$cross" && logged icu env CC=$HOST-gcc-posix CXX=$HOST-g++-posix \
    CPPFLAGS=-DU_STATIC_IMPLEMENTATION "$src/configure" --host=$HOST \
    --with-cross-build="$native" --prefix="$PREFIX" --enable-static --disable-shared \
    --with-data-packaging=static --disable-tests --disable-samples --disable-extras \
    --disable-layoutex --disable-tools --disable-icuio)
  logged icu make -C "$cross" -j "$JOBS"
  mkdir -p "$PREFIX/bin"  # where the data library's install step wants to put a copy
  logged icu make -C "$cross" install
  # The install leaves a stub in place of the data library, and names the
  # static libraries with an s; CMake's FindICU looks for the plain names.
  cp "$cross/lib/sicudt.a" "$PREFIX/lib/libicudt.a"
  mv "$PREFIX/lib/libsicuuc.a" "$PREFIX/lib/libicuuc.a"
  mv "$PREFIX/lib/libsicuin.a" "$PREFIX/lib/libicuin.a"
  rm -f "$PREFIX"/lib/libsicu*.a "$PREFIX"/lib/pkgconfig/icu-*.pc "$PREFIX/bin/sicudt.a"
  rm -rf "$cross" "$native" "$WORK/icu-full"
}

build_googletest() {
  # Debian's googletest source, as installed by the googletest package.
  cmake_build googletest /usr/src/googletest -DINSTALL_GTEST=ON -DBUILD_GMOCK=ON
}

# Qt's base module, static, with what kelv-form and its tests use: Core, Gui,
# Widgets, PrintSupport and Test, the Windows platform plugin (and the offscreen one the tests
# run under), with its own copies of zlib, libpng, libjpeg, FreeType,
# HarfBuzz and PCRE2. Qt's tools (moc, rcc, uic) are the Linux ones of
# qt6-base-dev-tools, the same version. Pen-tablet events stay off: Debian's
# tarball drops the wintab headers MinGW lacks. Direct2D stays on (turning
# it off breaks the link of a program that uses DirectWrite fonts), its 1.1
# interfaces off.
build_qtbase() {
  cmake_build qtbase "$(source_of qt6-base)" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DQT_BUILD_MANUAL_TESTS=OFF -DFEATURE_gui=ON -DFEATURE_widgets=ON \
    -DFEATURE_printsupport=ON -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF \
    -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_testlib=ON \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_system_zlib=OFF \
    -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF -DFEATURE_freetype=ON \
    -DFEATURE_system_freetype=OFF -DFEATURE_harfbuzz=ON -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_pcre2=ON -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF \
    -DFEATURE_icu=OFF -DFEATURE_zstd=OFF -DFEATURE_direct2d=ON -DFEATURE_direct2d1_1=OFF \
    -DFEATURE_tabletevent=OFF
}

started=$SECONDS
for lib in "${LIBS[@]}"; do
  done_stamp "$lib" && continue
  name=${lib%%:*}
  say "building $name"
  : >"$LOGS/$name.log"
  t=$SECONDS
  "build_$name"
  rm -f "$STAMPS/$name":*
  echo "built in $((SECONDS - t)) s" >"$STAMPS/$lib"
done
say "done in $((SECONDS - started)) s, in $PREFIX"
