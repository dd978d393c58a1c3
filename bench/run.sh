#!/usr/bin/env bash
# Runs every benchmark of bench/ (each *.sh here but this runner and the
# set-up) in name order and prints their tables. Figures are ratios measured
# in the same run, so they hold on a slower machine too.
# usage: bench/run.sh   (make bench installs and builds what they need first)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
echo "# Benchmarks: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(uptime | sed 's/.*load average/load average/')"
status=0
for script in "$here"/*.sh; do
  case "$(basename "$script")" in run.sh|setup.sh) continue ;; esac
  echo
  bash "$script" || { echo "benchmark $(basename "$script") FAILED"; status=1; }
done
exit $status
