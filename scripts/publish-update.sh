#!/usr/bin/env bash
# Builds torvel.cab, the archive torvel downloads as its data update, from a
# folder of data files (selecoes.xml, jogos.xml and anything else to ship).
# usage: scripts/publish-update.sh DATA_FOLDER OUTPUT_FOLDER
# The archive is written to OUTPUT_FOLDER/torvel/torvel.cab, the path torvel
# asks the update server for.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 DATA_FOLDER OUTPUT_FOLDER" >&2; exit 2; }
data=$(cd "$1" && pwd)
mkdir -p "$2/torvel"
out=$(cd "$2/torvel" && pwd)/torvel.cab
for required in selecoes.xml jogos.xml; do
  [ -f "$data/$required" ] || { echo "$data/$required is missing" >&2; exit 1; }
done
rm -f "$out"
(cd "$data" && find . -type f ! -name '*.cab' -printf '%P\n' | sort | xargs -d '\n' gcab -c "$out")
gcab -t "$out"
echo "written: $out"
