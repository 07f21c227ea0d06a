#!/usr/bin/env bash
# Installs what is missing, builds Tidewell and starts its window (on $WINEPREFIX, ~/.wine or
# the demo prefix; --prefix DIR chooses another). Without a display it runs the command line
# instead: scripts/run.sh scan, scripts/run.sh reg query 'HKEY_CURRENT_USER\Software', ...
set -euo pipefail
cd "$(dirname "$0")/.."
# Set-up and build talk on standard error, so that the command line's output stays clean
# (scripts/run.sh --cli scan --json | jq ...).
scripts/install-deps.sh >&2
scripts/build.sh >&2
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${1:-}" != "--cli" ]; then
    exec build/src/gui/tidewell "$@"
fi
[ "${1:-}" = "--cli" ] && shift
echo "(no display: running the command line; see tidewell-cli --help)" >&2
exec build/src/cli/tidewell-cli "$@"
