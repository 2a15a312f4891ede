#!/usr/bin/env bash
# Makes the action toolbar's icon strips, src/ui/iconos/ABM2021*.bmp (eight 32x32
# images in button order: new, delete, report, query, sheet, cancel, save, close),
# from the Tango icon theme packaged by Debian (tango-icon-theme, public domain).
# One strip per skin, each tinted. The generated files are committed; run this
# only to make them again.
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
bash "$raiz/scripts/instalar-dependencias.sh"
tango=/usr/share/icons/Tango/32x32
cmake --preset default -S "$raiz" >/dev/null
cmake --build "$raiz/build" --target generar_tiras
"$raiz/build/generar_tiras" "$raiz/src/ui/iconos" \
    "$tango/actions/document-new.png" \
    "$tango/actions/edit-delete.png" \
    "$tango/actions/document-print.png" \
    "$tango/actions/system-search.png" \
    "$tango/mimetypes/x-office-spreadsheet.png" \
    "$tango/actions/process-stop.png" \
    "$tango/actions/document-save.png" \
    "$tango/actions/system-log-out.png"
