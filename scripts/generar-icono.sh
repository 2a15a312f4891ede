#!/usr/bin/env bash
# Makes the program's icon, src/access/recursos/kv_estv.png (128x128), from the
# Tango icon theme packaged by Debian (tango-icon-theme, public domain): its
# spreadsheet with a pie chart. The generated file is committed; run this only
# to make it again.
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
bash "$raiz/scripts/instalar-dependencias.sh"
origen=/usr/share/icons/Tango/scalable/mimetypes/x-office-spreadsheet.svg
destino="$raiz/src/access/recursos/kv_estv.png"
rsvg-convert --width 128 --height 128 --keep-aspect-ratio "$origen" --output "$destino"
echo "Icono generado: $destino"
