#pragma once
// The loaded grid recordset as the grid, the second chart and the pivot share
// it: a copy of its columns and rows taken after each load (with a name column
// right of each named level's code column), so the views never read a
// recordset that the next load is refilling.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

#include "db/Proveedor.h"
#include "stats/Carga.h"
#include "stats/Exportacion.h"
#include "stats/NombresGrupos.h"

namespace kv::db {
class Recordset;
}

namespace kv::ui {

struct DatosGrilla : kv::stats::TablaGrilla {
    kv::stats::ConfiguracionVistas vistas;                    // filter, category and value fields
    std::shared_ptr<const kv::stats::NombresGrupos> nombres;  // names of the codes (may be null)

    // Position of each group (its level codes) in the load's chart order, the
    // order of the definition's criteria; the second chart draws its groups so.
    QHash<QString, int> ordenCarga;
    static QString ClaveGrupo(const QStringList& codigos);

    // The level of a grouping column (0..2) by its name; -1 for any other column.
    int NivelDeColumna(const QString& nombre) const;
    // "code – name" of a value of a grouping column, the value alone elsewhere.
    QString EtiquetaDeValor(const QString& columna, const QString& valor) const;

    // An empty result when the recordset is closed.
    static std::shared_ptr<const DatosGrilla> DesdeRecordset(
        const kv::db::Recordset& registros, const kv::stats::ConfiguracionVistas& vistas, int decimales,
        std::shared_ptr<const kv::stats::NombresGrupos> nombres = nullptr,
        const std::array<QString, kv::stats::kNiveles>& titulos = {});
};

}  // namespace kv::ui
