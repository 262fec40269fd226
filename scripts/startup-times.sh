#!/usr/bin/env bash
# The tool's start-up, measured as whole processes: the median and the range
# of wall-clock times over RUNS runs (default 20) of each command that needs
# no image file. Run after scripts/build.sh; TOOL is another build of the
# tool to measure (with its module beside it), for a before and after.
#   scripts/startup-times.sh [RUNS] [TOOL]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
host=${2:-build/quorvel-host}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
python3 - "$runs" "$host" "$scratch" <<'PY'
import statistics, subprocess, sys, time
runs, host, scratch = int(sys.argv[1]), sys.argv[2], sys.argv[3]
commands = {
    "about": [host, "about"],
    "params": [host, "params"],
    "inspect": [host, "inspect"],
    "keys": [host, "keys", "--key", "width@1=100", "--key", "width@24=300"],
    "drag --json": [host, "drag", "--click", "960,540", "--to", "1000,540", "--json"],
    "render to .npy (64x64 card)": [host, "render", "--size", "64x64", "--out", f"{scratch}/frame.npy"],
}
print(f"{'command':<30} {'median ms':>10} {'min':>7} {'max':>7}   ({runs} runs)")
for name, argv in commands.items():
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        done = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append((time.perf_counter() - start) * 1000)
        if done.returncode != 0:
            break
    if done.returncode != 0:
        print(f"{name:<30} {'(fails: not in this build?)':>26}")
        continue
    print(f"{name:<30} {statistics.median(times):>10.1f} {min(times):>7.1f} {max(times):>7.1f}")
PY
