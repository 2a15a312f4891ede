#pragma once
// One connection to the embedded server: a login, a current database, the
// SQLite handles it has opened, and a transaction that may span batches.

#include <QHash>
#include <QString>
#include <chrono>
#include <map>
#include <memory>
#include <set>

#include "db/Proveedor.h"
#include "localserver/BaseSqlite.h"
#include "localserver/Catalogo.h"
#include "localserver/tsql/Plan.h"

namespace kv::local {

class SesionEmbebida : public kv::db::Sesion {
public:
    // `base` must exist and be open to the login (the provider checks both).
    SesionEmbebida(std::unique_ptr<Catalogo> catalogo, QString login, QString base);
    ~SesionEmbebida() override;

    std::vector<kv::db::ResultadoSentencia> Ejecutar(const QString& lote, const std::vector<QVariant>& parametros,
                                                     int tiempoEspera) override;
    QString BaseActual() override { return base_; }
    void UsarBase(const QString& base) override;
    void IniciarTransaccion() override;
    void ConfirmarTransaccion() override;
    void DeshacerTransaccion() override;
    kv::db::ResultadoSentencia EsquemaTablas(const QString& catalogo, const QString& tabla) override;
    kv::db::ResultadoSentencia EsquemaColumnas(const QString& catalogo, const QString& tabla) override;
    QStringList ClavePrimaria(const QString& tabla) override;
    QString Origen() const override;

    const QString& login() const { return login_; }
    Catalogo& catalogo() { return *catalogo_; }
    // The handle of a database of the server (opened on first use), by any letter case.
    BaseSqlite& Base(const QString& nombre);
    int NivelTransaccion() const { return nivel_; }

    // What the authorizer allows the statement being prepared.
    struct Permisos {
        bool leer = false;
        bool escribir = false;
        bool definir = false;
        bool administrador = false;
    };
    struct Denegacion {
        QString permiso;
        QString objeto;
    };

private:
    void EjecutarSentencia(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                           std::vector<kv::db::ResultadoSentencia>& salida);
    // Runs a statement a route of its own claimed while planning; false when the
    // route declines and the general route is to run it.
    bool EjecutarPorRuta(const PlanSentencia& plan, const std::vector<QVariant>& parametros,
                         size_t& siguienteParametro, std::vector<kv::db::ResultadoSentencia>& salida);
    void EjecutarSql(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                     std::vector<kv::db::ResultadoSentencia>& salida);
    void EjecutarProcedimiento(const Sentencia& s, std::vector<kv::db::ResultadoSentencia>& salida);
    // Runs a statement's query and returns its rows (conditions, assignments, PRINT).
    std::vector<std::vector<QVariant>> Consultar(const Sentencia& s, const std::vector<QVariant>& parametros,
                                                 size_t& siguienteParametro);
    void Asignar(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro);
    void Imprimir(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                  std::vector<kv::db::ResultadoSentencia>& salida);
    void Elevar(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                std::vector<kv::db::ResultadoSentencia>& salida);
    // Value of a named parameter: a variable of the batch or one of the server's values.
    QVariant ValorVariable(const QString& parametro);
    void EjecutarProcedimientoSistema(const QString& nombre, const Sentencia& s,
                                      std::vector<kv::db::ResultadoSentencia>& salida);
    // The catalog procedures (sp_tables, sp_columns, sp_help, sp_helpdb, sp_helplogins, sp_who);
    // false for other names.
    bool ProcedimientoDeCatalogo(const QString& nombre, const Sentencia& s,
                                 std::vector<kv::db::ResultadoSentencia>& salida);
    void ConcederPermisos(const Sentencia& s, bool concede);
    // CREATE/ALTER/DROP LOGIN, CREATE/DROP USER, ALTER [SERVER] ROLE (SeguridadEmbebida.cpp).
    void EjecutarSeguridad(const Sentencia& s, std::vector<kv::db::ResultadoSentencia>& salida);
    // Before the catalog changes (logins, passwords, users, roles, rights): an open
    // transaction takes them in, so that its ROLLBACK undoes them.
    void UnirCatalogo();
    // "principal<TAB>role" lines for IS_SRVROLEMEMBER and IS_MEMBER.
    QString ListaRolesServidor();
    QString ListaRolesBase();
    void Usar(const QString& base);
    void CrearBase(const QString& nombre);
    void BorrarBase(const QString& nombre);
    void Iniciar();
    void Confirmar();
    void Deshacer();
    // Joins the handle to the open transaction, if any.
    void Unir(BaseSqlite& base);
    // Notices a transaction SQLite ended on its own (a time-out rolls it back).
    void RevisarTransaccion();
    // Gives every open handle the running batch's deadline (or none).
    void AplicarLimite();
    Permisos PermisosActuales();
    void ExigirDefinir(const QString& permiso);

    std::unique_ptr<Catalogo> catalogo_;
    QString login_;
    QString base_;
    std::map<QString, std::unique_ptr<BaseSqlite>> bases_;  // upper-case name -> handle (master is the catalog's)
    int nivel_ = 0;
    std::set<BaseSqlite*> enTransaccion_;
    bool conLimite_ = false;
    std::chrono::steady_clock::time_point limite_{};
    // The batch running: its variables by parameter ("@kv_v1"), @@ROWCOUNT and @@ERROR.
    QHash<QString, QVariant> variables_;
    qint64 filas_ = 0;
    int error_ = 0;

public:
    // Read by the authorizer callback while a user statement is prepared.
    Permisos permisos_;
    std::optional<Denegacion> denegacion_;
};

}  // namespace kv::local
