#!/usr/bin/env bash
# The cluster recipe (examples/cluster/) on a real Slurm: starts a one-node
# cluster on this machine (munged, slurmctld and slurmd with their own
# configuration in a temporary folder), runs lcf-map of the demo stack as
# 2 x 2 tiles through submit.sh, and checks that
#   - a task asking for more CPUs than the node has is refused by submit.sh;
#   - a hand submission without LUMENSTACK_CLUSTER_DIR fails at once, naming it;
#   - the merge equals one lcf-map run over the whole stack, byte for byte,
#     and each tile ran with no more threads than its CPUs;
#   - with one tile made to fail, the merge still runs, names the tile and its
#     log line, exits 1 and writes nothing; `tiles.sh status` says the same;
#   - `tiles.sh resubmit` runs that tile alone again, and the merge completes.
# Installs slurmctld, slurmd, slurm-client and munge from Debian where they
# are missing. Runs as root (through sudo otherwise). Every daemon is stopped
# by its process id at the end, even on failure, and the temporary folder is
# removed (kept with KEEP=1).
#
#   tools/slurm-check.sh [TOOL]    TOOL: lumenstack-tool (default build-release's)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tool=$(readlink -f "${1:-$root/build-release/lumenstack-tool}")
[[ -x $tool ]] || { echo "slurm-check: no lumenstack-tool at $tool (build it first)" >&2; exit 2; }
if [[ $(id -u) -ne 0 ]]; then
    exec sudo --preserve-env=KEEP,ASAN_OPTIONS,UBSAN_OPTIONS bash "$0" "$tool"
fi
started=$(date +%s.%N)
say() { echo "slurm-check: $*"; }
fail() {
    echo "slurm-check: FAILED: $*" >&2
    exit 1
}

packages=(slurmctld slurmd slurm-client munge)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} > 0)); then
    say "installing ${missing[*]}"
    # Installing must not start the packages' own daemons: this check starts
    # its own, and stops them.
    policy=/usr/sbin/policy-rc.d
    own_policy=0
    if [[ ! -e $policy ]]; then
        printf '#!/bin/sh\nexit 101\n' >"$policy"
        chmod 755 "$policy"
        own_policy=1
    fi
    status=0
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends "${missing[@]}"; } >/dev/null || status=$?
    ((own_policy == 0)) || rm -f "$policy"
    ((status == 0)) || fail "apt-get install ${missing[*]} failed (exit $status)"
fi

tmp=$(mktemp -d /tmp/ls-slurm.XXXXXX)
chmod 755 "$tmp"
pids=()
cleanup() {
    local status=$? pid
    set +e
    # Jobs still queued on this cluster (after a failure) end first: their
    # steps outlive slurmd and ignore SIGTERM.
    if [[ -S ${socket:-} && -n $(timeout 10 squeue -h 2>/dev/null) ]]; then
        timeout 10 scancel --user=root &>/dev/null
        for _ in $(seq 30); do
            [[ -z $(timeout 10 squeue -h 2>/dev/null) ]] && break
            sleep 0.5
        done
    fi
    # Daemons in reverse order of their start: slurmd, slurmctld, munged.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid=${pids[i]}
        kill -TERM "$pid" 2>/dev/null || continue
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    # Job steps (slurmstepd and what they run) are not slurmd's children:
    # they are ours when they hold a file of $tmp open or run in it.
    local left=() tries
    for ((tries = 0; tries < 40; tries++)); do
        mapfile -t left < <(leftovers)
        ((${#left[@]} > 0)) || break
        ((tries == 8)) && kill -TERM "${left[@]}" 2>/dev/null
        ((tries == 16)) && kill -KILL "${left[@]}" 2>/dev/null
        sleep 0.25
    done
    ((${#left[@]} == 0)) || echo "slurm-check: processes ${left[*]} still use $tmp" >&2
    if ((status != 0)); then
        for log in "$tmp"/log/*.log; do
            [[ -s $log ]] && { echo "--- $log (last lines)" >&2; tail -n 15 "$log" >&2; }
        done
    fi
    if [[ ${KEEP:-0} == 1 ]]; then say "kept $tmp"; else rm -rf "$tmp"; fi
    exit "$status"
}
leftovers() {
    find /proc/[0-9]*/cwd /proc/[0-9]*/fd -maxdepth 1 \( -lname "$tmp" -o -lname "$tmp/*" \) 2>/dev/null |
        cut -d/ -f3 | sort -u | grep -v -x -e "$$" -e "$BASHPID" || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A free TCP port on this machine, from `first` up.
free_port() {
    local port=$1
    while (echo >"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((port + 1)); done
    echo "$port"
}

mkdir -p "$tmp/munge" "$tmp/run" "$tmp/log" "$tmp/state" "$tmp/spool"
# munged: its key readable by root alone, its socket by everyone.
chmod 700 "$tmp/munge"
chmod 755 "$tmp/run"
dd if=/dev/urandom of="$tmp/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$tmp/munge/munge.key"
socket=$tmp/run/munge.socket
munged -F --socket="$socket" --key-file="$tmp/munge/munge.key" --log-file="$tmp/log/munged.log" \
    --pid-file="$tmp/munge/munged.pid" --seed-file="$tmp/munge/munged.seed" &>"$tmp/log/munged.out" &
pids+=($!)
for _ in $(seq 50); do [[ -S $socket ]] && break; sleep 0.1; done
[[ -S $socket ]] || fail "munged did not open its socket $socket"

node=$(hostname -s)
ctld_port=$(free_port $((17000 + RANDOM % 4000)))
slurmd_port=$(free_port $((ctld_port + 1)))
export SLURM_CONF=$tmp/slurm.conf
cat >"$SLURM_CONF" <<EOF
ClusterName=lumenstack-check
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$socket
CredType=cred/munge
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/log/slurmctld.log
SlurmdLogFile=$tmp/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU_Memory
ReturnToService=2
MinJobAge=600
KillWait=5
NodeName=$node NodeAddr=127.0.0.1 CPUs=2 RealMemory=1000 State=UNKNOWN
PartitionName=check Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
slurmctld -D -i -f "$SLURM_CONF" &>"$tmp/log/slurmctld.out" &
pids+=($!)
slurmd -D -f "$SLURM_CONF" -N "$node" &>"$tmp/log/slurmd.out" &
pids+=($!)
for _ in $(seq 120); do
    [[ $(sinfo -h -N -o '%T' 2>/dev/null) == idle ]] && break
    sleep 0.5
done
[[ $(sinfo -h -N -o '%T' 2>/dev/null) == idle ]] ||
    fail "the node did not come up: sinfo says '$(sinfo -h -N -o '%T %E' 2>&1)'"
up=$(date +%s.%N)
say "cluster up in $(awk -v a="$started" -v b="$up" 'BEGIN { printf "%.1f", b - a }') s" \
    "(slurmctld port $ctld_port, slurmd port $slurmd_port)"

# Waits until job $1 has left the queue; prints its final state and exit code.
wait_job() {
    local job=$1
    for _ in $(seq 600); do
        [[ -z $(squeue -h -j "$job" 2>/dev/null) ]] && break
        sleep 0.5
    done
    [[ -z $(squeue -h -j "$job" 2>/dev/null) ]] ||
        fail "job $job still queued after 300 s: $(squeue -h -j "$job" -o '%i %T %r')"
    scontrol show job "$job" | grep -o -E 'JobState=[A-Z_]+|ExitCode=[0-9:]+' | tr '\n' ' '
}
# The job numbers that submit.sh printed.
job_of() { sed -n -E "s/^$1: job ([0-9]+).*/\\1/p" "$2"; }

cluster=$root/examples/cluster
data=$tmp/data
"$tool" make-demo "$data" >"$tmp/make-demo.out" 2>&1 ||
    fail "make-demo $data failed: $(tail -n 5 "$tmp/make-demo.out")"
mkdir -p "$tmp/empty"
stack=(--i1 "$data/i1" --i0 "$data/i0" --dark "$data/dark.tif")
options=(--bin 2 2 --ref "$data/ref_A.dat" --ref "$data/ref_B.dat")
"$tool" lcf-map "${stack[@]}" "${options[@]}" --threads 1 --out "$tmp/single" >"$tmp/single.out" 2>&1 ||
    fail "the single lcf-map run failed: $(tail -n 5 "$tmp/single.out")"

# The tool as the tiles call it. While $tmp/fail-area holds a tile's area,
# that tile reads an empty I1 folder; while $tmp/slow-area does, that tile
# waits first (to be cancelled).
cat >"$tmp/tool" <<EOF
#!/usr/bin/env bash
args=("\$@")
if [[ -f $tmp/fail-area && " \$* " == *" --area \$(cat $tmp/fail-area) "* ]]; then
    for ((i = 0; i < \${#args[@]}; i++)); do
        [[ \${args[i]} == --i1 ]] && args[i + 1]=$tmp/empty
    done
fi
if [[ -f $tmp/slow-area && " \$* " == *" --area \$(cat $tmp/slow-area) "* ]]; then
    sleep 120
fi
exec "$tool" "\${args[@]}"
EOF
chmod 755 "$tmp/tool"

# job.conf for run $1, with any further lines after it.
write_config() {
    local name=$1
    shift
    {
        echo "TOOL='$tmp/tool'"
        echo "COMMAND=lcf-map"
        printf 'ARGS=('
        printf "'%s' " "${stack[@]}" "${options[@]}"
        echo ')'
        echo "WIDTH=64 HEIGHT=48 HX=2 HY=2 TILES_X=2 TILES_Y=2"
        echo "CPUS_PER_TASK=1 THREADS=4 MEM=200M TIME=00:05:00"
        echo "WORK='$tmp/$name/work' OUT='$tmp/$name/merged'"
        printf '%s\n' "$@"
    } >"$tmp/$name.conf"
}

# Every file of the single run in $1, the same bytes (summary.json: apart
# from its timings; what a file was made from, FILE.json, names the tiles and
# the time of the run and is only there).
compare() {
    local out=$1 f name same=0
    strip() { sed -E 's/"[A-Za-z]*([Ss]econds|PerSecond)": [^,]*, //g' "$1"; }
    for f in "$tmp/single"/*; do
        name=$(basename "$f")
        [[ -f $out/$name ]] || fail "$out/$name is missing"
        if [[ $name == *.json && $name != summary.json ]]; then
            :
        elif [[ $name == summary.json ]]; then
            cmp -s <(strip "$f") <(strip "$out/$name") || fail "$out/$name differs from the single run"
        else
            cmp -s "$f" "$out/$name" || fail "$out/$name differs from the single run"
        fi
        same=$((same + 1))
    done
    [[ $(ls "$out" | wc -l) -eq $same ]] || fail "$out holds files the single run does not"
    echo "$same"
}

# 1. More CPUs than the node has: refused before anything is submitted.
write_config big "CPUS_PER_TASK=3"
if bash "$cluster/submit.sh" "$tmp/big.conf" >"$tmp/big.out" 2>&1; then fail "submit.sh took CPUS_PER_TASK=3"; fi
grep -q 'CPUS_PER_TASK=3' "$tmp/big.out" && grep -q '2 CPUs' "$tmp/big.out" ||
    fail "submit.sh refused CPUS_PER_TASK=3 without naming it: $(cat "$tmp/big.out")"
[[ -z $(squeue -h) ]] || fail "submit.sh refused, yet jobs are queued"
say "CPUS_PER_TASK=3 refused: $(tail -n 1 "$tmp/big.out" | cut -c1-100)..."

# 2. By hand, without LUMENSTACK_CLUSTER_DIR: Slurm runs a copy of the script.
write_config hand
job=$(cd "$tmp" && env -u LUMENSTACK_CLUSTER_DIR sbatch --parsable --array=0 --cpus-per-task=1 \
    --mem=100M --output="$tmp/hand-%A_%a.out" "$cluster/lumenstack-tiles.sbatch" "$tmp/hand.conf" task)
state=$(wait_job "$job")
[[ $state == *FAILED* ]] || fail "a hand submission without LUMENSTACK_CLUSTER_DIR ended $state"
grep -q LUMENSTACK_CLUSTER_DIR "$tmp/hand-${job}_0.out" ||
    fail "the hand submission's log does not name LUMENSTACK_CLUSTER_DIR: $(cat "$tmp/hand-${job}_0.out")"
say "hand submission without LUMENSTACK_CLUSTER_DIR: $state, names it"

# 3. 2 x 2 tiles and the merge, against the single run.
write_config tiles
t0=$(date +%s.%N)
(cd "$tmp" && bash "$cluster/submit.sh" "$tmp/tiles.conf") >"$tmp/tiles.out" || fail "submit.sh failed"
merge=$(job_of merge "$tmp/tiles.out")
state=$(wait_job "$merge")
t1=$(date +%s.%N)
[[ $state == *COMPLETED*ExitCode=0:0* ]] ||
    fail "the merge job $merge ended $state: $(cat "$tmp/tiles/work/merge-$merge.out")"
files=$(compare "$tmp/tiles/merged")
for i in 0 1 2 3; do
    grep -q '"threads": 1,' "$tmp/tiles/work/tile-$i/summary.json" ||
        fail "tile $i did not run 1 thread on its 1 CPU (THREADS=4): $(cat "$tmp/tiles/work/tile-$i/summary.json")"
done
compgen -G "$tmp/tiles/work/*4294967294*" >/dev/null && fail "a log name holds 4294967294: $(ls "$tmp/tiles/work")"
bash "$cluster/tiles.sh" "$tmp/tiles.conf" status >"$tmp/status.out" || fail "status: $(cat "$tmp/status.out")"
grep -q '^4 of 4 tiles done$' "$tmp/status.out" || fail "status: $(cat "$tmp/status.out")"
say "4 tiles + merge in $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", b - a }') s:" \
    "all $files files identical to the single run"

# 4. Tile 2 fails and tile 3 is cancelled while it runs: status shows the
# queue; the merge still runs, names both with their log lines, writes nothing.
write_config failing
area2=$(bash "$cluster/tiles.sh" "$tmp/failing.conf" plan | sed -n 3p)
area3=$(bash "$cluster/tiles.sh" "$tmp/failing.conf" plan | sed -n 4p)
echo "$area2" >"$tmp/fail-area"
echo "$area3" >"$tmp/slow-area"
(cd "$tmp" && bash "$cluster/submit.sh" "$tmp/failing.conf") >"$tmp/failing.out" || fail "submit.sh failed"
array=$(job_of tiles "$tmp/failing.out")
merge=$(job_of merge "$tmp/failing.out")
for _ in $(seq 240); do
    # Running in squeue is not yet started: its log tells that.
    [[ -e $tmp/failing/work/tile-3.log && $(squeue -h -j "${array}_3" -o '%T' 2>/dev/null) == RUNNING &&
        -z $(squeue -h -r -j "${array}_0,${array}_1,${array}_2" 2>/dev/null) ]] && break
    sleep 0.5
done
bash "$cluster/tiles.sh" "$tmp/failing.conf" status >"$tmp/status.out" || true
grep -q "^tile 3 ($area3): running (job ${array}_3)$" "$tmp/status.out" &&
    grep -q "^merge: pending (job $merge)$" "$tmp/status.out" ||
    fail "status while tile 3 runs: $(cat "$tmp/status.out")"
if bash "$cluster/tiles.sh" "$tmp/failing.conf" resubmit >"$tmp/resubmit.out" 2>&1; then
    fail "resubmit went ahead while tile 3 ran"
fi
grep -q "tile 3 is still running" "$tmp/resubmit.out" || fail "resubmit: $(cat "$tmp/resubmit.out")"
scancel "${array}_3"
state=$(wait_job "$merge")
log=$tmp/failing/work/merge-$merge.out
[[ $state == *FAILED*ExitCode=1:0* ]] || fail "the merge job with a failed tile ended $state: $(cat "$log")"
grep -q "tile 2 ($area2) failed (exit status 1): $tmp/failing/work/tile-2.log: .*cannot read $tmp/empty: no image files" "$log" ||
    fail "the merge's log does not name tile 2 and why: $(cat "$log")"
grep -q "tile 3 ($area3) failed (exit status 143): $tmp/failing/work/tile-3.slurm.out: .*CANCELLED" "$log" ||
    fail "the merge's log does not name tile 3 and why: $(cat "$log")"
[[ $(grep -c '^tiles.sh: tile' "$log") -eq 2 ]] || fail "the merge names more than tiles 2 and 3: $(cat "$log")"
[[ ! -e $tmp/failing/merged ]] || fail "the merge wrote $tmp/failing/merged with tiles failed"
if bash "$cluster/tiles.sh" "$tmp/failing.conf" status >"$tmp/status.out"; then
    fail "status exits 0 with failed tiles"
fi
grep -q "^tile 2 ($area2): failed (exit status 1): .*no image files" "$tmp/status.out" &&
    grep -q "^tile 3 ($area3): failed (exit status 143): .*CANCELLED" "$tmp/status.out" &&
    grep -q '^2 of 4 tiles done$' "$tmp/status.out" || fail "status: $(cat "$tmp/status.out")"
say "tile 2 failed, tile 3 cancelled: the merge ($state) says:"
grep '^tiles.sh' "$log" | sed "s|$tmp/||g; s/^/    /"

# 5. Resubmit: tiles 2 and 3 alone, then the merge.
rm "$tmp/fail-area" "$tmp/slow-area"
bash "$cluster/tiles.sh" "$tmp/failing.conf" resubmit >"$tmp/resubmit.out" || fail "resubmit failed"
tail -n 1 "$tmp/failing/work/jobs" | grep -q '^merge ' &&
    tail -n 2 "$tmp/failing/work/jobs" | head -n 1 | grep -q -E '^tiles [0-9]+ 2,3$' ||
    fail "resubmit did not submit tiles 2 and 3 alone: $(cat "$tmp/failing/work/jobs")"
merge=$(job_of merge "$tmp/resubmit.out")
state=$(wait_job "$merge")
[[ $state == *COMPLETED*ExitCode=0:0* ]] ||
    fail "the merge after the resubmit ended $state: $(cat "$tmp/failing/work/merge-$merge.out")"
files=$(compare "$tmp/failing/merged")
bash "$cluster/tiles.sh" "$tmp/failing.conf" status >"$tmp/status.out" || fail "status: $(cat "$tmp/status.out")"
say "resubmitted tiles 2 and 3: merge $state, all $files files identical to the single run"

ended=$(date +%s.%N)
say "passed in $(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.1f", b - a }') s"
echo "cluster: 5 passed, 0 failed"
