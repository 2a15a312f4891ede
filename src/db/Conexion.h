#pragma once
// ADO-like connection. Failures are thrown as kv::KvExcepcion carrying the ADO
// error number, and the provider's errors are kept in Errors() as ADO keeps them.

#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

#include "db/Proveedor.h"
#include "util/KvError.h"

namespace kv::db {

class Recordset;
class TrazaSQL;

// ADO numbers the system branches on.
namespace adoerr {
inline constexpr qint32 FalloNoEspecificado = -2147467259;  // 0x80004005
inline constexpr qint32 ViolacionIntegridad = -2147217873;  // 0x80040E2F
inline constexpr qint32 TablaInexistente = -2147217865;     // 0x80040E37
inline constexpr qint32 ErrorEnComando = -2147217900;       // 0x80040E14
inline constexpr qint32 TiempoAgotado = -2147217871;        // 0x80040E31
inline constexpr qint32 ConversionImposible = -2147217913;  // 0x80040E07, a value could not be converted
inline constexpr qint32 PermisoDenegado = -2147217911;      // 0x80040E09
inline constexpr qint32 DesbordamientoDatos = -2147217833;  // 0x80040E57, overflow or truncation
inline constexpr qint32 AutenticacionFallida = -2147217843;  // 0x80040E4D, login failed
inline constexpr qint32 ObjetoCerrado = 3704;
inline constexpr qint32 ObjetoAbierto = 3705;
inline constexpr qint32 ConexionNoUsable = 3709;
inline constexpr qint32 OperacionNoPermitida = 3219;
inline constexpr qint32 ProveedorNoDisponible = 3706;
inline constexpr qint32 SinRegistroActual = 3021;     // BOF or EOF is true
inline constexpr qint32 ElementoNoEncontrado = 3265;  // no field of that name or ordinal
inline constexpr qint32 ArgumentoIncorrecto = 3001;
inline constexpr qint32 NoAdmitido = 3251;            // the recordset or provider does not support it
inline constexpr qint32 FilaNoEncontrada = -2147217864;  // 0x80040E38, row to update not found
}  // namespace adoerr

// Maps a provider error (SQL state, native number) to the ADO number.
qint32 NumeroADO(const QString& estadoSQL, qint32 errorNativo);

// ADO cursor locations, cursor and lock types, schema kinds.
namespace ado {
inline constexpr int UsarServidor = 2;
inline constexpr int UsarCliente = 3;
inline constexpr int SoloAvance = 0;     // adOpenForwardOnly
inline constexpr int Estatico = 3;       // adOpenStatic
inline constexpr int Dinamico = 2;       // adOpenDynamic
inline constexpr int Conjunto = 1;       // adOpenKeyset
inline constexpr int SoloLectura = 1;    // adLockReadOnly
inline constexpr int Pesimista = 2;      // adLockPessimistic
inline constexpr int Optimista = 3;      // adLockOptimistic
inline constexpr int LoteOptimista = 4;  // adLockBatchOptimistic
inline constexpr int EsquemaColumnas = 4;  // adSchemaColumns
inline constexpr int EsquemaTablas = 20;   // adSchemaTables
inline constexpr int LecturaNoConfirmada = 256;  // adXactReadUncommitted
inline constexpr int Cerrado = 0;
inline constexpr int Abierto = 1;
}  // namespace ado

// The connection's error collection.
class ErroresADO {
public:
    int Count() const { return static_cast<int>(errores_.size()); }
    const ErrorBD& Item(int i) const { return errores_.at(static_cast<size_t>(i)); }
    void Clear() { errores_.clear(); }
    void Agregar(const ErrorBD& e) { errores_.push_back(e); }
    const std::vector<ErrorBD>& Todos() const { return errores_; }

private:
    std::vector<ErrorBD> errores_;
};

class Conexion {
public:
    Conexion();
    ~Conexion();
    Conexion(const Conexion&) = delete;
    Conexion& operator=(const Conexion&) = delete;

    // Properties.
    QString ConnectionString() const { return cadena_; }
    void SetConnectionString(const QString& cadena) { cadena_ = cadena; }
    int CommandTimeout() const { return tiempoComando_; }
    void SetCommandTimeout(int segundos) { tiempoComando_ = segundos; }
    int ConnectionTimeout() const { return tiempoConexion_; }
    void SetConnectionTimeout(int segundos) { tiempoConexion_ = segundos; }
    int CursorLocation() const { return ubicacionCursor_; }
    void SetCursorLocation(int ubicacion) { ubicacionCursor_ = ubicacion; }
    int IsolationLevel() const { return aislamiento_; }
    void SetIsolationLevel(int nivel);
    int State() const { return sesion_ ? ado::Abierto : ado::Cerrado; }

    // Opens with `cadena` (or the ConnectionString property when empty). A user
    // and password given here take the place of those in the string. Throws
    // 3705 when already open; the provider's errors land in Errors().
    void Open(const QString& cadena = QString(), const QString& usuario = QString(),
              const QString& clave = QString());
    // Throws 3704 when already closed.
    void Close();

    // Runs a statement or batch. Returns the first row-returning result as an
    // open recordset (nullptr when the batch returned none); `afectados` gets the
    // records affected. The first statement error is thrown after the batch ran,
    // with every error in Errors().
    std::unique_ptr<Recordset> Execute(const QString& sql, qint32* afectados = nullptr, int opciones = -1);

    // Runs a batch and hands back every result and error in order, without
    // throwing for statement errors (for the console). Connection failures still throw.
    std::vector<ResultadoSentencia> EjecutarLote(const QString& sql);

    // Runs one statement with "?" markers bound to `parametros`.
    ResultadoSentencia EjecutarConParametros(const QString& sql, const std::vector<QVariant>& parametros);

    QString DefaultDatabase();
    void SetDefaultDatabase(const QString& base);

    int BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool EnTransaccion() const { return nivelTransaccion_ > 0; }
    // Whether it ever opened: a connection that never did cannot have been lost.
    bool AbiertaAlgunaVez() const { return abiertaAlgunaVez_; }

    ErroresADO& Errors() { return errores_; }

    // adSchemaTables (restrictions: catalog, schema, table, type) and
    // adSchemaColumns (catalog, schema, table, column).
    std::unique_ptr<Recordset> OpenSchema(int tipoEsquema, const std::vector<QVariant>& restricciones = {});

    // Primary key of a table, for updatable recordsets.
    QStringList ClavePrimaria(const QString& tabla);

    // Runs the source of Recordset::Open and hands back its first row-returning
    // result (none when the statement returned no rows). Errors as Execute.
    std::optional<ResultadoSentencia> AbrirConsulta(const QString& sql);

    // Server and database this connection was opened on (for the SQL trace and messages).
    QString Servidor() const { return servidor_; }

    Sesion* sesion() { return sesion_.get(); }

private:
    // Records the provider's errors and throws the first as KvExcepcion.
    [[noreturn]] void Fallar(const std::vector<ErrorBD>& errores);
    Sesion& SesionAbierta();
    void Trazar(const QString& operacion, const QString& sql, double ms, std::optional<qint64> filas,
                const ErrorBD* error);
    std::vector<ResultadoSentencia> Correr(const QString& operacion, const QString& sql,
                                           const std::vector<QVariant>& parametros);

    QString cadena_;
    QString servidor_;
    int tiempoComando_ = 30;
    int tiempoConexion_ = 15;
    int ubicacionCursor_ = ado::UsarServidor;
    int aislamiento_ = 4096;  // adXactReadCommitted
    std::unique_ptr<Sesion> sesion_;
    ErroresADO errores_;
    std::unique_ptr<TrazaSQL> traza_;  // set at Open when KVESTV_TRAZA_SQL names a file
    int nivelTransaccion_ = 0;
    bool abiertaAlgunaVez_ = false;
    QString baseTraza_;  // database of the statement being traced
};

}  // namespace kv::db
