#!/bin/sh
# The built manual is a sound PDF whose text holds every chapter heading of
# its source.  Spaces are ignored: text extraction may space out CJK runs.
set -eu
source_txt=$1
pdf=$2
qpdf --check "$pdf" >/dev/null
text=$(pdftotext -enc UTF-8 "$pdf" - | tr -d ' \n')
missing=0
grep '^#' "$source_txt" | sed 's/^#* //' | tr -d ' ' | while IFS= read -r heading; do
  case $text in
    *"$heading"*) ;;
    *) echo "heading missing from the manual: $heading" >&2; exit 1 ;;
  esac
done || missing=1
pages=$(pdfinfo "$pdf" | sed -n 's/^Pages: *//p')
[ "$pages" -ge 5 ] || { echo "manual has only $pages pages" >&2; exit 1; }
exit $missing
