#!/usr/bin/env bash
# Installs the dependencies, builds Release, writes the synthetic Fe K-edge
# measurement with lumenstack-tool make-demo and runs the demo batch headless
# on it: both series are loaded, spectra of a few points and a picture saved,
# and an LCF run maps the fraction of reference A (picture, 16-bit TIFF, text).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
bash tools/install-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DLUMENSTACK_TESTS=OFF
cmake --build build-release -j"$(nproc)"
out="$root/demo-output"
rm -rf "$out/data" "$out/spectra" "$out/pictures" "$out/maps"
mkdir -p "$out/spectra" "$out/pictures" "$out/maps"
"$root/build-release/lumenstack-tool" make-demo "$out/data" >/dev/null
cd "$out"
"$root/build-release/lumenstack" -platform offscreen -e -b "$root/examples/demo.bat" -x
# The same stack from its HDF5 copy (data/demo.h5): lcf-map on the TIFF series
# and on the HDF5 file must give the same maps, byte for byte (summary.json
# differs only in its timing members, and what each map was made from,
# MAP.json, in its inputs and time).
tool="$root/build-release/lumenstack-tool"
rm -rf "$out/maps/lcf-tiff" "$out/maps/lcf-h5"
lcf=(--bin 2 2 --ref data/ref_A.dat --ref data/ref_B.dat)
"$tool" lcf-map --i1 data/i1 --i0 data/i0 --dark data/dark.tif "${lcf[@]}" \
    --out "$out/maps/lcf-tiff" >/dev/null
"$tool" lcf-map --h5 data/demo.h5 --layout data/demo-layout.ini "${lcf[@]}" \
    --out "$out/maps/lcf-h5" >/dev/null
if diff -r -x '*.json' "$out/maps/lcf-tiff" "$out/maps/lcf-h5" >/dev/null; then
    echo "lcf-map on demo.h5 gives the same maps as on the TIFF series"
else
    echo "lcf-map on demo.h5 differs from the TIFF series" >&2
    exit 1
fi
# A drifting sample (data/drift/): its series aligned with align --upsample 20,
# the error of the shifts found against the drift that was made, and the
# fraction map of reference A without and with the shifts, side by side.
align_out=$("$tool" align --i1 data/drift/i1 --upsample 20 --out "$out/maps/drift-shifts.txt")
echo "align on the drifting sample: ${align_out:0:120}..."
awk 'NR == FNR { tx[$1] = $2; ty[$1] = $3; next }
     { e = ($2 - tx[$1]) ^ 2 + ($3 - ty[$1]) ^ 2; e = sqrt(e); s += e; n++; if (e > m) m = e }
     END { printf "  shifts found against the drift made: mean error %.3f px, largest %.3f px\n", s / n, m }' \
    data/drift/true-shifts.txt "$out/maps/drift-shifts.txt"
rm -rf "$out/maps/drift-unaligned" "$out/maps/drift-aligned"
drift=(--i1 data/drift/i1 --i0 data/i0 --dark data/dark.tif --ref data/ref_A.dat --ref data/ref_B.dat)
"$tool" lcf-map "${drift[@]}" --out "$out/maps/drift-unaligned" >/dev/null
"$tool" lcf-map "${drift[@]}" --shifts "$out/maps/drift-shifts.txt" \
    --out "$out/maps/drift-aligned" >/dev/null
"$root/build-release/lumenstack-map-pair" "$out/maps/drift-unaligned/ref-1-fraction.txt" \
    "$out/maps/drift-aligned/ref-1-fraction.txt" "$out/pictures/drift-fraction-A.png" \
    "fraction of A, not aligned" "aligned (align --upsample 20)" 0 1
# The same LCF as four tiles on separate processes plus a merge, against one run.
bash "$root/tools/demo-tiles.sh" "$root/build-release/lumenstack-tool" "$out/data" "$out/tiles"
# What the stack holds, found without references: three k-means clusters of
# the bins' normalised spectra (cluster-map), drawn in categorical colours;
# the two outer clusters' mean spectra then serve as the references of an LCF
# run, whose two fraction maps are drawn side by side.
rm -rf "$out/maps/clusters" "$out/maps/lcf-clusters"
"$tool" cluster-map --i1 data/i1 --i0 data/i0 --dark data/dark.tif --clusters 3 \
    --out "$out/maps/clusters" >/dev/null
# The outer clusters: lowest and highest mean column (the mixture runs along x).
read -r left right < <(awk '$3 >= 0 { s[$3] += $1; n[$3]++ }
    END { for (j in s) print s[j] / n[j], j }' "$out/maps/clusters/cluster.txt" |
    sort -g | awk 'NR == 1 { l = $2 } { r = $2 } END { print l, r }')
/usr/bin/python3 - "$out/maps/clusters/cluster.txt" "$out/pictures/clusters.png" <<'PY'
import sys
from PIL import Image
rows = [line.split() for line in open(sys.argv[1])]
w = max(int(r[0]) for r in rows) + 1
h = max(int(r[1]) for r in rows) + 1
palette = [(230, 159, 0), (86, 180, 233), (0, 158, 115), (204, 121, 167), (240, 228, 66)]
image = Image.new("RGB", (w, h), (0, 0, 0))  # black: left out (-1)
for x, y, j in rows:
    if int(float(j)) >= 0:
        image.putpixel((int(x), int(y)), palette[int(float(j)) % len(palette)])
image.resize((w * 6, h * 6), Image.NEAREST).save(sys.argv[2])
PY
"$tool" lcf-map --i1 data/i1 --i0 data/i0 --dark data/dark.tif \
    --ref "$out/maps/clusters/cluster-$left.dat" --ref "$out/maps/clusters/cluster-$right.dat" \
    --out "$out/maps/lcf-clusters" >/dev/null
"$root/build-release/lumenstack-map-pair" "$out/maps/lcf-clusters/ref-1-fraction.txt" \
    "$out/maps/lcf-clusters/ref-2-fraction.txt" "$out/pictures/cluster-references-lcf.png" \
    "fraction of the left cluster's spectrum" "of the right cluster's spectrum" 0 1
# The Python module on the same data (examples/python/lcf_demo.py): a pixel's
# spectrum with its background lines and the LCF fraction map, as one figure.
if compgen -G "$root/build-release/python/lumenstack*.so" >/dev/null; then
    PYTHONPATH="$root/build-release/python" MPLBACKEND=Agg /usr/bin/python3 \
        "$root/examples/python/lcf_demo.py" "$out/data" "$out/pictures/python-lcf.png" >/dev/null
    echo "examples/python/lcf_demo.py: pictures/python-lcf.png"
fi
echo "Demo finished; outputs are in $out:"
echo "  data/      the synthetic measurement (I1 and I0 series, dark frame, references)"
echo "  spectra/   mu*t spectra of a few points (*-T.dat)"
echo "  pictures/  the image at the edge and the energy-shift map, each with its colour bar"
echo "  maps/      LCF fraction map of reference A (picture + colour bar, 16-bit TIFF, text)"
echo "             and the energy-shift map file (shift.emp) of the calibration against ref_A;"
echo "             lcf-tiff/ and lcf-h5/: lcf-map on the TIFF series and on data/demo.h5"
echo "             the fit with Non-negative, Sum to 1 and a fixed E0 (fraction-A-fit-options*)"
echo "             and its standard-error map (sigma-A*)"
echo "  pictures/drift-fraction-A.png  the drifting sample's fraction map of A without"
echo "             and with alignment (maps/drift-shifts.txt, maps/drift-*aligned/)"
echo "  pictures/clusters.png  cluster-map's three clusters (maps/clusters/); the outer"
echo "             clusters' spectra as LCF references: pictures/cluster-references-lcf.png"
echo "  pictures/python-lcf.png  the Python module (examples/python/lcf_demo.py): a pixel's"
echo "             spectrum with its background lines and the fraction map of A"
echo "  tiles/     lcf-map as four tiles plus a merge (merged/) and as one run (single/):"
echo "             the same files bit for bit (examples/cluster/ runs the tiles on Slurm)"
