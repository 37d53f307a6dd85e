#!/bin/bash
# Installs the build into a scratch prefix and checks the installed tree as a user meets it:
# the programs, the converter reaching its modules in the private library folder,
# the desktop entry, metainfo, icons, manual pages and bash completion.
# Usage: check_install.sh BUILD_DIR BMP_FILE WMF_FILE TIFF_FILE
set -euo pipefail
build=$1 bmp=$2 wmf=$3 tiff=$4
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "FAIL: $*" >&2; exit 1; }

cli=$prefix/bin/quillmorph-cli
[[ -x $prefix/bin/quillmorph && -x $cli ]] || fail "the programs are not in bin/"
for private in libquillmorph_qt_loader.so libquillmorph_tiff.so quillmorph-metafile-helper; do
  [[ -n $(find "$prefix" -path "*/lib*/quillmorph/$private") ]] || fail "$private is not in the private library folder"
done
# A bitmap is read by the platform's loader, which lives only in the module.
info=$("$cli" info "$bmp") || fail "the installed converter cannot read $bmp"
[[ $info == *"bitmap loader, 2 x 1 pixels"* ]] || fail "the installed converter did not use its module: $info"
# So is a TIFF file by the reader in its own module.
info=$("$cli" info "$tiff") || fail "the installed converter cannot read $tiff"
[[ $info == *"TIFF, 2 x 2 pixels"* ]] || fail "the installed converter did not use its TIFF module: $info"
# A metafile is played by the helper process, which the installed converter must find too.
"$cli" read "$wmf" "$prefix/metafile.png" || fail "the installed converter cannot play $wmf"
version=$("$cli" --version)

desktop=("$prefix"/share/applications/*.desktop)
metainfo=("$prefix"/share/metainfo/*.metainfo.xml)
[[ -f ${desktop[0]} && -f ${metainfo[0]} ]] || fail "no desktop entry or metainfo"
id=$(basename "${desktop[0]}" .desktop)
desktop-file-validate "${desktop[0]}" || fail "desktop-file-validate refused ${desktop[0]}"
appstreamcli validate --no-net "${metainfo[0]}" >/dev/null || fail "appstreamcli refused ${metainfo[0]}"
grep -q "<release version=\"${version#quillmorph-cli }\"" "${metainfo[0]}" || fail "the metainfo's release is not $version"
for size in 16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256 scalable; do
  ls "$prefix/share/icons/hicolor/$size/apps/$id".* >/dev/null 2>&1 || fail "no $size icon named $id"
done

# Every option the converter's help names is in its manual page and in its completion.
page=$prefix/share/man/man1/quillmorph-cli.1.gz
[[ -f $page && -f $prefix/share/man/man1/quillmorph.1.gz ]] || fail "manual pages missing"
completion=$prefix/share/bash-completion/completions/quillmorph-cli
[[ -f $completion ]] || fail "bash completion missing"
options=$("$cli" --help | grep -o -- '--[a-z0-9-]*' | sort -u)
for option in $options; do
  zcat "$page" | grep -q -- "$option" || fail "the manual page does not describe $option"
done

# Ask the completion as bash would, with the installed converter first on the command line.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _quillmorph_cli; printf "%s\n" "${COMPREPLY[@]}"' \
    _ "$completion" "$cli" "$@"
}
offered=$(complete_words convert in.png OUT --)
for option in $options; do
  case $option in --help | --version) continue ;; esac
  grep -qx -- "$option" <<<"$offered" || fail "completion after 'convert' does not offer $option"
done
[[ $(complete_words convert in.png OUT --mode "" | tr '\n' ' ') == "0 1 2 4 5 8 " ]] || fail "completion of --mode"
[[ $(complete_words convert in.png OUT --method stucki | tr '\n' '|') == 'Stucki|Stucki\ \(Varn\ Modified\)|' ]] ||
  fail "completion of --method"
[[ $(complete_words convert in.png OUT --palette black,re) == "black,red" ]] || fail "completion of --palette"
[[ $(complete_words convert in.png OUT --format s) == "ssd" ]] || fail "completion of --format"
[[ $(complete_words "" | tr '\n' ' ') == "convert disc decode read info modes methods --help --version " ]] ||
  fail "completion of the command"
echo "installed tree of $version checked"
