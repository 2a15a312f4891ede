// Rights: the authorizer that checks each statement against the login's roles, and GRANT/REVOKE.

#include "localserver/SesionEmbebida.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <cmath>
#include <cstring>

#include "localserver/Errores.h"
#include "localserver/Esquema.h"
#include "localserver/FormaResultado.h"
#include "localserver/Procedimientos.h"
#include "localserver/SesionInterna.h"
#include "localserver/tsql/Traductor.h"

namespace kv::local {

using kv::db::ColumnaResultado;
using kv::db::ErrorBD;
using kv::db::ErrorProveedor;
using kv::db::ResultadoSentencia;

using namespace sesion;

namespace sesion {

// The authorizer: only what the login's roles allow reaches SQLite.
int Autorizar(void* datos, int accion, const char* a1, const char* a2, const char* esquema, const char* disparador) {
    auto* s = static_cast<SesionEmbebida*>(datos);
    // A table of another database is checked against the login's rights there.
    const SesionEmbebida::PermisosExternos* externos = nullptr;
    if (esquema && std::strncmp(esquema, "kv_db_", 6) == 0) {
        const auto it = s->permisosExternos_.find(QString::fromUtf8(esquema).toLower());
        if (it == s->permisosExternos_.end()) return SQLITE_DENY;
        externos = &it->second;
    }
    const SesionEmbebida::Permisos& p = externos ? externos->permisos : s->permisos_;
    // The TEMP schema holds only the session's own tables (#t, table variables): any
    // user reads and writes them, as SQL Server's tempdb lets every login.
    if (esquema && std::strcmp(esquema, "temp") == 0 &&
        (accion == SQLITE_READ || accion == SQLITE_INSERT || accion == SQLITE_UPDATE || accion == SQLITE_DELETE))
        return SQLITE_OK;
    const QString objeto = a1 ? QString::fromUtf8(a1) : QString();
    const bool sistema = EsTablaDelSistema(objeto) && !objeto.startsWith(QLatin1String("sqlite_"));
    // A view's triggers act for the user: the base table's rights still apply.
    const bool desdeServidor = disparador && QByteArray(disparador).startsWith("kv_sys_") &&
                               !QByteArray(disparador).startsWith(PrefijoDisparadorVista);
    auto negar = [&](const char* permiso) {
        if (!s->denegacion_)
            s->denegacion_ = SesionEmbebida::Denegacion{QString::fromLatin1(permiso), objeto,
                                                        externos ? externos->base : QString()};
        return SQLITE_DENY;
    };
    switch (accion) {
        case SQLITE_READ:
            // SQLite's virtual tables under fixed names show the files, the schema and the engine.
            if (traduccion::EsNombreInterno(objeto) && !objeto.startsWith(QLatin1String("sqlite_")) && !sistema)
                return negar("SELECT");
            if (objeto.startsWith(QLatin1String("sqlite_"))) return SQLITE_OK;
            // The column catalog feeds the catalog views; user text can never name it.
            if (sistema && !p.administrador && objeto.compare(QLatin1String("kv_sys_columnas"), Qt::CaseInsensitive) != 0 &&
                objeto.compare(QLatin1String("kv_sys_procedimientos"), Qt::CaseInsensitive) != 0)
                return negar("SELECT");
            return p.leer || desdeServidor ? SQLITE_OK : negar("SELECT");
        case SQLITE_INSERT:
            if (objeto.startsWith(QLatin1String("sqlite_"))) return p.definir ? SQLITE_OK : negar("CREATE TABLE");
            if (sistema && !p.administrador && !desdeServidor) return negar("INSERT");
            return p.escribir || desdeServidor ? SQLITE_OK : negar("INSERT");
        case SQLITE_UPDATE:
            if (objeto.startsWith(QLatin1String("sqlite_"))) return p.definir ? SQLITE_OK : negar("ALTER");
            if (sistema && !p.administrador && !desdeServidor) return negar("UPDATE");
            return p.escribir || desdeServidor ? SQLITE_OK : negar("UPDATE");
        case SQLITE_DELETE:
            if (objeto.startsWith(QLatin1String("sqlite_"))) return p.definir ? SQLITE_OK : negar("DROP");
            if (sistema && !p.administrador) return negar("DELETE");
            return p.escribir ? SQLITE_OK : negar("DELETE");
        case SQLITE_CREATE_TABLE:
        case SQLITE_CREATE_VIEW:
        case SQLITE_CREATE_INDEX:
        case SQLITE_CREATE_TRIGGER:
        case SQLITE_REINDEX:
        case SQLITE_ANALYZE:
            return p.definir ? SQLITE_OK : negar(accion == SQLITE_CREATE_VIEW ? "CREATE VIEW" : "CREATE TABLE");
        case SQLITE_DROP_TABLE:
        case SQLITE_DROP_VIEW:
        case SQLITE_DROP_INDEX:
        case SQLITE_DROP_TRIGGER:
        case SQLITE_ALTER_TABLE:
            // The server's own triggers go with their table.
            if (sistema && !objeto.startsWith(QLatin1String("kv_sys_trg_"))) return negar("ALTER");
            return p.definir ? SQLITE_OK : negar("ALTER");
        case SQLITE_CREATE_TEMP_TABLE:
        case SQLITE_CREATE_TEMP_VIEW:
        case SQLITE_CREATE_TEMP_INDEX:
        case SQLITE_CREATE_TEMP_TRIGGER:
        case SQLITE_DROP_TEMP_TABLE:
        case SQLITE_DROP_TEMP_VIEW:
        case SQLITE_DROP_TEMP_INDEX:
        case SQLITE_DROP_TEMP_TRIGGER:
        case SQLITE_SELECT:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        case SQLITE_FUNCTION: {
            // Only what T-SQL offers; the server's triggers use its own helpers.
            const QString funcion = a2 ? QString::fromUtf8(a2) : QString();
            if (desdeServidor || FuncionDelMotorPermitida(funcion)) return SQLITE_OK;
            // SQLite's own helpers of ALTER TABLE ... DROP COLUMN: internal functions, which
            // only the statements SQLite runs for the change can call.
            if (funcion.startsWith(QLatin1String("sqlite_rename_")) || funcion == QLatin1String("sqlite_drop_column"))
                return SQLITE_OK;
            if (disparador && QByteArray(disparador).startsWith(PrefijoDisparadorVista) &&
                funcion == QLatin1String("kv_fila_de_vista"))
                return SQLITE_OK;
            if (!s->denegacion_)
                s->denegacion_ = SesionEmbebida::Denegacion{QStringLiteral("FUNCION"), funcion, QString()};
            return SQLITE_DENY;
        }
        default:
            // Pragmas, ATTACH, raw transactions and the like are the server's own business.
            return negar("EXECUTE");
    }
}

ErrorServidor SinPermiso() {
    return ErrorServidor(err::SinPermiso, msj::SinPermiso(), QString::fromLatin1(estado::Sintaxis));
}

}  // namespace sesion

SesionEmbebida::Permisos SesionEmbebida::PermisosActuales() {
    Permisos p = PermisosEn(base_);
    // Inside a procedure its owner's rights reach the objects of its own database
    // (the owner, dbo, owns them all); dynamic SQL and DDL are checked against the caller.
    if (!marcos_.empty() && marcos_.back()->encadena &&
        marcos_.back()->base.compare(base_, Qt::CaseInsensitive) == 0) {
        p.leer = true;
        p.escribir = true;
    }
    return p;
}

SesionEmbebida::Permisos SesionEmbebida::PermisosEn(const QString& base) {
    Permisos p;
    p.administrador = catalogo_->TieneRolServidor(login_, QStringLiteral("sysadmin"));
    if (p.administrador) {
        p.leer = p.escribir = p.definir = true;
        return p;
    }
    p.leer = catalogo_->TienePermisoBase(login_, base, QStringLiteral("db_datareader"));
    p.escribir = catalogo_->TienePermisoBase(login_, base, QStringLiteral("db_datawriter"));
    p.definir = catalogo_->TienePermisoBase(login_, base, QStringLiteral("db_ddladmin"));
    return p;
}

void SesionEmbebida::ExigirDefinir(const QString& permiso) {
    if (!PermisosActuales().definir)
        throw ErrorServidor(err::PermisoBase, msj::PermisoBase(permiso, base_), QString::fromLatin1(estado::Sintaxis));
}

void SesionEmbebida::ConcederPermisos(const Sentencia& s, bool concede) {
    for (const QString& permiso : s.sql.split(QLatin1Char(',')))
        if (permiso != QLatin1String("EXECUTE"))
            throw ErrorServidor(err::ErrorInterno, msj::PermisoNoAdmitido(permiso),
                                QString::fromLatin1(estado::General));
    Catalogo& c = *catalogo_;
    UnirCatalogo();
    // Not there and not the caller's to grant on answer alike.
    const bool escrito = TextoDeRutina(base_, s.objeto).has_value();
    if ((!BuscarProcedimiento(s.objeto) && !escrito) ||
        !c.TienePermisoBase(login_, base_, QStringLiteral("db_securityadmin")))
        throw ErrorServidor(err::LoginNoModificable, msj::ObjetoNoEncontrado(s.objeto),
                            QString::fromLatin1(estado::General));
    const QString objeto = escrito ? TextoDeNombreRutina(base_, s.objeto) : NombreProcedimiento(s.objeto);
    QStringList usuarios;
    for (const Argumento& a : s.argumentos) {
        const QString usuario = a.valor.toString();
        if (!c.LoginDeUsuario(base_, usuario))
            throw ErrorServidor(err::LoginNoModificable, msj::UsuarioNoEncontrado(usuario),
                                QString::fromLatin1(estado::General));
        usuarios << usuario;
    }
    for (const QString& usuario : usuarios) {
        if (concede)
            c.ConcederPermisoObjeto(base_, usuario, QStringLiteral("EXECUTE"), objeto);
        else
            c.RevocarPermisoObjeto(base_, usuario, QStringLiteral("EXECUTE"), objeto);
    }
}

}  // namespace kv::local
