#pragma once
// The filters a load applies beyond its month range, as the user reads them:
// the level filters of the levels that have a grouping field, and the companies
// when they are not just the current one. The window counts them on its
// "Filtros" button and names them under the chart's title, so none acts unseen.

#include <QString>
#include <QStringList>

#include "stats/ConsultaCarga.h"

namespace kv::stats {

// One text per active filter, level 1 to 3 (values, then the range), then the companies.
QStringList FiltrosActivos(const EntradaCarga& entrada, const QString& empresaActual);

// "Filtros: A; B" (empty when there is none).
QString SubtituloFiltros(const QStringList& filtros);

}  // namespace kv::stats
