#!/usr/bin/env bash
# Submits the tiles of a map run (tiles.sh) to Slurm as one array job, one
# task per tile, and the merge as a job that runs once every task has ended,
# well or not: it merges when every tile is done, and otherwise names the
# tiles that failed, why, and writes nothing.
#
#   submit.sh CONFIG                 every tile, then the merge
#   submit.sh CONFIG --tiles 1,3     these tiles only, then the merge
#                                    (tiles.sh CONFIG resubmit uses it)
#
# Besides the variables of tiles.sh, CONFIG may set:
#   CPUS_PER_TASK  cores of each tile task (default 2); a tile runs as many
#                  threads, or THREADS when that is fewer
#   MEM            memory of each task, as sbatch --mem (default 8G)
#   TIME           time limit of each task (default 01:00:00)
#   PARTITION      the partition (default: the cluster's default partition)
#   SBATCH_ARGS    array of further sbatch options (account, QOS, ...)
# The jobs are listed in WORK/jobs; Slurm's own output goes to
# WORK/tile-INDEX.slurm.out and WORK/merge-JOBID.out.
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
usage="usage: submit.sh CONFIG [--tiles INDEX,INDEX...]"
die() {
    echo "submit.sh: $*" >&2
    exit 2
}
config=${1:?$usage}
[[ -f $config && -r $config ]] || die "cannot read the configuration $config"
config=$(readlink -f "$config")
# tiles.sh checks the configuration's tile variables.
n=$("$here/tiles.sh" "$config" count)
list=$(seq -s, 0 $((n - 1)))
if (($# > 1)); then
    [[ $2 == --tiles && $# -eq 3 ]] || die "$usage"
    list=$3
    [[ -z $list || $list =~ ^[0-9]+(,[0-9]+)*$ ]] ||
        die "--tiles takes tile indices separated by commas, not '$list'"
    IFS=, read -r -a indices <<<"$list"
    for i in "${indices[@]}"; do
        ((10#$i < n)) || die "--tiles: no tile $i in $config (tiles 0-$((n - 1)))"
    done
fi

# shellcheck source=/dev/null
source "$config"
CPUS_PER_TASK=${CPUS_PER_TASK:-2}
MEM=${MEM:-8G}
TIME=${TIME:-01:00:00}
[[ $CPUS_PER_TASK =~ ^[1-9][0-9]*$ ]] ||
    die "$config: CPUS_PER_TASK must be a whole number of at least 1, not '$CPUS_PER_TASK'"
[[ $MEM =~ ^([0-9]+)([KMGT]?)$ ]] || die "$config: MEM must be a size such as 8G or 500M, not '$MEM'"
mem_mb=${BASH_REMATCH[1]}
case ${BASH_REMATCH[2]} in
K) mem_mb=$(((mem_mb + 1023) / 1024)) ;;
G) mem_mb=$((mem_mb * 1024)) ;;
T) mem_mb=$((mem_mb * 1024 * 1024)) ;;
esac
[[ -n $TIME ]] || die "$config: TIME is empty"
[[ $here != *,* ]] || die "the folder $here has a comma in its name, which sbatch --export cannot pass"
for program in sbatch sinfo; do
    command -v "$program" >/dev/null ||
        die "$program not found: submit on a Slurm login node (without Slurm: tiles.sh $config local)"
done

# A task that no node can hold stays pending for ever (PartitionConfig):
# refuse it here, with what the partition offers.
nodes=$(sinfo -h -N -o '%P %c %m' ${PARTITION:+-p "$PARTITION"}) ||
    die "sinfo failed (its message is above): submit on a login node of the cluster"
if [[ -z ${PARTITION:-} ]]; then
    nodes=$(awk '$1 ~ /\*$/' <<<"$nodes")
    [[ -n $nodes ]] || die "the cluster has no default partition: set PARTITION in $config"
else
    [[ -n $nodes ]] || die "$config: PARTITION=$PARTITION: sinfo lists no nodes in it"
fi
read -r fits cpus mb name < <(awk -v c="$CPUS_PER_TASK" -v m="$mem_mb" '{
    p = $1; sub(/\*$/, "", p); gsub(/[^0-9]/, "", $2); gsub(/[^0-9]/, "", $3)
    if ($2 + 0 >= c && $3 + 0 >= m) ok = 1
    if ($2 + 0 > maxc) maxc = $2 + 0
    if ($3 + 0 > maxm) maxm = $3 + 0
} END { print ok + 0, maxc + 0, maxm + 0, p }' <<<"$nodes")
if ((fits == 0)); then
    die "$config: no node of partition $name can run a task of CPUS_PER_TASK=$CPUS_PER_TASK" \
        "and MEM=$MEM (its largest nodes: $cpus CPUs, $mb MB); lower CPUS_PER_TASK or MEM" \
        "(tiles then take longer), or choose another PARTITION"
fi

mkdir -p "$WORK"
options=(--parsable --export="ALL,LUMENSTACK_CLUSTER_DIR=$here" --mem="$MEM" --time="$TIME")
[[ -n ${PARTITION:-} ]] && options+=(--partition="$PARTITION")
declare -p SBATCH_ARGS &>/dev/null && options+=("${SBATCH_ARGS[@]}")
job="$here/lumenstack-tiles.sbatch"

dependency=()
if [[ -n $list ]]; then
    array=$(sbatch "${options[@]}" --cpus-per-task="$CPUS_PER_TASK" --array="$list" \
        --output="$WORK/tile-%a.slurm.out" "$job" "$config" task) ||
        die "sbatch refused the tiles (its message is above)"
    array=${array%%;*}
    echo "tiles $array $list" >>"$WORK/jobs"
    # afterany: the merge runs even when a tile failed, to say which.
    dependency=(--dependency="afterany:$array")
fi
merge=$(sbatch "${options[@]}" --cpus-per-task=1 "${dependency[@]}" --job-name=lumenstack-merge \
    --output="$WORK/merge-%j.out" "$job" "$config" merge) ||
    die "sbatch refused the merge (its message is above)${array:+; the tiles are job $array}"
merge=${merge%%;*}
echo "merge $merge" >>"$WORK/jobs"
[[ -n $list ]] && echo "tiles: job $array (tasks $list, $CPUS_PER_TASK CPUs each), logs $WORK/tile-N.log"
echo "merge: job $merge, log $WORK/merge-$merge.out"
echo "progress: $here/tiles.sh $config status"
