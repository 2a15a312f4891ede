#pragma once
// kvsql --servir: the embedded server's folder offered to SQL Server clients
// through the TDS endpoint, until the process is told to stop.

#include <QStringList>
#include <QTextStream>

namespace kv::kvsql {

// Whether the command line asks to serve (its first argument is --servir).
bool PideServir(const QStringList& argumentos);
// Reads the serving options and serves; returns the exit status.
int Servir(const QStringList& argumentos, QTextStream& errores);

}  // namespace kv::kvsql
