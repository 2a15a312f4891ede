#pragma once
// The TDS endpoint of the embedded server: listens on one address, and gives
// every connection its own thread and its own session of the embedded
// server. It only frames and unframes; every statement runs through the same
// session code as a direct call.

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

#include "localserver/tds/Seguridad.h"

namespace kv::tds {

class ContextoTls;

struct OpcionesServidor {
    QString direccion = QStringLiteral("127.0.0.1");
    quint16 puerto = 1433;  // 0 takes a free one (see Puerto())
    QString certificado;    // PEM files; both or neither
    QString clave;
    int maximoConexiones = 64;
    // Largest request a client may send, in bytes (SQL batch or call).
    qint64 maximoPeticion = 64ll * 1024 * 1024;
    // Seconds a client has to finish its login.
    int esperaInicio = 30;
    // One line per event (connections, logins, their failures, ends). Never a password.
    std::function<void(const QString&)> registro;
};

class ServidorTds {
  public:
    explicit ServidorTds(OpcionesServidor opciones);
    ~ServidorTds();
    ServidorTds(const ServidorTds&) = delete;
    ServidorTds& operator=(const ServidorTds&) = delete;

    // Binds and listens. Throws std::runtime_error with a Spanish message.
    void Iniciar();
    quint16 Puerto() const { return puerto_; }
    // Accepts connections until Detener; returns then, once every connection has ended.
    void Atender();
    // From any thread or a signal's watcher: stops accepting and ends the connections.
    void Detener();
    int ConexionesActivas() const { return activas_.load(); }
    // Stack of each connection's thread: the front end walks the deepest batch
    // it accepts within a few megabytes; this leaves room to spare.
    static constexpr std::size_t kPilaConexion = std::size_t{16} << 20;

    // Used by each connection.
    void Registrar(const QString& linea) const;
    FrenoInicios& freno() { return freno_; }
    ContextoTls* tls() const { return tls_.get(); }
    const OpcionesServidor& opciones() const { return opciones_; }

  private:
    void AtenderConexion(int socket, const QString& cliente, bool clienteLocal, std::uint16_t spid);

    OpcionesServidor opciones_;
    std::unique_ptr<ContextoTls> tls_;
    FrenoInicios freno_;
    int escucha_ = -1;
    int aviso_[2] = {-1, -1};  // a pipe that wakes the accept loop
    quint16 puerto_ = 0;
    std::atomic<bool> detenido_{false};
    std::atomic<int> activas_{0};
    mutable std::mutex cerrojo_;
    std::condition_variable terminadas_;
    std::set<int> sockets_;
};

}  // namespace kv::tds
