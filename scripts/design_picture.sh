#!/usr/bin/env bash
# Remakes docs/design-time.png: the control as a design-mode container shows
# it, captured by the container test under the Wine harness. Run after a build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
state=$root/build/x64/wine
bmp=$(mktemp --suffix=.bmp)
trap 'rm -f "$bmp"' EXIT

ORVANTA_DESIGN_PICTURE="Z:${bmp//\//\\}" "$root/scripts/harness.sh" run "$state" \
  "$root/build/x64/bin/container_tests.exe" --gtest_filter='*DesignMode*' >/dev/null

/usr/bin/python3 - "$bmp" "$root/docs/design-time.png" <<'PY'
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
