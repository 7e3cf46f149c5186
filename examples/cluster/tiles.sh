#!/usr/bin/env bash
# One map subcommand over a stack, split into tiles that run as separate
# processes (array tasks on a cluster, background processes on one machine),
# then joined by `lumenstack-tool merge` into the maps of a single run.
#
#   tiles.sh CONFIG plan         print the tiles, one "x y w h" line each
#   tiles.sh CONFIG count        print the number of tiles
#   tiles.sh CONFIG task INDEX   run tile INDEX (0-based) into WORK/tile-INDEX
#   tiles.sh CONFIG merge        merge WORK/tile-* into OUT, once every tile is done
#   tiles.sh CONFIG local        every tile as its own process, then the merge
#   tiles.sh CONFIG status       each tile: done, failed (and why), pending,
#                                running or missing; exit 0 when all are done
#   tiles.sh CONFIG resubmit     submit the tiles that are not done again, and
#                                the merge after them (submit.sh)
#
# CONFIG is a bash file that sets:
#   TOOL      the lumenstack-tool program
#   COMMAND   lcf-map, ra-map, elem-map or shift-map
#   ARGS      array: the stack and subcommand options, without --area and --out
#   WIDTH HEIGHT   image size in pixels (lumenstack-tool image-info tells it)
#   HX HY     bin half sizes, the same as --bin in ARGS (default 0 0)
#   TILES_X TILES_Y   tiles across and down (default 2 2)
#   WORK      folder of the tile outputs and logs; OUT the merged maps
#   THREADS   optional: most threads of a tile; under Slurm never more than
#             the task's SLURM_CPUS_PER_TASK, which is the default
#   JOBS      optional: tiles run at once by `local` (default all)
# and, for submit.sh, CPUS_PER_TASK, MEM, TIME, PARTITION and SBATCH_ARGS.
#
# Tile INDEX writes WORK/tile-INDEX/ (the maps), WORK/tile-INDEX.log (the
# program's output and errors), and at the end WORK/tile-INDEX.done, or
# WORK/tile-INDEX.failed holding the exit status. Under Slurm, submit.sh sends
# the task's own output to WORK/tile-INDEX.slurm.out and lists the jobs in
# WORK/jobs.
#
# Tiles are cut on the bin lattice of the whole image, so every bin lies in
# exactly one tile: each tile but the last in a row or column is a whole
# number of bins wide (2*HX+1 pixels per bin) and high.
set -euo pipefail

usage="usage: tiles.sh CONFIG plan|count|task INDEX|merge|local|status|resubmit"
config=${1:?$usage}
mode=${2:?$usage}
die() {
    echo "tiles.sh: $*" >&2
    exit 2
}
[[ -f $config && -r $config ]] || die "cannot read the configuration $config"
# shellcheck source=/dev/null
source "$config"
HX=${HX:-0}
HY=${HY:-0}
TILES_X=${TILES_X:-2}
TILES_Y=${TILES_Y:-2}

# Refuses a variable of CONFIG that is not a whole number >= min.
whole() {
    local name=$1 min=$2 value=${!1:-}
    [[ -n $value ]] || die "$config: $name is not set"
    [[ $value =~ ^[0-9]+$ ]] && ((10#$value >= min)) ||
        die "$config: $name must be a whole number of at least $min, not '$value'"
}
whole WIDTH 1
whole HEIGHT 1
whole HX 0
whole HY 0
whole TILES_X 1
whole TILES_Y 1
[[ -n ${THREADS:-} ]] && whole THREADS 1
[[ -n ${JOBS:-} ]] && whole JOBS 1
for name in TOOL COMMAND WORK OUT; do
    [[ -n ${!name:-} ]] || die "$config: $name is not set"
done
declare -p ARGS &>/dev/null || die "$config: ARGS is not set (an array of the stack and map options)"

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

# The threads of a tile: THREADS, but never more than the cores Slurm gave
# the task; nothing (the program's default) outside Slurm without THREADS.
threads() {
    local n=${THREADS:-} cpus=${SLURM_CPUS_PER_TASK:-}
    # Submitted without --cpus-per-task: the cores of the job on its node.
    [[ -z $cpus && -n ${SLURM_JOB_ID:-} ]] && cpus=${SLURM_JOB_CPUS_PER_NODE%%[!0-9]*}
    if [[ $cpus =~ ^[1-9][0-9]*$ ]] && { [[ -z $n ]] || ((n > cpus)); }; then n=$cpus; fi
    echo "$n"
}

task() {
    local index=$1 area n
    [[ $index =~ ^[0-9]+$ ]] || die "tile index must be a whole number, not '$index'"
    area=$(plan | sed -n "$((index + 1))p")
    [[ -n $area ]] || die "no tile $index in $config (tiles 0-$(($(plan | wc -l) - 1)))"
    local log="$WORK/tile-$index.log" done="$WORK/tile-$index.done" failed="$WORK/tile-$index.failed"
    rm -f "$done" "$failed"
    # Cancelled or out of time: Slurm sends SIGTERM before it kills the task.
    trap 'echo "tiles.sh: tile $index stopped by SIGTERM (cancelled, or out of time)" >>"$log"
          echo 143 >"$failed"; exit 143' TERM
    local threads=()
    n=$(threads)
    [[ -n $n ]] && threads=(--threads "$n")
    local status=0
    # shellcheck disable=SC2086
    "$TOOL" "$COMMAND" "${ARGS[@]}" --area $area "${threads[@]}" --out "$WORK/tile-$index" \
        >"$log" 2>&1 || status=$?
    if ((status == 0)); then
        : >"$done"
    else
        echo "$status" >"$failed"
        echo "tiles.sh: tile $index ($area) failed with exit status $status, see $log" >&2
        exit 1
    fi
}

# The line that tells why tile $1 did not finish: the last line of its log
# when the program stopped with an error of its own (exit status $2 below
# 128), else first a Slurm error (cancelled, time limit, memory) from its
# Slurm output.
reason() {
    local i=$1 status=${2:-} f line files
    files=("$WORK/tile-$i.log" "$WORK/tile-$i.slurm.out")
    if [[ ! $status =~ ^[0-9]+$ ]] || ((status >= 128)); then
        f="$WORK/tile-$i.slurm.out"
        if [[ -s $f ]]; then
            line=$(grep -E 'slurmstepd.*error|CANCELLED|oom-kill|oom_kill' "$f" | tail -n 1 || true)
            [[ -n $line ]] && { echo "$f: $line"; return; }
        fi
    fi
    for f in "${files[@]}"; do
        if [[ -s $f ]]; then
            line=$(grep -v '^[[:space:]]*$' "$f" | tail -n 1 || true)
            [[ -n $line ]] && { echo "$f: $line"; return; }
        fi
    done
    echo "no log"
}

# This configuration's jobs still in the Slurm queue (WORK/jobs lists them):
# the state and job of each queued tile, and a line for a queued merge.
declare -A queued_state queued_job
merge_queued=""
read_queue() {
    [[ -s $WORK/jobs ]] && command -v squeue >/dev/null || return 0
    local ids queue id state
    ids=" $(awk '{ print $2 }' "$WORK/jobs" | tr '\n' ' ')"
    # %i: JOB_TASK for a task of an array, JOB for a plain job.
    queue=$(squeue -h -r -u "$(id -un)" -o '%i %T' 2>/dev/null) ||
        { echo "tiles.sh: squeue failed: the states below come from the files in $WORK only" >&2; return 0; }
    while read -r id state; do
        if [[ $id =~ ^([0-9]+)_([0-9]+)$ ]]; then
            [[ $ids == *" ${BASH_REMATCH[1]} "* ]] || continue
            queued_state[${BASH_REMATCH[2]}]=${state,,}
            queued_job[${BASH_REMATCH[2]}]=$id
        elif [[ $id =~ ^[0-9]+$ && $ids == *" $id "* ]]; then
            merge_queued="merge: ${state,,} (job $id)"
        fi
    done <<<"$queue"
}

# One line for tile $1: "done", "failed: why", "pending (job ...)", ...
tile_state() {
    local i=$1
    if [[ -n ${queued_state[$i]:-} ]]; then
        echo "${queued_state[$i]} (job ${queued_job[$i]})"
    elif [[ -f $WORK/tile-$i.done ]]; then
        echo "done"
    elif [[ -f $WORK/tile-$i.failed ]]; then
        local status
        status=$(cat "$WORK/tile-$i.failed")
        echo "failed (exit status $status): $(reason "$i" "$status")"
    elif [[ -e $WORK/tile-$i.log ]]; then
        echo "failed (stopped before it finished): $(reason "$i")"
    elif [[ -e $WORK/tile-$i.slurm.out ]]; then
        echo "failed (did not start): $(reason "$i")"
    else
        echo "missing (never run)"
    fi
}

merge() {
    local n tiles=() i state bad=0
    n=$(plan | wc -l)
    for ((i = 0; i < n; i++)); do
        if [[ ! -f $WORK/tile-$i.done ]]; then
            state=$(tile_state "$i")
            echo "tiles.sh: tile $i ($(plan | sed -n "$((i + 1))p")) $state" >&2
            bad=$((bad + 1))
        fi
        tiles+=("$WORK/tile-$i")
    done
    if ((bad > 0)); then
        local again="'tiles.sh $config task INDEX' runs one again here, then merge"
        [[ -n ${SLURM_JOB_ID:-} || -s $WORK/jobs ]] && again="'tiles.sh $config resubmit' runs them again"
        echo "tiles.sh: $bad of $n tiles not done: nothing merged into $OUT ($again)" >&2
        exit 1
    fi
    "$TOOL" merge --out "$OUT" "${tiles[@]}"
}

status() {
    local n i state finished=0 others=0
    read_queue
    n=$(plan | wc -l)
    for ((i = 0; i < n; i++)); do
        state=$(tile_state "$i")
        echo "tile $i ($(plan | sed -n "$((i + 1))p")): $state"
        if [[ $state == "done" ]]; then finished=$((finished + 1)); else others=$((others + 1)); fi
    done
    [[ -n $merge_queued ]] && echo "$merge_queued"
    echo "$finished of $n tiles done"
    ((others == 0))
}

resubmit() {
    local n i state redo=()
    read_queue
    n=$(plan | wc -l)
    for ((i = 0; i < n; i++)); do
        state=$(tile_state "$i")
        case $state in
        done) ;;
        failed* | missing*) redo+=("$i") ;;
        *) die "tile $i is still $state: wait for it, or scancel it, before resubmitting" ;;
        esac
    done
    [[ -z $merge_queued ]] || die "the $merge_queued is still queued: wait for it, or scancel it"
    local here
    here=$(dirname "$(readlink -f "$0")")
    if ((${#redo[@]} == 0)); then
        echo "tiles.sh: every tile is done; submitting the merge only" >&2
        exec "$here/submit.sh" "$config" --tiles ""
    fi
    exec "$here/submit.sh" "$config" --tiles "$(IFS=,; echo "${redo[*]}")"
}

local_run() {
    local n i pids=() jobs
    n=$(plan | wc -l)
    jobs=${JOBS:-$n}
    mkdir -p "$WORK"
    for ((i = 0; i < n; i++)); do
        "$0" "$config" task "$i" &
        pids+=($!)
        if ((${#pids[@]} >= jobs)); then
            wait "${pids[0]}" || true
            pids=("${pids[@]:1}")
        fi
    done
    for pid in "${pids[@]}"; do wait "$pid" || true; done
    # The merge names every tile that failed, and why.
    merge
}

case $mode in
plan) plan ;;
count) plan | wc -l ;;
task) mkdir -p "$WORK" && task "${3:?task INDEX}" ;;
merge) merge ;;
local) local_run ;;
status) status ;;
resubmit) resubmit ;;
*) die "unknown mode $mode ($usage)" ;;
esac
