#!/usr/bin/env bash
# Makes sample CHK files for the demo: real small pictures whose type was lost, as a disk check
# leaves them (FOUND.000\FILE0000.CHK …), and the partner's list of them (UTF-8, Windows paths).
# Usage: make_demo.sh DEMO_FOLDER
set -euo pipefail
demo=$1
rm -rf "$demo"
mkdir -p "$demo/FOUND.000" "$demo/FOUND.001"
n=0
for pattern in "plasma:fractal" "gradient:skyblue-navy" "gradient:gold-firebrick" \
            "plasma:green-blue" "radial-gradient:white-purple" "gradient:pink-teal"; do
  folder=FOUND.00$((n / 3))
  file=$(printf 'FILE%04d.CHK' $((n % 3)))
  convert -size 320x240 "$pattern" -font DejaVu-Sans -pointsize 28 -fill white \
    -gravity center -annotate +0+0 "Fennrow demo $n" "jpg:$demo/$folder/$file"
  printf 'Z:%s\r\n' "$(printf '%s' "$demo/$folder/$file" | tr '/' '\\')" >>"$demo/list.txt"
  n=$((n + 1))
done
