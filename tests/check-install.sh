#!/bin/sh
# Builds the device program as a firmware build does (tests, twin and tools
# off, the armhf cross toolchain, prefix /usr), installs it with DESTDIR into
# a temporary folder and checks what lands there: exactly the program, the
# platform check, their manual pages and the font with their modes, each
# program a 32-bit ARM executable that needs only libc.so.6.
# The configure refuses GoogleTest, libpng and pkg-config (libfuse3), so a
# find_package of any of them in this configuration fails the test.
# usage: check-install.sh CMAKE SOURCE_DIR
# Exits with 77 (skipped) when the armhf cross compiler is not installed.
set -eu
cmake=$1
source_dir=$2

if ! command -v arm-linux-gnueabihf-g++ >/dev/null; then
  echo "skipped: arm-linux-gnueabihf-g++ is missing (scripts/install-deps cross)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs a step with its output in a log, shown only when the step fails.
step() {
  name=$1
  shift
  if ! "$@" >"$work/$name.log" 2>&1; then
    cat "$work/$name.log"
    echo "FAILED: $name"
    exit 1
  fi
}

step configure "$cmake" -S "$source_dir" -B "$work/build" --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchains/armhf.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DRESTOREMARK_BUILD_TESTS=OFF -DRESTOREMARK_BUILD_SIM=OFF -DRESTOREMARK_BUILD_TOOLS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_PNG=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON
step build "$cmake" --build "$work/build" -j2
step install env DESTDIR="$work/root" "$cmake" --install "$work/build"

root="$work/root"
status=0
(cd "$root" && find . -mindepth 1 -printf '%M %P\n' | LC_ALL=C sort -k2) >"$work/installed"
cat >"$work/expected" <<'EOF'
drwxr-xr-x usr
drwxr-xr-x usr/sbin
-rwxr-xr-x usr/sbin/restoremark
-rwxr-xr-x usr/sbin/restoremark-check
drwxr-xr-x usr/share
drwxr-xr-x usr/share/fonts
-rw-r--r-- usr/share/fonts/6x16.bdf
drwxr-xr-x usr/share/man
drwxr-xr-x usr/share/man/man8
-rw-r--r-- usr/share/man/man8/restoremark-check.8.gz
-rw-r--r-- usr/share/man/man8/restoremark.8.gz
EOF
if ! diff -u "$work/expected" "$work/installed"; then
  echo "FAILED: installed files and modes (expected -, installed +)"
  status=1
fi

if [ -f "$root/usr/share/fonts/6x16.bdf" ] &&
  ! cmp "$source_dir/fonts/6x16.bdf" "$root/usr/share/fonts/6x16.bdf"; then
  echo "FAILED: the installed font differs from fonts/6x16.bdf"
  status=1
fi
for program in "$root/usr/sbin/restoremark" "$root/usr/sbin/restoremark-check"; do
  [ -f "$program" ] || continue
  echo "${program#"$root"}:"
  header=$(readelf -h "$program")
  echo "$header" | grep -E 'Class|Machine'
  if ! echo "$header" | grep -Eq 'Class: +ELF32$' ||
    ! echo "$header" | grep -Eq 'Machine: +ARM$'; then
    echo "FAILED: ${program#"$root"} is not a 32-bit ARM executable"
    status=1
  fi
  "$(dirname "$0")/check-needed.sh" "$program" || {
    echo "FAILED: ${program#"$root"} needs more than libc.so.6"
    status=1
  }
done
exit $status
