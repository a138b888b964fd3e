#!/usr/bin/env bash
# build-msi.sh ARCH CLIENT_EXE ICON OUTPUT.msi
# Builds the client's Windows Installer package (ARCH x86 or x64) with wixl,
# then adds with msibuild what wixl has no element for:
#  - the user's HKCU\Software\Sorano\Mimosa removed on uninstall with all its
#    values and subkeys (a Registry row named "*"),
#  - the "start with Windows" feature switched on by STARTWITHWINDOWS=1,
#  - the public properties passed on to the elevated part of the install.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
arch=$1 exe=$2 icon=$3 output=$4
stage=$output.d
rm -rf "$stage"
mkdir -p "$stage"
# wixl finds sources relative to the working folder only.
cp "$exe" "$stage/RendezClient.exe"
cp "$icon" "$stage/App.ico"
(cd "$stage" && wixl -a "$arch" -D Arch="$arch" -D ClientExe=RendezClient.exe -D IconFile=App.ico \
    -o package.msi "$here/RendezClient.wxs")
secure=$(msiinfo export "$stage/package.msi" Property | sed -n 's/^SecureCustomProperties\t//p' | tr -d '\r')
msibuild "$stage/package.msi" -q "INSERT INTO \`Registry\` (\`Registry\`, \`Root\`, \`Key\`, \`Name\`, \`Component_\`) VALUES ('UserSettingsTree', 1, 'Software\\Sorano\\Mimosa', '*', 'UserData')"
msibuild "$stage/package.msi" -q "CREATE TABLE \`Condition\` (\`Feature_\` CHAR(38) NOT NULL, \`Level\` SHORT NOT NULL, \`Condition\` CHAR(255) PRIMARY KEY \`Feature_\`, \`Level\`)"
msibuild "$stage/package.msi" -q "INSERT INTO \`Condition\` (\`Feature_\`, \`Level\`, \`Condition\`) VALUES ('StartWithWindows', 1, 'STARTWITHWINDOWS=\"1\"')"
msibuild "$stage/package.msi" -q "UPDATE \`Property\` SET \`Value\` = '${secure:+$secure;}SERVERADDRESS;PORTNO;STARTWITHWINDOWS' WHERE \`Property\` = 'SecureCustomProperties'"
mv "$stage/package.msi" "$output"
rm -rf "$stage"
echo "built $output"
