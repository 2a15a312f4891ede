#pragma once
// What the endpoint's tests share: the endpoint on a free loopback port (in
// this process, or as `kvsql --servir` in a child), and connection strings of
// Debian's FreeTDS ODBC driver to it.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <thread>

#include "localserver/tds/ServidorTds.h"

namespace kv::pruebas {

// The endpoint on 127.0.0.1 and a port the system picks, over $KVESTV_DATOS, in a thread of its own.
class EndpointEnProceso {
  public:
    // On 127.0.0.1, or on `direccion` (a test of what the endpoint does off the loopback).
    explicit EndpointEnProceso(kv::tds::OpcionesServidor opciones = {},
                               const QString& direccion = QStringLiteral("127.0.0.1"));
    ~EndpointEnProceso();
    quint16 puerto() const { return servidor_->Puerto(); }
    // The log lines so far.
    QStringList Registro() const;
    kv::tds::ServidorTds& servidor() { return *servidor_; }

  private:
    mutable std::mutex cerrojo_;
    QStringList lineas_;
    std::unique_ptr<kv::tds::ServidorTds> servidor_;
    std::thread hilo_;
};

// `kvsql --servir --puerto 0` as a child process over the given data folder.
class EndpointHijo {
  public:
    explicit EndpointHijo(const QString& carpetaDatos, const QStringList& extra = {});
    ~EndpointHijo();
    quint16 puerto() const { return puerto_; }
    qint64 pid() const { return proceso_.processId(); }
    QString errores();

  private:
    QProcess proceso_;
    quint16 puerto_ = 0;
};

// A FreeTDS ODBC connection string to the endpoint.
QString CadenaFreeTds(quint16 puerto, const QString& base, const QString& usuario, const QString& clave);

// The suite's server name for the endpoint: "127.0.0.1,port".
QString ServidorTcp(quint16 puerto);

// An SQL trace file without what differs by nature between two runs: the time of
// each statement, how long it took and the server's name.
QString TrazaComparable(const QString& ruta);

}  // namespace kv::pruebas
