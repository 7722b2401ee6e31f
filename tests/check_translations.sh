#!/bin/sh
# The English words are complete: the translation source holds no unfinished
# entry, and reading the code again finds no text it lacks.
set -eu
root=$1
lupdate=$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/i18n/kalvex_en.ts" "$work/now.ts"
if grep -q 'type="unfinished"' "$work/now.ts"; then
  echo "i18n/kalvex_en.ts has unfinished entries" >&2; exit 1
fi
cd "$root"
"$lupdate" -silent -locations none -no-obsolete -source-language ja_JP -target-language en_GB \
  -tr-function-alias translate+=Tx,translate+=Qx,QT_TRANSLATE_NOOP+=Tn \
  base edit measure view interact output image widgets shell app -ts "$work/now.ts" 2>/dev/null
if grep -q 'type="unfinished"' "$work/now.ts"; then
  echo "texts in the code without an English translation (run scripts/update_translations.sh):" >&2
  grep -B1 'type="unfinished"' "$work/now.ts" | grep '<source>' >&2
  exit 1
fi
