#pragma once
// The program's own subcommands, dispatched by main() on their first option.
// Each takes the arguments that follow its option and returns the exit status.

#include <QStringList>

namespace kv::app {

// --demo [--lineas N] [--semilla S] [--admin USUARIO --clave CLAVE]: with the
// embedded server's administrator (the options, else KVESTV_ADMIN_USUARIO and
// KVESTV_ADMIN_CLAVE, else its first login) creates or refreshes the demo companies and
// statistics on the embedded server, then starts the viewer on the first one
// (without a display, prints the report of its first statistic instead).
int OrdenDemo(const QStringList& argumentos);

// --informe "NOMBRE" [--desde M/AAAA] [--hasta M/AAAA] [--empresas A,B] [--grupoN V1,V2]
// [--gNdesde X] [--gNhasta Y] [--top N] [--nombres] [--salida ARCHIVO] [--grilla ARCHIVO]
// [--xlsx ARCHIVO] [--pdf ARCHIVO] followed by
// the connection in the suite's command-line form: prints the chart rows of a stored
// statistic (--nombres adds a name column per level, --salida writes that same table,
// --grilla the grid export, --xlsx the spreadsheet, --pdf the printed pages). Companies
// outside the window's list, filters of levels the statistic lacks and arguments of
// more are bad options.
// `argumentos` are those after "--informe" (the name first). Exit status: 0 done
// (also when no group matched), 1 the server refused a query, the export file could
// not be written or an unexpected error stopped it, 2 bad options (the connection
// missing among them), 3 no connection, 4 no statistic of that name. Every path
// closes the store and ERP connections before returning.
int OrdenInforme(const QStringList& argumentos);

}  // namespace kv::app
