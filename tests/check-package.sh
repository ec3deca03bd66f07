#!/bin/sh
# Reads a Debian package of the device program back and checks it: the
# control fields, Depends as dpkg-shlibdeps computes it from the packaged
# programs (the program and the platform check), every file with its mode and
# owner, each program's machine, and lintian (no error; no warning but the
# ones cmake/Packaging.cmake explains).
# usage: check-package.sh DEB ARCH VERSION      (ARCH armhf or arm64)
set -eu
deb=$1
arch=$2
version=$3

case "$arch" in
  armhf) class=ELF32 machine=ARM ;;
  arm64) class=ELF64 machine=AArch64 ;;
  *) echo "check-package: unknown architecture $arch" >&2; exit 2 ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "FAILED: $*"
  status=1
}

field() {
  dpkg-deb --field "$deb" "$1"
}

echo "== $deb"
dpkg-deb --info "$deb" >"$work/info" || { cat "$work/info"; echo "FAILED: dpkg-deb --info"; exit 1; }

for expected in "Package: restoremark" "Version: $version-1" "Architecture: $arch" \
  "Section: admin" "Priority: optional"; do
  name=${expected%%: *}
  [ "$name: $(field "$name")" = "$expected" ] || fail "$name is '$(field "$name")', not '${expected#*: }'"
done
field Maintainer | grep -Eq '^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$' || fail "Maintainer '$(field Maintainer)' is not 'Name <address>'"
field Description >"$work/description"
[ -n "$(head -n 1 "$work/description")" ] || fail "the Description has no short part"
[ "$(wc -l <"$work/description")" -ge 2 ] || fail "the Description has no long part"

# Depends as dpkg-shlibdeps gives it for the packaged programs.
dpkg-deb -x "$deb" "$work/root"
programs="$work/root/usr/sbin/restoremark $work/root/usr/sbin/restoremark-check"
mkdir -p "$work/shlibdeps/debian"
: >"$work/shlibdeps/debian/control"
# shellcheck disable=SC2086
computed=$(cd "$work/shlibdeps" && DEB_HOST_ARCH=$arch dpkg-shlibdeps -O $programs 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p')
echo "Depends: $(field Depends) (dpkg-shlibdeps: $computed)"
[ -n "$computed" ] && [ "$(field Depends)" = "$computed" ] ||
  fail "Depends is '$(field Depends)', dpkg-shlibdeps gives '$computed'"

for program in $programs; do
  name=${program#"$work/root"}
  [ -f "$program" ] || continue
  header=$(readelf -h "$program")
  echo "$header" | grep -Eq "Class: +$class\$" && echo "$header" | grep -Eq "Machine: +$machine\$" ||
    fail "$name is not $class $machine: $(echo "$header" | grep -E 'Class|Machine' | tr -s ' ')"
  ! readelf -S "$program" | grep -q '\.symtab' || fail "$name is not stripped"
done

dpkg-deb --contents "$deb" | awk '{ print $1, $2, $6 }' >"$work/contents"
cat >"$work/expected" <<'EOF'
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/sbin/
-rwxr-xr-x root/root ./usr/sbin/restoremark
-rwxr-xr-x root/root ./usr/sbin/restoremark-check
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/restoremark/
-rw-r--r-- root/root ./usr/share/doc/restoremark/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/restoremark/copyright
drwxr-xr-x root/root ./usr/share/fonts/
-rw-r--r-- root/root ./usr/share/fonts/6x16.bdf
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man8/
-rw-r--r-- root/root ./usr/share/man/man8/restoremark-check.8.gz
-rw-r--r-- root/root ./usr/share/man/man8/restoremark.8.gz
EOF
diff -u "$work/expected" "$work/contents" || fail "the package's files, modes and owners (expected -, packaged +)"

# lintian judges nothing itself here (--fail-on none): a non-zero status means
# it could not check the package.
lintian --fail-on none "$deb" >"$work/lintian" 2>&1 || fail "lintian could not check the package"
grep -v '^running with root privileges is not recommended!$' "$work/lintian" || true
if grep -q '^E: ' "$work/lintian"; then
  fail "lintian reports errors"
fi
kept_warnings='initial-upload-closes-no-bugs \['
if grep '^W: ' "$work/lintian" | grep -Evq "^W: restoremark: ($kept_warnings)"; then
  fail "lintian warns of something cmake/Packaging.cmake does not explain"
fi
exit $status
