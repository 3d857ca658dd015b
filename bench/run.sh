#!/usr/bin/env bash
# Times fieldprep against jq on the same inputs, and a typical run against a
# minimal C++ program that writes four small files. Not part of the tests.
#   bash bench/run.sh [RUNS]     (timed runs per command, default 10)
#
# Inputs of 20 (typical), 1,000, 10,000 and 100,000 keys a side are made in
# build-bench/ by bench/generate.sh. Wall time is hyperfine's median; peak
# memory is the maximum resident set size that /usr/bin/time -v reports for
# one run. fieldprep takes its parameters on the command line, one argument
# per key, through bench/exec_args; jq reads both files and merges them with
# the configuration's values winning, as fieldprep does for keys of its own:
#   jq -S -s '.[1] * .[0]' QORConfiguration.json params.json
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}

for tool in hyperfine jq /usr/bin/time; do
  command -v "$tool" >/dev/null || {
    echo "bench needs $tool: apt-get install hyperfine jq time" >&2
    exit 1
  }
done

bash scripts/build.sh >/dev/null
out=build-bench
mkdir -p "$out"
g++ -O2 -Wall -Wextra bench/exec_args.cc -o "$out/exec_args"
g++ -O2 -Wall -Wextra bench/minimal_writer.cc -o "$out/minimal_writer"
# 100,000 keys make about 4 MB of arguments; the kernel allows a quarter of
# the stack limit.
ulimit -s 65536

# median_ms FILE: the median of hyperfine's JSON export, in milliseconds.
median_ms() { jq '.results[0].median * 1000' "$1"; }
# peak_kb COMMAND...: the maximum resident set size of one run, in KB.
peak_kb() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null |
    awk -F: '/Maximum resident set size/ {print $2 + 0}'
}
time_it() {  # time_it JSON [hyperfine options] COMMAND
  local json=$1
  shift
  hyperfine --style none --warmup 3 --runs "$runs" --export-json "$json" \
    "$@" >/dev/null
}

echo "| keys a side | fieldprep ms | jq ms | time ratio | fieldprep KB | jq KB | memory ratio |"
echo "|---|---|---|---|---|---|---|"
note=""
for keys in 20 1000 10000 100000; do
  dir=$out/$keys
  rm -rf "$dir"
  bash bench/generate.sh "$keys" "$dir/input"
  mkdir -p "$dir/app/tmp" "$dir/minimal"
  cp build/fieldprep "$dir/app/"
  config=$dir/input/QORConfiguration.json
  params=$dir/input/params.json
  prepare="cp $config $dir/app/QORConfiguration.json"
  fieldprep="cd $dir/app && TMPDIR=\$PWD/tmp ../../exec_args ../input/params.args ./fieldprep"

  time_it "$dir/fieldprep.json" --prepare "$prepare" "$fieldprep"
  time_it "$dir/jq.json" "jq -S -s '.[1] * .[0]' $config $params > $dir/jq-out.json"
  t_fp=$(median_ms "$dir/fieldprep.json")
  t_jq=$(median_ms "$dir/jq.json")
  eval "$prepare"
  m_fp=$(cd "$dir/app" && TMPDIR=$PWD/tmp peak_kb ../../exec_args ../input/params.args ./fieldprep)
  m_jq=$(peak_kb jq -S -s '.[1] * .[0]' "$config" "$params")
  awk -v n="$keys" -v tf="$t_fp" -v tj="$t_jq" -v mf="$m_fp" -v mj="$m_jq" \
    'BEGIN { printf "| %s | %.1f | %.1f | %.2f | %d | %d | %.2f |\n", n, tf, tj, tf / tj, mf, mj, mf / mj }'

  if [ "$keys" = 20 ]; then
    time_it "$dir/minimal.json" \
      "cd $dir/minimal && ../../exec_args ../input/params.args ../../minimal_writer"
    t_min=$(median_ms "$dir/minimal.json")
    note=$(awk -v tf="$t_fp" -v tm="$t_min" 'BEGIN { printf "Typical run (20 keys a side): fieldprep %.2f ms, minimal writer %.2f ms, ratio %.2f (target: at most 1.5).", tf, tm, tf / tm }')
  fi
done
echo
echo "$note"
echo "Targets at 100,000 keys: time ratio at most 0.5, memory ratio at most 1.0."
