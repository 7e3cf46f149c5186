#!/usr/bin/env bash
# The scale-out part of the demo: lcf-map of the demo stack as four tiles,
# each its own process reading only its rows (examples/cluster/tiles.sh, the
# logic the Slurm job array runs), merged by `lumenstack-tool merge`, and
# compared file by file with one lcf-map run over the whole stack.
#
#   tools/demo-tiles.sh TOOL DATA OUT
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tool=$(readlink -f "${1:?usage: demo-tiles.sh TOOL DATA OUT}")
data=$(readlink -f "${2:?DATA}")
out=${3:?OUT}
rm -rf "$out"
mkdir -p "$out"
out=$(readlink -f "$out")
stack=(--i1 "$data/i1" --i0 "$data/i0" --dark "$data/dark.tif")
options=(--bin 2 2 --ref "$data/ref_A.dat" --ref "$data/ref_B.dat")
{
    echo "TOOL='$tool'"
    echo "COMMAND=lcf-map"
    printf 'ARGS=('
    printf "'%s' " "${stack[@]}" "${options[@]}"
    echo ')'
    echo "WIDTH=64 HEIGHT=48 HX=2 HY=2 TILES_X=2 TILES_Y=2 THREADS=1"
    echo "WORK='$out/tiles' OUT='$out/merged'"
} >"$out/job.conf"
start=$(date +%s.%N)
bash "$root/examples/cluster/tiles.sh" "$out/job.conf" local >/dev/null
tiled=$(date +%s.%N)
"$tool" lcf-map "${stack[@]}" "${options[@]}" --threads 1 --out "$out/single" >/dev/null
done=$(date +%s.%N)
# The timings in the summary are the only things that may differ; what each
# file was made from (FILE.json) names the tiles and the time of the run.
same=0
for f in "$out/single"/*; do
    name=$(basename "$f")
    if [[ $name == *.json && $name != summary.json ]]; then
        [[ -f $out/merged/$name ]] || { echo "missing: $name" >&2; exit 1; }
        continue
    elif [[ $name == summary.json ]]; then
        strip() { sed -E 's/"(seconds|binsPerSecond|loadSeconds|runSeconds|writeSeconds)": [^,]*, //g' "$1"; }
        cmp -s <(strip "$f") <(strip "$out/merged/$name") || { echo "differs: $name" >&2; exit 1; }
    else
        cmp -s "$f" "$out/merged/$name" || { echo "differs: $name" >&2; exit 1; }
    fi
    same=$((same + 1))
done
awk -v a="$start" -v b="$tiled" -v c="$done" -v n="$same" 'BEGIN {
    printf "tiles: 4 tiles + merge in %.2f s, single run %.2f s; all %d maps identical\n",
        b - a, c - b, n }'
