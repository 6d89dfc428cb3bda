#!/usr/bin/env bash
# Serves a folder made by publish-update.sh on 127.0.0.1, so that the web
# update of a torvel built with the default server address can be tried by hand.
# usage: scripts/serve-update.sh OUTPUT_FOLDER [PORT]   (default port 8080)
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 OUTPUT_FOLDER [PORT]" >&2; exit 2; }
exec python3 -m http.server "${2:-8080}" --bind 127.0.0.1 --directory "$1"
