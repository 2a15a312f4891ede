#pragma once
// The embedded server's own catalog, kept in the master database: logins with
// their salted password hashes, server roles, the databases, and for each
// database the users mapped to logins and their database roles.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "localserver/BaseSqlite.h"

namespace kv::local {

inline constexpr const char* BaseMaestra = "master";
inline constexpr const char* AdministradorInicial = "Korvane";
inline constexpr const char* ClaveAdministradorInicial = "pelumbo";
inline constexpr int IteracionesClave = 20000;

// Roles the server accepts.
QStringList RolesServidor();
QStringList RolesBase();

// The server's folder: $KVESTV_DATOS, by default "kv_estv" under the user's data
// folder; created on first use, open to its owner only.
QString CarpetaServidor();
// File of a database: <folder>/<NAME IN UPPER CASE>.db
QString RutaBase(const QString& carpeta, const QString& nombre);
// Refuses a login or database name that could leave the folder or break a
// statement: empty, a quote, a path separator, a control character.
void ValidarNombre(const QString& nombre);

// Salted slow hash of a password, "pbkdf2-sha256$iterations$salt$hash" (hex).
QString HashClave(const QString& clave);
bool VerificarClave(const QString& clave, const QString& hash);

// Database files of the folder (their names, upper case), the catalog's own left out.
QStringList ArchivosDeBases(const QString& carpeta);

struct InfoLogin {
    QString nombre;  // as created
    QString baseDefecto;
};

class Catalogo {
  public:
    // Opens the catalog of the folder, creating a fresh server in a folder
    // without databases. A folder with databases and no usable catalog is
    // refused (945, naming the file and the recovery); a damaged catalog, also one
    // whose damage only SQLite's integrity check finds, gives 824.
    explicit Catalogo(const QString& carpeta);

    const QString& carpeta() const { return carpeta_; }
    BaseSqlite& maestra() { return *maestra_; }

    // Logins.
    std::optional<InfoLogin> Login(const QString& nombre);
    bool Autenticar(const QString& login, const QString& clave);
    void AgregarLogin(const QString& nombre, const QString& clave, const QString& baseDefecto);  // 15025 when there
    void CambiarClave(const QString& login, const QString& clave);
    // sysadmin holds every server role.
    bool TieneRolServidor(const QString& login, const QString& rol);
    void AgregarRolServidor(const QString& login, const QString& rol);
    void QuitarRolServidor(const QString& login, const QString& rol);
    // Whether the login holds the role itself (sysadmin not counted for the others).
    bool MiembroRolServidor(const QString& login, const QString& rol);
    void CambiarBaseDefecto(const QString& login, const QString& base);
    // The login and everything of it the server keeps, renamed.
    void RenombrarLogin(const QString& login, const QString& nuevo);
    // Removes the login and its server roles; the users mapped to it stay, orphaned.
    void QuitarLogin(const QString& login);
    // Databases the login owns.
    QStringList BasesDe(const QString& login);

    // Databases. The name as created, or nothing.
    std::optional<QString> Base(const QString& nombre);
    QStringList Bases();
    void RegistrarBase(const QString& nombre, const QString& propietario);
    void QuitarBase(const QString& nombre);

    // Users of a database.
    std::optional<QString> UsuarioDeLogin(const QString& base, const QString& login);
    std::optional<QString> LoginDeUsuario(const QString& base, const QString& usuario);
    void AgregarUsuario(const QString& base, const QString& usuario, const QString& login);
    bool TieneRolBase(const QString& base, const QString& usuario, const QString& rol);
    void AgregarRolBase(const QString& base, const QString& usuario, const QString& rol);
    void QuitarRolBase(const QString& base, const QString& usuario, const QString& rol);
    // Removes the user with its roles and rights in that database.
    void QuitarUsuario(const QString& base, const QString& usuario);

    // Whether the login may work in the database (master is open to everyone).
    bool PuedeUsar(const QString& login, const QString& base);
    // Whether the login holds the database role there (sysadmin and db_owner hold every one).
    bool TienePermisoBase(const QString& login, const QString& base, const QString& rol);

    // Object rights (GRANT EXECUTE): whether the database user holds it.
    bool TienePermisoObjeto(const QString& base, const QString& usuario, const QString& permiso,
                            const QString& objeto);
    void ConcederPermisoObjeto(const QString& base, const QString& usuario, const QString& permiso,
                               const QString& objeto);
    void RevocarPermisoObjeto(const QString& base, const QString& usuario, const QString& permiso,
                              const QString& objeto);
    // Whether the login may run the procedure in the database: sysadmin, the
    // database's owner and db_owner may; others need GRANT EXECUTE.
    bool PuedeEjecutar(const QString& login, const QString& base, const QString& procedimiento);

  private:
    void Inicializar();
    void ComprobarIntegridad();
    QString carpeta_;
    std::unique_ptr<BaseSqlite> maestra_;
};

// The recovery of a folder whose catalog is lost or damaged: the old catalog
// is put aside (renamed, never deleted) and a new one registers every database
// file present, owned by the default administrator with the password given.
// Logins other than the administrator's are not recovered.
struct RecuperacionCatalogo {
    QString catalogoAnterior;  // where the old catalog was put, empty when there was none
    QStringList bases;         // databases registered
    QStringList danadas;       // registered too, but their files did not open
};
RecuperacionCatalogo RecuperarCatalogo(const QString& carpeta, const QString& clave);

}  // namespace kv::local
