#!/bin/sh
# Exported symbols are part of an interface, so they are checked against it:
#   check-exports.sh preload SOURCE LIBRARY
#     the shared library exports exactly the functions SOURCE marks with
#     TWIN_EXPORT (its wrappers) and nothing else;
#   check-exports.sh module HEADER OBJECT...
#     the objects of a module define, as strong global symbols, exactly the
#     functions and variables HEADER declares (weak symbols are inline and
#     template code the compiler emits in every object, and not counted).
set -eu
mode=$1
shift
expected=$(mktemp)
actual=$(mktemp)
trap 'rm -f "$expected" "$actual"' EXIT

case "$mode" in
  preload)
    sed -n 's/^TWIN_EXPORT .*[ *]\([a-z_][a-z0-9_]*\)(.*/\1/p' "$1" | sort -u >"$expected"
    # A coverage build links gcc's coverage runtime into the library: its
    # symbols ("__gcov_*", and its helper mangle_path) are the toolchain's.
    nm -D --defined-only "$2" | awk '{ print $3 }' | grep -vE '^(__|mangle_path$)' |
      sort -u >"$actual"
    ;;
  module)
    header=$1
    shift
    # ctest hands a list of objects over as one argument, ';' between them.
    # shellcheck disable=SC2046
    set -- $(printf '%s\n' "$@" | tr ';' ' ')
    # Declarations: a line that ends in ";" and names a function (the word
    # before its "("), or an "extern" variable (the last word).
    grep -vE '^\s*(//|#|\*)' "$header" | grep -E ';\s*(//.*)?$' | grep -vE '^\s*(struct|using|typedef|[a-z_0-9]+\s+[a-z_0-9]+;)' |
      sed -n -e 's/^extern .*[ *]\([a-z_][a-z0-9_]*\);.*/\1/p' -e 's/^[^(]*[ *&]\([a-z_][a-z0-9_]*\)(.*/\1/p' |
      sort -u >"$expected"
    # Names with a leading "__" belong to the toolchain (a sanitizer's
    # instrumentation of globals), not to the module.
    nm -C --defined-only -g "$@" | awk '$2 ~ /^[TBDRG]$/ { $1 = ""; $2 = ""; print }' |
      sed 's/^ *//; s/(.*//' | grep -v '^__' | sort -u >"$actual"
    ;;
  *)
    echo "usage: check-exports.sh preload SOURCE LIBRARY | module HEADER OBJECT..." >&2
    exit 2
    ;;
esac

if ! diff -u "$expected" "$actual"; then
  echo "check-exports: the symbols above differ (- declared, + exported)" >&2
  exit 1
fi
echo "check-exports: $(wc -l <"$actual") symbols, as declared"
