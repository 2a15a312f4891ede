// Test helper: writes N rows into a table of the embedded server (folder from
// KVESTV_DATOS), one statement per row, some inside transactions, as a second
// viewer on the same folder would. Exit status 0 when every row went in.
// Usage: servidor_escritor <base> <tabla> <etiqueta> <filas>

#include <QCoreApplication>
#include <QTextStream>

#include "db/Conexion.h"
#include "db/Recordset.h"
#include "localserver/ServidorEmbebido.h"
#include "util/KvError.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList a = app.arguments();
    if (a.size() < 5) {
        err << "uso: servidor_escritor base tabla etiqueta filas\n";
        return 2;
    }
    kv::local::RegistrarServidorEmbebido();
    kv::db::Conexion c;
    try {
        c.Open(QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =%1;UId=Korvane;Pwd=pelumbo;").arg(a[1]));
        const int filas = a[4].toInt();
        for (int i = 0; i < filas; ++i) {
            const QString insertar =
                QStringLiteral("INSERT INTO %1 (Quien, N) VALUES ('%2', %3)").arg(a[2], a[3]).arg(i);
            // Every fifth row goes through a transaction that spans two batches.
            if (i % 5 == 0) {
                c.Execute(QStringLiteral("BEGIN TRAN"));
                c.Execute(insertar);
                c.Execute(QStringLiteral("COMMIT TRAN"));
            } else {
                c.Execute(insertar);
            }
        }
    } catch (const kv::KvExcepcion& e) {
        err << e.error().numero << " " << e.error().descripcion << "\n";
        return 1;
    }
    return 0;
}
