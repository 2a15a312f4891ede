// The session's security statements: logins, database users and role
// membership, kept in the same catalog the sp_* procedures write, with the
// rights and error numbers SQL Server gives them.

#include <sqlite3.h>

#include "localserver/Errores.h"
#include "localserver/Seguridad.h"
#include "localserver/SesionEmbebida.h"

namespace kv::local {

using kv::db::ResultadoSentencia;

namespace {

ErrorServidor Error(int numero, const QString& mensaje) {
    return ErrorServidor(numero, mensaje, QString::fromLatin1(estado::General));
}

ErrorServidor SinPermisoAccion() {
    return ErrorServidor(err::SinPermiso, msj::SinPermiso(), QString::fromLatin1(estado::Sintaxis));
}

ErrorServidor NoSePuede(const QString& accion, const QString& que, const QString& nombre) {
    return Error(err::LoginNoModificable,
                 QStringLiteral("No se puede %1 %2 '%3' porque no existe o no tiene permiso.").arg(accion, que, nombre));
}

ErrorServidor PrincipalEspecial(const QString& nombre) {
    return Error(15405, QStringLiteral("No se puede usar la entidad de seguridad especial '%1'.").arg(nombre));
}

ErrorServidor NoAdmitida(const QString& opcion) {
    return Error(err::ErrorInterno,
                 QStringLiteral("Este servidor no admite la opción %1 de los inicios de sesión.").arg(opcion));
}

const Argumento* Opcion(const Sentencia& s, const char* nombre) {
    for (const Argumento& a : s.argumentos)
        if (a.nombre.compare(QLatin1String(nombre), Qt::CaseInsensitive) == 0) return &a;
    return nullptr;
}

// CHECK_POLICY and CHECK_EXPIRATION take ON or OFF; there is no policy to check here.
void ExigirSiNo(const Sentencia& s, const char* nombre) {
    const Argumento* a = Opcion(s, nombre);
    if (!a) return;
    const QString v = a->valor.toString().trimmed().toUpper();
    if (v != QLatin1String("ON") && v != QLatin1String("OFF"))
        throw ErrorServidor(err::Sintaxis, msj::Sintaxis(a->valor.toString()), QString::fromLatin1(estado::Sintaxis));
}

// The changes of one statement go in together or not at all.
class Cambio {
  public:
    explicit Cambio(BaseSqlite& b) : b_(b) { b_.Ejecutar(QStringLiteral("SAVEPOINT kv_seguridad")); }
    void Confirmar() {
        b_.Ejecutar(QStringLiteral("RELEASE kv_seguridad"));
        hecho_ = true;
    }
    ~Cambio() {
        if (!hecho_)
            sqlite3_exec(b_.db(), "ROLLBACK TO kv_seguridad; RELEASE kv_seguridad;", nullptr, nullptr, nullptr);
    }

  private:
    BaseSqlite& b_;
    bool hecho_ = false;
};

}  // namespace

void SesionEmbebida::UnirCatalogo() { Unir(catalogo_->maestra()); }

QString SesionEmbebida::ListaRolesServidor() {
    Catalogo& c = *catalogo_;
    QStringList lineas;
    for (const QString& rol : RolesServidor()) lineas << QLatin1Char('\t') + rol;
    lineas << QStringLiteral("\tpublic");
    // Other logins' memberships only for who administers logins; a login always sees its own.
    const bool todos = c.TieneRolServidor(login_, QStringLiteral("securityadmin"));
    for (const auto& f : c.maestra().Filas(QStringLiteral("SELECT nombre FROM kv_sys_logins"))) {
        const QString login = f[0].toString();
        if (!todos && login.compare(login_, Qt::CaseInsensitive) != 0) continue;
        lineas << login + QLatin1Char('\t') << login + QStringLiteral("\tpublic");
    }
    for (const auto& f : c.maestra().Filas(QStringLiteral("SELECT login, rol FROM kv_sys_roles_servidor"))) {
        const QString login = f[0].toString();
        if (!todos && login.compare(login_, Qt::CaseInsensitive) != 0) continue;
        lineas << login + QLatin1Char('\t') + f[1].toString();
    }
    return lineas.join(QLatin1Char('\n'));
}

QString SesionEmbebida::ListaRolesBase() {
    Catalogo& c = *catalogo_;
    QStringList lineas;
    for (const QString& rol : RolesBase()) lineas << QLatin1Char('\t') + rol;
    lineas << QStringLiteral("\tpublic");
    for (const auto& f : c.maestra().Filas(QStringLiteral("SELECT usuario FROM kv_sys_usuarios WHERE base = ?1"), {base_}))
        lineas << f[0].toString() + QLatin1Char('\t') << f[0].toString() + QStringLiteral("\tpublic");
    for (const auto& f : c.maestra().Filas(
             QStringLiteral("SELECT usuario, rol FROM kv_sys_roles_base WHERE base = ?1"), {base_}))
        lineas << f[0].toString() + QLatin1Char('\t') + f[1].toString();
    // A sysadmin works as dbo in every database.
    if (c.TieneRolServidor(login_, QStringLiteral("sysadmin")))
        lineas << QStringLiteral("dbo\t") << QStringLiteral("dbo\tpublic") << QStringLiteral("dbo\tdb_owner");
    return lineas.join(QLatin1Char('\n'));
}

void SesionEmbebida::EjecutarSeguridad(const Sentencia& s, std::vector<ResultadoSentencia>& salida) {
    Catalogo& c = *catalogo_;
    const QString& clase = s.sql;
    const QString nombre = s.objeto.trimmed();
    const bool administra = c.TieneRolServidor(login_, QStringLiteral("securityadmin"));
    // What follows changes the catalog: an open transaction takes it in.
    UnirCatalogo();

    if (clase == QLatin1String("CREATE LOGIN")) {
        if (!administra) throw SinPermisoAccion();
        ValidarNombre(nombre);
        if (c.Login(nombre)) throw Error(err::LoginExiste, msj::LoginExiste(nombre));
        if (Opcion(s, "MUST_CHANGE")) throw NoAdmitida(QStringLiteral("MUST_CHANGE"));
        ExigirSiNo(s, "CHECK_POLICY");
        ExigirSiNo(s, "CHECK_EXPIRATION");
        QString base = QString::fromLatin1(BaseMaestra);
        if (const Argumento* a = Opcion(s, "DEFAULT_DATABASE")) base = a->valor.toString().trimmed();
        const auto canonica = c.Base(base);
        if (!canonica) throw Error(err::BaseNoExiste, msj::BaseNoExiste(base));
        const Argumento* clave = Opcion(s, "PASSWORD");
        c.AgregarLogin(nombre, clave ? clave->valor.toString() : QString(), *canonica);
        return;
    }

    if (clase == QLatin1String("ALTER LOGIN")) {
        const ErrorServidor negado(err::LoginNoModificable, msj::LoginNoModificable(nombre),
                                   QString::fromLatin1(estado::General));
        const auto info = c.Login(nombre);
        const bool propio = info && info->nombre.compare(login_, Qt::CaseInsensitive) == 0;
        if (!info || (!propio && !administra)) throw negado;
        if (Opcion(s, "ENABLE") || Opcion(s, "DISABLE")) {
            // Enabling and disabling a login is the administrator's, and the initial
            // administrator cannot be locked out.
            if (!administra) throw negado;
            const bool habilitar = Opcion(s, "ENABLE") != nullptr;
            if (!habilitar && info->nombre.compare(QLatin1String(AdministradorInicial), Qt::CaseInsensitive) == 0)
                throw PrincipalEspecial(info->nombre);
            if (!habilitar && c.TieneRolServidor(info->nombre, QStringLiteral("sysadmin")) &&
                !c.TieneRolServidor(login_, QStringLiteral("sysadmin")))
                throw negado;
            Cambio cambio(c.maestra());
            HabilitarLogin(c, info->nombre, habilitar);
            cambio.Confirmar();
            return;
        }
        if (Opcion(s, "MUST_CHANGE")) throw NoAdmitida(QStringLiteral("MUST_CHANGE"));
        ExigirSiNo(s, "CHECK_POLICY");
        ExigirSiNo(s, "CHECK_EXPIRATION");
        // The policy, the expiry and the renaming are the administrator's.
        if (!administra && (Opcion(s, "CHECK_POLICY") || Opcion(s, "CHECK_EXPIRATION") || Opcion(s, "NAME")))
            throw negado;
        const Argumento* clave = Opcion(s, "PASSWORD");
        const Argumento* anterior = Opcion(s, "OLD_PASSWORD");
        if (clave) {
            // The old password, when given, must be right; without it, only who may
            // reset that login's password changes it.
            if (anterior) {
                if (!c.Autenticar(info->nombre, anterior->valor.toString())) throw negado;
            } else if (!PuedeFijarClaveSinAnterior(c, login_, info->nombre)) {
                throw negado;
            }
        } else if (anterior) {
            throw ErrorServidor(err::Sintaxis, msj::Sintaxis(QStringLiteral("OLD_PASSWORD")),
                                QString::fromLatin1(estado::Sintaxis));
        }
        std::optional<QString> base;
        if (const Argumento* a = Opcion(s, "DEFAULT_DATABASE")) {
            base = c.Base(a->valor.toString().trimmed());
            if (!base) throw Error(err::BaseNoExiste, msj::BaseNoExiste(a->valor.toString().trimmed()));
        }
        QString nuevo;
        if (const Argumento* a = Opcion(s, "NAME")) {
            nuevo = a->valor.toString().trimmed();
            ValidarNombre(nuevo);
            if (info->nombre.compare(QLatin1String(AdministradorInicial), Qt::CaseInsensitive) == 0)
                throw PrincipalEspecial(info->nombre);
            if (c.TieneRolServidor(info->nombre, QStringLiteral("sysadmin")) &&
                !c.TieneRolServidor(login_, QStringLiteral("sysadmin")))
                throw negado;
        }
        Cambio cambio(c.maestra());
        if (clave) c.CambiarClave(info->nombre, clave->valor.toString());
        if (base) c.CambiarBaseDefecto(info->nombre, *base);
        if (!nuevo.isEmpty()) {
            const bool deshabilitado = LoginDeshabilitado(c, info->nombre);
            c.RenombrarLogin(info->nombre, nuevo);
            if (deshabilitado) {
                HabilitarLogin(c, info->nombre, true);
                HabilitarLogin(c, nuevo, false);
            }
        }
        cambio.Confirmar();
        if (!nuevo.isEmpty() && propio) login_ = nuevo;
        return;
    }

    if (clase == QLatin1String("DROP LOGIN")) {
        const auto info = c.Login(nombre);
        const ErrorServidor negado = NoSePuede(QStringLiteral("quitar"), QStringLiteral("el inicio de sesión"), nombre);
        if (!administra || !info) throw negado;
        if (info->nombre.compare(QLatin1String(AdministradorInicial), Qt::CaseInsensitive) == 0)
            throw PrincipalEspecial(info->nombre);
        if (c.TieneRolServidor(info->nombre, QStringLiteral("sysadmin")) &&
            !c.TieneRolServidor(login_, QStringLiteral("sysadmin")))
            throw negado;
        if (info->nombre.compare(login_, Qt::CaseInsensitive) == 0)
            throw Error(15434, QStringLiteral("No se pudo quitar el inicio de sesión '%1' porque el usuario tiene "
                                              "una sesión iniciada.")
                                   .arg(info->nombre));
        if (!c.BasesDe(info->nombre).isEmpty())
            throw Error(15174, QStringLiteral("El inicio de sesión '%1' es propietario de una o más bases de datos. "
                                              "Cambie el propietario de las bases de datos antes de quitar el "
                                              "inicio de sesión.")
                                   .arg(info->nombre));
        Cambio cambio(c.maestra());
        c.QuitarLogin(info->nombre);
        HabilitarLogin(c, info->nombre, true);
        cambio.Confirmar();
        return;
    }

    if (clase == QLatin1String("CREATE USER")) {
        if (!c.TienePermisoBase(login_, base_, QStringLiteral("db_accessadmin"))) throw SinPermisoAccion();
        const Argumento* dado = Opcion(s, "LOGIN");
        const QString loginDado = dado ? dado->valor.toString().trimmed() : nombre;
        const auto info = c.Login(loginDado);
        if (!info) throw Error(err::LoginInexistente, msj::LoginInexistente(loginDado));
        ValidarNombre(nombre);
        if (c.LoginDeUsuario(base_, nombre)) throw Error(err::UsuarioExiste, msj::UsuarioExiste(nombre));
        if (c.UsuarioDeLogin(base_, info->nombre))
            throw Error(15063, QStringLiteral("El inicio de sesión ya tiene una cuenta con otro nombre de usuario."));
        c.AgregarUsuario(base_, nombre, info->nombre);
        return;
    }

    if (clase == QLatin1String("DROP USER")) {
        const ErrorServidor negado = NoSePuede(QStringLiteral("quitar"), QStringLiteral("el usuario"), nombre);
        if (!c.TienePermisoBase(login_, base_, QStringLiteral("db_accessadmin"))) throw negado;
        if (nombre.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
            throw Error(15150, QStringLiteral("No se puede quitar el usuario '%1'.").arg(nombre));
        const auto existe = c.LoginDeUsuario(base_, nombre);
        if (!existe) {
            if (Opcion(s, "IF EXISTS")) return;
            throw negado;
        }
        Cambio cambio(c.maestra());
        c.QuitarUsuario(base_, nombre);
        cambio.Confirmar();
        return;
    }

    if (clase == QLatin1String("ALTER ROLE") || clase == QLatin1String("ALTER SERVER ROLE")) {
        const bool servidor = clase == QLatin1String("ALTER SERVER ROLE");
        const QString rol = nombre.toLower();
        const Argumento* agregar = Opcion(s, "ADD");
        const Argumento* quitar = Opcion(s, "DROP");
        const QString miembro = (agregar ? agregar : quitar)->valor.toString().trimmed();
        const ErrorServidor negado =
            NoSePuede(QStringLiteral("modificar"), servidor ? QStringLiteral("el rol de servidor") : QStringLiteral("el rol"),
                      nombre);
        const ErrorServidor sinMiembro =
            NoSePuede(agregar ? QStringLiteral("agregar") : QStringLiteral("quitar"),
                      QStringLiteral("la entidad de seguridad"), miembro);
        if (servidor) {
            // Members of a fixed server role may add others to it; sysadmin to any.
            if (!RolesServidor().contains(rol) || !c.TieneRolServidor(login_, rol)) throw negado;
            const auto info = c.Login(miembro);
            if (!info) throw sinMiembro;
            if (quitar && rol == QLatin1String("sysadmin") &&
                info->nombre.compare(QLatin1String(AdministradorInicial), Qt::CaseInsensitive) == 0)
                throw PrincipalEspecial(info->nombre);
            if (agregar)
                c.AgregarRolServidor(info->nombre, rol);
            else
                c.QuitarRolServidor(info->nombre, rol);
            return;
        }
        // Only db_owner changes the members of the fixed database roles.
        if (!RolesBase().contains(rol) || !c.TienePermisoBase(login_, base_, QStringLiteral("db_owner")))
            throw negado;
        if (miembro.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0) throw PrincipalEspecial(miembro);
        const auto usuario = c.LoginDeUsuario(base_, miembro);
        if (!usuario) throw sinMiembro;
        if (agregar)
            c.AgregarRolBase(base_, miembro, rol);
        else
            c.QuitarRolBase(base_, miembro, rol);
        return;
    }
    Q_UNUSED(salida);
    throw ErrorServidor(err::Sintaxis, msj::Sintaxis(clase), QString::fromLatin1(estado::Sintaxis));
}

}  // namespace kv::local
