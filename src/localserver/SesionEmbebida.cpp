// The session itself: its databases, which one is current, and creating and dropping them.

#include "localserver/SesionEmbebida.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <cmath>

#include "localserver/Errores.h"
#include "localserver/Esquema.h"
#include "localserver/FormaResultado.h"
#include "localserver/Procedimientos.h"
#include "localserver/SesionInterna.h"
#include "localserver/rapida/ArchivoColumnar.h"

namespace kv::local {

using kv::db::ColumnaResultado;
using kv::db::ErrorBD;
using kv::db::ErrorProveedor;
using kv::db::ResultadoSentencia;

namespace {

const char* const kOrigen = "Microsoft OLE DB Provider for SQL Server";

// Databases in use by the sessions of this process (folder + name -> count),
// so that a database somebody is working in is not dropped under them.
// A session may outlive every static of the program (one held by a global
// object that is destroyed at exit), so the table lives as long as the
// process and is never destroyed.
struct TablaUsos {
    QMutex cerrojo;
    QHash<QString, int> cuentas;
};
TablaUsos& TablaDeUsos() {
    static TablaUsos& t = *new TablaUsos;
    return t;
}
QString ClaveUso(const QString& carpeta, const QString& base) { return carpeta + QLatin1Char('|') + base.toUpper(); }
void MarcarUso(const QString& carpeta, const QString& base, int delta) {
    TablaUsos& t = TablaDeUsos();
    QMutexLocker g(&t.cerrojo);
    const QString clave = ClaveUso(carpeta, base);
    int& n = t.cuentas[clave];
    n += delta;
    if (n <= 0) t.cuentas.remove(clave);
}
int Usos(const QString& carpeta, const QString& base) {
    TablaUsos& t = TablaDeUsos();
    QMutexLocker g(&t.cerrojo);
    return t.cuentas.value(ClaveUso(carpeta, base));
}

}  // namespace

namespace {

int NuevoId() {
    static std::atomic<int> siguiente{51};
    const int id = siguiente.fetch_add(1);
    // smallint, as @@SPID is: after 32767 the count starts again at 51.
    return 51 + (id - 51) % (32767 - 50);
}

}  // namespace

SesionEmbebida::SesionEmbebida(std::unique_ptr<Catalogo> catalogo, QString login, QString base)
    : catalogo_(std::move(catalogo)), login_(std::move(login)), base_(std::move(base)), id_(NuevoId()) {
    MarcarUso(catalogo_->carpeta(), base_, +1);
}

SesionEmbebida::~SesionEmbebida() {
    // A transaction left open when the connection closes is rolled back, as on SQL Server.
    for (BaseSqlite* b : enTransaccion_)
        if (b->EnTransaccion()) sqlite3_exec(b->db(), "ROLLBACK", nullptr, nullptr, nullptr);
    MarcarUso(catalogo_->carpeta(), base_, -1);
}

QString SesionEmbebida::Origen() const { return QString::fromLatin1(kOrigen); }

BaseSqlite& SesionEmbebida::Base(const QString& nombre) {
    if (nombre.compare(QLatin1String(BaseMaestra), Qt::CaseInsensitive) == 0) {
        BaseSqlite& m = catalogo_->maestra();
        if (!rutinasEnMaestra_) {
            sesion::AsegurarTablaRutinas(m);
            rutinasEnMaestra_ = true;
        }
        m.FijarLimite(limite_, conLimite_);
        m.FijarCancelacion(&cancelado_);
        m.FijarEsperaBloqueo(esperaBloqueoMs_);
        return m;
    }
    const QString clave = nombre.toUpper();
    auto it = bases_.find(clave);
    if (it == bases_.end()) {
        const auto canonico = catalogo_->Base(nombre);
        if (!canonico)
            throw ErrorServidor(err::BaseInaccesible, msj::BaseInaccesible(nombre),
                                QString::fromLatin1(estado::BaseInexistente));
        // Never made anew here: a missing or emptied file is an error naming it.
        auto b = BaseSqlite::Abrir(RutaBase(catalogo_->carpeta(), *canonico), *canonico, false);
        AsegurarCatalogoBase(*b);
        sqlite3_limit(b->db(), SQLITE_LIMIT_LENGTH, LargoMaximoValorSesion());
        sesion::AsegurarTablaRutinas(*b);
        it = bases_.emplace(clave, std::move(b)).first;
    }
    it->second->FijarLimite(limite_, conLimite_);
    it->second->FijarCancelacion(&cancelado_);
    it->second->FijarEsperaBloqueo(esperaBloqueoMs_);
    return *it->second;
}

void SesionEmbebida::AplicarLimite() {
    catalogo_->maestra().FijarLimite(limite_, conLimite_);
    catalogo_->maestra().FijarCancelacion(&cancelado_);
    catalogo_->maestra().FijarEsperaBloqueo(esperaBloqueoMs_);
    for (auto& [nombre, b] : bases_) {
        b->FijarLimite(limite_, conLimite_);
        b->FijarCancelacion(&cancelado_);
        b->FijarEsperaBloqueo(esperaBloqueoMs_);
    }
    // No value a session builds outgrows its share of the session's memory (8152).
    sqlite3_limit(catalogo_->maestra().db(), SQLITE_LIMIT_LENGTH, LargoMaximoValorSesion());
    for (auto& [nombre, b] : bases_) sqlite3_limit(b->db(), SQLITE_LIMIT_LENGTH, LargoMaximoValorSesion());
}

void SesionEmbebida::Usar(const QString& nombre) {
    const auto canonico = catalogo_->Base(nombre);
    if (!canonico)
        throw ErrorServidor(err::BaseNoExisteUsar, msj::BaseNoExisteUsar(nombre),
                            QString::fromLatin1(estado::Sintaxis));
    if (!catalogo_->PuedeUsar(login_, *canonico))
        throw ErrorServidor(err::SinAccesoBase, msj::SinAccesoBase(login_, *canonico),
                            QString::fromLatin1(estado::Sintaxis));
    BaseSqlite& nueva = Base(*canonico);  // opens it now, so a broken file shows here
    BaseSqlite& anterior = Base(base_);
    if (&nueva != &anterior) MoverTablasDeSesion(anterior, nueva);
    MarcarUso(catalogo_->carpeta(), *canonico, +1);
    MarcarUso(catalogo_->carpeta(), base_, -1);
    base_ = *canonico;
}

void SesionEmbebida::UsarBase(const QString& base) {
    try {
        Usar(base);
    } catch (const ErrorServidor& e) {
        throw ErrorProveedor(e.ComoErrorBD(Origen()));
    }
}

void SesionEmbebida::CrearBase(const QString& nombre) {
    if (nivel_ > 0)
        throw ErrorServidor(err::TransaccionCreaBase, msj::TransaccionCreaBase(QStringLiteral("CREATE DATABASE")),
                            QString::fromLatin1(estado::General));
    if (!catalogo_->TieneRolServidor(login_, QStringLiteral("dbcreator")))
        throw ErrorServidor(err::PermisoBase, msj::PermisoBase(QStringLiteral("CREATE DATABASE"),
                                                               QString::fromLatin1(BaseMaestra)),
                            QString::fromLatin1(estado::Sintaxis));
    ValidarNombre(nombre);
    if (catalogo_->Base(nombre))
        throw ErrorServidor(err::BaseExiste, msj::BaseExiste(nombre), QString::fromLatin1(estado::General));
    // A file left without its catalog entry is taken back rather than overwritten.
    auto b = BaseSqlite::Abrir(RutaBase(catalogo_->carpeta(), nombre), nombre, true);
    AsegurarCatalogoBase(*b);
    b.reset();
    catalogo_->RegistrarBase(nombre, login_);
}

void SesionEmbebida::BorrarBase(const QString& nombre) {
    if (nivel_ > 0)
        throw ErrorServidor(err::TransaccionCreaBase, msj::TransaccionCreaBase(QStringLiteral("DROP DATABASE")),
                            QString::fromLatin1(estado::General));
    const auto canonico = catalogo_->Base(nombre);
    if (!canonico)
        throw ErrorServidor(err::NoSePuedeQuitar, msj::NoSePuedeQuitarBase(nombre), QString::fromLatin1(estado::General));
    if (canonico->compare(QLatin1String(BaseMaestra), Qt::CaseInsensitive) == 0)
        throw ErrorServidor(err::BaseDelSistema, msj::BaseDelSistema(*canonico), QString::fromLatin1(estado::General));
    const bool propietario = catalogo_->LoginDeUsuario(*canonico, QStringLiteral("dbo"))
                                 .value_or(QString())
                                 .compare(login_, Qt::CaseInsensitive) == 0;
    if (!propietario && !catalogo_->TieneRolServidor(login_, QStringLiteral("dbcreator")))
        throw ErrorServidor(err::NoSePuedeQuitar, msj::NoSePuedeQuitarBase(nombre), QString::fromLatin1(estado::General));
    if (Usos(catalogo_->carpeta(), *canonico) > 0)
        throw ErrorServidor(err::BaseEnUso, msj::BaseEnUso(*canonico), QString::fromLatin1(estado::General));
    bases_.erase(canonico->toUpper());
    catalogo_->QuitarBase(*canonico);
    const QString ruta = RutaBase(catalogo_->carpeta(), *canonico);
    QFile::remove(ruta + QStringLiteral("-wal"));
    QFile::remove(ruta + QStringLiteral("-shm"));
    QFile::remove(ruta);
    // The columnar files of its tables go with it.
    QDir(rapida::CarpetaColumnas(ruta)).removeRecursively();
}

// ---------------------------------------------------------------------------

}  // namespace kv::local
