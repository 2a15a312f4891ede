#include "localserver/Procedimientos.h"

#include <QHash>
#include <mutex>

namespace kv::local {

namespace {

// The registry lives as long as the process and is never destroyed, so that a
// connection closed during the program's exit still finds it whole.
std::mutex& Cerrojo() {
    static std::mutex& m = *new std::mutex;
    return m;
}

QHash<QString, Procedimiento>& Registro() {
    static QHash<QString, Procedimiento>& r = *new QHash<QString, Procedimiento>;
    return r;
}

QString Clave(const QString& nombre) {
    QString n = nombre.trimmed();
    if (n.startsWith(QLatin1Char('['))) n = n.mid(1);
    if (n.endsWith(QLatin1Char(']'))) n.chop(1);
    n = n.toUpper();
    if (n.startsWith(QLatin1String("DBO."))) n = n.mid(4);
    n.remove(QLatin1Char('['));
    n.remove(QLatin1Char(']'));
    return n;
}

}  // namespace

void RegistrarProcedimiento(const QString& nombre, Procedimiento funcion) {
    std::lock_guard<std::mutex> g(Cerrojo());
    Registro().insert(Clave(nombre), std::move(funcion));
}

void QuitarProcedimiento(const QString& nombre) {
    std::lock_guard<std::mutex> g(Cerrojo());
    Registro().remove(Clave(nombre));
}

Procedimiento BuscarProcedimiento(const QString& nombre) {
    std::lock_guard<std::mutex> g(Cerrojo());
    return Registro().value(Clave(nombre));
}

QString NombreProcedimiento(const QString& nombre) { return Clave(nombre); }

QStringList ProcedimientosRegistrados() {
    std::lock_guard<std::mutex> g(Cerrojo());
    QStringList l = Registro().keys();
    l.sort();
    return l;
}

}  // namespace kv::local
