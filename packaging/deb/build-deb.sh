#!/usr/bin/env bash
# build-deb.sh BINARY VERSION OUTPUT.deb
# Builds the Debian package of calendar-server around BINARY (a release
# build without sanitizers) from the files in this folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
binary=$1 version=$2 output=$3
stage=$output.d
rm -rf "$stage"
umask 022
mkdir -p "$stage/DEBIAN"

install -D -m 0755 "$binary" "$stage/usr/bin/calendar-server"
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$stage/usr/bin/calendar-server"
install -D -m 0755 "$here/nightly-backup" "$stage/usr/libexec/calendar-server/nightly-backup"
for unit in calendar-server.service calendar-server-backup.service calendar-server-backup.timer; do
    install -D -m 0644 "$here/$unit" "$stage/lib/systemd/system/$unit"
done
install -D -m 0644 "$here/default" "$stage/etc/default/calendar-server"
install -d "$stage/usr/share/man/man8" "$stage/usr/share/doc/calendar-server"
gzip -9n <"$here/calendar-server.8" >"$stage/usr/share/man/man8/calendar-server.8.gz"
install -m 0644 "$here/copyright" "$stage/usr/share/doc/calendar-server/copyright"
sed "s/@VERSION@/$version/" "$here/changelog" | gzip -9n >"$stage/usr/share/doc/calendar-server/changelog.gz"

# Library dependencies as dpkg-shlibdeps finds them (it wants a source
# package's control file in the working folder).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/debian"
printf 'Source: calendar-server\n\nPackage: calendar-server\nArchitecture: any\n' >"$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O "$stage/usr/bin/calendar-server" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "build-deb.sh: no library dependencies found" >&2; exit 1; }

for script in postinst prerm postrm; do
    install -m 0755 "$here/$script" "$stage/DEBIAN/$script"
done
echo /etc/default/calendar-server >"$stage/DEBIAN/conffiles"
size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$(dpkg --print-architecture)/" -e "s/@SIZE@/$size/" \
    -e "s/@DEPENDS@/$depends/" "$here/control.in" >"$stage/DEBIAN/control"
(cd "$stage" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z | xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/md5sums" "$stage/DEBIAN/control" "$stage/DEBIAN/conffiles"

dpkg-deb --root-owner-group -Zxz --build "$stage" "$output" >/dev/null
rm -rf "$stage"
echo "built $output"
