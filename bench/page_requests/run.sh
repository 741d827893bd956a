#!/usr/bin/env bash
# Runs PageRequestsBench under Wine on a display of its own (the page is the browser library's
# scriptable page) and prints the ratio of the two rates:
#   bench/page_requests/run.sh BUILD_DIR
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
work="$build/bench-page-requests"
mkdir -p "$work"
# shellcheck source=bench/wine_session.sh
source "$root/bench/wine_session.sh"
bench_wine_session "$work/scratch"
out="$work/result.txt"
TARVO_BROWSER_PAGE=scriptable "$root/scripts/wine-run" "$build/bin/PageRequestsBench.exe" | tee "$out"
window=$(sed -n 's/^BM_PageRequestsThroughTheWindow.*items_per_second=\([0-9.]*\)\([kM]\?\)\/s.*/\1\2/p' "$out")
alone=$(sed -n 's/^BM_CjsonParseOnly.*items_per_second=\([0-9.]*\)\([kM]\?\)\/s.*/\1\2/p' "$out")
python3 - "$window" "$alone" <<'PY'
import sys
def value(text):
    scale = {"k": 1e3, "M": 1e6}.get(text[-1:], 1)
    return float(text.rstrip("kM")) * scale
window, alone = value(sys.argv[1]), value(sys.argv[2])
print(f"requests per second, through the window / cJSON alone: {window:.0f} / {alone:.0f}"
      f" = 1 / {alone / window:.1f}")
PY
