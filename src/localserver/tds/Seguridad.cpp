#include "localserver/tds/Seguridad.h"

#include <algorithm>

namespace kv::tds {

namespace {

constexpr auto kOlvido = std::chrono::minutes(15);
constexpr auto kPrimeraEspera = std::chrono::milliseconds(250);
constexpr auto kEsperaMaxima = std::chrono::milliseconds(8000);

bool EsLocal(const QHostAddress& d) {
    if (d.isLoopback()) return true;
    // An IPv4 address seen through an IPv6 socket.
    bool ok = false;
    const quint32 v4 = d.toIPv4Address(&ok);
    return ok && (v4 >> 24) == 127;
}

}  // namespace

std::optional<QString> MotivoParaNoEscuchar(const QHostAddress& direccion, bool hayCertificado) {
    if (direccion.isNull())
        return QStringLiteral("La dirección '%1' no es una dirección IP.").arg(direccion.toString());
    if (EsLocal(direccion) || hayCertificado) return std::nullopt;
    return QStringLiteral(
               "Para escuchar en %1 hacen falta --certificado y --clave: fuera de esta máquina los inicios "
               "de "
               "sesión viajan cifrados.")
        .arg(direccion.toString());
}

bool ExigeCifrado(const QHostAddress& cliente) { return !EsLocal(cliente); }

void FrenoInicios::Olvidar(Reloj::time_point ahora) {
    for (auto it = cuentas_.begin(); it != cuentas_.end();) {
        if (ahora - it->second.ultimo > kOlvido)
            it = cuentas_.erase(it);
        else
            ++it;
    }
}

std::chrono::milliseconds FrenoInicios::Espera(const QString& direccion, Reloj::time_point ahora) {
    std::lock_guard<std::mutex> g(cerrojo_);
    Olvidar(ahora);
    const auto it = cuentas_.find(direccion);
    if (it == cuentas_.end() || it->second.fallos == 0) return std::chrono::milliseconds(0);
    auto espera = kPrimeraEspera;
    for (int i = 1; i < it->second.fallos && espera < kEsperaMaxima; ++i) espera *= 2;
    return std::min(espera, kEsperaMaxima);
}

void FrenoInicios::Fallo(const QString& direccion, Reloj::time_point ahora) {
    std::lock_guard<std::mutex> g(cerrojo_);
    Olvidar(ahora);
    // The table stays small whatever a client sends: addresses are few, and
    // the oldest is dropped past a bound.
    if (cuentas_.size() >= 10000 && !cuentas_.count(direccion)) {
        auto viejo = std::min_element(cuentas_.begin(), cuentas_.end(), [](const auto& a, const auto& b) {
            return a.second.ultimo < b.second.ultimo;
        });
        cuentas_.erase(viejo);
    }
    Cuenta& c = cuentas_[direccion];
    c.fallos = std::min(c.fallos + 1, 1000);
    c.ultimo = ahora;
}

void FrenoInicios::Exito(const QString& direccion) {
    std::lock_guard<std::mutex> g(cerrojo_);
    cuentas_.erase(direccion);
}

int FrenoInicios::Fallos(const QString& direccion, Reloj::time_point ahora) {
    std::lock_guard<std::mutex> g(cerrojo_);
    Olvidar(ahora);
    const auto it = cuentas_.find(direccion);
    return it == cuentas_.end() ? 0 : it->second.fallos;
}

}  // namespace kv::tds
