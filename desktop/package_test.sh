#!/usr/bin/env bash
# Packs the built tree into a .deb in a temporary folder and checks what it would install and declare.
set -euo pipefail
build_dir="$1"
icon_pixels="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build_dir/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/*.deb)
[[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || fail "expected one .deb, found: ${debs[*]}"
deb="${debs[0]}"

# Program, entry and icons in the standard places under /usr.
applications=usr/share/applications
icons=usr/share/icons/hicolor
contents="$(dpkg-deb -c "$deb" | awk '{ print $6 }')"
for path in usr/bin/filesend "$applications/filesend.desktop" "$icons/scalable/apps/filesend.svg" \
    "$icons/${icon_pixels}x${icon_pixels}/apps/filesend.png"; do
    grep -qxF "./$path" <<<"$contents" || fail "package lacks /$path; it has: $contents"
done

[[ "$(dpkg-deb -f "$deb" Package)" == filesend ]] || fail "package name: $(dpkg-deb -f "$deb" Package)"
depends="$(dpkg-deb -f "$deb" Depends)"
for dependency in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 fonts-nanum; do
    grep -qE "(^|, )$dependency( |,|$)" <<<"$depends" || fail "Depends lacks $dependency: $depends"
done

# The entry is valid, and what it names is what the package ships.
root="$work/root"
dpkg-deb -x "$deb" "$root"
entry="$root/$applications/filesend.desktop"
validation="$(desktop-file-validate --no-hints "$entry" 2>&1)" || true
[[ -z "$validation" ]] || fail "desktop-file-validate: $validation"
field() { sed -n "s/^$1=//p" "$entry"; }
[[ "$(field 'Name\[ko\]')" == 파일전송 ]] || fail "Korean name: $(field 'Name\[ko\]')"
[[ -n "$(field Name)" ]] || fail "no Name for other locales"
program="$root/usr/bin/$(field Exec)"
[[ -x "$program" ]] && file -b "$program" | grep -q '^ELF .*executable' || fail "Exec does not name the packaged program"
icon="$(field Icon)"
file -b "$root/$icons/scalable/apps/$icon.svg" | grep -q '^SVG' || fail "Icon has no scalable SVG"
file -b "$root/$icons/${icon_pixels}x${icon_pixels}/apps/$icon.png" | grep -q "^PNG image data, $icon_pixels x $icon_pixels," ||
    fail "Icon has no ${icon_pixels}x${icon_pixels} PNG"
# Where the system allows it (root, and no filesend installed already), install the package
# for real, start the installed program, and remove it without leftovers.
if ((EUID == 0)) && ! dpkg-query -W -f='${Status}' filesend 2>/dev/null | grep -q installed; then
    trap 'dpkg -r filesend >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
    dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }
    installed_files="$(dpkg -L filesend | while read -r path; do [[ -f "$path" ]] && echo "$path"; done)"
    started=0
    QT_QPA_PLATFORM=offscreen timeout 2 /usr/bin/filesend >/dev/null 2>&1 || started=$?
    ((started == 124)) || fail "the installed program did not keep running (exit $started)"
    dpkg -r filesend >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -r"; }
    while read -r path; do
        [[ ! -e "$path" ]] || fail "left behind after dpkg -r: $path"
    done <<<"$installed_files"
fi
echo "package ok: $(basename "$deb")"
