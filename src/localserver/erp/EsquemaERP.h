#pragma once
// The ERP company database's schema (tables and views, no data), shipped with
// the program so that the embedded server can stand in for a company database
// in the demo, the tests and small installs.

#include <QString>
#include <QStringList>

namespace kv::db {
class Conexion;
}

namespace kv::local {

// The whole script, batches separated by GO lines.
QString TextoEsquemaERP();

// Splits a script into batches at lines that hold only "GO" (any case, blanks
// around it allowed). Batches that hold nothing but blanks and comments are dropped.
QStringList DividirLotesGO(const QString& guion);

// Runs every batch of `guion` on `conexion`, in order. The first failing batch
// throws (kv::KvExcepcion from Conexion::Execute) and the rest are not run.
void EjecutarGuion(kv::db::Conexion& conexion, const QString& guion);

// Creates the ERP schema in the connection's current database.
void CrearEsquemaERP(kv::db::Conexion& conexion);

}  // namespace kv::local
