#!/usr/bin/env bash
# Builds the two Debian packages into build/packages/:
#   tesser       the command line, its man page and completion (no Qt)
#   quorel-host  the desktop host, the Tesser Pro module, desktop entry, icon, AppStream
#                metainfo and man page
# from a build with Debian's hardening flags (dpkg-buildflags, hardening=+all). The test suite is
# not run: scripts/test.sh builds and tests. The packages are made with dpkg-deb from the CMake
# install components, so that every file (man pages compressed, copyright, changelog) is under
# our control; then lintian checks them.
#
#   scripts/package.sh [--no-lintian]
set -euo pipefail
cd "$(dirname "$0")/.."
lint=1
[[ ${1:-} == --no-lintian ]] && lint=0

./scripts/setup.sh
version=$(sed -n 's/^project(TesserPro VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
maintainer="The Tesser Pro developers <developers@tesser-pro.org>"
build=build/package
out=build/packages

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Debian 12's dpkg has no "branch" feature yet: control-flow and stack-clash protection are added
# here, as newer dpkg does, so that hardening-check finds every protection.
extra="-fcf-protection -fstack-clash-protection"
cflags="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS) $extra"
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS) $extra"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
  -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" \
  -DBUILD_TESTING=OFF -DTESSER_BUILD_BENCH=OFF -DTESSER_FUZZ=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}"

rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# package: the component's files staged, finished and built into a .deb.
make_package() {
  local package=$1 section=$2 extra_depends=$3
  local root=$work/$package
  DESTDIR=$root cmake --install "$build" --component "$package" >/dev/null
  # Binaries and the module without their symbols; man pages compressed.
  find "$root" -type f \( -perm -u+x -o -name '*.api' \) -exec sh -c \
    'file -b "$1" | grep -q ELF && strip --strip-unneeded --remove-section=.comment --remove-section=.note "$1"; :' sh {} \;
  find "$root/usr/share/man" -type f -name '*.[0-9]' -exec gzip -9n {} \;
  local doc=$root/usr/share/doc/$package
  install -d -m 0755 "$doc"
  install -m 0644 packaging/copyright "$doc/copyright"
  gzip -9nc packaging/changelog > "$doc/changelog.gz"
  chmod 0644 "$doc/changelog.gz"
  find "$root" -type d -exec chmod 0755 {} +

  # The libraries the binaries need, as dpkg-shlibdeps finds them.
  local elves=()
  while IFS= read -r -d '' f; do
    file -b "$f" | grep -q ELF && elves+=("$f")
  done < <(find "$root" -type f -print0)
  mkdir -p "$work/shlibs-$package/debian"
  printf 'Source: tesser-pro\n\nPackage: %s\nArchitecture: any\n' "$package" \
    > "$work/shlibs-$package/debian/control"
  local depends
  depends=$(cd "$work/shlibs-$package" && dpkg-shlibdeps -O "${elves[@]}" 2>/dev/null |
    sed -n 's/^shlibs:Depends=//p')
  [[ -n $extra_depends ]] && depends="$depends, $extra_depends"

  install -d -m 0755 "$root/DEBIAN"
  (cd "$root" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z |
     xargs -0 md5sum) > "$root/DEBIAN/md5sums"
  chmod 0644 "$root/DEBIAN/md5sums"
  local size
  size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
  {
    echo "Package: $package"
    echo "Version: $version"
    echo "Architecture: $arch"
    echo "Maintainer: $maintainer"
    echo "Installed-Size: $size"
    echo "Depends: $depends"
    echo "Section: $section"
    echo "Priority: optional"
    echo "Homepage: https://tesser-pro.org/"
    echo "Description: $(cat "packaging/$package.description")"
  } > "$root/DEBIAN/control"
  chmod 0644 "$root/DEBIAN/control"
  dpkg-deb --root-owner-group -Zxz --build "$root" "$out/${package}_${version}_${arch}.deb" \
    >/dev/null
  echo "$out/${package}_${version}_${arch}.deb"
}

make_package tesser text ""
make_package quorel-host graphics "qt6-qpa-plugins"

# Every protection in every binary (a regular shared module is not position-independent
# executable code, which hardening-check ignores). Control-flow integrity is not checked: on
# Debian 12 the C library's start files carry no CET marking, so no program linked there can
# have it (hardening-check says "no" for /usr/bin/qpdf, and for a one-line C program built with
# -fcf-protection); the code itself is built with the instructions.
hardening-check --nocfprotection build/package/cli/tesser
if [[ -x build/package/app/quorel-host ]]; then
  hardening-check --nocfprotection build/package/app/quorel-host build/package/app/plug_ins/Quorel.api
fi

if ((lint)); then
  appstreamcli validate --no-net app/org.tesserpro.QuorelHost.metainfo.xml
  lintian --fail-on error,warning "$out"/*.deb
  echo "lintian: no error and no warning"
fi
