#!/usr/bin/env bash
# The farm path as it is used: a one-node Slurm cluster (munged, slurmctld,
# slurmd, as root, from a configuration in a temporary folder, with its own
# munge key and socket and its own ports) renders a 48-frame 1920x1080 shot
# of image files, keys animating origin, width and angle, as a job array of 6
# chunks of 8, at most 2 running (scripts/slurm-shot.sh). Every frame must be
# byte for byte the one-machine render's. Then one task is cancelled while it
# renders (scancel JOB_INDEX): no partial frame may be visible; that chunk is
# resubmitted and the shot compared again. Reports both wall times. The
# daemons are stopped by their process ids however the script ends, and
# nothing is written outside the temporary folder.
#   scripts/farm-test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
scripts/install-deps.sh farm
scripts/build.sh
tool=$repo/build/quorvel-host

fail() {
  echo "farm-test: $*" >&2
  exit 1
}
[[ $(id -u) -eq 0 ]] || fail "the cluster's daemons are started as root: run as root"

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-farm.XXXXXX")
# munged wants its socket's folders searchable by all.
chmod 755 "$work"
export SLURM_CONF=$work/slurm.conf
# The frames are dated by it, on the node as here (sbatch passes the
# environment on): renders of a frame compare byte for byte.
export SOURCE_DATE_EPOCH=1700000000
stop_cluster() {
  local status=$?
  # Jobs first, so that no step outlives its daemon; then the daemons.
  if [[ -f $work/slurmctld.pid ]]; then
    scancel --quiet --full --jobname=quorvel-shot 2>/dev/null || true
    for _ in $(seq 50); do
      [[ -z $(squeue -h 2>/dev/null) ]] && break
      sleep 0.2
    done
  fi
  for daemon in slurmd slurmctld munged; do
    local pid
    pid=$(cat "$work/$daemon.pid" 2>/dev/null) || continue
    kill "$pid" 2>/dev/null || continue
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
  done
  if ((status != 0)); then
    for log in "$work"/*.log "$work"/logs/*.log; do
      [[ -f $log ]] && { echo "---- $log" >&2 && tail -20 "$log" >&2; }
    done
  fi
  rm -rf "$work"
  exit "$status"
}
trap stop_cluster EXIT

# Two free ports above the well-known range, for this cluster alone.
free_port() {
  local port
  for _ in $(seq 100); do
    port=$((20000 + RANDOM % 20000))
    if ! (: </dev/tcp/127.0.0.1/"$port") 2>/dev/null && ! (: </dev/tcp/127.0.0.1/"$((port + 1))") 2>/dev/null; then
      echo "$port"
      return
    fi
  done
  fail "no free ports"
}

echo "== one-node cluster in $work"
dd if=/dev/urandom of="$work/munge.key" bs=1024 count=1 status=none
chmod 400 "$work/munge.key"
munged --force --socket="$work/munge.socket" --key-file="$work/munge.key" --log-file="$work/munged.log" \
  --pid-file="$work/munged.pid" --seed-file="$work/munged.seed"
port=$(free_port)
host=$(hostname -s)
mkdir "$work/state" "$work/spool" "$work/logs"
cat >"$SLURM_CONF" <<CONF
ClusterName=quorvel-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
AuthType=auth/munge
AuthInfo=socket=$work/munge.socket
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
MpiDefault=none
ReturnToService=2
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
JobCompType=jobcomp/none
KillWait=60
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=render Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
slurmctld -f "$SLURM_CONF" -c
slurmd -f "$SLURM_CONF"
for _ in $(seq 100); do
  [[ $(sinfo -h -o %T 2>/dev/null) == idle ]] && break
  sleep 0.2
done
[[ $(sinfo -h -o %T) == idle ]] || fail "the node did not come up: $(sinfo 2>&1)"
echo "node:      $host idle, slurmctld on port $port"

echo "== the shot"
shot=$work/shot
mkdir -p "$shot/local" "$shot/farm" "$shot/cancelled"
"$tool" render --frames 1-48 --composite add --opacity 0 --out "$shot/plate.%04d.png" --quiet >/dev/null
cat >"$shot/keys.json" <<'KEYS'
{"origin": [{"frame": 1, "value": [700, 400]}, {"frame": 48, "value": [1250, 700]}],
 "width": [{"frame": 1, "value": 500, "interpolation": "ease"}, {"frame": 48, "value": 1100}],
 "angle": [{"frame": 1, "value": -20}, {"frame": 24, "value": 15}, {"frame": 48, "value": 40}]}
KEYS
render=(--in "$shot/plate.%04d.png" --keys "$shot/keys.json" --feather 80 --height 400)
now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f", b - a}'; }

start=$(now)
"$tool" render --frames 1-48 "${render[@]}" --out "$shot/local/matte.%04d.png" --jobs 2 --quiet >/dev/null
local_time=$(seconds "$start" "$(now)")
echo "one machine: 48 frames in $local_time s (--jobs 2)"

submit() { # OUT [slurm-shot options...]
  local out=$1
  shift
  scripts/slurm-shot.sh --frames 1-48 --chunk-size 8 --max-running 2 --cpus-per-task 1 --tool "$tool" \
    --log-dir "$work/logs" "$@" -- "${render[@]}" --out "$out/matte.%04d.png"
}
# Every visible frame is complete and the one-machine render's; prints how many there are.
compare() { # DIR
  local n=0 f
  for f in "$1"/*; do
    [[ -e $f ]] || continue
    cmp -s "$f" "$shot/local/$(basename "$f")" || fail "$f differs from the one-machine render (or is partial)"
    n=$((n + 1))
  done
  echo "$n"
}

# Until the job leaves the queue, looked at five times a second: sbatch
# --wait looks ever more rarely, up to half a minute apart.
wait_for() { # JOB
  for _ in $(seq 3000); do
    [[ -z $(squeue -h -j "$1" 2>/dev/null) ]] && return
    sleep 0.2
  done
  fail "job $1 did not end in 10 minutes"
}

start=$(now)
job=$(submit "$shot/farm")
wait_for "$job"
farm_time=$(seconds "$start" "$(now)")
for task in 0 1 2 3 4 5; do
  grep -q '^rendered 8 frames' "$work/logs/quorvel-${job}_$task.log" || fail "task $task did not finish its chunk"
done
[[ $(compare "$shot/farm") == 48 ]] || fail "the farm render has $(compare "$shot/farm") of 48 frames"
echo "farm:        48 frames in $farm_time s (job $job: 6 tasks of 8 frames, 2 at once, 1 core each), identical"

# --wait gives the array's outcome: a task that fails fails the submission.
if failed=$(submit "$shot/no-such-folder" --tasks 0 --wait 2>/dev/null); then
  fail "slurm-shot.sh --wait returned 0 for an array whose task failed"
fi
grep -q 'folder .* does not exist' "$work/logs/quorvel-${failed}_0.log" ||
  fail "the failed task's log does not say why: $(cat "$work/logs/quorvel-${failed}_0.log")"
echo "--wait:      a failed task's status comes back from slurm-shot.sh --wait"

echo "== a task cancelled while it renders, then resubmitted"
job=$(submit "$shot/cancelled")
log=$work/logs/quorvel-${job}_2.log
for _ in $(seq 600); do
  grep -qE '^frame [-0-9]+ rendered' "$log" 2>/dev/null && break
  sleep 0.1
done
grep -qE '^frame [-0-9]+ rendered' "$log" 2>/dev/null || fail "task 2 never started rendering"
scancel "${job}_2"
wait_for "$job"
grep -q 'interrupted' "$log" || fail "task 2 was not interrupted while rendering: $(tail -3 "$log")"
kept=$(compare "$shot/cancelled")
((kept < 48)) || fail "the cancelled task's frames are all there: it was not cancelled in time"
leftovers=$(find "$shot/cancelled" -name '.tmp-*' | wc -l)
echo "cancelled:   task ${job}_2 stopped ($(grep -cE '^frame [-0-9]+ rendered' "$log") of its frames done); $kept of 48 frames" \
  "visible, each complete and identical; $leftovers unfinished temporary files"
submit "$shot/cancelled" --tasks 2 --wait >/dev/null || fail "the resubmitted chunk failed"
[[ $(compare "$shot/cancelled") == 48 ]] || fail "after resubmitting, $(compare "$shot/cancelled") of 48 frames"
[[ -z $(find "$shot/cancelled" -name '.tmp-*') ]] || fail "unfinished temporary files are left"
echo "resubmitted: chunk 2 finished the shot; all 48 frames identical to the one-machine render"
echo "times:       one machine $local_time s, farm $farm_time s"
