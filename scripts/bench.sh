#!/usr/bin/env bash
# Runs every benchmark of build/bench/kdp_bench in a process of its own (several times), and once all of
# them in one process, and prints one table: each benchmark's ratio (median, min and max over its own
# processes), its ratio in the full run, how far the two are apart, its cold ratio (the first pair in a
# process of its own, median over the processes) and the machine's CPU model.
#   scripts/bench.sh [--runs N] [--filter REGEX] [--no-full]
# A benchmark whose figure is not a "ratio" counter (latencies, bytes per security) is listed with its
# first counter instead. Builds kdp_bench first.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs=3
filter='.'
full=1
while [ "$#" -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --filter) filter="$2"; shift 2 ;;
    --no-full) full=0; shift ;;
    *) echo "usage: $0 [--runs N] [--filter REGEX] [--no-full]" >&2; exit 2 ;;
  esac
done

"$root/scripts/build.sh" default kdp_bench >/dev/null
exec python3 - "$root/build/bench/kdp_bench" "$runs" "$filter" "$full" <<'PY'
import json, re, statistics, subprocess, sys, tempfile, os

binary, runs, name_filter, full = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4] == "1"

def cpu_model():
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return "unknown CPU"

def families():
    out = subprocess.run([binary, "--benchmark_list_tests"], check=True, capture_output=True, text=True).stdout
    seen = []
    for line in out.split():
        family = line.split("/")[0]
        if family not in seen and re.search(name_filter, family):
            seen.append(family)
    return seen

def figures(bench_filter):
    """One process: {benchmark name: (counter name, value)} from the median aggregate, else the run."""
    with tempfile.NamedTemporaryFile(suffix=".json", delete=False) as out:
        path = out.name
    try:
        run = subprocess.run([binary, f"--benchmark_filter={bench_filter}", f"--benchmark_out={path}",
                              "--benchmark_out_format=json"], capture_output=True, text=True)
        if run.returncode != 0:
            sys.exit(f"kdp_bench --benchmark_filter={bench_filter} failed:\n{run.stderr}")
        with open(path) as f:
            data = json.load(f)
    finally:
        os.unlink(path)
    result = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"])
        if "ratio" in b:
            result[name] = ("ratio", b["ratio"], b.get("cold_ratio"))
        elif name not in result:
            counters = [k for k, v in b.items() if isinstance(v, (int, float)) and k.endswith(("_us", "_bytes", "per_security"))]
            if counters:
                result[name] = (counters[0], b[counters[0]], None)
    return result

alone = {}
cold = {}
for family in families():
    for _ in range(runs):
        for name, (counter, value, cold_ratio) in figures(f"^{re.escape(family)}(/|$)").items():
            alone.setdefault(name, (counter, []))[1].append(value)
            if cold_ratio is not None:
                cold.setdefault(name, []).append(cold_ratio)
whole = figures(name_filter) if full else {}

print(f"machine: {cpu_model()}, {os.cpu_count()} cores; {runs} processes per benchmark")
print(f"{'benchmark':<64} {'counter':<14} {'median':>8} {'min':>8} {'max':>8} {'full run':>9} {'apart':>7} {'cold':>7}")
for name, (counter, values) in alone.items():
    median = statistics.median(values)
    in_full = whole.get(name, (None, None, None))[1]
    apart = f"{abs(in_full - median) / median * 100:6.1f}%" if in_full and median else "      -"
    shown_full = f"{in_full:9.3f}" if in_full is not None else "        -"
    shown_cold = f"{statistics.median(cold[name]):7.3f}" if name in cold else "      -"
    print(f"{name:<64} {counter:<14} {median:8.3f} {min(values):8.3f} {max(values):8.3f} {shown_full} {apart} {shown_cold}")
PY
