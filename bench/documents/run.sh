#!/usr/bin/env bash
# Runs DocTransBench under Wine (Kelvarn.exe, the converter stand-in, beside it) and prints the
# ratio of a document through the client to the converter's start alone:
#   bench/documents/run.sh BUILD_DIR
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
work="$build/bench-documents"
mkdir -p "$work"

# shellcheck source=bench/wine_session.sh
source "$root/bench/wine_session.sh"
bench_wine_session "$work/scratch"
out="$work/result.txt"
"$root/scripts/wine-run" "$build/bin/DocTransBench.exe" | tee "$out"
alone=$(sed -n 's/^BM_ConverterStartAlone[^ ]*  *\([0-9.]*\) ms.*/\1/p' "$out")
client=$(sed -n 's/^BM_DocumentThroughClient[^ ]*  *\([0-9.]*\) ms.*/\1/p' "$out")
python3 - "$alone" "$client" <<'PY'
import sys
alone, client = float(sys.argv[1]), float(sys.argv[2])
print(f"through the client / converter start alone: {client:.1f} ms / {alone:.1f} ms = {client / alone:.2f}")
PY
