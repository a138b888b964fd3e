# Sourced: the environment every Wine run of the project uses.
# $1: the build folder that holds the private prefix and locale.
rdz_build=$(cd "$1" && pwd)
export WINEPREFIX="$rdz_build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No network here: never offer to download the Mono and Gecko add-ons.
export WINEDLLOVERRIDES="mscoree=;mshtml="
export LOCPATH="$rdz_build/locale"
# Unix programs started from Wine (the sanitized calendar-server of the tests)
# inherit LOCPATH; glibc's locale loading from there trips LeakSanitizer.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lsan-suppressions.txt:print_suppressions=0"
export LC_ALL=ja_JP.UTF-8 2>/dev/null
RDZ_WINE=/usr/lib/wine/wine64
RDZ_WINESERVER=/usr/lib/wine/wineserver64
