#!/bin/sh
# Fails unless the ELF file is stripped and at most BUDGET bytes long.
# usage: check-size.sh FILE BUDGET
set -eu
size=$(stat -c %s "$1")
echo "size: $size bytes, budget: $2 bytes"
if readelf -S "$1" | grep -q '\.symtab'; then
  echo "not stripped: it still has a symbol table"
  exit 1
fi
[ "$size" -le "$2" ]
