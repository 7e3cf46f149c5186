#!/usr/bin/env bash
# One map subcommand over a stack, split into tiles that run as separate
# processes (array tasks on a cluster, background processes on one machine),
# then joined by `lumenstack-tool merge` into the maps of a single run.
#
#   tiles.sh CONFIG plan         print the tiles, one "x y w h" line each
#   tiles.sh CONFIG count        print the number of tiles
#   tiles.sh CONFIG task INDEX   run tile INDEX (0-based) into WORK/tile-INDEX
#   tiles.sh CONFIG merge        merge WORK/tile-* into OUT
#   tiles.sh CONFIG local        every tile as its own process, then the merge
#
# CONFIG is a bash file that sets:
#   TOOL      the lumenstack-tool program
#   COMMAND   lcf-map, ra-map, elem-map or shift-map
#   ARGS      array: the stack and subcommand options, without --area and --out
#   WIDTH HEIGHT   image size in pixels (lumenstack-tool image-info tells it)
#   HX HY     bin half sizes, the same as --bin in ARGS (default 0 0)
#   TILES_X TILES_Y   tiles across and down (default 2 2)
#   WORK      folder of the tile outputs; OUT the merged maps
#   THREADS   optional --threads of each tile
#   JOBS      optional: tiles run at once by `local` (default all)
#
# Tiles are cut on the bin lattice of the whole image, so every bin lies in
# exactly one tile: each tile but the last in a row or column is a whole
# number of bins wide (2*HX+1 pixels per bin) and high.
set -euo pipefail

config=${1:?usage: tiles.sh CONFIG plan|count|task INDEX|merge|local}
mode=${2:?usage: tiles.sh CONFIG plan|count|task INDEX|merge|local}
# shellcheck source=/dev/null
source "$config"
HX=${HX:-0}
HY=${HY:-0}
TILES_X=${TILES_X:-2}
TILES_Y=${TILES_Y:-2}

# Cuts `size` pixels with bins of `step` into `parts` ranges "start length".
cuts() {
    local size=$1 half=$2 parts=$3
    local step=$((2 * half + 1))
    local bins=$(((size - half - 1) / step + 1))
    ((parts > bins)) && parts=$bins
    local i b0 b1 start length
    for ((i = 0; i < parts; i++)); do
        b0=$((i * bins / parts))
        b1=$(((i + 1) * bins / parts))
        start=$((b0 * step))
        if ((i == parts - 1)); then length=$((size - start)); else length=$(((b1 - b0) * step)); fi
        echo "$start $length"
    done
}

plan() {
    local ys xs y h x w
    mapfile -t ys < <(cuts "$HEIGHT" "$HY" "$TILES_Y")
    mapfile -t xs < <(cuts "$WIDTH" "$HX" "$TILES_X")
    for yh in "${ys[@]}"; do
        read -r y h <<<"$yh"
        for xw in "${xs[@]}"; do
            read -r x w <<<"$xw"
            echo "$x $y $w $h"
        done
    done
}

task() {
    local index=$1 area
    area=$(plan | sed -n "$((index + 1))p")
    [[ -n $area ]] || { echo "tiles.sh: no tile $index" >&2; exit 2; }
    local threads=()
    [[ -n ${THREADS:-} ]] && threads=(--threads "$THREADS")
    # shellcheck disable=SC2086
    "$TOOL" "$COMMAND" "${ARGS[@]}" --area $area "${threads[@]}" --out "$WORK/tile-$index" \
        >"$WORK/tile-$index.log"
}

merge() {
    local n tiles=() i
    n=$(plan | wc -l)
    for ((i = 0; i < n; i++)); do tiles+=("$WORK/tile-$i"); done
    "$TOOL" merge --out "$OUT" "${tiles[@]}"
}

local_run() {
    local n i failed=0 pids=() jobs
    n=$(plan | wc -l)
    jobs=${JOBS:-$n}
    mkdir -p "$WORK"
    for ((i = 0; i < n; i++)); do
        "$0" "$config" task "$i" &
        pids+=($!)
        if ((${#pids[@]} >= jobs)); then
            wait "${pids[0]}" || failed=1
            pids=("${pids[@]:1}")
        fi
    done
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
    ((failed == 0)) || { echo "tiles.sh: a tile failed (see $WORK/tile-*.log)" >&2; exit 1; }
    merge
}

case $mode in
plan) plan ;;
count) plan | wc -l ;;
task) mkdir -p "$WORK" && task "${3:?task INDEX}" ;;
merge) merge ;;
local) local_run ;;
*) echo "tiles.sh: unknown mode $mode" >&2; exit 2 ;;
esac
