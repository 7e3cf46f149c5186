#!/usr/bin/env bash
# Submits the tiles of a map run as one Slurm array job and the merge as a
# job that starts when every tile has finished well.
#
#   submit.sh job.conf
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
config=$(readlink -f "${1:?usage: submit.sh CONFIG}")
n=$("$here/tiles.sh" "$config" count)
export LUMENSTACK_CLUSTER_DIR=$here
array=$(sbatch --parsable --export=ALL --array=0-$((n - 1)) "$here/lumenstack-tiles.sbatch" "$config" task)
merge=$(sbatch --parsable --export=ALL --dependency=afterok:"${array%%;*}" \
    "$here/lumenstack-tiles.sbatch" "$config" merge)
echo "tiles: job $array (array 0-$((n - 1))), merge: job $merge"
