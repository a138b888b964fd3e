# Sourced: the environment every Wine run of the project uses.
# $1: the build folder that holds the private prefix and locale.
rdz_build=$(cd "$1" && pwd)
export WINEPREFIX="$rdz_build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No network here: never offer to download the Mono and Gecko add-ons.
export WINEDLLOVERRIDES="mscoree=;mshtml="
export LOCPATH="$rdz_build/locale"
export LC_ALL=ja_JP.UTF-8 2>/dev/null
RDZ_WINE=/usr/lib/wine/wine64
RDZ_WINESERVER=/usr/lib/wine/wineserver64
