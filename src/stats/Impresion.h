#pragma once
// What a printed chart carries besides its bars: the header of every page
// (statistic, months, companies, active filters, date and time) and the
// "página n de m" footer, and how many rows go on each page.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "stats/ConsultaCarga.h"

namespace kv::stats {

// The header lines: "Estadística: ...", "Meses: 1/2024 a 6/2024", "Empresas: ...",
// "Filtros: ..." ("Filtros: ninguno" without one) and "Impreso el dd/MM/yyyy HH:mm".
QStringList EncabezadoImpresion(const QString& nombre, const EntradaCarga& entrada, const QDateTime& cuando);

// "página 2 de 5".
QString PiePagina(int pagina, int paginas);

// How many pages `filas` rows take at `porPagina` rows each (at least one page).
int CantidadPaginas(int filas, int porPagina);

}  // namespace kv::stats
