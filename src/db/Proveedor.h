#pragma once
// The seam between the ADO-like client (Conexion, Recordset) and whatever
// answers: the ODBC provider, the embedded server, or a test double. Nothing
// above src/db sees this file's types except through Conexion and Recordset.

#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kv::db {

// One error as a provider reports it. `numero` is the ADO number; a provider may
// leave it 0 and Conexion derives it from the SQL state and the native number.
struct ErrorBD {
    qint32 numero = 0;
    QString descripcion;
    qint32 errorNativo = 0;
    QString estadoSQL;
    QString origen;
    int linea = 0;  // line of the batch where the failing statement starts (1-based), 0 unknown
};

// The call failed as a whole (could not connect, connection lost, ...).
class ErrorProveedor : public std::exception {
public:
    explicit ErrorProveedor(std::vector<ErrorBD> errores);
    explicit ErrorProveedor(ErrorBD error);
    const std::vector<ErrorBD>& errores() const { return errores_; }
    const char* what() const noexcept override { return texto_.c_str(); }

private:
    std::vector<ErrorBD> errores_;
    std::string texto_;
};

// ADO data type codes used for columns.
namespace tipo {
inline constexpr int SmallInt = 2;
inline constexpr int Integer = 3;
inline constexpr int Single = 4;
inline constexpr int Double = 5;
inline constexpr int Currency = 6;
inline constexpr int Date = 7;
inline constexpr int Boolean = 11;
inline constexpr int TinyInt = 17;
inline constexpr int BigInt = 20;
inline constexpr int Numeric = 131;
inline constexpr int DBTimeStamp = 135;
inline constexpr int Char = 129;
inline constexpr int WChar = 130;
inline constexpr int VarChar = 200;
inline constexpr int LongVarChar = 201;
inline constexpr int VarWChar = 202;
inline constexpr int LongVarWChar = 203;
inline constexpr int VarBinary = 204;
}  // namespace tipo

struct ColumnaResultado {
    QString nombre;
    int tipo = tipo::VarWChar;  // ADO type code
    int tamano = 0;             // defined size, 0 unknown
    QString tablaBase;          // base table when the provider knows it
    int precision = 0;          // decimal(p, s) when the provider knows them, 0 unknown
    int escala = 0;
    QString tipoServidor{};     // the server's type name in lower case ("datetime", "date", "decimal"...), empty unknown
};

// What one statement of a batch produced.
struct ResultadoSentencia {
    bool tieneFilas = false;  // a row-returning statement (possibly with no rows)
    std::vector<ColumnaResultado> columnas;
    std::vector<std::vector<QVariant>> filas;
    qint64 filasAfectadas = -1;  // -1 when not applicable
    std::optional<ErrorBD> error;  // the statement failed; later statements of the batch may still have run
    QStringList mensajes;  // informational messages of the statement (PRINT and the like), in order
};

// A decimal read by its digits ("-123.4500"): a double when that double,
// written with as many decimals, gives the same digits back; the text itself
// otherwise, so that no digit is lost. Not a number: an invalid value.
QVariant ValorDecimal(const QString& digitos);

// Connection string split into its keywords: upper-cased, trimmed keys (blanks
// inside a key folded, so "Database =" gives "DATABASE"), values trimmed.
struct ParametrosConexion {
    QString cadena;
    QMap<QString, QString> valores;
    static ParametrosConexion Analizar(const QString& cadena);
    // The keyword/value pairs in the order written (keys normalised as above, values untouched).
    static std::vector<QPair<QString, QString>> Pares(const QString& cadena);
    // The first non-empty value among the given keys (upper case).
    QString Valor(std::initializer_list<const char*> claves) const;
    QString Proveedor() const { return Valor({"PROVIDER"}); }
    QString Servidor() const { return Valor({"SERVER", "DATA SOURCE", "ADDRESS", "ADDR"}); }
    QString Base() const { return Valor({"DATABASE", "INITIAL CATALOG"}); }
    QString Usuario() const { return Valor({"UID", "USER ID", "USER"}); }
    QString Clave() const { return Valor({"PWD", "PASSWORD"}); }
};

// A typed value as it goes into a connection string. A ";" would end the value
// and start a keyword of the user's making, blanks around it would be lost and a
// leading quote or brace would be taken for quoting: such a value goes between
// braces, which the string reader takes away again. Ordinary values go in as typed.
QString ValorCadenaConexion(const QString& valor);

// The provider of a connection string is Oracle's ("OraOLEDB.Oracle.1", "MSDAORA").
bool EsCadenaOracle(const QString& cadena);

// One open session at a server.
class Sesion {
public:
    virtual ~Sesion() = default;

    // Runs a batch (one or more statements). `parametros` binds "?" markers
    // (used by recordset add-new and update; then the batch is one statement).
    // Statement errors come back inside the results; a failure of the whole
    // call (syntax error of the batch, lost connection) is thrown as ErrorProveedor.
    // `tiempoEspera` in seconds, 0 waits without limit.
    virtual std::vector<ResultadoSentencia> Ejecutar(const QString& lote, const std::vector<QVariant>& parametros,
                                                     int tiempoEspera) = 0;

    virtual QString BaseActual() = 0;
    virtual void UsarBase(const QString& base) = 0;  // throws ErrorProveedor

    virtual void IniciarTransaccion() = 0;
    virtual void ConfirmarTransaccion() = 0;
    virtual void DeshacerTransaccion() = 0;
    virtual void NivelAislamiento(int /*nivelADO*/) {}

    // ADO schema rowsets. Tables: TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
    // TABLE_TYPE ("TABLE", "VIEW", "SYSTEM TABLE"...). Columns: TABLE_CATALOG,
    // TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION, COLUMN_HASDEFAULT,
    // COLUMN_DEFAULT, IS_NULLABLE, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH,
    // NUMERIC_PRECISION, NUMERIC_SCALE. Empty restriction = any.
    virtual ResultadoSentencia EsquemaTablas(const QString& catalogo, const QString& tabla) = 0;
    virtual ResultadoSentencia EsquemaColumnas(const QString& catalogo, const QString& tabla) = 0;

    // Primary-key columns of a table of the current database (empty when none or unknown).
    virtual QStringList ClavePrimaria(const QString& tabla) = 0;

    // Text the provider puts in the error's source ("Microsoft OLE DB Provider for SQL Server", ...).
    virtual QString Origen() const = 0;
};

// Opens sessions for the connection strings it serves.
class Proveedor {
public:
    virtual ~Proveedor() = default;
    virtual bool Atiende(const ParametrosConexion& parametros) const = 0;
    // Throws ErrorProveedor when the connection cannot be opened.
    virtual std::unique_ptr<Sesion> Abrir(const ParametrosConexion& parametros, int tiempoEsperaConexion) = 0;
};

// Registered providers are asked, newest first, before the built-in ones (ODBC).
// The embedded server registers itself here (wired in by the programs), and so do test doubles.
void RegistrarProveedor(std::shared_ptr<Proveedor> proveedor);
void QuitarProveedor(const std::shared_ptr<Proveedor>& proveedor);

// The provider that serves a connection string: the registered ones first, then ODBC
// ("SQLOLEDB", "OraOLEDB.Oracle.1", an empty provider, or a string with "DRIVER=").
// Throws ErrorProveedor with ADO number 3706 for a provider this platform lacks.
std::shared_ptr<Proveedor> ElegirProveedor(const ParametrosConexion& parametros);

// Texts of the 3706 errors.
QString MensajeProveedorNoDisponible(const QString& proveedor);  // the Access (Jet) providers
QString MensajeProveedorDesconocido(const QString& proveedor);

}  // namespace kv::db
