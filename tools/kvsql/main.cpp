// kvsql: runs T-SQL batches against the embedded server or a SQL Server and
// prints every result, in the manner of sqlcmd.

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include <unistd.h>

#include "Consola.h"
#include "Recuperacion.h"
#include "localserver/ServidorEmbebido.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream salida(stdout);
    QTextStream errores(stderr);
    salida.setEncoding(QStringConverter::Utf8);
    errores.setEncoding(QStringConverter::Utf8);
    QString error;
    const auto opciones = kv::kvsql::LeerArgumentos(app.arguments().mid(1), &error);
    if (!opciones) {
        errores << error << '\n' << kv::kvsql::TextoUso();
        errores.flush();
        return 1;
    }
    if (opciones->recuperarCatalogo) {
        QTextStream entrada(stdin);
        entrada.setEncoding(QStringConverter::Utf8);
        return kv::kvsql::RecuperarCatalogo(entrada, isatty(STDIN_FILENO) != 0, salida, errores);
    }
    kv::local::RegistrarServidorEmbebido();
    return kv::kvsql::Ejecutar(*opciones, salida, errores);
}
