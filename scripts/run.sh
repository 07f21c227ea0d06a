#!/usr/bin/env bash
# Installs what is missing, builds Tidewell and starts it. Arguments go to the program,
# for example: scripts/run.sh --prefix ~/.wine reg query 'HKEY_CURRENT_USER\Software'
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec build/src/cli/tidewell-cli "$@"
