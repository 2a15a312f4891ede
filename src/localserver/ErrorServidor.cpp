#include "localserver/ErrorServidor.h"

namespace kv::local {

ErrorServidor::ErrorServidor(int numero, QString mensaje, QString estadoSQL, int linea)
    : numero_(numero), mensaje_(std::move(mensaje)), estadoSQL_(std::move(estadoSQL)), linea_(linea) {
    texto_ = (QString::number(numero_) + QLatin1String(": ") + mensaje_).toStdString();
}

kv::db::ErrorBD ErrorServidor::ComoErrorBD(const QString& origen) const {
    kv::db::ErrorBD e;
    e.descripcion = mensaje_;
    e.errorNativo = numero_;
    e.estadoSQL = estadoSQL_;
    e.origen = origen;
    e.linea = linea_;
    return e;
}

}  // namespace kv::local
