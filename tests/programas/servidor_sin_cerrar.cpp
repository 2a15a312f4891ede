// Test helper: opens a connection to the embedded server (folder from
// KVESTV_DATOS) and ends the program without closing it, so the session is
// closed during the program's exit, after other statics may be gone.
// Usage: servidor_sin_cerrar estatica|principal
//   estatica:  a connection held by a function-local static object
//   principal: the process-wide DB_Dll instance, with no application object
//              (so nothing closes it before the statics are destroyed)
// Both create the database SINCERRAR (the folder must not have it yet), work
// in it and leave a transaction open.
// Exit status 0 when everything went as expected; a crash at exit shows as an
// abnormal end.

#include <cstdio>

#include "db/Conexion.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "localserver/ServidorEmbebido.h"
#include "util/KvError.h"

namespace {

const char* const kCadena = "PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =master;UId=Korvane;Pwd=pelumbo;";

void Preparar(kv::db::Conexion& c) {
    c.Open(QString::fromLatin1(kCadena));
    c.Execute(QStringLiteral("CREATE DATABASE SINCERRAR"));
    c.Execute(QStringLiteral("USE SINCERRAR"));
    c.Execute(QStringLiteral("CREATE TABLE T (N int NOT NULL)"));
    c.Execute(QStringLiteral("BEGIN TRANSACTION"));
    c.Execute(QStringLiteral("INSERT INTO T (N) VALUES (1)"));
}

kv::db::Conexion& Estatica() {
    static kv::db::Conexion c;
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    const QString modo = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    kv::local::RegistrarServidorEmbebido();
    try {
        if (modo == QLatin1String("estatica")) {
            Preparar(Estatica());
        } else if (modo == QLatin1String("principal")) {
            Preparar(kv::db::DB_Dll::Principal().gCnn);
        } else {
            std::fputs("uso: servidor_sin_cerrar estatica|principal\n", stderr);
            return 2;
        }
    } catch (const kv::KvExcepcion& e) {
        std::fprintf(stderr, "%d %s\n", e.error().numero, e.error().descripcion.toUtf8().constData());
        return 1;
    }
    return 0;
}
