#pragma once
// Who may do what with logins and passwords, and the decision taken on every
// login request before a session opens.

#include <QString>
#include <optional>

#include "localserver/Catalogo.h"
#include "localserver/ErrorServidor.h"

namespace kv::local {

// The statistics store's login and the password every installation starts with.
inline constexpr const char* LoginAlmacen = "KV_ESTADISTICAS";
inline constexpr const char* ClaveAlmacenInicial = "QZ_TABLEROVENTA";

// Whether the password is still the one compiled into the programs for that
// login (the initial administrator's, the statistics store's).
bool EsClavePorOmision(const QString& login, const QString& clave);

// Whether `actor` may set the password of `objetivo` without giving the old one:
// securityadmin may, but only a sysadmin resets a sysadmin's password.
bool PuedeFijarClaveSinAnterior(Catalogo& c, const QString& actor, const QString& objetivo);

// Disabled logins (ALTER LOGIN ... DISABLE): their password still checks, but
// the login is refused with 18470. Kept in a catalog table of their own, made
// the first time a login is disabled.
inline constexpr int LoginDeshabilitadoNumero = 18470;
QString MensajeLoginDeshabilitado(const QString& login);
bool LoginDeshabilitado(Catalogo& c, const QString& login);
void HabilitarLogin(Catalogo& c, const QString& login, bool habilitado);

// A login request as the server receives it.
struct SolicitudInicio {
    QString login;
    QString clave;
    QString base;
    // The request comes from another machine (a network endpoint off the loopback).
    bool remota = false;
};

// What is decided once the password proved right: from another machine, a
// login whose password is still a default one is refused (18488) with a
// message that says how to change it. Nothing when the login may go on.
std::optional<ErrorServidor> RechazoDeInicio(const SolicitudInicio& solicitud);

}  // namespace kv::local
