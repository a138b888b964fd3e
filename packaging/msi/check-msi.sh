#!/usr/bin/env bash
# check-msi.sh PACKAGE.msi ARCH
# Checks a built client package with msiinfo: its tables, the product's
# properties and version, the platform, and what build-msi.sh added.
set -euo pipefail
msi=$1 arch=$2
fail() { echo "check-msi.sh: $msi: $*" >&2; exit 1; }
tables=$(msiinfo tables "$msi")
for table in File Component Feature FeatureComponents Directory Shortcut Registry Property Upgrade Icon Condition Media; do
    grep -qx "$table" <<<"$tables" || fail "no $table table"
done
properties=$(msiinfo export "$msi" Property | tr -d '\r')
for expected in 'ProductName	Mimosa Techo' 'ProductVersion	1.1.4' 'Manufacturer	Sorano' \
    'UpgradeCode	{8DDC3EEC-7A67-45E6-8D67-3359E8F3C621}' 'ALLUSERS	1' 'ARPPRODUCTICON	App.ico' \
    'SERVERADDRESS	localhost' 'PORTNO	54321'; do
    grep -qxF "$expected" <<<"$properties" || fail "property missing: $expected"
done
grep -q '^SecureCustomProperties	.*SERVERADDRESS;PORTNO;STARTWITHWINDOWS' <<<"$properties" || fail "properties not secure"
# The platform as Windows Installer names it: Intel for x86.
platform=$arch
[ "$arch" = x86 ] && platform=Intel
# Whole outputs first: grep -q on a pipe would end the writer early.
table() { msiinfo export "$msi" "$1" | tr -d '\r'; }
grep -q "^Template: $platform;" <<<"$(msiinfo suminfo "$msi")" || fail "not an $arch package"
grep -q 'RendezClient.exe' <<<"$(table File)" || fail "no client file"
grep -q '{8DDC3EEC-7A67-45E6-8D67-3359E8F3C621}' <<<"$(table Upgrade)" || fail "no major upgrade"
registry=$(msiinfo export "$msi" Registry | tr -d '\r')
grep -qP '^\S+\t2\tSoftware\\Sorano\\Mimosa\tszAddress\t\[SERVERADDRESS\]\t' <<<"$registry" || fail "no machine address"
grep -qP '^\S+\t2\tSoftware\\Sorano\\Mimosa\tdwPortNo\t#\[PORTNO\]\t' <<<"$registry" || fail "no machine port"
grep -qP '^UserSettingsTree\t1\tSoftware\\Sorano\\Mimosa\t\*\t' <<<"$registry" || fail "user settings not removed on uninstall"
shortcuts=$(msiinfo export "$msi" Shortcut)
grep -q '^MenuShortcut	ProgramMenuFolder	Mimosa Techo.lnk' <<<"$shortcuts" || fail "no Start-menu shortcut"
grep -q '^StartupShortcut	StartupFolder	Mimosa Techo.lnk' <<<"$shortcuts" || fail "no Startup shortcut"
grep -qP '^StartWithWindows\t.*\t1000\t' <<<"$(table Feature)" || fail "start with Windows is not optional"
grep -q 'StartWithWindows	1	STARTWITHWINDOWS="1"' <<<"$(table Condition)" || fail "no feature condition"
echo "checked $msi"
