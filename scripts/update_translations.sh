#!/usr/bin/env bash
# Brings i18n/kalvex_en.ts up to date with the texts in the code: new texts
# come in unfinished, texts gone from the code are marked obsolete and dropped.
# The translations themselves are written by hand (Qt Linguist or an editor).
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate=$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)
# Tx (plain C++) and Qx (Qt) take a context and a text, as Qt's translate does.
"$lupdate" -silent -locations none -no-obsolete -source-language ja_JP -target-language en_GB \
  -tr-function-alias translate+=Tx,translate+=Qx,QT_TRANSLATE_NOOP+=Tn \
  base edit measure view interact output image widgets shell app -ts i18n/kalvex_en.ts
