#!/usr/bin/env bash
# Submits a shot to a Slurm cluster as one job array: each array task renders
# one chunk of the frames (quorvel-host render --chunk SIZE:$SLURM_ARRAY_TASK_ID)
# with --skip-existing, so a requeued or resubmitted task renders only what is
# missing. Prints the job id; with --wait, waits for the array and exits with
# its worst task's status (0 when every chunk is complete).
#
#   scripts/slurm-shot.sh --frames 1001-1240 --chunk-size 20 --max-running 10 \
#       --cpus-per-task 4 [--wait] -- --in /shots/010/plate.%04d.exr \
#       --out /shots/010/matte.%04d.exr --keys /shots/010/keys.json
#
# Everything after -- goes to `quorvel-host render` on the nodes, paths
# included: they must name the same files on every node (a shared
# filesystem). The tool is the quorvel-host beside this script (as the
# Debian package installs both), else the one on the PATH, or --tool PATH;
# the nodes need it at the same path, and so does the machine submitting,
# which counts the frames with it.
set -euo pipefail
me=$(basename "$0")

usage() {
  sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"
  cat <<'USAGE'
Options:
  --frames LIST          the shot's frames, as quorvel-host takes them (required)
  --chunk-size N         frames a task renders (default 10)
  --max-running M        tasks running at once (default: as many as fit)
  --cpus-per-task C      cores a task is given, and its --jobs (default 1)
  --tasks LIST           only these chunks, in Slurm's --array syntax (0-based),
                         to resubmit some: --tasks 3,7-9
  --tool PATH            quorvel-host on the nodes (default: the one beside
                         this script, else the one on the PATH)
  --log-dir DIR          each task's log, quorvel-JOB_TASK.log (default: ./quorvel-logs)
  --job-name NAME        the job's name (default: quorvel-shot)
  --sbatch-arg ARG       passed to sbatch as it is; repeat for more (--partition=render)
  --wait                 wait for the array to end; exit with its worst task's status
  --dry-run              print the sbatch command instead of running it
USAGE
}

die() {
  echo "$me: $*" >&2
  exit 2
}
whole() { [[ $2 =~ ^[0-9]+$ ]] && (($2 >= $3)) || die "$1 must be a whole number of at least $3, not '$2'"; }

frames="" chunk_size=10 max_running="" cpus=1 tasks="" tool="" log_dir=quorvel-logs name=quorvel-shot
wait=0 dry_run=0
sbatch_args=()
while (($#)); do
  case "$1" in
    --frames) frames=${2-} && shift ;;
    --chunk-size) whole "$1" "${2-}" 1 && chunk_size=$2 && shift ;;
    --max-running) whole "$1" "${2-}" 1 && max_running=$2 && shift ;;
    --cpus-per-task) whole "$1" "${2-}" 1 && cpus=$2 && shift ;;
    --tasks) tasks=${2-} && shift ;;
    --tool) tool=${2-} && shift ;;
    --log-dir) log_dir=${2-} && shift ;;
    --job-name) name=${2-} && shift ;;
    --sbatch-arg) sbatch_args+=("${2-}") && shift ;;
    --wait) wait=1 ;;
    --dry-run) dry_run=1 ;;
    -h | --help) usage && exit 0 ;;
    --) shift && break ;;
    *) die "unknown option '$1' (see --help; render options go after --)" ;;
  esac
  shift
done
render=("$@")
[[ -n $frames ]] || die "--frames LIST is required"
((${#render[@]})) || die "give the render options after --: at least --out"
for arg in "${render[@]}"; do
  case "$arg" in
    --frames | --frames=* | --chunk | --chunk=* | --jobs | --jobs=* | --skip-existing | --contact-sheet*)
      die "$arg is the script's to give: it sets --frames, --chunk, --jobs and --skip-existing for each task" ;;
  esac
done
if [[ -z $tool ]]; then
  here=$(cd "$(dirname "$(readlink -f "$0")")" && pwd)
  if [[ -x $here/quorvel-host ]]; then
    tool=$here/quorvel-host
  else
    tool=$(command -v quorvel-host) ||
      die "quorvel-host is neither beside this script (in $here) nor on the PATH: give it with --tool PATH"
  fi
fi
[[ -x $tool ]] || command -v "$tool" >/dev/null || die "--tool $tool: no such program"
((dry_run)) || command -v sbatch >/dev/null || die "sbatch is not on the PATH: is this a Slurm submit host?"

# The frame count, as the tool reads the list (a dry run of the test card).
count=$("$tool" render --frames "$frames" --dry-run | wc -l) || die "quorvel-host refuses --frames '$frames'"
((count > 0)) || die "--frames '$frames' holds no frame"
chunks=$(((count + chunk_size - 1) / chunk_size))
array=${tasks:-0-$((chunks - 1))}
[[ -z $max_running ]] || array+="%$max_running"

command=$(printf '%q ' exec "$tool" render "${render[@]}" --frames "$frames" --skip-existing --jobs "$cpus")
command+="--chunk $chunk_size:\$SLURM_ARRAY_TASK_ID"
options=(--parsable --job-name="$name" --array="$array" --cpus-per-task="$cpus"
  --output="$log_dir/quorvel-%A_%a.log" "${sbatch_args[@]}")
echo "$me: $count frames in $chunks chunks of $chunk_size, tasks $array" >&2
if ((dry_run)); then
  ((wait)) && options+=(--wait)
  printf '%q ' sbatch "${options[@]}" --wrap="$command"
  echo
  exit 0
fi
mkdir -p "$log_dir"
if ((wait)); then
  # sbatch prints the id on submitting, then waits; its status is the worst task's.
  exec sbatch "${options[@]}" --wait --wrap="$command"
fi
sbatch "${options[@]}" --wrap="$command"
