#include "localserver/Catalogo.h"

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QSet>
#include <QStandardPaths>

#include "localserver/Errores.h"

namespace kv::local {

QStringList RolesServidor() {
    return {QStringLiteral("sysadmin"),   QStringLiteral("securityadmin"), QStringLiteral("serveradmin"),
            QStringLiteral("setupadmin"), QStringLiteral("processadmin"),  QStringLiteral("diskadmin"),
            QStringLiteral("dbcreator"),  QStringLiteral("bulkadmin")};
}

QStringList RolesBase() {
    return {QStringLiteral("db_owner"),          QStringLiteral("db_accessadmin"), QStringLiteral("db_securityadmin"),
            QStringLiteral("db_ddladmin"),       QStringLiteral("db_backupoperator"),
            QStringLiteral("db_datareader"),     QStringLiteral("db_datawriter"),
            QStringLiteral("db_denydatareader"), QStringLiteral("db_denydatawriter")};
}

QString CarpetaServidor() {
    QString carpeta = qEnvironmentVariable("KVESTV_DATOS");
    if (carpeta.trimmed().isEmpty())
        carpeta = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/kv_estv");
    carpeta = QDir(carpeta).absolutePath();
    if (!QDir(carpeta).exists()) {
        QDir().mkpath(carpeta);
        QFile::setPermissions(carpeta, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    return carpeta;
}

QString RutaBase(const QString& carpeta, const QString& nombre) {
    return carpeta + QLatin1Char('/') + nombre.toUpper() + QStringLiteral(".db");
}

void ValidarNombre(const QString& nombre) {
    bool valido = !nombre.trimmed().isEmpty() && nombre.size() <= 128 && nombre != QLatin1String(".") &&
                  nombre != QLatin1String("..");
    for (const QChar c : nombre) {
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('/') || c == QLatin1Char('\\') ||
            c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char(':') || c.unicode() < 32)
            valido = false;
    }
    if (!valido) throw ErrorServidor(err::NombreNoValido, msj::NombreNoValido(nombre), QString::fromLatin1(estado::Sintaxis));
}

namespace {

QByteArray Derivar(const QString& clave, const QByteArray& sal, int iteraciones) {
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, clave.toUtf8(), sal, iteraciones, 32);
}

// Verifications that succeeded in this process: the slow hash runs once per
// login and password, which keeps repeated connections quick.
// Never destroyed: a connection still open at exit may sign in or out after
// the program's statics are gone.
QMutex& CerrojoVerificadas() {
    static QMutex& m = *new QMutex;
    return m;
}
QSet<QByteArray>& Verificadas() {
    static QSet<QByteArray>& s = *new QSet<QByteArray>;
    return s;
}
QByteArray ClaveCache(const QString& clave, const QString& hash) {
    return QCryptographicHash::hash(hash.toUtf8() + '\0' + clave.toUtf8(), QCryptographicHash::Sha256);
}

}  // namespace

QString HashClave(const QString& clave) {
    QByteArray sal(16, '\0');
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(sal.data()),
                                         reinterpret_cast<quint32*>(sal.data() + sal.size()));
    return QStringLiteral("pbkdf2-sha256$%1$%2$%3")
        .arg(IteracionesClave)
        .arg(QString::fromLatin1(sal.toHex()), QString::fromLatin1(Derivar(clave, sal, IteracionesClave).toHex()));
}

bool VerificarClave(const QString& clave, const QString& hash) {
    const QByteArray cache = ClaveCache(clave, hash);
    {
        QMutexLocker g(&CerrojoVerificadas());
        if (Verificadas().contains(cache)) return true;
    }
    const QStringList partes = hash.split(QLatin1Char('$'));
    if (partes.size() != 4 || partes[0] != QLatin1String("pbkdf2-sha256")) return false;
    const int iteraciones = partes[1].toInt();
    const QByteArray sal = QByteArray::fromHex(partes[2].toLatin1());
    const QByteArray esperado = QByteArray::fromHex(partes[3].toLatin1());
    if (iteraciones <= 0 || sal.isEmpty() || esperado.isEmpty()) return false;
    const QByteArray calculado = Derivar(clave, sal, iteraciones);
    // Compare without leaving on the first difference.
    unsigned char diferencia = calculado.size() == esperado.size() ? 0 : 1;
    for (int i = 0; i < std::min(calculado.size(), esperado.size()); ++i)
        diferencia |= static_cast<unsigned char>(calculado[i] ^ esperado[i]);
    if (diferencia != 0) return false;
    QMutexLocker g(&CerrojoVerificadas());
    Verificadas().insert(cache);
    return true;
}

QStringList ArchivosDeBases(const QString& carpeta) {
    QStringList nombres;
    const QString maestra = QString::fromLatin1(BaseMaestra).toUpper() + QStringLiteral(".db");
    for (const QFileInfo& f :
         QDir(carpeta).entryInfoList({QStringLiteral("*.db")}, QDir::Files, QDir::Name)) {
        if (f.fileName() == maestra) continue;
        // Only names the server itself writes: upper case, ".db" in lower case.
        const QString base = f.completeBaseName();
        if (f.suffix() != QLatin1String("db") || base != base.toUpper() || base.isEmpty()) continue;
        nombres << base;
    }
    return nombres;
}

Catalogo::Catalogo(const QString& carpeta) : carpeta_(carpeta) {
    const QString ruta = RutaBase(carpeta_, QString::fromLatin1(BaseMaestra));
    const QFileInfo info(ruta);
    const bool vacia = !info.exists() || info.size() == 0;
    // A fresh server only in a folder without databases: elsewhere the
    // catalog held their logins and registrations, and starting afresh would
    // hand the server to the default administrator and orphan them.
    if (vacia && !ArchivosDeBases(carpeta_).isEmpty())
        throw ErrorServidor(err::BaseSinArchivos, msj::CatalogoAusente(ruta),
                            QString::fromLatin1(estado::ConexionPerdida));
    maestra_ = BaseSqlite::Abrir(ruta, QString::fromLatin1(BaseMaestra), true);
    if (!vacia) ComprobarIntegridad();
    Inicializar();
}

void Catalogo::ComprobarIntegridad() {
    // A damaged index answers "no such login" for a login that is there: the
    // catalog is small, so it is checked whole before anybody is answered.
    const QString ruta = RutaBase(carpeta_, QString::fromLatin1(BaseMaestra));
    QVariant resultado;
    try {
        resultado = maestra_->Escalar(QStringLiteral("PRAGMA integrity_check(1)"));
    } catch (const ErrorServidor&) {
        throw ErrorServidor(err::ErrorCoherencia, msj::ErrorCoherencia(QString::fromLatin1(BaseMaestra), ruta),
                            QString::fromLatin1(estado::ConexionPerdida));
    }
    if (resultado.toString() != QLatin1String("ok"))
        throw ErrorServidor(err::ErrorCoherencia, msj::ErrorCoherencia(QString::fromLatin1(BaseMaestra), ruta),
                            QString::fromLatin1(estado::ConexionPerdida));
}

namespace {

const char* const kTablasCatalogo =
    "CREATE TABLE IF NOT EXISTS kv_sys_logins (nombre TEXT NOT NULL COLLATE NOCASE PRIMARY KEY, "
    "clave TEXT NOT NULL, base_defecto TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS kv_sys_roles_servidor (login TEXT NOT NULL COLLATE NOCASE, "
    "rol TEXT NOT NULL COLLATE NOCASE, PRIMARY KEY (login, rol));"
    "CREATE TABLE IF NOT EXISTS kv_sys_bases (nombre TEXT NOT NULL COLLATE NOCASE PRIMARY KEY, "
    "propietario TEXT);"
    "CREATE TABLE IF NOT EXISTS kv_sys_usuarios (base TEXT NOT NULL COLLATE NOCASE, "
    "usuario TEXT NOT NULL COLLATE NOCASE, login TEXT COLLATE NOCASE, PRIMARY KEY (base, usuario));"
    "CREATE TABLE IF NOT EXISTS kv_sys_roles_base (base TEXT NOT NULL COLLATE NOCASE, "
    "usuario TEXT NOT NULL COLLATE NOCASE, rol TEXT NOT NULL COLLATE NOCASE, PRIMARY KEY (base, usuario, "
    "rol));";

// Rights granted on single objects (GRANT EXECUTE ON procedure TO user).
const char* const kTablaPermisos =
    "CREATE TABLE IF NOT EXISTS kv_sys_permisos (base TEXT NOT NULL COLLATE NOCASE, "
    "usuario TEXT NOT NULL COLLATE NOCASE, permiso TEXT NOT NULL COLLATE NOCASE, "
    "objeto TEXT NOT NULL COLLATE NOCASE, PRIMARY KEY (base, usuario, permiso, objeto));";

bool HayTabla(BaseSqlite& m, const char* tabla) {
    return m.Escalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1"),
                     {QString::fromLatin1(tabla)})
               .toInt() > 0;
}

void AgregarAdministrador(BaseSqlite& m, const QString& login, const QString& clave) {
    m.Escalar(QStringLiteral("INSERT INTO kv_sys_logins (nombre, clave, base_defecto) VALUES (?1, ?2, ?3)"),
              {login, HashClave(clave), QString::fromLatin1(BaseMaestra)});
    m.Escalar(QStringLiteral("INSERT INTO kv_sys_roles_servidor (login, rol) VALUES (?1, 'sysadmin')"),
              {login});
    m.Escalar(QStringLiteral("INSERT OR IGNORE INTO kv_sys_bases (nombre, propietario) VALUES (?1, ?2)"),
              {QString::fromLatin1(BaseMaestra), login});
}

}  // namespace

void Catalogo::Inicializar() {
    BaseSqlite& m = *maestra_;
    if (HayTabla(m, "kv_sys_logins")) {
        // A catalog from before object rights were kept gets their table once.
        if (!HayTabla(m, "kv_sys_permisos")) m.Ejecutar(QString::fromLatin1(kTablaPermisos));
        return;
    }
    if (!ArchivosDeBases(carpeta_).isEmpty())
        throw ErrorServidor(err::BaseSinArchivos, msj::CatalogoAusente(m.ruta()),
                            QString::fromLatin1(estado::ConexionPerdida));
    // Two processes may start a fresh server at once: the write lock decides who builds it.
    m.Ejecutar(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        m.Ejecutar(QString::fromLatin1(kTablasCatalogo) + QString::fromLatin1(kTablaPermisos));
        const QVariant logins = m.Escalar(QStringLiteral("SELECT count(*) FROM kv_sys_logins"));
        if (logins.toInt() == 0)
            AgregarAdministrador(m, QString::fromLatin1(AdministradorInicial),
                                 QString::fromLatin1(ClaveAdministradorInicial));
        m.Ejecutar(QStringLiteral("COMMIT"));
    } catch (...) {
        sqlite3_exec(m.db(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

RecuperacionCatalogo RecuperarCatalogo(const QString& carpeta, const QString& clave) {
    RecuperacionCatalogo r;
    const QString ruta = RutaBase(carpeta, QString::fromLatin1(BaseMaestra));
    // The old catalog is put aside, never deleted: it may still be read by hand.
    if (QFile::exists(ruta)) {
        const QString marca = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QString aparte = ruta + QStringLiteral(".anterior-") + marca;
        for (int n = 2; QFile::exists(aparte); ++n)
            aparte = ruta + QStringLiteral(".anterior-") + marca + QLatin1Char('-') + QString::number(n);
        if (!QFile::rename(ruta, aparte))
            throw ErrorServidor(err::ErrorSistemaArchivo,
                                msj::ErrorSistemaArchivo(QString::fromLatin1(BaseMaestra), ruta));
        for (const char* sufijo : {"-wal", "-shm"})
            if (QFile::exists(ruta + QLatin1String(sufijo)))
                QFile::rename(ruta + QLatin1String(sufijo), aparte + QLatin1String(sufijo));
        r.catalogoAnterior = aparte;
    }
    auto m = BaseSqlite::Abrir(ruta, QString::fromLatin1(BaseMaestra), true);
    m->Ejecutar(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        m->Ejecutar(QString::fromLatin1(kTablasCatalogo) + QString::fromLatin1(kTablaPermisos));
        AgregarAdministrador(*m, QString::fromLatin1(AdministradorInicial), clave);
        for (const QString& nombre : ArchivosDeBases(carpeta)) {
            // Each file is checked: a damaged one is registered all the same, so
            // that using it names the damage, and it is listed for the operator.
            try {
                BaseSqlite::Abrir(RutaBase(carpeta, nombre), nombre, false);
                r.bases << nombre;
            } catch (const ErrorServidor&) {
                r.danadas << nombre;
            }
            m->Escalar(QStringLiteral("INSERT INTO kv_sys_bases (nombre, propietario) VALUES (?1, ?2)"),
                       {nombre, QString::fromLatin1(AdministradorInicial)});
            m->Escalar(
                QStringLiteral("INSERT INTO kv_sys_usuarios (base, usuario, login) VALUES (?1, 'dbo', ?2)"),
                {nombre, QString::fromLatin1(AdministradorInicial)});
            m->Escalar(QStringLiteral("INSERT INTO kv_sys_roles_base (base, usuario, rol) VALUES (?1, 'dbo', "
                                      "'db_owner')"),
                       {nombre});
        }
        m->Ejecutar(QStringLiteral("COMMIT"));
    } catch (...) {
        sqlite3_exec(m->db(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    return r;
}

std::optional<InfoLogin> Catalogo::Login(const QString& nombre) {
    const auto filas = maestra_->Filas(
        QStringLiteral("SELECT nombre, base_defecto FROM kv_sys_logins WHERE nombre = ?1"), {nombre});
    if (filas.empty()) return std::nullopt;
    return InfoLogin{filas[0][0].toString(), filas[0][1].toString()};
}

bool Catalogo::Autenticar(const QString& login, const QString& clave) {
    const QVariant hash =
        maestra_->Escalar(QStringLiteral("SELECT clave FROM kv_sys_logins WHERE nombre = ?1"), {login});
    if (hash.isNull()) {
        // An unknown login costs what a wrong password costs, so the time of
        // the answer does not tell which it was.
        static const QString ficticio = HashClave(QString::number(QRandomGenerator::system()->generate64()));
        VerificarClave(clave, ficticio);
        return false;
    }
    return VerificarClave(clave, hash.toString());
}

void Catalogo::AgregarLogin(const QString& nombre, const QString& clave, const QString& baseDefecto) {
    ValidarNombre(nombre);
    if (Login(nombre)) throw ErrorServidor(err::LoginExiste, msj::LoginExiste(nombre), QString::fromLatin1(estado::General));
    maestra_->Escalar(QStringLiteral("INSERT INTO kv_sys_logins (nombre, clave, base_defecto) VALUES (?1, ?2, ?3)"),
                      {nombre, HashClave(clave), baseDefecto});
}

void Catalogo::CambiarClave(const QString& login, const QString& clave) {
    maestra_->Escalar(QStringLiteral("UPDATE kv_sys_logins SET clave = ?2 WHERE nombre = ?1"),
                      {login, HashClave(clave)});
}

bool Catalogo::TieneRolServidor(const QString& login, const QString& rol) {
    const QVariant n = maestra_->Escalar(
        QStringLiteral("SELECT count(*) FROM kv_sys_roles_servidor WHERE login = ?1 AND (rol = ?2 OR rol = 'sysadmin')"),
        {login, rol});
    return n.toInt() > 0;
}

void Catalogo::AgregarRolServidor(const QString& login, const QString& rol) {
    maestra_->Escalar(QStringLiteral("INSERT OR IGNORE INTO kv_sys_roles_servidor (login, rol) VALUES (?1, ?2)"),
                      {login, rol.toLower()});
}

void Catalogo::QuitarRolServidor(const QString& login, const QString& rol) {
    maestra_->Escalar(QStringLiteral("DELETE FROM kv_sys_roles_servidor WHERE login = ?1 AND rol = ?2"), {login, rol});
}

bool Catalogo::MiembroRolServidor(const QString& login, const QString& rol) {
    return maestra_
               ->Escalar(QStringLiteral("SELECT count(*) FROM kv_sys_roles_servidor WHERE login = ?1 AND rol = ?2"),
                         {login, rol})
               .toInt() > 0;
}

void Catalogo::CambiarBaseDefecto(const QString& login, const QString& base) {
    maestra_->Escalar(QStringLiteral("UPDATE kv_sys_logins SET base_defecto = ?2 WHERE nombre = ?1"), {login, base});
}

void Catalogo::RenombrarLogin(const QString& login, const QString& nuevo) {
    ValidarNombre(nuevo);
    if (Login(nuevo) && nuevo.compare(login, Qt::CaseInsensitive) != 0)
        throw ErrorServidor(err::LoginExiste, msj::LoginExiste(nuevo), QString::fromLatin1(estado::General));
    maestra_->Escalar(QStringLiteral("UPDATE kv_sys_logins SET nombre = ?2 WHERE nombre = ?1"), {login, nuevo});
    maestra_->Escalar(QStringLiteral("UPDATE kv_sys_roles_servidor SET login = ?2 WHERE login = ?1"), {login, nuevo});
    maestra_->Escalar(QStringLiteral("UPDATE kv_sys_usuarios SET login = ?2 WHERE login = ?1"), {login, nuevo});
    maestra_->Escalar(QStringLiteral("UPDATE kv_sys_bases SET propietario = ?2 WHERE propietario = ?1"),
                      {login, nuevo});
}

void Catalogo::QuitarLogin(const QString& login) {
    maestra_->Escalar(QStringLiteral("DELETE FROM kv_sys_roles_servidor WHERE login = ?1"), {login});
    // As on SQL Server the database users stay, without a login; a new login of
    // the same name does not take them over.
    maestra_->Escalar(QStringLiteral("UPDATE kv_sys_usuarios SET login = NULL WHERE login = ?1"), {login});
    maestra_->Escalar(QStringLiteral("DELETE FROM kv_sys_logins WHERE nombre = ?1"), {login});
}

QStringList Catalogo::BasesDe(const QString& login) {
    QStringList l;
    for (const auto& f : maestra_->Filas(
             QStringLiteral("SELECT nombre FROM kv_sys_bases WHERE propietario = ?1 ORDER BY nombre"), {login}))
        l << f[0].toString();
    return l;
}

std::optional<QString> Catalogo::Base(const QString& nombre) {
    const QVariant v = maestra_->Escalar(QStringLiteral("SELECT nombre FROM kv_sys_bases WHERE nombre = ?1"), {nombre});
    if (v.isNull()) return std::nullopt;
    return v.toString();
}

QStringList Catalogo::Bases() {
    QStringList l;
    for (const auto& f : maestra_->Filas(QStringLiteral("SELECT nombre FROM kv_sys_bases ORDER BY nombre")))
        l << f[0].toString();
    return l;
}

void Catalogo::RegistrarBase(const QString& nombre, const QString& propietario) {
    maestra_->Escalar(QStringLiteral("INSERT INTO kv_sys_bases (nombre, propietario) VALUES (?1, ?2)"),
                      {nombre, propietario});
    maestra_->Escalar(QStringLiteral("INSERT OR IGNORE INTO kv_sys_usuarios (base, usuario, login) VALUES (?1, 'dbo', ?2)"),
                      {nombre, propietario});
    maestra_->Escalar(
        QStringLiteral("INSERT OR IGNORE INTO kv_sys_roles_base (base, usuario, rol) VALUES (?1, 'dbo', 'db_owner')"),
        {nombre});
}

void Catalogo::QuitarBase(const QString& nombre) {
    maestra_->Escalar(QStringLiteral("DELETE FROM kv_sys_roles_base WHERE base = ?1"), {nombre});
    maestra_->Escalar(QStringLiteral("DELETE FROM kv_sys_usuarios WHERE base = ?1"), {nombre});
    maestra_->Escalar(QStringLiteral("DELETE FROM kv_sys_bases WHERE nombre = ?1"), {nombre});
}

std::optional<QString> Catalogo::UsuarioDeLogin(const QString& base, const QString& login) {
    const QVariant v = maestra_->Escalar(
        QStringLiteral("SELECT usuario FROM kv_sys_usuarios WHERE base = ?1 AND login = ?2"), {base, login});
    if (v.isNull()) return std::nullopt;
    return v.toString();
}

std::optional<QString> Catalogo::LoginDeUsuario(const QString& base, const QString& usuario) {
    const auto filas = maestra_->Filas(
        QStringLiteral("SELECT login FROM kv_sys_usuarios WHERE base = ?1 AND usuario = ?2"), {base, usuario});
    if (filas.empty()) return std::nullopt;
    return filas[0][0].toString();
}

void Catalogo::AgregarUsuario(const QString& base, const QString& usuario, const QString& login) {
    maestra_->Escalar(QStringLiteral("INSERT INTO kv_sys_usuarios (base, usuario, login) VALUES (?1, ?2, ?3)"),
                      {base, usuario, login});
}

bool Catalogo::TieneRolBase(const QString& base, const QString& usuario, const QString& rol) {
    const QVariant n = maestra_->Escalar(QStringLiteral("SELECT count(*) FROM kv_sys_roles_base WHERE base = ?1 AND "
                                                        "usuario = ?2 AND rol = ?3"),
                                         {base, usuario, rol});
    return n.toInt() > 0;
}

void Catalogo::AgregarRolBase(const QString& base, const QString& usuario, const QString& rol) {
    maestra_->Escalar(
        QStringLiteral("INSERT OR IGNORE INTO kv_sys_roles_base (base, usuario, rol) VALUES (?1, ?2, ?3)"),
        {base, usuario, rol.toLower()});
}

void Catalogo::QuitarRolBase(const QString& base, const QString& usuario, const QString& rol) {
    maestra_->Escalar(QStringLiteral("DELETE FROM kv_sys_roles_base WHERE base = ?1 AND usuario = ?2 AND rol = ?3"),
                      {base, usuario, rol});
}

void Catalogo::QuitarUsuario(const QString& base, const QString& usuario) {
    maestra_->Escalar(QStringLiteral("DELETE FROM kv_sys_permisos WHERE base = ?1 AND usuario = ?2"), {base, usuario});
    maestra_->Escalar(QStringLiteral("DELETE FROM kv_sys_roles_base WHERE base = ?1 AND usuario = ?2"),
                      {base, usuario});
    maestra_->Escalar(QStringLiteral("DELETE FROM kv_sys_usuarios WHERE base = ?1 AND usuario = ?2"),
                      {base, usuario});
}

bool Catalogo::PuedeUsar(const QString& login, const QString& base) {
    if (!Base(base)) return false;
    if (base.compare(QLatin1String(BaseMaestra), Qt::CaseInsensitive) == 0) return true;
    if (TieneRolServidor(login, QStringLiteral("sysadmin"))) return true;
    return UsuarioDeLogin(base, login).has_value();
}

bool Catalogo::TienePermisoBase(const QString& login, const QString& base, const QString& rol) {
    if (TieneRolServidor(login, QStringLiteral("sysadmin"))) return true;
    const auto usuario = UsuarioDeLogin(base, login);
    if (!usuario) return false;
    const QVariant n = maestra_->Escalar(QStringLiteral("SELECT count(*) FROM kv_sys_roles_base WHERE base = ?1 AND "
                                                        "usuario = ?2 AND (rol = ?3 OR rol = 'db_owner')"),
                                         {base, *usuario, rol});
    return n.toInt() > 0;
}

bool Catalogo::TienePermisoObjeto(const QString& base, const QString& usuario, const QString& permiso,
                                  const QString& objeto) {
    return maestra_
               ->Escalar(
                   QStringLiteral("SELECT count(*) FROM kv_sys_permisos WHERE base = ?1 AND usuario = ?2 AND "
                                  "permiso = ?3 AND objeto = ?4"),
                   {base, usuario, permiso, objeto})
               .toInt() > 0;
}

void Catalogo::ConcederPermisoObjeto(const QString& base, const QString& usuario, const QString& permiso,
                                     const QString& objeto) {
    maestra_->Escalar(QStringLiteral("INSERT OR IGNORE INTO kv_sys_permisos (base, usuario, permiso, objeto) "
                                     "VALUES (?1, ?2, ?3, ?4)"),
                      {base, usuario, permiso.toUpper(), objeto.toUpper()});
}

void Catalogo::RevocarPermisoObjeto(const QString& base, const QString& usuario, const QString& permiso,
                                    const QString& objeto) {
    maestra_->Escalar(QStringLiteral("DELETE FROM kv_sys_permisos WHERE base = ?1 AND usuario = ?2 AND "
                                     "permiso = ?3 AND objeto = ?4"),
                      {base, usuario, permiso, objeto});
}

bool Catalogo::PuedeEjecutar(const QString& login, const QString& base, const QString& procedimiento) {
    if (TieneRolServidor(login, QStringLiteral("sysadmin"))) return true;
    const auto usuario = UsuarioDeLogin(base, login);
    if (!usuario) return false;
    if (usuario->compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0) return true;
    if (TieneRolBase(base, *usuario, QStringLiteral("db_owner"))) return true;
    return TienePermisoObjeto(base, *usuario, QStringLiteral("EXECUTE"), procedimiento);
}

}  // namespace kv::local
