#pragma once
// What keeps the endpoint safe on a network: when a connection must be
// encrypted, and how failed logins slow down the address they come from.

#include <QHostAddress>
#include <QString>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>

namespace kv::tds {

// Whether the endpoint may listen on `direccion`: a loopback address always; any
// other only with a certificate and its key, so logins can be encrypted. The
// Spanish reason when it may not.
std::optional<QString> MotivoParaNoEscuchar(const QHostAddress& direccion, bool hayCertificado);

// Whether a connection from `cliente` must be encrypted before its login: any
// address but the loopback one, so that no password leaves the machine in clear.
bool ExigeCifrado(const QHostAddress& cliente);

// Failed logins per address: each one makes the next answer to that address
// wait longer (a quarter of a second, doubling up to eight seconds); a
// successful login, or a quarter of an hour without failures, forgets them.
class FrenoInicios {
  public:
    using Reloj = std::chrono::steady_clock;
    // How long to wait before answering a login from the address.
    std::chrono::milliseconds Espera(const QString& direccion, Reloj::time_point ahora = Reloj::now());
    void Fallo(const QString& direccion, Reloj::time_point ahora = Reloj::now());
    void Exito(const QString& direccion);
    int Fallos(const QString& direccion, Reloj::time_point ahora = Reloj::now());

  private:
    struct Cuenta {
        int fallos = 0;
        Reloj::time_point ultimo{};
    };
    void Olvidar(Reloj::time_point ahora);
    std::mutex cerrojo_;
    std::map<QString, Cuenta> cuentas_;
};

}  // namespace kv::tds
