#pragma once
// What the T-SQL session tests share: the administrator's connection in a database
// of its own, and the rows and errors of a batch as short texts.

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "ServidorPrueba.h"

namespace kv::pruebas {

class SesionEnBase : public ServidorPrueba {
  protected:
    // Connects as the administrator, creates `base` and uses it.
    void AbrirEn(const QString& base) {
        c_ = Conectar();
        Lote(*c_, QStringLiteral("CREATE DATABASE ") + base);
        Lote(*c_, QStringLiteral("USE ") + base);
    }
    // Every row of every row set of a batch, its columns joined by '|'.
    QStringList Todo(kv::db::Conexion& c, const QString& sql) {
        QStringList s;
        for (const auto& r : Lote(c, sql))
            for (const auto& f : r.filas) {
                QStringList col;
                for (const auto& v : f) col << (v.isNull() ? QStringLiteral("NULL") : v.toString());
                s << col.join(QLatin1Char('|'));
            }
        return s;
    }
    QStringList Todo(const QString& sql) { return Todo(*c_, sql); }
    // The native numbers of every error of a batch, in order.
    std::vector<int> Errores(kv::db::Conexion& c, const QString& sql) {
        std::vector<int> n;
        try {
            for (const auto& r : c.EjecutarLote(sql))
                if (r.error) n.push_back(r.error->errorNativo);
        } catch (const kv::KvExcepcion&) {
            if (c.Errors().Count() > 0) n.push_back(c.Errors().Item(0).errorNativo);
        }
        return n;
    }
    std::unique_ptr<kv::db::Conexion> c_;
};

}  // namespace kv::pruebas
