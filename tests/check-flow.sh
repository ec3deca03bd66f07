#!/bin/sh
# The twin's flow runs forward only: a file of sim/ includes files of its own
# step and of earlier steps, never one of a later step. The steps and their
# files, in order, are in sim/flow.txt, which must name every source of sim/.
# usage: check-flow.sh SIM_DIR
set -eu
cd "$1"
failed=0
for file in *.h *.cpp; do
  if ! grep -q "^[a-z]*:.* $file\( \|$\)" flow.txt; then
    echo "FAIL: $file is in no step of flow.txt"
    failed=1
  fi
done
awk '
  /^#/ || NF == 0 { next }
  {
    sub(/:$/, "", $1)
    for (i = 2; i <= NF; ++i) { step[$i] = NR; name[$i] = $1; files[++count] = $i }
  }
  END {
    bad = 0
    for (k = 1; k <= count; ++k) {
      file = files[k]
      if ((getline line < file) < 0) {
        print "FAIL: flow.txt names " file ", which is not there"
        bad = 1
        continue
      }
      do {
        if (line !~ /^#include "/) continue
        included = line
        sub(/^#include "/, "", included)
        sub(/".*/, "", included)
        if (included in step && step[included] > step[file]) {
          print "FAIL: " file " (" name[file] ") includes " included ", of a later step (" name[included] ")"
          bad = 1
        }
      } while ((getline line < file) > 0)
      close(file)
    }
    exit bad
  }' flow.txt || failed=1
[ "$failed" = 0 ] && echo "PASS: every include of sim/ is of its own step or an earlier one"
exit "$failed"
