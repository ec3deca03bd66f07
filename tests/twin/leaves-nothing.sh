#!/bin/sh
# restoremark-sim as a user meets it where a run cannot finish, and what it
# leaves: nothing. Each case checks the exit status, the one line on standard
# error, and that no image folder, no frames folder and no process holding a
# mount of the case's folder remain.
#   unusable /dev/fuse   an ordinary user (a bare uid, in a mount namespace
#                        whose /dev/fuse is a node only root may open): exit 3
#                        before anything is made; needs root to set up
#   no user namespace    an ordinary user (uid 47120 of a user namespace that
#                        bubblewrap allows no further ones): exit 3
#   SIGINT, SIGTERM      sent once the program runs (WAITING never ends on
#                        its own): exit 130, the sandbox stopped, the image gone
# usage: leaves-nothing.sh SIM WAITING
set -eu
sim=$1 waiting=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 0755 "$work"
failed=0

fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# left CASE: an image, frames, or a process with a mount of the case's folder.
left() {
  [ -z "$(ls -A "$work/$1/images")" ] || fail "$1: an image folder was left: $(ls "$work/$1/images")"
  [ ! -e "$work/$1/frames" ] || fail "$1: a frames folder was written"
  holders=$(grep -ls "$work/$1/" /proc/[0-9]*/mountinfo || true)
  [ -z "$holders" ] || fail "$1: processes still hold mounts of its folder: $holders"
}

# said CASE STATUS EXPECTED_STATUS LINE: the status, no report, and exactly
# one line on standard error, which starts with LINE.
said() {
  [ "$2" = "$3" ] || fail "$1: exit status $2, not $3"
  [ ! -s "$work/$1/out" ] || fail "$1: a report on standard output"
  lines=$(wc -l <"$work/$1/err")
  first=$(head -n 1 "$work/$1/err")
  [ "$lines" = 1 ] || fail "$1: $lines lines on standard error, not one: $(cat "$work/$1/err")"
  case "$first" in
    "$4"*) ;;
    *) fail "$1: standard error says '$first', not '$4...'" ;;
  esac
}

new_case() {
  mkdir -p "$work/$1/images"
  chmod 0777 "$work/$1" "$work/$1/images"
}

unusable_fuse() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: unusable /dev/fuse (only root makes the ordinary user and the node)"
    return
  fi
  new_case fuse
  mkdir "$work/fuse/dev"
  status=0
  unshare --mount --propagation private -- sh -eu -c '
    mount -t tmpfs -o mode=0755 tmpfs "$1"
    mknod -m 0600 "$1/fuse" c 10 229
    mount --bind "$1/fuse" /dev/fuse
    shift
    exec setpriv --reuid=47120 --regid=47120 --clear-groups -- "$@"
  ' - "$work/fuse/dev" env TMPDIR="$work/fuse/images" \
    "$sim" --frames "$work/fuse/frames" >"$work/fuse/out" 2>"$work/fuse/err" || status=$?
  said fuse "$status" 3 "restoremark-sim: cannot open /dev/fuse (Permission denied)"
  left fuse
}

no_user_namespace() {
  new_case userns
  status=0
  bwrap --dev-bind / / --unshare-user --uid 47120 --gid 47120 --disable-userns -- \
    env TMPDIR="$work/userns/images" "$sim" --frames "$work/userns/frames" \
    >"$work/userns/out" 2>"$work/userns/err" || status=$?
  said userns "$status" 3 \
    "restoremark-sim: cannot make a user namespace as an ordinary user: user namespaces are disabled"
  left userns
}

interrupted() {
  new_case "$1"
  TMPDIR="$work/$1/images" "$sim" --frames "$work/$1/frames" "$waiting" \
    >"$work/$1/out" 2>"$work/$1/err" &
  pid=$!
  tries=0
  until ls "$work/$1/images"/*/root/mnt/vfat/waiting >/dev/null 2>&1; do
    tries=$((tries + 1))
    if [ "$tries" -gt 600 ]; then
      kill -KILL "$pid"
      fail "$1: the program did not start within a minute"
      return
    fi
    sleep 0.1
  done
  kill -s "$1" "$pid"
  status=0
  wait "$pid" || status=$?
  said "$1" "$status" 130 "restoremark-sim: interrupted by SIG$1: the program and its sandbox were stopped"
  left "$1"
}

unusable_fuse
no_user_namespace
interrupted INT
interrupted TERM
[ "$failed" = 0 ] && echo "PASS: nothing left, as $(id -u)"
exit "$failed"
