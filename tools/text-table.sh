#!/usr/bin/env bash
# The text-table files (data/basic/resource.txt and the language files) are
# UTF-16 little-endian with CR LF line ends. This converts them to and from
# UTF-8 with LF ends for editing:
#   tools/text-table.sh decode data/basic/resource.txt > resource.utf8
#   tools/text-table.sh encode resource.utf8 data/basic/resource.txt
set -euo pipefail
case "${1:-}" in
  decode)
    iconv -f UTF-16LE -t UTF-8 "$2" | sed -e '1s/^\xEF\xBB\xBF//' -e 's/\r$//'
    ;;
  encode)
    { printf '\xEF\xBB\xBF'; sed -e 's/\r$//' -e 's/$/\r/' "$2"; } | iconv -f UTF-8 -t UTF-16LE > "$3.tmp"
    mv "$3.tmp" "$3"
    ;;
  *)
    echo "usage: $0 decode <file> | encode <utf-8 file> <file>" >&2
    exit 2
    ;;
esac
