#pragma once
// The loaded grid recordset as the grid, the second chart and the pivot share
// it: a copy of its columns and rows taken after each load, so the views never
// read a recordset that the next load is refilling.

#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

#include "db/Proveedor.h"
#include "stats/Carga.h"

namespace kv::db {
class Recordset;
}

namespace kv::ui {

struct DatosGrilla {
    std::vector<kv::db::ColumnaResultado> columnas;
    std::vector<std::vector<QVariant>> filas;
    kv::stats::ConfiguracionVistas vistas;  // filter, category and value fields
    int decimales = 2;                      // configured number of decimals

    // Index of a column by name, letter case ignored; -1 when absent.
    int Columna(const QString& nombre) const;
    bool EsNumerica(int columna) const;

    // An empty result when the recordset is closed.
    static std::shared_ptr<const DatosGrilla> DesdeRecordset(const kv::db::Recordset& registros,
                                                             const kv::stats::ConfiguracionVistas& vistas,
                                                             int decimales);
};

}  // namespace kv::ui
