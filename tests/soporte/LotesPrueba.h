#pragma once
// Batches run by the tests of the embedded server, directly or through its TDS
// endpoint: the results, with any error failing the test where it happened.

#include <gtest/gtest.h>

#include <QString>
#include <vector>

#include "db/Conexion.h"
#include "util/KvError.h"

namespace kv::pruebas {

// Runs a batch and returns its results; fails the test on any error.
inline std::vector<kv::db::ResultadoSentencia> LoteSinErrores(kv::db::Conexion& c, const QString& sql) {
    try {
        auto r = c.EjecutarLote(sql);
        for (const auto& x : r)
            if (x.error)
                ADD_FAILURE() << x.error->errorNativo << " " << x.error->descripcion.toStdString() << "\n"
                              << sql.toStdString();
        return r;
    } catch (const kv::KvExcepcion& e) {
        ADD_FAILURE() << "el lote falló entero: " << e.what() << "\n" << sql.toStdString();
        return {};
    }
}

// The ten digits 0..9 into `tabla` (one int column), the seed of the tests' large tables.
inline QString LoteDiezDigitos(const QString& tabla = QStringLiteral("N")) {
    QString sql;
    for (int i = 0; i < 10; ++i) sql += QStringLiteral("INSERT INTO %1 VALUES (%2) ").arg(tabla).arg(i);
    return sql.trimmed();
}

}  // namespace kv::pruebas
