# Sourced by the benchmarks' run scripts (which set $root to the repository): one display and
# one Wine prefix of the run's own, stopped when the script exits.
#   source "$root/bench/wine_session.sh"
#   bench_wine_session "$work/scratch"
bench_wine_session() {
  export TARVO_SCRATCH="$1"
  mkdir -p "$TARVO_SCRATCH"
  # shellcheck source=scripts/env.sh
  source "$root/scripts/env.sh"
  unset DISPLAY
  trap tarvo_services_stop EXIT
  tarvo_display_start
  tarvo_wine_start
}
