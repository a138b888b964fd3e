#!/usr/bin/env bash
# wine-prefix.sh BUILD_DIR
# Makes the build folder's private Wine prefix once: Japanese locale, Wine's
# own fonts, the Japanese faces mapped to the IPA fonts.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh" "$1"

ready="$WINEPREFIX/.rdz-ready"
[ -f "$ready" ] && exit 0

# Console output and non-ASCII arguments need the glibc locale; build it
# privately instead of touching the system's.
if [ ! -d "$LOCPATH/ja_JP.UTF-8" ]; then
    mkdir -p "$LOCPATH"
    localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" 2>/dev/null || true
fi

mkdir -p "$WINEPREFIX"
"$RDZ_WINE" wineboot --init >/dev/null 2>&1 || true
"$RDZ_WINESERVER" -w

fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
cp -n /usr/share/wine/fonts/* "$fonts"/ 2>/dev/null || true

regfile="$WINEPREFIX/rdz-fonts.reg"
printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"ＭＳ Ｐゴシック"="IPAPGothic"' \
    '"ＭＳ ゴシック"="IPAGothic"' \
    '"ＭＳ Ｐ明朝"="IPAPMincho"' \
    '"ＭＳ 明朝"="IPAMincho"' \
    '"MS UI Gothic"="IPAPGothic"' \
    | iconv -f UTF-8 -t CP932 > "$regfile"
"$RDZ_WINE" regedit /S "$regfile" >/dev/null 2>&1
"$RDZ_WINESERVER" -w
touch "$ready"
