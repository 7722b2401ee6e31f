#!/bin/sh
# Builds one probe of the layers: a file of a library that includes one
# header.  "reaches" must build; "refused" must fail because the header
# cannot be found from that library, not for any other reason.
set -u
build=$1 target=$2 expect=$3 header=$4
# The compiler says why in the language of the locale; the suite also runs in German.
out=$(LC_ALL=C LANGUAGE= cmake --build "$build" --target "$target" 2>&1)
status=$?
if [ "$expect" = reaches ]; then
  [ $status -eq 0 ] && exit 0
  echo "$target should reach $header:"; echo "$out"; exit 1
fi
if [ $status -eq 0 ]; then
  echo "$target reached $header, a header of a layer it may not use"; exit 1
fi
case $out in
  *"$header: No such file"*) exit 0 ;;
esac
echo "$target failed, but not for want of $header:"; echo "$out"; exit 1
