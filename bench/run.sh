#!/usr/bin/env bash
# Measures `heapwise --print` (its walkers as chosen by default, and one
# alone with --jobs 1) against du -sb, find, gdu and ncdu on a wide tree of
# about a million entries, a deep tree (120 levels) and /usr, warm cache,
# beside bench/calls_only (one walker's system calls with nothing around them)
# and the desktop window (bench/window_until_ready under Xvfb, from start to
# "Ready" with the window up): every round runs each command once, in turn,
# under hyperfine; the table gives medians and the median of each command's
# per-round ratio to du -sb. Then, where caches can be dropped (root), the
# wide tree with a cold cache; and the Windows program under Wine, with its
# dialog against the same walk with no window, and two walkers against one.
# Two more rounds: a flat folder of 300,000 empty files (flat), and a share
# mounted with sshfs from an sshd of the benchmark's own on the loopback,
# through bench/latency_proxy adding 1 ms each way (share: /usr/share/doc as a
# network would serve it). Peak memory comes from /usr/bin/time. Writes
# bench/results.md and bench/results.png.
#
#   bench/run.sh     (RUNS=10, COLD_RUNS=5, WINE_RUNS=5, SHARE_RUNS=3 by default;
#                     BENCH_TREES=/tmp/heapwise-bench; ROUNDS="wide deep usr cold
#                     flat share wine" or any of them; BASELINE=another heapwise
#                     to time beside this one, as "baseline", in the same rounds)
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${RUNS:-10}
cold_runs=${COLD_RUNS:-5}
wine_runs=${WINE_RUNS:-5}
share_runs=${SHARE_RUNS:-3}
rounds=" ${ROUNDS:-wide deep usr cold flat share wine} "
baseline=${BASELINE:-}
trees=${BENCH_TREES:-/tmp/heapwise-bench}
results=bench/results.md
chart=bench/results.png
work=$(mktemp -d)
xvfb= sshd= proxy= share=
cleanup() {
    [[ -n $share ]] && fusermount3 -u "$share" 2>/dev/null
    [[ -n $proxy ]] && kill "$proxy" 2>/dev/null
    [[ -n $sshd ]] && kill "$sshd" 2>/dev/null
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
    [[ -n ${WINEPREFIX:-} ]] && wineserver -k 2>/dev/null
    rm -rf "$work"
}
running() { [[ $rounds == *" $1 "* ]]; }
trap cleanup EXIT

tools/install-deps.sh --tests
needed=()
for package in hyperfine gdu ncdu gnuplot-nox time python3 util-linux strace openssh-server sshfs; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || needed+=("$package")
done
if (( ${#needed[@]} )); then
    as_root=(); (( EUID == 0 )) || as_root=(sudo)
    "${as_root[@]}" apt-get update -qq
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${needed[@]}" >/dev/null
fi

cmake --preset release >/dev/null
cmake --build --preset release --target heapwise make_tree bare_walk calls_only window_until_ready latency_proxy >/dev/null
# The Windows rounds run the 32-bit program, the one shipped, where the kernel
# runs 32-bit programs, and the 64-bit one under wine64 elsewhere.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    wine_preset=mingw-release HEAPWISE_WINE_ARCH=win32
    export HEAPWISE_BENCH_WINE="32-bit \`heapwise.exe\` under Wine"
else
    wine_preset=mingw64-release HEAPWISE_WINE_ARCH=win64
    export HEAPWISE_BENCH_WINE="64-bit \`heapwise.exe\` under wine64 (this machine runs no 32-bit program)"
fi
export HEAPWISE_WINE_ARCH
if running wine; then
    cmake --preset "$wine_preset" >/dev/null
    cmake --build --preset "$wine_preset" --target window_until_ready_win32 >/dev/null
fi
heapwise=$PWD/build/release/heapwise
bare_walk=$PWD/build/release/bench/bare_walk
calls_only=$PWD/build/release/bench/calls_only
window=$PWD/build/release/bench/window_until_ready
window_exe=$PWD/build/$wine_preset/bench/window_until_ready_win32.exe
make_tree=$PWD/build/release/bench/make_tree
latency_proxy=$PWD/build/release/bench/latency_proxy

mkdir -p "$trees"
[[ -d $trees/wide ]] || "$make_tree" wide "$trees/wide"
[[ -d $trees/quarter ]] || "$make_tree" wide "$trees/quarter" 25
[[ -d $trees/deep ]] || "$make_tree" deep "$trees/deep"
[[ -d $trees/flat ]] || "$make_tree" flat "$trees/flat"

# A fast wrong walk must not pass: the counts must agree with find's.
for tree in "$trees/wide" "$trees/deep" /usr "$trees/flat"; do
    tests/print/agrees_with_find.sh "$heapwise" "$tree" >/dev/null
done
echo "counts agree with find on every tree" >&2

# One X display for the window, the Qt one and Wine's. Like a desktop's X
# server it stays as it is between programs: by default Xvfb resets itself
# whenever its last client leaves, rebuilding its keyboard map (about 50 ms of
# processor time, taken from whichever command runs next).
Xvfb -noreset -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$work/display") QT_QPA_PLATFORM=xcb

order=(heapwise jobs1 du find gdu ncdu calls window)
[[ -n $baseline ]] && order+=(baseline)
command_for() {  # tool tree
    case $1 in
        heapwise) echo "$heapwise --print $2" ;;
        baseline) echo "$baseline --print $2" ;;
        jobs1) echo "$heapwise --print --jobs 1 $2" ;;
        du) echo "du -sb $2" ;;
        find) echo "find $2 -printf %s\\n" ;;
        gdu) echo "gdu -n -p $2" ;;
        ncdu) echo "ncdu -0 -o /dev/null $2" ;;
        calls) echo "$calls_only $2" ;;
        window) echo "$window $2" ;;
    esac
}

: >"$work/times.tsv"
# One round of the group $1: each command that $3 (a function) gives for the
# names after it runs once, under hyperfine, in an order rotated each round so
# no command always follows the same one; appends "group command round
# seconds" lines to times.tsv. Hyperfine's own options may come first.
time_round() {  # [hyperfine options...] group round builder name...
    local options=() commands=() names i name
    while [[ $1 == --* ]]; do options+=("$1" "$2"); shift 2; done
    local group=$1 round=$2 builder=$3
    shift 3
    names=("$@")
    for i in "${!names[@]}"; do
        name=${names[$(( (i + round) % ${#names[@]} ))]}
        commands+=(-n "$name" "$($builder "$name")")
    done
    hyperfine -N --style none --runs 1 "${options[@]}" --export-json "$work/round.json" "${commands[@]}" >/dev/null 2>&1
    python3 - "$work/round.json" "$group" "$round" >>"$work/times.tsv" <<'PY'
import json, sys
for result in json.load(open(sys.argv[1]))["results"]:
    print(f'{sys.argv[2]}\t{result["command"]}\t{sys.argv[3]}\t{result["mean"]}')
PY
}
tree_command() { command_for "$1" "$tree"; }

: >"$work/memory.tsv"
for name in wide deep usr; do
    running "$name" || continue
    tree=$trees/$name
    [[ $name == usr ]] && tree=/usr
    for tool in "${order[@]}"; do $(command_for "$tool" "$tree") >/dev/null 2>&1 || true; done  # warm the cache
    for round in $(seq "$runs"); do time_round "$name" "$round" tree_command "${order[@]}"; done
    for tool in "${order[@]}"; do
        /usr/bin/time -f '%M' -o "$work/kb" $(command_for "$tool" "$tree") >/dev/null 2>&1 || true
        kb=$(tail -n 1 "$work/kb")
        printf '%s\t%s\t%s\n' "$name" "$tool" "$kb" >>"$work/memory.tsv"
    done
done

# The wide tree with a cold cache: every run of every command starts with the
# kernel's caches dropped.
cold_order=(heapwise jobs1 du)
[[ -n $baseline ]] && cold_order+=(baseline)
if running cold && [[ -w /proc/sys/vm/drop_caches ]]; then
    printf '#!/bin/sh\nsync\necho 3 >/proc/sys/vm/drop_caches\n' >"$work/drop-caches"
    chmod +x "$work/drop-caches"
    tree=$trees/wide
    for round in $(seq "$cold_runs"); do
        time_round --prepare "$work/drop-caches" cold "$round" tree_command "${cold_order[@]}"
    done
fi

# One folder of 300,000 files: its entries are queried by several walkers.
if running flat; then
    tree=$trees/flat
    for tool in "${cold_order[@]}"; do $(command_for "$tool" "$tree") >/dev/null 2>&1; done
    for round in $(seq "$runs"); do time_round flat "$round" tree_command "${cold_order[@]}"; done
    for tool in "${cold_order[@]}"; do
        /usr/bin/time -f '%M' -o "$work/kb" $(command_for "$tool" "$tree") >/dev/null 2>&1 || true
        printf '%s\t%s\t%s\n' flat "$tool" "$(tail -n 1 "$work/kb")" >>"$work/memory.tsv"
    done
fi

# A share over the network: /usr/share/doc served by an sshd of our own on
# the loopback (a key made for it, nothing else let in), mounted with sshfs
# through the latency proxy, caches off so each question goes over the wire.
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
if running share; then
    ssh_dir=$work/ssh
    mkdir -p "$ssh_dir" /run/sshd
    ssh-keygen -q -t ed25519 -N '' -f "$ssh_dir/host_key"
    ssh-keygen -q -t ed25519 -N '' -f "$ssh_dir/user_key"
    cp "$ssh_dir/user_key.pub" "$ssh_dir/authorized_keys"
    sshd_port=$(free_port)
    proxy_port=$(free_port)
    printf '%s\n' "ListenAddress 127.0.0.1" "Port $sshd_port" "HostKey $ssh_dir/host_key" \
        "AuthorizedKeysFile $ssh_dir/authorized_keys" "PidFile $ssh_dir/sshd.pid" "PermitRootLogin prohibit-password" \
        "StrictModes no" "UsePAM no" "Subsystem sftp internal-sftp" >"$ssh_dir/sshd_config"
    /usr/sbin/sshd -D -e -f "$ssh_dir/sshd_config" 2>"$ssh_dir/sshd.log" &
    sshd=$!
    "$latency_proxy" "$proxy_port" "$sshd_port" 1000 &
    proxy=$!
    share=$work/share
    mkdir -p "$share"
    for _ in $(seq 50); do
        sshfs -o ssh_command="ssh -i $ssh_dir/user_key -o UserKnownHostsFile=/dev/null -o StrictHostKeyChecking=no -o LogLevel=ERROR -p $proxy_port" \
            -o dir_cache=no "$(id -un)@127.0.0.1:/usr/share/doc" "$share" 2>/dev/null && break
        sleep 0.2
    done
    mountpoint -q "$share"
    share_order=(heapwise du gdu)
    [[ -n $baseline ]] && share_order+=(baseline)
    tree=$share
    [[ $(find "$share" -mindepth 1 | wc -l) == $(find /usr/share/doc -mindepth 1 | wc -l) ]]
    for round in $(seq "$share_runs"); do time_round share "$round" tree_command "${share_order[@]}"; done
    fusermount3 -u "$share"
    share=
    kill "$proxy" "$sshd"
    proxy= sshd=
fi

# The Windows program under Wine, on the quarter-size wide tree: its dialog
# against the same request with no window, and the request's walkers.
if running wine; then
source tools/wine-env.sh
export WINEPREFIX=${XDG_CACHE_HOME:-$HOME/.cache}/$wine_prefix_name-bench
mkdir -p "$(dirname "$WINEPREFIX")"
wine_make_prefix
wineserver -p &
wine_tree="Z:$(echo "$trees/quarter" | tr / '\\')"
wine_order=(dialog bare jobs1 jobs2)
wine_command_for() {  # variant
    case $1 in
        dialog) echo "$wine_loader $window_exe '$wine_tree'" ;;
        bare) echo "$wine_loader $window_exe --no-window '$wine_tree'" ;;
        jobs1) echo "$wine_loader $window_exe --no-window --jobs 1 '$wine_tree'" ;;
        jobs2) echo "$wine_loader $window_exe --no-window --jobs 2 '$wine_tree'" ;;
    esac
}
for variant in "${wine_order[@]}"; do $(wine_command_for "$variant") >/dev/null 2>&1; done
for round in $(seq "$wine_runs"); do time_round wine "$round" wine_command_for "${wine_order[@]}"; done
fi

# What the worker, the lock and the progress line cost: the bare walk, and
# the program with its progress line on a terminal, against the program alone
# (one walker each, so the bare walk compares like with like).
overhead=()
running wide && for variant in bare program terminal; do
    case $variant in
        bare) cmd="script -qfec '$bare_walk $trees/wide' /dev/null" ;;
        program) cmd="script -qfec '$heapwise --print --jobs 1 $trees/wide 2>/dev/null' /dev/null" ;;
        terminal) cmd="script -qfec '$heapwise --print --jobs 1 $trees/wide' /dev/null" ;;
    esac
    overhead+=(-n "$variant" "$cmd")
done
if running wide; then
    hyperfine --style none --warmup 1 --runs "$runs" --export-json "$work/overhead.json" "${overhead[@]}" >/dev/null 2>&1
fi
/usr/bin/time -f '%M' -o "$work/kb" "$heapwise" --print "$trees/quarter" >/dev/null
quarter_kb=$(tail -n 1 "$work/kb")
quarter_entries=$(find "$trees/quarter" -mindepth 1 | wc -l)
wide_entries=$(find "$trees/wide" -mindepth 1 | wc -l)
deep_entries=$(find "$trees/deep" -mindepth 1 | wc -l)
usr_entries=$(find /usr -mindepth 1 | wc -l)
flat_entries=$(find "$trees/flat" -mindepth 1 | wc -l)
share_entries=$(find /usr/share/doc -mindepth 1 | wc -l)

# System calls per entry on a small tree.
small=$work/small
mkdir -p "$small/a/b" "$small/c"
for i in $(seq 100); do : >"$small/a/f$i"; : >"$small/c/.g$i"; done
strace -f -c -o "$work/strace.txt" "$heapwise" --print "$small" >/dev/null

python3 - "$work" "$results" "$chart" "$runs" "$(date -u +%Y-%m-%d)" \
    "$(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo), $(uname -sr), $(. /etc/os-release; echo "$PRETTY_NAME")" \
    "$wide_entries" "$deep_entries" "$usr_entries" "$quarter_entries" "$quarter_kb" "$cold_runs" "$wine_runs" \
    "$flat_entries" "$share_entries" "$share_runs" <<'PY'
import json, os, statistics, subprocess, sys
from collections import defaultdict
work, results, chart, runs, day, machine = sys.argv[1:7]
entries = {"wide": int(sys.argv[7]), "deep": int(sys.argv[8]), "usr": int(sys.argv[9]),
           "flat": int(sys.argv[14]), "share": int(sys.argv[15])}
quarter_entries, quarter_kb, cold_runs, wine_runs = int(sys.argv[10]), int(sys.argv[11]), sys.argv[12], sys.argv[13]
share_runs = sys.argv[16]
labels = {"heapwise": "heapwise --print", "jobs1": "heapwise --print --jobs 1", "du": "du -sb",
          "find": "find -printf '%s\\n'", "gdu": "gdu -n -p", "ncdu": "ncdu -0 -o /dev/null",
          "calls": "bench/calls_only", "window": "the window (Qt, Xvfb)", "baseline": "baseline --print"}
times = defaultdict(dict)
for line in open(f"{work}/times.tsv"):
    tree, tool, round_, seconds = line.split("\t")
    times[(tree, tool)][int(round_)] = float(seconds)
memory = {}
for line in open(f"{work}/memory.tsv"):
    tree, tool, kb = line.split("\t")
    memory[(tree, tool)] = int(kb)
order = [tool for tool in labels if any(key[1] == tool for key in times)]

def paired(a, b):
    """The median of a's per-round ratio to b."""
    return statistics.median(a[r] / b[r] for r in a if r in b)

def timed(group):
    return [tool for tool in order if (group, tool) in times]

def memory_text(tree, tool):
    return f"{memory[(tree, tool)] / 1024:.1f} MiB" if (tree, tool) in memory else "-"

names = {"wide": "wide tree", "deep": "deep tree (120 levels)", "usr": "/usr", "flat": "flat folder",
         "share": "/usr/share/doc over sshfs, 1 ms each way"}
trees = {tree: name for tree, name in names.items() if tree in ("wide", "deep", "usr") and (tree, "du") in times}
out = [f"Measured {day} on {machine}; warm cache, {runs} alternating rounds, medians. Reproduce with `bench/run.sh`.", ""]
ratios = defaultdict(dict)
if trees:
    out.append("| Tree | Entries | Command | Median time | × du -sb (paired median) | Peak memory |")
    out.append("|---|---:|---|---:|---:|---:|")
for tree in trees:
    du = times[(tree, "du")]
    for tool in timed(tree):
        t = times[(tree, tool)]
        ratios[tree][tool] = paired(t, du)
        out.append(f"| {trees[tree]} | {entries[tree]:,} | `{labels[tool]}` | {statistics.median(t.values()):.3f} s"
                   f" | {ratios[tree][tool]:.3f} | {memory_text(tree, tool)} |")

windowed = [tree for tree in trees if (tree, "window") in times]
if windowed:
    out += ["", "The window from start to \"Ready\" (`bench/window_until_ready`: the window program on the tree, under Xvfb,"
            " ending once the count has ended and the window is up), against `heapwise --print` in the same rounds:", "",
            "| Tree | Window | `heapwise --print` | × `heapwise --print` (paired median) |", "|---|---:|---:|---:|"]
for tree in windowed:
    w, p = times[(tree, "window")], times[(tree, "heapwise")]
    out.append(f"| {trees[tree]} | {statistics.median(w.values()):.3f} s | {statistics.median(p.values()):.3f} s"
               f" | {paired(w, p):.3f} |")

def round_table(group, title):
    global out
    if (group, "du") not in times:
        return
    out += ["", title, "", "| Command | Median time | × du -sb (paired median) | Peak memory |", "|---|---:|---:|---:|"]
    for tool in timed(group):
        out.append(f"| `{labels[tool]}` | {statistics.median(times[(group, tool)].values()):.3f} s"
                   f" | {paired(times[(group, tool)], times[(group, 'du')]):.3f} | {memory_text(group, tool)} |")

round_table("cold", f"The wide tree with a cold cache (caches dropped before every run of every command, {cold_runs} rounds):")
round_table("flat", f"One folder of {entries['flat']:,} empty files ({runs} rounds): its entries are queried by several walkers:")
round_table("share", f"`/usr/share/doc` ({entries['share']:,} entries) over sshfs from an sshd on the loopback, through"
            f" `bench/latency_proxy` adding 1 ms each way ({share_runs} rounds): walkers by default for a network file system:")

if ("wine", "bare") in times:
    wine = {variant: times[("wine", variant)] for variant in ("dialog", "bare", "jobs1", "jobs2")}
    out += ["", f"{os.environ['HEAPWISE_BENCH_WINE']} on the quarter-size wide tree ({quarter_entries:,} entries), {wine_runs} alternating rounds"
            " (`bench/window_until_ready_win32.exe`, the program's own start-up and dialog, ending once the count has ended):", "",
            "| Variant | Median time | Paired median ratio |", "|---|---:|---:|"]
    out.append(f"| the dialog, walkers by default | {statistics.median(wine['dialog'].values()):.3f} s"
               f" | {paired(wine['dialog'], wine['bare']):.3f} × no window |")
    out.append(f"| the same request with no window | {statistics.median(wine['bare'].values()):.3f} s | 1.000 |")
    out.append(f"| no window, one walker (`--jobs 1`) | {statistics.median(wine['jobs1'].values()):.3f} s | 1.000 |")
    out.append(f"| no window, two walkers (`--jobs 2`) | {statistics.median(wine['jobs2'].values()):.3f} s"
               f" | {paired(wine['jobs2'], wine['jobs1']):.3f} × one walker |")

if os.path.exists(f"{work}/overhead.json"):
    overhead = {r["command"]: r for r in json.load(open(f"{work}/overhead.json"))["results"]}
    base = overhead["program"]["median"]
    out += ["", "What the worker, the lock and the progress line cost on the wide tree, one walker (each run under `script`, so standard error can be a terminal):", "",
            "| Variant | Median time | × the program |", "|---|---:|---:|"]
    variants = {"bare": "the walk alone on the main thread (`bench/bare_walk`)", "program": "`heapwise --print --jobs 1`, standard error not shown",
                "terminal": "`heapwise --print --jobs 1` with the progress line on the terminal"}
    for variant in ("bare", "program", "terminal"):
        out.append(f"| {variants[variant]} | {overhead[variant]['median']:.3f} s | {overhead[variant]['median'] / base:.3f} |")
if ("wide", "heapwise") in memory:
    out += ["", f"Peak memory of `heapwise --print`: {quarter_kb / 1024:.1f} MiB at {quarter_entries:,} entries, "
            f"{memory[('wide', 'heapwise')] / 1024:.1f} MiB at {entries['wide']:,} entries."]
calls = {}
for line in open(f"{work}/strace.txt"):
    parts = line.split()
    if len(parts) >= 5 and parts[-1].isidentifier() and parts[3].isdigit():
        calls[parts[-1]] = int(parts[3])
out += ["", "System calls on a small tree of 3 folders and 200 files (`strace -f -c`): "
        + ", ".join(f"{name} {calls[name]}" for name in ("newfstatat", "statx", "openat", "getdents64", "close") if name in calls) + "."]
open(results, "w").write("\n".join(out) + "\n")
if trees:
    data = f"{work}/chart.dat"
    charted = [tool for tool in order if all(tool in ratios[tree] for tree in trees)]
    with open(data, "w") as f:
        f.write("tree " + " ".join('"' + labels[t].replace("'%s\\n'", "%s") + '"' for t in charted) + "\n")
        for tree in trees:
            f.write(f'"{trees[tree]}" ' + " ".join(f"{ratios[tree][t]:.3f}" for t in charted) + "\n")
    script = f"""
set terminal pngcairo size 1000,480 font ',10' noenhanced
set output '{chart}'
set title 'Wall time relative to du -sb (lower is faster; warm cache, median of {runs})'
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set yrange [0:*]
set grid ytics
set key outside right top
set ylabel '× du -sb'
plot for [i=2:{len(charted) + 1}] '{data}' using i:xtic(1) title columnheader(i)
"""
    subprocess.run(["gnuplot"], input=script, text=True, check=True)
PY
cat "$results"
