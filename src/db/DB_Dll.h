#pragma once
// DB_Dll: the database access class. One object holds one connection together
// with the settings it was opened with, runs statements and opens recordsets,
// rewrites statements for restricted users and for Oracle, answers small schema
// and value questions and carries its own error treatment and log.
//
// No operation raises to its caller except BuscaMaximo, BuscaMinimo and
// BuscaUltimoCodigo: the outcome is reported through gOpenFlag, the error
// collection of gCnn and the messages shown through the interaction port.

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

#include "db/Conexion.h"
#include "db/Recordset.h"
#include "util/KvError.h"

namespace kv::db {

// What the sign-in window shows and gives back. plataforma: 0 SQL Server, 1 Oracle.
struct DatosAcceso {
    QString base;
    QString servidor;
    QString usuario;
    QString clave;
    int plataforma = 0;
};

// The sign-in window, shown modally: gets the current settings, returns true
// when the user accepted (with the fields read back), false when cancelled.
using VentanaAcceso = std::function<bool(DatosAcceso&)>;

class DB_Dll {
  public:
    DB_Dll();
    ~DB_Dll();
    DB_Dll(const DB_Dll&) = delete;
    DB_Dll& operator=(const DB_Dll&) = delete;

    // The process-wide instance holding the ERP connection (created on first use).
    static DB_Dll& Principal();
    // Drops the process-wide instance so the next Principal() starts fresh (tests, shutdown).
    static void DescartarPrincipal();

    // The sign-in window that OpenServerADODB shows. Without one, a request for
    // the window behaves as if the user cancelled it (console and headless runs).
    static void EstablecerVentanaAcceso(VentanaAcceso ventana);
    // The confidentiality flag of the company configuration ("SS_CONFIDENCIALIDAD").
    static void EstablecerConfidencialidad(bool activa);
    static bool Confidencialidad();
    // Name of the running program (no folder, no extension) as the synonym
    // conditions and the connection-error message see it. Empty = the real one.
    static void EstablecerNombreProceso(const QString& nombre);
    static QString NombreProceso();
    // What "close the application at once" does after a lost connection the user
    // gives up on. Default: ends the process. Tests replace it.
    static void EstablecerTerminacion(std::function<void()> terminar);

    // ---- Members (public, as callers read and write them) ----
    bool gOpenFlag = false;
    QVariant gIgnoraPassWord;          // read as boolean
    Conexion gCnn;                     // the connection
    std::unique_ptr<Recordset> glrcs;  // spare recordset
    QVariant gCursorLocation;
    QString gProveedor;
    QString gDsn;
    QString gServidor;  // contains "#" for an Oracle database
    QString gDBName;
    QString gUsuario;
    bool gEsAdmin = false;
    QString gUserPassWord;
    QString gExtended;
    QString gLogErr;
    QString gConnString;
    QVariant gKVTimeOut;

    // ---- Provider names ----
    static QString pSQLOLEDB();
    static QString pJETOLEDB40();
    static QString pJETOLEDB35();

    // ---- Connections ----
    void OpenServerADODB(bool PideParametrosSQL, qint32 lCursor, const QString& ConnString, bool ValidaAdmin,
                         bool MuestraError);
    void ReintentaConectar();
    void OpenLocalADODB(const QString& ConnString, const QString& CadenaID, const QString& CadenaPWD);

    // Connection strings as this object builds them from its members.
    QString CadenaSQLServer() const;
    QString CadenaOracle() const;
    QString CadenaAccess(const QString& CadenaID, const QString& CadenaPWD) const;
    // The connection-error message, from an error and the main instance's server and user.
    static QString MensajeErrorConexion(const ErrorBD& error);

    // ---- Statements and recordsets ----
    // Both write the rewritten statement back into `SentenciaSQL`. `lrcs`, when
    // given, receives the recordset the execution returned (or nullptr).
    void EjecutaConsultaSQL(QString& SentenciaSQL, qint32& RecordsAffected,
                            std::unique_ptr<Recordset>* lrcs = nullptr);
    void EjecutaConsultaRSQL(QString& SentenciaSQL, qint32& RecordsAffected,
                             std::unique_ptr<Recordset>* lrcs = nullptr);
    // Closes `lrcs` if open and opens it with the statement (rewritten and written back).
    void AbrirRecordset(QString& SentenciaSQL, Recordset& lrcs, Conexion* Conexionactiva = nullptr,
                        int CursorType = 0, int LockType = 1, int Options = -1, bool ConvOracle = true);
    void CierraRecordset(Recordset& LrcsTemp);
    // The lost-connection question.
    static QString MensajeConexionPerdida();

    // ---- SQL literals and names ----
    static bool adodate(const QVariant& Qtype);
    static bool ADOText(const QVariant& Qtype);
    static bool ADONumeric(const QVariant& Qtype);
    static bool ADOCurrency(const QVariant& Qtype);
    static bool ADOBoolean(const QVariant& Qtype);
    static QString ADOComilla(const QVariant& Qtype);
    // marker "@" number, "'" text or date (apostrophes inside are doubled), other: as is.
    static QVariant SQLValue(const QVariant& valor, const QString& marcador);
    static QString stSTF(QString& rsName, bool rnPart);
    static QString AddBrackets(const QString& rObjName);
    static QString StripConnect(const QString& rsTblName);
    static QString StripBrackets(const QString& rsObjName);
    static QString StripOwner(QString& rsTblName);
    static QString StripFileName(const QString& rsFileName);

    // ---- Schema and value lookups ----
    bool ExisteTablaDB(const QString& Tabla);
    bool ExisteCampoDB(const QString& Tabla, const QString& Campo);
    // ValorDefault invalid (QVariant()) = omitted.
    void AddField(const QString& Tabla, const QString& Campo, const QString& Tipo, bool PermiteNulos,
                  const QVariant& ValorDefault = QVariant());
    bool VerCampoDB(const QString& Tabla, const QString& Campo, bool Agregar, const QString& Tipo,
                    bool PermiteNulos, const QVariant& ValorDefault = QVariant());
    // With `lrcs` the caller keeps the open recordset positioned on the row found.
    bool ExisteEnTabla(const QString& Tabla, const QString& ValorBuscado, const QString& Campo,
                       Recordset* lrcs = nullptr, int Tipodato = 8, const QString& Condicion = QString(),
                       bool SoloLectura = true);
    bool ExisteEnTablaST(const QString& Tabla, const QString& ValorBuscado, const QString& Campo,
                         Recordset* lrcs = nullptr, int Tipodato = 8, const QString& Condicion = QString(),
                         bool SoloLectura = true);
    // Empty QVariant when there is no row; a failure with IgnoraError gives empty text.
    QVariant DatosTabla(const QString& Tabla, const QString& ValorBuscado, const QString& CampoDevuelto,
                        const QString& Campo, int Tipodato = 8, const QString& Condicion = QString(),
                        bool UsaTrim = true, bool IgnoraError = false);
    // These three throw KvExcepcion on failure. Tipo 0 = omitted; Condicion nullopt = omitted.
    QVariant BuscaMaximo(const QString& QueTabla, const QString& QueCampo, int Tipo = 0,
                         const std::optional<QString>& Condicion = std::nullopt);
    QVariant BuscaMinimo(const QString& QueTabla, const QString& QueCampo, int Tipo = 0,
                         const std::optional<QString>& Condicion = std::nullopt);
    QVariant BuscaUltimoCodigo(const QString& QueTabla, const QString& QueCampo, int Tipo = 0,
                               const QString& Condicion = QString());

    // SQL texts of the lookups (exact texts; user values already made safe).
    static QString SqlExisteEnTabla(const QString& Tabla, const QString& ValorBuscado, const QString& Campo,
                                    int Tipodato, const QString& Condicion);
    static QString SqlExisteEnTablaST(const QString& Tabla, const QString& ValorBuscado, const QString& Campo,
                                      int Tipodato, const QString& Condicion);
    static QString SqlDatosTabla(const QString& Tabla, const QString& ValorBuscado, const QString& Campo,
                                 int Tipodato, const QString& Condicion, bool UsaTrim);
    static QString SqlAddField(const QString& Tabla, const QString& Campo, const QString& Tipo,
                               bool PermiteNulos, const QVariant& ValorDefault);

    // ---- Statement rewriting ----
    QString SS_TSinonimos(const QString& sentencia) const;
    QString ORACLE_Dicc(const QString& texto) const;
    // Runs a SQL Server style script on an Oracle connection; adds each
    // statement's affected records to `recordsAffected`. Throws on failure.
    void EjecutaLoteOracle(const QString& script, qint32& recordsAffected);

    // ---- Error treatment ----
    // Shows the error (Botones default 18), appends the log line and returns the
    // answer; 0 for error number 0. Never throws.
    int TratamientoErrores(const KvError& CodErr, std::optional<int> Botones = std::nullopt,
                           const std::optional<QString>& Rutina = std::nullopt);
    QVariant ArchivoErrores() const { return QVariant(gLogErr); }
    void SetArchivoErrores(const QVariant& archivo) { gLogErr = archivo.toString(); }
    // The log file TratamientoErrores writes to.
    QString RutaArchivoErrores() const;

    // The text of a message or title of TratamientoErrores.
    static QString MensajeError(const KvError& error);
    static QString TituloError(const KvError& error, const std::optional<QString>& Rutina);
    static QString PalabraRespuesta(int respuesta);
    // One line of the error log (without its line end): date, time, routine part,
    // message and answer word.
    static QString LineaRegistro(const QDateTime& momento, const QString& parteRutina, const QString& mensaje,
                                 const QString& palabra);

    // QConsulta / QGridConsulta are not part of this class: nothing calls them.

  private:
    bool EsConexionOracle() const;
    void EjecutarConsulta(QString& SentenciaSQL, qint32& RecordsAffected, std::unique_ptr<Recordset>* lrcs,
                          bool muestraMensaje);
    bool PasoVentanaAcceso();
    void ConstruirCadena();
    bool ExisteEnTablaComun(const QString& sql, Recordset* lrcs, bool SoloLectura);
    int MensajeAvisoOperador(const KvError& error);
};

}  // namespace kv::db
