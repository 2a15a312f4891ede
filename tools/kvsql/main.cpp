// kvsql: runs T-SQL batches against the embedded server or a SQL Server and
// prints every result, in the manner of sqlcmd.

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <cstdio>

#include <unistd.h>

#include "Consola.h"
#include "Recuperacion.h"
#include "Servir.h"
#include "localserver/ServidorEmbebido.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream salida(stdout);
    QTextStream errores(stderr);
    salida.setEncoding(QStringConverter::Utf8);
    errores.setEncoding(QStringConverter::Utf8);
    if (kv::kvsql::PideServir(app.arguments().mid(1))) {
        const int estado = kv::kvsql::Servir(app.arguments().mid(1), errores);
        errores.flush();
        return estado;
    }
    QString error;
    const auto opciones = kv::kvsql::LeerArgumentos(app.arguments().mid(1), &error);
    if (!opciones) {
        errores << error << '\n' << kv::kvsql::TextoUso();
        errores.flush();
        return 1;
    }
    if (opciones->ayuda) {
        salida << kv::kvsql::TextoUso();
        salida.flush();
        return 0;
    }
    if (opciones->recuperarCatalogo) {
        QTextStream entrada(stdin);
        entrada.setEncoding(QStringConverter::Utf8);
        return kv::kvsql::RecuperarCatalogo(entrada, isatty(STDIN_FILENO) != 0, salida, errores);
    }
    kv::kvsql::Opciones o = *opciones;
    if (!o.claveDada) {
        const auto clave = kv::kvsql::PedirClave();
        if (!clave) {
            errores << QStringLiteral("Falta la contraseña (-P) y no hay una terminal donde pedirla.")
                    << '\n';
            errores.flush();
            return 1;
        }
        o.clave = *clave;
    }
    kv::local::RegistrarServidorEmbebido();
    if (o.archivoSalida) {
        // Results and messages both go to the file, as with sqlcmd -o.
        QFile archivo(*o.archivoSalida);
        if (!archivo.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            errores << QStringLiteral("No se puede escribir el fichero '%1'.").arg(*o.archivoSalida) << '\n';
            errores.flush();
            return 1;
        }
        QTextStream alArchivo(&archivo);
        alArchivo.setEncoding(QStringConverter::Utf8);
        const int estado = kv::kvsql::Ejecutar(o, alArchivo, alArchivo);
        alArchivo.flush();
        return estado;
    }
    return kv::kvsql::Ejecutar(o, salida, errores);
}
