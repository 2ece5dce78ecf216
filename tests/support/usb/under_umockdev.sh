#!/bin/sh
# Runs a test program with umockdev's preload library. A sanitizer runtime
# wants to come first among the loaded libraries; the preload library has to,
# so the sanitizer's check of that order is turned off.
if [ -n "${ASAN_OPTIONS+set}" ] || ldd "$1" 2>/dev/null | grep -q libasan; then
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
fi
exec env LD_PRELOAD="libumockdev-preload.so.0${LD_PRELOAD:+:$LD_PRELOAD}" "$@"
