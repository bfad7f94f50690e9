# Sourced by the Wine benchmarks: use_wine_prefix PREFIX makes PREFIX the private Wine prefix and
# keeps one Wine server running in it for every run (stopped when the script exits), so that no
# run pays for starting one; a server left running there is stopped first, since a second -p
# fails. Needs WINE, the wine64 to run, whose wineserver lies beside it.
use_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  local server
  server="$(dirname "$WINE")/wineserver"
  mkdir -p "$WINEPREFIX"
  "$server" -k 2>/dev/null || true
  "$server" -w
  "$server" -p
  # shellcheck disable=SC2064  # the server's path, now
  trap "'$server' -k 2>/dev/null || true" EXIT
  "$WINE" wineboot --init >/dev/null 2>&1
}
