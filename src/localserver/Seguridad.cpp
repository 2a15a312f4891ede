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

QString MensajeLoginDeshabilitado(const QString& login) {
    return QStringLiteral("Error de inicio de sesión del usuario '%1'. Motivo: la cuenta está deshabilitada.")
        .arg(login);
}

namespace {

bool HayTablaDeshabilitados(BaseSqlite& m) {
    return m.Escalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                    "name = 'kv_sys_logins_deshabilitados'"))
               .toInt() > 0;
}

}  // namespace

bool LoginDeshabilitado(Catalogo& c, const QString& login) {
    BaseSqlite& m = c.maestra();
    if (!HayTablaDeshabilitados(m)) return false;
    return m.Escalar(QStringLiteral("SELECT count(*) FROM kv_sys_logins_deshabilitados WHERE login = ?1"), {login})
               .toInt() > 0;
}

void HabilitarLogin(Catalogo& c, const QString& login, bool habilitado) {
    BaseSqlite& m = c.maestra();
    if (habilitado) {
        if (HayTablaDeshabilitados(m))
            m.Escalar(QStringLiteral("DELETE FROM kv_sys_logins_deshabilitados WHERE login = ?1"), {login});
        return;
    }
    m.Ejecutar(QStringLiteral("CREATE TABLE IF NOT EXISTS kv_sys_logins_deshabilitados (login TEXT NOT NULL "
                              "COLLATE NOCASE PRIMARY KEY)"));
    m.Escalar(QStringLiteral("INSERT OR IGNORE INTO kv_sys_logins_deshabilitados (login) VALUES (?1)"), {login});
}

}  // namespace kv::local
