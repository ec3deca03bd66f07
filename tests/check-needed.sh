#!/bin/sh
# Fails unless the ELF file's only NEEDED entry is the C library.
set -eu
needed=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
echo "NEEDED: $needed"
[ "$needed" = "libc.so.6" ]
