#!/usr/bin/env bash
# Regenerates what docs/ shows of the program: the screenshots of the quick
# start (the real windows on the demo measurement, drawn on the offscreen
# platform) and the batch-language reference from the command table.
#   bash tools/screenshots.sh [BUILD_DIR]    (default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-release}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMENSTACK_TESTS=OFF
fi
cmake --build "$build" -j"$(nproc)" --target lumenstack-tool lumenstack-screenshots
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
"$build/lumenstack-tool" make-demo "$tmp/data" >/dev/null
mkdir -p docs/images
(cd "$tmp" && "$OLDPWD/$build/lumenstack-screenshots" -platform offscreen "$tmp/data" "$OLDPWD/docs/images")
# 256 colours (median cut) keep the files small and the grey ramps smooth;
# Debian's python3 has python3-pil (tools/install-deps.sh).
py=/usr/bin/python3
[ -x "$py" ] || py=python3
"$py" - docs/images/*.png <<'PY'
import sys
from PIL import Image
for path in sys.argv[1:]:
    Image.open(path).convert("RGB").quantize(colors=256, method=Image.MEDIANCUT).save(path, optimize=True)
PY
"$build/lumenstack-tool" batch-reference --out docs/batch-reference.md
echo "docs/images/*.png and docs/batch-reference.md regenerated"
