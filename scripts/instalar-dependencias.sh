#!/usr/bin/env bash
# Installs, from Debian's packages, everything that building, running and testing need.
set -euo pipefail

paquetes=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-charts-dev qt6-datavisualization-dev qt6-declarative-dev libqt6opengl6-dev
    libgl1-mesa-dri xvfb xauth
    libsqlite3-dev sqlite3 libgif-dev
    unixodbc unixodbc-dev libsqliteodbc tdsodbc
    libssl-dev openssl freetds-bin python3-pyodbc
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    tango-icon-theme librsvg2-bin
    libxlsxwriter-dev qt6-translations-l10n
    python3-openpyxl poppler-utils
    xdotool python3 python3-pyatspi gir1.2-atspi-2.0 at-spi2-core dbus
    locales
)

# Node runs the tedious client tests; npm comes with Debian's nodejs packages, or
# already with a nodejs of the machine's own.
command -v node >/dev/null 2>&1 || paquetes+=(nodejs)
command -v npm >/dev/null 2>&1 || paquetes+=(npm)

faltan=()
for p in "${paquetes[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || faltan+=("$p")
done

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
if [ ${#faltan[@]} -gt 0 ]; then
    echo "Instalando: ${faltan[*]}"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${faltan[@]}" >/dev/null
fi

# The users' locale, so the real-input rounds run with LANG=es_AR.UTF-8 as at their sites
# (the program falls back to C.UTF-8 where it is missing, but the rounds read its marks).
if ! locale -a 2>/dev/null | grep -qix 'es_AR\.utf-\?8'; then
    if [ -f /etc/locale.gen ] && command -v locale-gen >/dev/null 2>&1; then
        $sudo_cmd sed -i 's/^# *\(es_AR\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -qx 'es_AR.UTF-8 UTF-8' /etc/locale.gen || echo 'es_AR.UTF-8 UTF-8' | $sudo_cmd tee -a /etc/locale.gen >/dev/null
        $sudo_cmd locale-gen >/dev/null
    else
        $sudo_cmd localedef -i es_AR -f UTF-8 es_AR.UTF-8
    fi
fi

# The ODBC drivers must be registered with the driver manager (the packages do it,
# but a minimal image may skip the triggers).
if ! odbcinst -q -d -n SQLite3 >/dev/null 2>&1; then
    printf '[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=libsqlite3odbc.so\nSetup=libsqlite3odbc.so\n' \
        | $sudo_cmd odbcinst -i -d -r >/dev/null
fi
if ! odbcinst -q -d -n FreeTDS >/dev/null 2>&1; then
    printf '[FreeTDS]\nDescription=TDS driver (Sybase/MS SQL)\nDriver=libtdsodbc.so\nSetup=libtdsS.so\n' \
        | $sudo_cmd odbcinst -i -d -r >/dev/null
fi

# tedious, a SQL Server client of its own (not FreeTDS), for the endpoint's client
# tests: into the folder tools/clientes-node owns, never system-wide.
carpeta_node="$(dirname "$0")/../tools/clientes-node"
if [ ! -d "$carpeta_node/node_modules/tedious" ]; then
    (cd "$carpeta_node" && npm install --no-audit --no-fund --loglevel=error >/dev/null)
fi
