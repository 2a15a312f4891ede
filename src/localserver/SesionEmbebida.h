#pragma once
// One connection to the embedded server: a login, a current database, the
// SQLite handles it has opened, and a transaction that may span batches.

#include <QHash>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "db/Proveedor.h"
#include "localserver/BaseSqlite.h"
#include "localserver/Catalogo.h"
#include "localserver/LimitesSesion.h"
#include "localserver/tsql/Plan.h"

namespace kv::local {

// Takes a batch's results as they are made instead of at the batch's end, so
// that the rows of a long query are never held whole: the TDS endpoint sends
// them on while the query still runs.
class ReceptorResultados {
public:
    virtual ~ReceptorResultados() = default;
    // A finished result, in the batch's order.
    virtual void Resultado(kv::db::ResultadoSentencia&& r) = 0;
    // A query's rows start to go one by one: its columns, with the first rows
    // (those read to learn the types of its expression columns).
    virtual void EmpezarFilas(const kv::db::ResultadoSentencia& primeras) = 0;
    // One more row. Throws ErrorServidor when the row cannot go as the columns
    // were described (the query then fails there, as a statement error).
    virtual void Fila(const std::vector<QVariant>& fila) = 0;
    // The query's rows ended (also when it failed half-way): how many went.
    virtual void TerminarFilas(std::uint64_t filas) = 0;
};

class SesionEmbebida : public kv::db::Sesion {
public:
    // `base` must exist and be open to the login (the provider checks both).
    SesionEmbebida(std::unique_ptr<Catalogo> catalogo, QString login, QString base);
    ~SesionEmbebida() override;

    std::vector<kv::db::ResultadoSentencia> Ejecutar(const QString& lote, const std::vector<QVariant>& parametros,
                                                     int tiempoEspera) override;
    // Runs a batch as Ejecutar does, handing each result to `receptor` as soon as
    // it is made; a query of more rows than a few hundred goes row by row.
    void EjecutarHacia(const QString& lote, const std::vector<QVariant>& parametros, int tiempoEspera,
                       ReceptorResultados& receptor);
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
    // Stops the running batch as its time-out would (a client's cancel); safe from any thread.
    // The flag stays up until Reanudar, so a cancel that comes just before a batch stops it too.
    void Cancelar() { cancelado_.store(true); }
    void Reanudar() { cancelado_.store(false); }

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
        QString base;  // the other database the object is in; empty for the current one
    };
    struct PermisosExternos {
        Permisos permisos;
        QString base;
    };

    // A procedure called by name, as a client's remote call: arguments by position
    // or by name ("@tabla"), OUTPUT ones given back with their values, and the
    // procedure's return status. Errors and rows come in `resultados`, as from Ejecutar.
    struct ArgumentoLlamada {
        QString nombre;  // "@tabla"; empty for a positional argument
        QVariant valor;
        bool salida = false;
    };
    struct ResultadoLlamada {
        std::vector<kv::db::ResultadoSentencia> resultados;
        int estado = 0;
        std::vector<std::pair<QString, QVariant>> salidas;  // OUTPUT arguments: name (or position) and value
    };
    ResultadoLlamada LlamarProcedimiento(const QString& nombre, const std::vector<ArgumentoLlamada>& argumentos,
                                         int tiempoEspera);

private:
    // One level of execution: the batch, a procedure's body or a text run by EXEC.
    struct Marco {
        QString rutina;                // the procedure; empty for the batch and dynamic SQL
        QString base;                  // the database the procedure lives in
        bool encadena = false;         // its owner's rights reach the objects of that database
        std::vector<size_t> capturas;  // the CATCH blocks of the TRY blocks open, innermost last
        size_t capturasEnCurso = 0;    // errors of this frame's CATCH blocks being run
        std::optional<int> retorno;    // RETURN n
        bool sesion = false;           // the client's batch: the #t it makes belong to the session
        std::vector<std::pair<BaseSqlite*, QString>> temporales;  // #t made by this frame, dropped when it ends
        QHash<QString, std::pair<BaseSqlite*, QString>> tablasVariables;  // its table variables: parameter -> table
        // A caller's #t this frame's own #t of the same name hides until the frame ends:
        // the handle, the name and the name it is kept under meanwhile.
        struct Oculta {
            BaseSqlite* base;
            QString nombre;
            QString guardada;
        };
        std::vector<Oculta> ocultas;
        const std::vector<PlanSentencia>* planes = nullptr;  // the frame's statements (its declarations)
    };
    // Ends every frame of the batch at once: the time-out was reported.
    struct TiempoDelLote {};

    void EjecutarEn(const QString& lote, const std::vector<QVariant>& parametros, int tiempoEspera,
                    std::vector<kv::db::ResultadoSentencia>& salida);
    // Whether the rows of `salida` go to the receptor as they are read: only those of the batch itself.
    bool Enviando(const std::vector<kv::db::ResultadoSentencia>& salida) const {
        return receptor_ && &salida == salidaLote_;
    }
    // Hands the receptor the batch's finished results it has not had yet.
    void EntregarHechos();
    void EmpezarLote(int tiempoEspera);
    void TerminarLote();
    void EjecutarMarco(const std::vector<PlanSentencia>& planes, const std::vector<QVariant>& parametros,
                       size_t& siguienteParametro, std::vector<kv::db::ResultadoSentencia>& salida, Marco& marco);
    void EjecutarPlanes(const std::vector<PlanSentencia>& planes, const std::vector<QVariant>& parametros,
                        size_t& siguienteParametro, std::vector<kv::db::ResultadoSentencia>& salida, Marco& marco);
    // Errors that end the batch, not only their statement (217, THROW).
    static bool AbortaLote(const ErrorServidor& e);
    static int SeveridadDe(const ErrorServidor& e);
    QString TextoConOtrasBases(const Sentencia& s, BaseSqlite& b);
    void Adjuntar(BaseSqlite& b, const QString& base);
    Permisos PermisosEn(const QString& base);
    // Procedures written in T-SQL (SesionRutinas.cpp).
    void CrearRutina(const Sentencia& s);
    void BorrarRutinas(const Sentencia& s);
    void EjecutarDinamico(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                          std::vector<kv::db::ResultadoSentencia>& salida);
    void Lanzar(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro);
    // Runs a batch's text in a frame of its own (EXEC of a text, sp_executesql, a new procedure).
    void EjecutarTextoEnMarco(const QString& texto, std::vector<kv::db::ResultadoSentencia>& salida);
    // The procedure's text kept in `base`, when it has one of that name.
    std::optional<QString> TextoDeRutina(const QString& base, const QString& nombre);
    // Runs a T-SQL procedure; arguments already carry their values. Returns its status.
    int LlamarRutina(const QString& base, const QString& nombre, const QString& texto, std::vector<Argumento>& args,
                     std::vector<kv::db::ResultadoSentencia>& salida, bool paraEjecutarTexto = false);
    void EntrarNivel();
    // sp_executesql @stmt, @params, values...; returns its status.
    int EjecutarSqlConParametros(std::vector<Argumento>& argumentos, std::vector<kv::db::ResultadoSentencia>& salida);
    // OUTPUT arguments take back the values the procedure left in them.
    void DevolverSalidas(const Sentencia& llamada, const std::vector<Argumento>& argumentos);
    // The procedure's name as kept in `base`.
    QString TextoDeNombreRutina(const QString& base, const QString& nombre);
    void EjecutarSentencia(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                           std::vector<kv::db::ResultadoSentencia>& salida);
    // The current database for ALTER TABLE of `tabla`: to a login without the right to
    // define, the table is not there (4902), as SQL Server answers.
    BaseSqlite& BaseParaAlterar(const QString& tabla);
    // A definition of base.dbo.t, run in that database (SesionDefiniciones.cpp).
    void EjecutarEnBaseDelObjeto(const Sentencia& s, const std::vector<QVariant>& parametros,
                                 size_t& siguienteParametro, std::vector<kv::db::ResultadoSentencia>& salida);
    // CREATE INDEX and DROP INDEX with the index named within its table.
    void EjecutarIndice(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                        std::vector<kv::db::ResultadoSentencia>& salida);
    // Temporary tables, table variables and SELECT ... INTO (SesionTemporales.cpp).
    static bool EsCreacionDeSesion(const Sentencia& s);
    void CrearTablaEnSesion(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                            std::vector<kv::db::ResultadoSentencia>& salida);
    // The SQLite text with the running frame's table in the place of each table variable.
    QString ConTablasVariables(QString sql, const QStringList& tablas);
    // DECLARE @t TABLE: the frame's table for it, made once.
    void DeclararTablaVariable(const Sentencia& s, Marco& marco);
    // Sets a caller's #t aside while the running procedure has its own of that name.
    void OcultarTemporal(BaseSqlite& b, const QString& nombre, Marco& marco);
    void RestaurarOcultas(Marco& marco);
    // USE: the session's own tables go with it to the handle of the new database.
    void MoverTablasDeSesion(BaseSqlite& de, BaseSqlite& a);
    // Drops what a frame made that ends with it; never throws.
    void CerrarAmbito(Marco& marco);
    // INSERT ... EXEC: the rows of the call's results go into the table.
    void InsertarEjecucion(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                           std::vector<kv::db::ResultadoSentencia>& salida);
    // A ROLLBACK leaves table variables as they are: their rows are kept around it.
    struct CopiaTablaVariable {
        BaseSqlite* base;
        QString tabla;
        std::vector<std::vector<QVariant>> filas;
    };
    std::vector<CopiaTablaVariable> CopiarTablasVariables();
    void RestaurarTablasVariables(const std::vector<CopiaTablaVariable>& copias);
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
    int id_;  // @@SPID: the process's sessions count from 51, as user sessions do on SQL Server
    std::map<QString, std::unique_ptr<BaseSqlite>> bases_;  // upper-case name -> handle (master is the catalog's)
    int nivel_ = 0;
    std::set<BaseSqlite*> enTransaccion_;
    bool conLimite_ = false;
    std::atomic<bool> cancelado_{false};
    std::chrono::steady_clock::time_point limite_{};
    // The batch running: its variables by parameter ("@kv_v1"), @@ROWCOUNT and @@ERROR.
    QHash<QString, QVariant> variables_;
    qint64 filas_ = 0;
    int error_ = 0;
    MemoriaLote memoria_;
    std::vector<Marco*> marcos_;             // the frames running, innermost last
    int intentosAbiertos_ = 0;               // TRY blocks open in every frame
    std::vector<ErrorServidor> capturados_;  // the errors of the CATCH blocks running
    bool xactAbort_ = false;                 // SET XACT_ABORT
    bool rutinasEnMaestra_ = false;
    quint64 serieTablas_ = 0;     // names each table variable's table
    int insertandoEjecucion_ = 0;  // INSERT ... EXEC running (they do not nest)
    int esperaBloqueoMs_ = -1;  // SET LOCK_TIMEOUT: -1 waits as long as the batch may
    // The batch's results while they go to a receptor: what it has had stays as an empty shell.
    ReceptorResultados* receptor_ = nullptr;
    std::vector<kv::db::ResultadoSentencia>* salidaLote_ = nullptr;
    size_t entregados_ = 0;

public:
    // Read by the authorizer callback while a user statement is prepared.
    Permisos permisos_;
    std::map<QString, PermisosExternos> permisosExternos_;  // schema of another database -> rights there
    std::optional<Denegacion> denegacion_;
};

}  // namespace kv::local
