#!/bin/bash
# Makes the Debian package with CPack and checks its control fields and its contents.
# Usage: check_package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; fail "cpack failed"; }
deb=$out/quillmorph_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || fail "no package named $(basename "$deb"): $(ls "$out")"

[[ $(dpkg-deb -f "$deb" Package) == quillmorph ]] || fail "package name"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "package version"
depends=$(dpkg-deb -f "$deb" Depends)
# Computed from the binaries by dpkg-shlibdeps, and the run-time plugins named by hand.
for package in libc6 libqt6widgets6 libqt6svg6 libpng16-16 libjpeg62-turbo libtiff6 libwmf-0.2-7 libemf2svg1 \
               qt6-qpa-plugins fonts-dejavu-extra; do
  [[ $depends == *"$package"* ]] || fail "Depends lacks $package: $depends"
done

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in ./usr/bin/quillmorph ./usr/bin/quillmorph-cli \
            ./usr/share/man/man1/quillmorph.1.gz ./usr/share/man/man1/quillmorph-cli.1.gz \
            ./usr/share/bash-completion/completions/quillmorph-cli ./usr/share/doc/quillmorph/copyright; do
  grep -qx -- "$file" <<<"$contents" || fail "the package lacks $file"
done
# The licence and the notices of the code compiled in.
copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/quillmorph/copyright)
for notice in "MIT License" "CLI11"; do
  grep -q "$notice" <<<"$copyright" || fail "the copyright file lacks $notice"
done
for pattern in '^\./usr/lib/.*quillmorph/libquillmorph_qt_loader\.so$' '^\./usr/lib/.*quillmorph/libquillmorph_tiff\.so$' \
               '^\./usr/lib/.*quillmorph/quillmorph-metafile-helper$' \
               '^\./usr/share/applications/.*\.desktop$' \
               '^\./usr/share/metainfo/.*\.metainfo\.xml$' '^\./usr/share/icons/hicolor/256x256/apps/.*\.png$' \
               '^\./usr/share/icons/hicolor/scalable/apps/.*\.svg$'; do
  grep -q -- "$pattern" <<<"$contents" || fail "the package lacks a file matching $pattern"
done
# Nothing outside /usr: a purge then leaves no file of the package behind.
! grep -v '^\./usr/\|^\./$' <<<"$contents" | grep -q . || fail "files outside /usr: $(grep -v '^\./usr/' <<<"$contents")"
echo "$(basename "$deb"): $(wc -l <<<"$contents") entries; Depends: $depends"
