#!/usr/bin/env bash
# Runs the page harness in the headless engine and checks its verdict.
#   run_page_test.sh <harness query> [engine flags...]
# Prints every failed check; exits 0 only when the harness reports PASS.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
query="${1:-}"
shift || true
engine="${TARVO_HEADLESS_ENGINE:-chromium-headless-shell}"
profile="$(mktemp -d)"
trap 'rm -rf "$profile"' EXIT

# --allow-file-access-from-files lets the harness reach into the page's frame (both are files).
dom="$("$engine" --headless --no-sandbox --disable-gpu --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$profile" --allow-file-access-from-files --virtual-time-budget=5000 \
  "$@" --dump-dom "file://$here/page_harness.html?$query" 2>"$profile/engine.log")" || {
  echo "the engine failed:" >&2
  cat "$profile/engine.log" >&2
  exit 1
}
verdict="$(grep -o '<div id="verdict">[^<]*' <<<"$dom" | sed 's/.*>//' || true)"
grep -o '<li class="fail">[^<]*' <<<"$dom" | sed 's/<li class="fail">/FAILED: /' || true
echo "verdict: ${verdict:-none}"
[[ "$verdict" == PASS* ]]
