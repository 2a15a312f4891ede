#pragma once
// How the rows of a query reach the client, whichever route computed them:
// column names as the engine names them, ADO types and sizes of the table
// columns they come from, values converted to the declared type; columns
// that are expressions take the type of their values.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

#include "db/Proveedor.h"

struct sqlite3_stmt;

namespace kv::local {

class BaseSqlite;

class FormaResultado {
  public:
    // Reads the columns of a prepared statement; `tiposExpresiones` are the
    // types the translator gave the select list's expressions (a sum of money
    // is money), empty where it gave none.
    FormaResultado(BaseSqlite& base, sqlite3_stmt* st, const std::vector<QString>& tiposExpresiones = {});

    int Columnas() const { return int(columnas_.size()); }
    // A value of column `i` as the engine gave it, as the client gets it.
    QVariant Valor(int i, QVariant crudo) const;
    // The same, in place.
    void Ajustar(int i, QVariant& valor) const;
    // Puts the columns in `r`, the types of expression columns taken from its rows.
    void Completar(kv::db::ResultadoSentencia& r) const;

  private:
    std::vector<kv::db::ColumnaResultado> columnas_;
    // What a value of each column goes through, worked out once from its declared type.
    enum class Conversion : unsigned char { Ninguna, Fecha, Bit, Dinero, Real, Real4, Decimal };
    static Conversion ConversionDe(const QString& tipo);
    std::vector<Conversion> conversiones_;
    std::vector<bool> declarada_;
};

}  // namespace kv::local
