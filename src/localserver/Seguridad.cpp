#include "localserver/Seguridad.h"

#include "localserver/Errores.h"

namespace kv::local {

bool EsClavePorOmision(const QString& login, const QString& clave) {
    const QString l = login.trimmed();
    return (l.compare(QLatin1String(AdministradorInicial), Qt::CaseInsensitive) == 0 &&
            clave == QLatin1String(ClaveAdministradorInicial)) ||
           (l.compare(QLatin1String(LoginAlmacen), Qt::CaseInsensitive) == 0 &&
            clave == QLatin1String(ClaveAlmacenInicial));
}

bool PuedeFijarClaveSinAnterior(Catalogo& c, const QString& actor, const QString& objetivo) {
    if (!c.TieneRolServidor(actor, QStringLiteral("securityadmin"))) return false;
    if (c.TieneRolServidor(objetivo, QStringLiteral("sysadmin")))
        return c.TieneRolServidor(actor, QStringLiteral("sysadmin"));
    return true;
}

std::optional<ErrorServidor> RechazoDeInicio(const SolicitudInicio& solicitud) {
    if (!solicitud.remota || !EsClavePorOmision(solicitud.login, solicitud.clave)) return std::nullopt;
    // Everybody knows these passwords: from another machine they would open the server.
    return ErrorServidor(
        18488,
        QStringLiteral("Error de inicio de sesión del usuario '%1'. Motivo: la contraseña es todavía la de "
                       "omisión, que conoce cualquiera, y este servidor atiende a otros equipos. Cámbiela desde "
                       "este mismo equipo: kvsql -S EMBEBIDO -U %1 -Q \"ALTER LOGIN [%1] WITH PASSWORD = "
                       "'clave nueva' OLD_PASSWORD = 'clave actual'\" (y, para el almacén de estadísticas, la clave "
                       "ClaveAlmacen de CN000pr.INI en cada puesto).")
            .arg(solicitud.login.trimmed()),
        QString::fromLatin1(estado::InicioSesion));
}

}  // namespace kv::local
