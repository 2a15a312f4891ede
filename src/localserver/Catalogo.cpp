#include "localserver/Catalogo.h"

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
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

Catalogo::Catalogo(const QString& carpeta) : carpeta_(carpeta) {
    maestra_ = BaseSqlite::Abrir(RutaBase(carpeta_, QString::fromLatin1(BaseMaestra)),
                                 QString::fromLatin1(BaseMaestra), true);
    Inicializar();
}

void Catalogo::Inicializar() {
    BaseSqlite& m = *maestra_;
    const QVariant hay = m.Escalar(QStringLiteral(
        "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'kv_sys_logins'"));
    if (hay.toInt() > 0) return;
    // Two processes may start a fresh server at once: the write lock decides who builds it.
    m.Ejecutar(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        m.Ejecutar(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS kv_sys_logins (nombre TEXT NOT NULL COLLATE NOCASE PRIMARY KEY, "
            "clave TEXT NOT NULL, base_defecto TEXT NOT NULL);"
            "CREATE TABLE IF NOT EXISTS kv_sys_roles_servidor (login TEXT NOT NULL COLLATE NOCASE, "
            "rol TEXT NOT NULL COLLATE NOCASE, PRIMARY KEY (login, rol));"
            "CREATE TABLE IF NOT EXISTS kv_sys_bases (nombre TEXT NOT NULL COLLATE NOCASE PRIMARY KEY, "
            "propietario TEXT);"
            "CREATE TABLE IF NOT EXISTS kv_sys_usuarios (base TEXT NOT NULL COLLATE NOCASE, "
            "usuario TEXT NOT NULL COLLATE NOCASE, login TEXT COLLATE NOCASE, PRIMARY KEY (base, usuario));"
            "CREATE TABLE IF NOT EXISTS kv_sys_roles_base (base TEXT NOT NULL COLLATE NOCASE, "
            "usuario TEXT NOT NULL COLLATE NOCASE, rol TEXT NOT NULL COLLATE NOCASE, PRIMARY KEY (base, usuario, rol));"));
        const QVariant logins = m.Escalar(QStringLiteral("SELECT count(*) FROM kv_sys_logins"));
        if (logins.toInt() == 0) {
            m.Escalar(QStringLiteral("INSERT INTO kv_sys_logins (nombre, clave, base_defecto) VALUES (?1, ?2, ?3)"),
                      {QString::fromLatin1(AdministradorInicial), HashClave(QString::fromLatin1(ClaveAdministradorInicial)),
                       QString::fromLatin1(BaseMaestra)});
            m.Escalar(QStringLiteral("INSERT INTO kv_sys_roles_servidor (login, rol) VALUES (?1, 'sysadmin')"),
                      {QString::fromLatin1(AdministradorInicial)});
            m.Escalar(QStringLiteral("INSERT OR IGNORE INTO kv_sys_bases (nombre, propietario) VALUES (?1, ?2)"),
                      {QString::fromLatin1(BaseMaestra), QString::fromLatin1(AdministradorInicial)});
        }
        m.Ejecutar(QStringLiteral("COMMIT"));
    } catch (...) {
        sqlite3_exec(m.db(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

std::optional<InfoLogin> Catalogo::Login(const QString& nombre) {
    const auto filas = maestra_->Filas(
        QStringLiteral("SELECT nombre, base_defecto FROM kv_sys_logins WHERE nombre = ?1"), {nombre});
    if (filas.empty()) return std::nullopt;
    return InfoLogin{filas[0][0].toString(), filas[0][1].toString()};
}

bool Catalogo::Autenticar(const QString& login, const QString& clave) {
    const QVariant hash = maestra_->Escalar(QStringLiteral("SELECT clave FROM kv_sys_logins WHERE nombre = ?1"),
                                            {login});
    if (hash.isNull()) return false;
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

}  // namespace kv::local
