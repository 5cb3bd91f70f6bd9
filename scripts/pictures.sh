#!/usr/bin/env bash
# Remakes the manual's pictures, captured by the container tests under the
# Wine harness: docs/design-time.png (the control as a design-mode container
# shows it), docs/about-box.png (its About box) and docs/property-sheet.png
# (the frame that the Properties verb opens). Run after a build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
state=$root/build/x64/wine
harness=$root/scripts/harness.sh
tmp=$(mktemp -d)
dir="Z:${tmp//\//\\}"

# Xvfb runs no window manager, and Wine leaves captions and frames to one by
# default: for the pictures, Wine draws them itself. The tests run as before.
x11='HKCU\Software\Wine\X11 Driver'
"$harness" run "$state" reg add "$x11" /v Decorated /d N /f >/dev/null 2>&1
trap '"$harness" run "$state" reg delete "$x11" /v Decorated /f >/dev/null 2>&1; rm -rf "$tmp"' EXIT

ORVANTA_DESIGN_PICTURE="$dir\\design-time.bmp" \
ORVANTA_ABOUT_PICTURE="$dir\\about-box.bmp" \
ORVANTA_PROPERTIES_PICTURE="$dir\\property-sheet.bmp" \
  "$harness" run "$state" "$root/build/x64/bin/container_tests.exe" \
  --gtest_filter='*DesignMode*:*AboutBoxIsOwned*:*PropertiesVerb*' >/dev/null

# The tests write 24-bit BMP files; the manual shows PNG.
to_png() {
  /usr/bin/python3 - "$1" "$2" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
offset = struct.unpack_from('<I', data, 10)[0]
width, height = struct.unpack_from('<ii', data, 18)
stride = (width * 3 + 3) // 4 * 4
rows = []
for y in range(abs(height)):
    start = offset + (abs(height) - 1 - y if height > 0 else y) * stride
    bgr = data[start:start + width * 3]
    rgb = bytearray(width * 3)
    rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
    rows.append(b'\0' + bytes(rgb))
def chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
png = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, abs(height), 8, 2, 0, 0, 0)) +
       chunk(b'IDAT', zlib.compress(b''.join(rows), 9)) + chunk(b'IEND', b''))
open(sys.argv[2], 'wb').write(png)
PY
}

for name in design-time about-box property-sheet; do
  [[ -s "$tmp/$name.bmp" ]] || { echo "pictures: no $name picture was taken" >&2; exit 1; }
  to_png "$tmp/$name.bmp" "$root/docs/$name.png"
done
