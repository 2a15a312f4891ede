#pragma once
// kvsql --recuperar-catalogo: rebuilds the embedded server's catalog of a folder
// whose MASTER.db is lost or damaged, from the database files present, with a
// new administrator password that the operator types.

#include <QTextStream>

namespace kv::kvsql {

// Reads the password twice from `entrada` (without echo when it is a
// terminal, asking on `errores`), then rebuilds. Returns the exit status.
int RecuperarCatalogo(QTextStream& entrada, bool terminal, QTextStream& salida, QTextStream& errores);

}  // namespace kv::kvsql
