#!/usr/bin/env bash
# Writes the BMP files of tests/prep/other_tools_test.cpp: one small picture (48 x 32, red, green,
# blue and white quarters from the top left; in the "alpha" files the white quarter is
# transparent) saved as BMP the way ImageMagick, ffmpeg and Pillow save it by default and with
# their common options. The files are committed, so the tests need none of these tools.
#   tests/prep/samples/make-samples.sh     (IM=convert-im6.q16 picks another ImageMagick)
set -euo pipefail
cd "$(dirname "$0")"
IM=${IM:-convert}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The source pictures, as PNG.
"${PYTHON:-python3}" - "$work" <<'PY'
import sys
from PIL import Image
w, h = 48, 32
for alpha in (False, True):
    img = Image.new("RGBA", (w, h))
    for y in range(h):
        for x in range(w):
            top, left = y < h // 2, x < w // 2
            colour = (255, 0, 0) if top and left else (0, 255, 0) if top else \
                (0, 0, 255) if left else (255, 255, 255)
            img.putpixel((x, y), colour + ((0,) if alpha and not top and not left else (255,)))
    (img if alpha else img.convert("RGB")).save(f"{sys.argv[1]}/{'alpha' if alpha else 'quarters'}.png")
PY

"$IM" "$work/quarters.png" imagemagick-default.bmp
"$IM" "$work/alpha.png" imagemagick-alpha.bmp
"$IM" "$work/quarters.png" BMP3:imagemagick-bmp3.bmp
"$IM" "$work/quarters.png" -type palette BMP3:imagemagick-palette.bmp
"$IM" "$work/quarters.png" -type palette -compress RLE BMP3:imagemagick-rle8.bmp

for format in bgr24 bgra rgb555le pal8; do
  ffmpeg -loglevel error -y -i "$work/quarters.png" -pix_fmt "$format" "ffmpeg-$format.bmp"
done

"${PYTHON:-python3}" - "$work" <<'PY'
import sys
from PIL import Image
src = Image.open(f"{sys.argv[1]}/quarters.png")
src.save("pillow-rgb.bmp")
src.quantize(4).save("pillow-palette.bmp")
Image.open(f"{sys.argv[1]}/alpha.png").save("pillow-rgba.bmp")
PY
