#!/bin/sh
# Golden reports, in the way of busybox's testing.sh: each preset's report as
# a user gets it from restoremark-sim, as text and as JSON, compared byte for
# byte with tests/golden/reports/NAME.txt and NAME.json; a difference fails with the
# diff. Every report is made twice, and the second must be the first.
#
#   reports.sh check SIM PROGRAM NAME [ARCH EMULATOR PRELOAD]
#                                         one preset (ctest: golden_report_NAME);
#                                         with ARCH, PROGRAM is an ARM build's, run
#                                         with its own PRELOAD, and its report is
#                                         the host's but for the line and field
#                                         that name its machine
#   reports.sh presets SIM                a golden pair for every preset, no more
#   reports.sh usage SIM                  --help and --list against help.out, list.out
#   reports.sh atlas SIM PROGRAM [PRELOAD]  the outcome atlas's table against atlas.md
#   reports.sh update [SIM [PROGRAM]]     rewrite every golden file from a build
#                                         (default: the one in build/default)
#
# What would depend on the machine is fixed by the command, not taken out of
# the report: it runs in an empty folder of its own, with the frames in
# ./frames, never in colour and without the peak memory.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
golden="$here/reports"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# report SIM PROGRAM NAME txt|json OUT: the report, and restoremark-sim's own
# exit status, which must be the program's as the report gives it, with
# nothing on its standard error.
report() {
  run="$work/run-$3-$4"
  rm -rf "$run" && mkdir "$run"
  if [ "$4" = json ]; then how="--json"; else how="--frames frames"; fi
  [ -z "$preload" ] || how="$how --preload $preload"
  status=0
  # shellcheck disable=SC2086
  (cd "$run" && exec "$1" --scenario "$3" --colour never $how "$2") >"$5" 2>"$run.err" || status=$?
  if [ -s "$run.err" ]; then
    echo "FAIL: restoremark-sim --scenario $3 ($4) wrote on standard error:" >&2
    cat "$run.err" >&2
    return 1
  fi
  if [ "$4" = json ]; then
    said=$(sed -n 's/^  "exit_status": \([0-9]*\),$/\1/p' "$5")
  else
    said=$(sed -n 's/^---- exit status: \([0-9]*\) ----$/\1/p' "$5")
  fi
  if [ "$status" != "$said" ]; then
    echo "FAIL: restoremark-sim --scenario $3 ($4) exited with $status, its report says '$said'" >&2
    return 1
  fi
}

# The golden report as an ARM program gives it: the same, and run through
# its emulator.
as_arm() {
  if [ "$1" = json ]; then
    sed "s/^  \"arch\": \"host\",\$/  \"arch\": \"$arch\",/" "$2"
  else
    sed "/^Device report, scenario /a (an $arch program, run through $emulator)" "$2"
  fi
}

# same EXPECTED ACTUAL WHAT: the two files alike, or a diff and what differs.
same() {
  diff -u "$1" "$2" >&2 && return 0
  echo "FAIL: $3 (above: what changed)" >&2
  return 1
}

# The presets' names, as restoremark-sim --list gives them.
preset_names() { "$1" --list | sed -n '/^$/q;s/ .*//p'; }

check() {
  failed=0
  for kind in txt json; do
    expected="$golden/$3.$kind"
    report "$1" "$2" "$3" "$kind" "$work/first.$kind" || { failed=1; continue; }
    report "$1" "$2" "$3" "$kind" "$work/second.$kind" || { failed=1; continue; }
    if [ -n "$arch" ] && [ -f "$expected" ]; then
      as_arm "$kind" "$expected" >"$work/expected.$kind"
      expected="$work/expected.$kind"
    fi
    if [ ! -f "$expected" ]; then
      echo "FAIL: no $expected (reports.sh update makes it)" >&2
      failed=1
    elif ! same "$expected" "$work/first.$kind" "the $kind report of $3 is not $expected" ||
      ! same "$work/first.$kind" "$work/second.$kind" "two runs of $3 gave different $kind reports"; then
      failed=1
    fi
  done
  [ "$failed" = 0 ] && echo "PASS: $3"
  return "$failed"
}

presets() {
  for name in $(preset_names "$1"); do printf '%s.json\n%s.txt\n' "$name" "$name"; done |
    sort >"$work/expected"
  (cd "$golden" && ls ./*.txt ./*.json) | sed 's|^\./||' | sort >"$work/files"
  same "$work/expected" "$work/files" \
    "the golden files are not one .txt and one .json per preset (- missing, + extra)" &&
    echo "PASS: a golden pair for each of $(preset_names "$1" | wc -l) presets"
}

usage() {
  "$1" --help >"$work/help.out" && "$1" --list >"$work/list.out"
  same "$golden/help.out" "$work/help.out" "restoremark-sim --help is not $golden/help.out" &&
    same "$golden/list.out" "$work/list.out" "restoremark-sim --list is not $golden/list.out" &&
    echo "PASS: --help and --list"
}

# The atlas runs every preset on both indicators; its table says what each
# outcome shows and how the outcomes group.
atlas() {
  "$1" --atlas "$work/atlas" ${preload:+--preload "$preload"} "$2" >/dev/null
  same "$golden/atlas.md" "$work/atlas/atlas.md" "the atlas's table is not $golden/atlas.md" &&
    echo "PASS: the atlas"
}

update() {
  rm -f "$golden"/*
  "$1" --help >"$golden/help.out"
  "$1" --list >"$golden/list.out"
  "$1" --atlas "$work/atlas" "$2" >/dev/null
  cp "$work/atlas/atlas.md" "$golden/atlas.md"
  for name in $(preset_names "$1"); do
    report "$1" "$2" "$name" txt "$golden/$name.txt"
    report "$1" "$2" "$name" json "$golden/$name.json"
  done
  echo "updated: $(ls "$golden"/*.txt | wc -l) text and $(ls "$golden"/*.json | wc -l) JSON reports in $golden"
}

# A program named by a relative path is found from here, not from the run's folder.
absolute() { case "$1" in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }

build="$here/../../build/default"
arch="" emulator="" preload=""
case "${1:-}:$#" in
  check:4) check "$(absolute "$2")" "$(absolute "$3")" "$4" ;;
  check:7)
    arch=$5 emulator=$6 preload=$(absolute "$7")
    check "$(absolute "$2")" "$(absolute "$3")" "$4"
    ;;
  presets:2) presets "$2" ;;
  usage:2) usage "$2" ;;
  atlas:3) atlas "$(absolute "$2")" "$(absolute "$3")" ;;
  atlas:4)
    preload=$(absolute "$4")
    atlas "$(absolute "$2")" "$(absolute "$3")"
    ;;
  update:[123]) update "$(absolute "${2:-$build/sim/restoremark-sim}")" \
    "$(absolute "${3:-$build/src/restoremark}")" ;;
  *)
    echo "usage: $0 check SIM PROGRAM NAME [ARCH EMULATOR PRELOAD] | presets SIM | usage SIM" \
      "| atlas SIM PROGRAM [PRELOAD] | update [SIM [PROGRAM]]" >&2
    exit 2
    ;;
esac
