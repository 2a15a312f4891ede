// Procedures: the server's procedures written in C++ and the system procedures (sp_*).

#include "localserver/SesionEmbebida.h"
#include "localserver/Seguridad.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>

#include "localserver/Errores.h"
#include "localserver/Esquema.h"
#include "localserver/FormaResultado.h"
#include "localserver/Procedimientos.h"
#include "localserver/SesionInterna.h"
#include "localserver/tsql/MensajesRutinas.h"
#include "localserver/rapida/ArchivoColumnar.h"

namespace kv::local {

using kv::db::ColumnaResultado;
using kv::db::ErrorBD;
using kv::db::ErrorProveedor;
using kv::db::ResultadoSentencia;

using namespace sesion;

namespace sesion {

QString TextoArgumento(const std::vector<Argumento>& args, int posicion, const QString& nombre, bool* dado) {
    for (const auto& a : args)
        if (!a.nombre.isEmpty() && a.nombre.compare(nombre, Qt::CaseInsensitive) == 0) {
            if (dado) *dado = !a.valor.isNull();
            return a.valor.toString();
        }
    int i = 0;
    for (const auto& a : args) {
        if (!a.nombre.isEmpty()) continue;
        if (i == posicion) {
            if (dado) *dado = !a.valor.isNull();
            return a.valor.toString();
        }
        ++i;
    }
    if (dado) *dado = false;
    return {};
}

}  // namespace sesion

void SesionEmbebida::EjecutarProcedimiento(const Sentencia& llamada, std::vector<ResultadoSentencia>& salida) {
    // Arguments are values: a variable passes what it holds when the call runs.
    Sentencia s = llamada;
    for (Argumento& a : s.argumentos)
        if (!a.variable.isEmpty()) a.valor = ValorVariable(a.variable);
    QString nombre = s.objeto.trimmed();
    if (nombre.startsWith(QLatin1String("dbo."), Qt::CaseInsensitive)) nombre = nombre.mid(4);
    // base.dbo.procedimiento: the procedure of that database.
    QString base = base_;
    if (nombre.contains(QLatin1Char('.'))) {
        const QString primera = nombre.section(QLatin1Char('.'), 0, 0);
        if (const auto canonica = catalogo_->Base(primera)) {
            base = *canonica;
            nombre = nombre.section(QLatin1Char('.'), -1);
        }
    }
    if (nombre.compare(QLatin1String("sp_executesql"), Qt::CaseInsensitive) == 0) {
        const int estado = EjecutarSqlConParametros(s.argumentos, salida);
        DevolverSalidas(llamada, s.argumentos);
        if (!llamada.variables.isEmpty()) variables_.insert(llamada.variables.front(), estado);
        return;
    }
    if (nombre.startsWith(QLatin1String("sp_"), Qt::CaseInsensitive)) {
        EjecutarProcedimientoSistema(nombre.toLower(), s, salida);
        if (!llamada.variables.isEmpty()) variables_.insert(llamada.variables.front(), 0);
        return;
    }
    if (base.compare(base_, Qt::CaseInsensitive) != 0 && !catalogo_->PuedeUsar(login_, base))
        throw ErrorServidor(mensajes::kSinAccesoBase, mensajes::SinAccesoBase(login_, base),
                            QString::fromLatin1(estado::Sintaxis));
    if (const auto texto = TextoDeRutina(base, nombre)) {
        // A procedure written in T-SQL: running it is the EXECUTE right in its database.
        const QString registrado = TextoDeNombreRutina(base, nombre);
        if (!catalogo_->PuedeEjecutar(login_, base, registrado))
            throw ErrorServidor(err::PermisoObjeto, msj::PermisoObjeto(QStringLiteral("EXECUTE"), registrado, base),
                                QString::fromLatin1(estado::Sintaxis));
        const int estado = LlamarRutina(base, registrado, *texto, s.argumentos, salida);
        DevolverSalidas(llamada, s.argumentos);
        if (!llamada.variables.isEmpty()) variables_.insert(llamada.variables.front(), estado);
        return;
    }
    const Procedimiento funcion = BuscarProcedimiento(nombre);
    if (!funcion)
        throw ErrorServidor(err::ProcedimientoInexistente, msj::ProcedimientoInexistente(nombre),
                            QString::fromLatin1(estado::Sintaxis));
    // Procedures run with the server's rights, so calling one is a right of its own.
    const QString registrado = NombreProcedimiento(nombre);
    if (!catalogo_->PuedeEjecutar(login_, base_, registrado))
        throw ErrorServidor(err::PermisoObjeto,
                            msj::PermisoObjeto(QStringLiteral("EXECUTE"), registrado, base_),
                            QString::fromLatin1(estado::Sintaxis));

    class Contexto : public ContextoProcedimiento {
    public:
        Contexto(SesionEmbebida& s, std::vector<ResultadoSentencia>& salida) : s_(s), salida_(salida) {}
        QString BaseActual() const override { return s_.BaseActual(); }
        QString Login() const override { return s_.login(); }
        bool ExisteBase(const QString& nombre) const override { return s_.catalogo().Base(nombre).has_value(); }
        sqlite3* Base(const QString& nombre) override {
            if (!s_.catalogo().Base(nombre))
                throw ErrorServidor(err::BaseInaccesible, msj::BaseInaccesible(nombre),
                                    QString::fromLatin1(estado::BaseInexistente));
            BaseSqlite& b = s_.Base(nombre);
            // Work done inside the caller's transaction belongs to it.
            s_.Unir(b);
            usadas_.insert(&b);
            return b.db();
        }
        void DevolverFilas(const std::vector<ColumnaResultado>& columnas,
                           std::vector<std::vector<QVariant>> filas) override {
            ResultadoSentencia r;
            r.tieneFilas = true;
            r.columnas = columnas;
            r.filas = std::move(filas);
            salida_.push_back(std::move(r));
        }
        void DevolverAfectadas(qint64 filas) override {
            ResultadoSentencia r;
            r.filasAfectadas = filas;
            salida_.push_back(std::move(r));
        }
        void DevolverError(const ErrorServidor& error) override {
            ResultadoSentencia r;
            r.error = error.ComoErrorBD(s_.Origen());
            salida_.push_back(std::move(r));
        }
        bool TiempoAgotado() const override {
            for (BaseSqlite* b : usadas_)
                if (b->TiempoAgotado()) return true;
            return false;
        }
        bool Vencido() const {
            for (BaseSqlite* b : usadas_)
                if (b->Vencido()) return true;
            return false;
        }

        QString TomarArchivo() override {
            if (tomada_ || s_.nivel_ > 0) return QString();
            const auto canonica = s_.catalogo().Base(s_.BaseActual());
            if (!canonica || canonica->compare(QLatin1String(BaseMaestra), Qt::CaseInsensitive) == 0)
                return QString();
            BaseSqlite& b = s_.Base(*canonica);
            if (b.EnTransaccion() || b.Escalar(QStringLiteral("SELECT count(*) FROM sqlite_temp_master")).toInt() > 0)
                return QString();
            // Without waiting: a lock held elsewhere means somebody has the file open.
            b.FijarEsperaBloqueo(0);
            bool tomada = false;
            try {
                // Leaving the log needs every other handle closed; the exclusive
                // lock then stays with this handle until it closes.
                tomada = b.Escalar(QStringLiteral("PRAGMA journal_mode=DELETE")).toString() ==
                         QLatin1String("delete");
                if (tomada) b.Ejecutar(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;"));
            } catch (const ErrorServidor&) {
                tomada = false;
            }
            b.FijarEsperaBloqueo(s_.esperaBloqueoMs_);
            if (!tomada) {
                Devolver(b);
                return QString();
            }
            tomada_ = &b;
            return b.ruta();
        }
        void ReemplazarArchivo(const QString& archivo) override {
            if (!tomada_) throw ErrorServidor(err::ErrorInterno, msj::ErrorInterno(), QString::fromLatin1(estado::General));
            BaseSqlite& b = *tomada_;
            const QString ruta = b.ruta();
            // rename() puts the new file in place at once: the name never shows a half-made database.
            if (std::rename(QFile::encodeName(archivo).constData(), QFile::encodeName(ruta).constData()) != 0)
                throw ErrorServidor(err::ErrorSistemaArchivo, msj::ErrorSistemaArchivo(b.nombre(), ruta),
                                    QString::fromLatin1(estado::General));
            SincronizarEnDisco(QFileInfo(ruta).absolutePath());
            // The columnar forms of the old file's tables describe data that is gone.
            QDir(rapida::CarpetaColumnas(ruta)).removeRecursively();
            // The old handle (and with it the lock on the file that was replaced) closes;
            // the connection opens the new file when it next needs it.
            usadas_.erase(&b);
            tomada_ = nullptr;
            s_.bases_.erase(b.nombre().toUpper());
        }
        void DevolverArchivo() override {
            if (!tomada_) return;
            BaseSqlite* b = tomada_;
            tomada_ = nullptr;
            Devolver(*b);
        }
        ~Contexto() override { DevolverArchivo(); }

    private:
        // Back to the server's usual journal and locking (the lock goes at the next access).
        static void Devolver(BaseSqlite& b) {
            sqlite3_exec(b.db(), "PRAGMA locking_mode=NORMAL; PRAGMA journal_mode=WAL; SELECT count(*) FROM sqlite_master;",
                         nullptr, nullptr, nullptr);
        }

        SesionEmbebida& s_;
        std::vector<ResultadoSentencia>& salida_;
        std::set<BaseSqlite*> usadas_;
        BaseSqlite* tomada_ = nullptr;
    };

    Contexto contexto(*this, salida);
    try {
        funcion(contexto, s.argumentos);
    } catch (const ErrorServidor&) {
        throw;
    } catch (const std::exception&) {
        if (contexto.Vencido() || contexto.TiempoAgotado())
            throw ErrorServidor(err::TiempoAgotado, msj::TiempoAgotado(), QString::fromLatin1(estado::TiempoAgotado));
        throw ErrorServidor(err::ErrorInterno, msj::ErrorInterno(), QString::fromLatin1(estado::General));
    }
    if (contexto.Vencido())
        throw ErrorServidor(err::TiempoAgotado, msj::TiempoAgotado(), QString::fromLatin1(estado::TiempoAgotado));
    if (!llamada.variables.isEmpty()) variables_.insert(llamada.variables.front(), 0);
}

void SesionEmbebida::DevolverSalidas(const Sentencia& llamada, const std::vector<Argumento>& argumentos) {
    for (size_t i = 0; i < llamada.argumentos.size() && i < argumentos.size(); ++i) {
        const Argumento& a = llamada.argumentos[i];
        if (a.salida && !a.variable.isEmpty() && !a.variable.startsWith(QLatin1String("@kv_filas")) &&
            !a.variable.startsWith(QLatin1String("@kv_error")) && a.variable != QLatin1String("@kv_identidad") &&
            a.variable != QLatin1String("@kv_transacciones"))
            variables_.insert(a.variable, argumentos[i].valor);
    }
}

void SesionEmbebida::EjecutarProcedimientoSistema(const QString& nombre, const Sentencia& s,
                                                  std::vector<ResultadoSentencia>& salida) {
    if (ProcedimientoDeCatalogo(nombre, s, salida)) return;
    auto informar = [&](const QString& mensaje) {
        ResultadoSentencia r;
        r.mensajes << mensaje;
        salida.push_back(std::move(r));
    };
    const auto& args = s.argumentos;
    Catalogo& c = *catalogo_;
    auto exigirLogin = [&](const QString& login) {
        const auto info = c.Login(login);
        if (!info)
            throw ErrorServidor(err::LoginInexistente, msj::LoginInexistente(login), QString::fromLatin1(estado::General));
        return info->nombre;
    };
    auto falta = [&](const QString& parametro) {
        return ErrorServidor(201, msj::ArgumentoFaltante(nombre, parametro), QString::fromLatin1(estado::Sintaxis));
    };
    if (nombre == QLatin1String("sp_rename")) {
        bool hayObjeto = false, hayNuevo = false;
        const QString objeto = TextoArgumento(args, 0, QStringLiteral("@objname"), &hayObjeto);
        const QString nuevo = TextoArgumento(args, 1, QStringLiteral("@newname"), &hayNuevo);
        const QString tipo = TextoArgumento(args, 2, QStringLiteral("@objtype"));
        if (!hayObjeto) throw falta(QStringLiteral("@objname"));
        if (!hayNuevo) throw falta(QStringLiteral("@newname"));
        BaseSqlite& b = BaseParaAlterar(objeto);
        Unir(b);
        Renombrar(b, objeto, nuevo, tipo);
        informar(msj::PrecaucionRenombrar());
        return;
    }
    // What these procedures change, an open transaction undoes.
    UnirCatalogo();
    if (nombre == QLatin1String("sp_addlogin")) {
        bool dado = false;
        const QString login = TextoArgumento(args, 0, QStringLiteral("@loginame"), &dado);
        if (!dado) throw falta(QStringLiteral("@loginame"));
        const QString clave = TextoArgumento(args, 1, QStringLiteral("@passwd"));
        bool hayBase = false;
        QString base = TextoArgumento(args, 2, QStringLiteral("@defdb"), &hayBase);
        if (!hayBase || base.trimmed().isEmpty()) base = QString::fromLatin1(BaseMaestra);
        if (!c.TieneRolServidor(login_, QStringLiteral("securityadmin"))) throw SinPermiso();
        ValidarNombre(login);
        if (c.Login(login))
            throw ErrorServidor(err::LoginExiste, msj::LoginExiste(login), QString::fromLatin1(estado::General));
        const auto canonica = c.Base(base);
        if (!canonica)
            throw ErrorServidor(err::BaseNoExiste, msj::BaseNoExiste(base), QString::fromLatin1(estado::General));
        c.AgregarLogin(login, clave, *canonica);
        informar(QStringLiteral("Se creó el nuevo inicio de sesión."));
        return;
    }
    if (nombre == QLatin1String("sp_password")) {
        bool hayAnterior = false, hayLogin = false;
        const QString anterior = TextoArgumento(args, 0, QStringLiteral("@old"), &hayAnterior);
        const QString nueva = TextoArgumento(args, 1, QStringLiteral("@new"));
        QString login = TextoArgumento(args, 2, QStringLiteral("@loginame"), &hayLogin);
        if (!hayLogin || login.isEmpty()) login = login_;
        // An unknown login, somebody else's and a wrong old password get one
        // answer, so that logins cannot be told apart by trying them.
        const ErrorServidor negado(err::LoginNoModificable, msj::LoginNoModificable(login),
                                   QString::fromLatin1(estado::General));
        const bool administra = c.TieneRolServidor(login_, QStringLiteral("securityadmin"));
        const auto info = c.Login(login);
        const bool propio = info && info->nombre.compare(login_, Qt::CaseInsensitive) == 0;
        // Administrators may set a password without the old one (a sysadmin's only
        // by a sysadmin); everybody else must give it.
        const bool pideAnterior = hayAnterior || !info || !PuedeFijarClaveSinAnterior(c, login_, info->nombre);
        if (!info || (!propio && !administra)) {
            if (pideAnterior) c.Autenticar(QString(), anterior);  // the same work as a real check
            throw negado;
        }
        if (pideAnterior && !c.Autenticar(info->nombre, anterior)) throw negado;
        c.CambiarClave(info->nombre, nueva);
        informar(QStringLiteral("Se cambió la contraseña."));
        return;
    }
    if (nombre == QLatin1String("sp_addsrvrolemember")) {
        bool dado = false;
        const QString loginDado = TextoArgumento(args, 0, QStringLiteral("@loginame"), &dado);
        const QString rol = TextoArgumento(args, 1, QStringLiteral("@rolename")).trimmed().toLower();
        if (!dado) throw falta(QStringLiteral("@loginame"));
        if (!RolesServidor().contains(rol))
            throw ErrorServidor(err::RolServidorInexistente, msj::RolServidorInexistente(rol),
                                QString::fromLatin1(estado::General));
        // Members of a role may add others to it; sysadmin may add anyone anywhere.
        if (!c.TieneRolServidor(login_, rol)) throw SinPermiso();
        const QString login = exigirLogin(loginDado);
        c.AgregarRolServidor(login, rol);
        return;
    }
    if (nombre == QLatin1String("sp_grantdbaccess")) {
        bool dado = false, hayNombre = false;
        const QString loginDado = TextoArgumento(args, 0, QStringLiteral("@loginame"), &dado);
        QString usuario = TextoArgumento(args, 1, QStringLiteral("@name_in_db"), &hayNombre);
        if (!dado) throw falta(QStringLiteral("@loginame"));
        if (!c.TienePermisoBase(login_, base_, QStringLiteral("db_accessadmin"))) throw SinPermiso();
        const QString login = exigirLogin(loginDado);
        if (!hayNombre || usuario.trimmed().isEmpty()) usuario = login;
        ValidarNombre(usuario);
        if (c.LoginDeUsuario(base_, usuario))
            throw ErrorServidor(err::UsuarioExiste, msj::UsuarioExiste(usuario), QString::fromLatin1(estado::General));
        if (c.UsuarioDeLogin(base_, login))
            throw ErrorServidor(15063,
                                QStringLiteral("El inicio de sesión ya tiene una cuenta con otro nombre de usuario."),
                                QString::fromLatin1(estado::General));
        c.AgregarUsuario(base_, usuario, login);
        return;
    }
    if (nombre == QLatin1String("sp_addrolemember")) {
        const QString rol = TextoArgumento(args, 0, QStringLiteral("@rolename")).trimmed().toLower();
        bool dado = false;
        const QString miembro = TextoArgumento(args, 1, QStringLiteral("@membername"), &dado);
        if (!dado) throw falta(QStringLiteral("@membername"));
        if (!RolesBase().contains(rol))
            throw ErrorServidor(err::RolInexistente, msj::RolInexistente(rol), QString::fromLatin1(estado::General));
        // Every role here is a fixed one: only db_owner adds members to those, or a
        // db_securityadmin could make itself db_owner.
        if (!c.TienePermisoBase(login_, base_, QStringLiteral("db_owner"))) throw SinPermiso();
        if (!c.LoginDeUsuario(base_, miembro))
            throw ErrorServidor(err::UsuarioInexistente, msj::UsuarioInexistente(miembro),
                                QString::fromLatin1(estado::General));
        c.AgregarRolBase(base_, miembro, rol);
        return;
    }
    throw ErrorServidor(err::ProcedimientoInexistente, msj::ProcedimientoInexistente(s.objeto.trimmed()),
                        QString::fromLatin1(estado::Sintaxis));
}

// ---------------------------------------------------------------------------

}  // namespace kv::local
