#pragma once
// T-SQL front end of the embedded server: a batch of SQL Server text becomes a
// list of statements the server can run on SQLite. Parsing and rewriting only:
// nothing here touches a database.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kv::local {

// A column as CREATE TABLE or ALTER TABLE ... ADD declares it.
struct ColumnaDeclarada {
    QString nombre;
    QString tipo;  // SQL Server type name in lower case: nvarchar, int, money, datetime, bit, float, ntext...
    int longitud = 0;   // (n) of char types; -1 for max; 0 none
    int precision = 0;  // decimal(p, s)
    int escala = 0;
    bool nulos = true;
    bool identidad = false;
    qint64 semilla = 1;
    qint64 incremento = 1;
    QString defecto;        // default as SQLite expression text, empty when none; put it in
                            // parentheses in DDL ("DEFAULT (kv_getdate())")
    QString nombreDefecto;  // name of the DEFAULT constraint, when given
};

enum class Clase {
    Consulta,              // returns rows: `sql` is SQLite text; `tabla` is the one table it reads, when it
                           // reads exactly one (a recordset over it can add and update rows)
    Modificacion,          // INSERT/UPDATE/DELETE/DROP/CREATE VIEW/INDEX...: `sql` is SQLite text
    CrearTabla,            // `tabla`, `columnas`, `clavePrimaria`, `nombreClave`
    AgregarRestricciones,  // ALTER TABLE t [WITH NOCHECK] ADD CONSTRAINT ...: `tabla`, `clavePrimaria`,
                           // `defectos`
    AgregarColumna,        // ALTER TABLE t ADD col type ...: `tabla`, `columnas` (one)
    QuitarColumna,         // ALTER TABLE t DROP COLUMN c: `tabla`, `objeto` the column
    Usar,                  // USE `objeto`
    CrearBase,             // CREATE DATABASE `objeto`
    BorrarBase,            // DROP DATABASE `objeto`
    Ejecutar,  // EXEC `objeto` with `argumentos` (also a procedure name alone at the head of a batch)
    Si,        // IF / WHILE: `sql` gives 1 or 0; on 0 the batch goes on at statement `salto`
    Saltar,    // goes on at statement `salto` (ELSE, the end of a WHILE, BREAK, CONTINUE)
    Asignar,   // DECLARE ... = , SET @v = , SELECT @v = ...: `sql` gives the values of `variables`
               // (the last row, when it gives several; none leaves them as they are)
    Imprimir,  // PRINT: `sql` gives the text
    Elevar,    // RAISERROR: `sql` gives the message, severity, state and the arguments
    Esperar,   // WAITFOR: `objeto` "DELAY" or "TIME", `sql` gives the time text
    Retornar,  // RETURN: the batch ends here
    IniciarTransaccion,
    ConfirmarTransaccion,
    DeshacerTransaccion,
    Nada,      // SET NOCOUNT and the like
    Conceder,  // GRANT: `sql` the permissions ("EXECUTE", comma-separated), `objeto` the object,
               // `argumentos` the database users
    Revocar,   // REVOKE, as GRANT
    // CREATE / ALTER / CREATE OR ALTER PROCEDURE, the whole batch: `objeto` the name, `sql` the verb,
    // `original` the definition as written
    CrearProcedimiento,
    BorrarProcedimiento,  // DROP PROCEDURE: `argumentos` the names; `sql` "IF EXISTS" when written
    EjecutarTexto,        // EXEC (expression): `sql` gives the text of the batch to run
    Intentar,             // BEGIN TRY: on an error the batch goes on at statement `salto` (the CATCH)
    FinIntento,           // END TRY: the TRY is over; the batch goes on at `salto` (past END CATCH)
    FinCaptura,           // END CATCH: the error caught is forgotten
    Lanzar,               // THROW: `sql` gives number, message and state; empty rethrows the error caught
    Opcion,               // SET XACT_ABORT ON|OFF: `objeto` the option, `sql` "ON" or "OFF"
    Seguridad  // CREATE/ALTER/DROP LOGIN, CREATE/DROP USER, ALTER [SERVER] ROLE: `sql` the statement's
               // kind ("CREATE LOGIN", "ALTER SERVER ROLE"...), `objeto` the login, user or role it
               // names, `argumentos` its options by name ("PASSWORD", "DEFAULT_DATABASE", "ADD"...)
};

struct Argumento {
    Argumento() = default;
    Argumento(QString nombreDado, QVariant valorDado) : nombre(std::move(nombreDado)), valor(std::move(valorDado)) {}
    QString nombre;  // "@loginame" for named arguments, empty otherwise
    QVariant valor;  // text for quoted and bare words, number for numbers, null for NULL
    // A variable given as the argument: the SQLite parameter that carries it
    // ("@kv_v3", or "@kv_filas" for @@ROWCOUNT). The session puts its value in
    // `valor` before the procedure runs; `valor` then holds the variable's name.
    QString variable;
    bool salida = false;      // written OUTPUT (or OUT)
    bool porDefecto = false;  // the word DEFAULT: the parameter's own default
};

struct DefectoAgregado {
    QString nombre;  // constraint name
    QString columna;
    QString expresion;  // SQLite expression text
};

// Declared types of the columns of the database a batch runs in, so that
// expressions get SQL Server's result types.
class TiposColumnas {
  public:
    virtual ~TiposColumnas() = default;
    // SQL Server type (lower case) of a column of a table or view; empty when unknown.
    virtual QString Tipo(const QString& tabla, const QString& columna) = 0;
};

struct Sentencia {
    Clase clase = Clase::Nada;
    int linea = 1;     // line of the batch where the statement starts
    QString original;  // the statement's own T-SQL text
    QString sql;       // SQLite text for Consulta and Modificacion
    QString tabla;     // target table (without brackets or dbo.) where the statement has one
    std::vector<ColumnaDeclarada> columnas;
    QStringList clavePrimaria;
    QString nombreClave;
    std::vector<QStringList> clavesUnicas;  // UNIQUE constraints of CREATE TABLE / ALTER TABLE ... ADD
    std::vector<DefectoAgregado> defectos;
    QString objeto;
    // CREATE/ALTER/DROP TABLE and CREATE/DROP INDEX written base.dbo.t: the database the
    // object lives in, where the session runs the statement; empty for the current one.
    QString baseObjeto;
    // CREATE INDEX and DROP INDEX: the index as written. SQL Server names an index
    // within its table and SQLite within the whole file, so the session picks the
    // SQLite name (see NombreIndiceDeTabla) and puts it in the text in this one's place.
    QString indice;
    std::vector<Argumento> argumentos;
    // Consulta: SQL Server type of each result column when the translator knows it
    // (expressions over typed columns), empty otherwise.
    std::vector<QString> tiposColumnas;
    int salto = -1;         // Si and Saltar: index of a statement of the batch (its size: the end)
    // CREATE VIEW: the one table whose rows DML through the view changes; when there is
    // none, SQL Server's number for refusing it (4403 grouped or DISTINCT, 4405 several
    // tables, 4406 no table).
    QString tablaVista;
    QString filtroVista;  // its WHERE: UPDATE and DELETE through it touch only the rows it shows
    int vistaNoActualizable = 0;
    QStringList variables;  // Asignar: the SQLite parameters of the variables ("@kv_v1");
                            // Ejecutar: the variable that takes the return status (EXEC @r = ...)
    // Other databases the statement names (base.dbo.tabla, base..tabla), as written,
    // and the objects it names in them ("base.dbo.tabla"). The SQLite text names
    // their tables through the schema EsquemaDeBase(base).
    QStringList bases;
    QStringList objetosExternos;
    // Table variables the statement names, by their SQLite parameter ("@kv_v2"). The
    // SQLite text names each as NombreVariableDeTabla(parameter); the session puts the
    // table of the running frame in its place.
    QStringList tablasVariables;
    // INSERT ... EXEC: the call (Ejecutar or EjecutarTexto) whose result rows go into the
    // table through this text, "INSERT INTO t [(columns)]", with one value per column.
    QString insercion;
};

// How the SQLite text of a statement names a table variable before the session
// gives it the table of the running frame.
QString NombreVariableDeTabla(const QString& parametro);
// A temporary table's name (#t, ##t): it lives in the session, not in a database.
bool EsNombreTemporal(const QString& nombre);

// The SQLite name of index `indice` of `tabla` when the index's own name is taken
// in the file (by another table's index or by any other object), and back: the
// name as written from a SQLite name of an index of `tabla`.
QString NombreIndiceDeTabla(const QString& tabla, const QString& indice);
QString IndiceComoSeEscribio(const QString& fisico, const QString& tabla);

// The parts of a written name ("srv.base.dbo.t", "[a.b].\"c\""), brackets and
// quotes taken off and doubled closing marks undone; an empty part stays empty.
// Nothing for a text that is no name (a mark left open, text after one).
std::optional<QStringList> PartesDeNombre(const QString& nombre);

// The SQLite schema through which a statement reaches a table of another
// database; the session attaches the database under it, or reads it as the
// connection's own when it is the current database.
QString EsquemaDeBase(const QString& base);

// A batch that cannot be translated: SQL Server's number (102 for syntax), its
// Spanish message and the line; no statement of the batch runs.
class ErrorTSQL : public std::exception {
  public:
    ErrorTSQL(int numero, QString mensaje, int linea);
    int numero() const { return numero_; }
    const QString& mensaje() const { return mensaje_; }
    int linea() const { return linea_; }
    const char* what() const noexcept override { return texto_.c_str(); }

  private:
    int numero_;
    QString mensaje_;
    int linea_;
    std::string texto_;
};

// Longest batch the server reads, in characters: SQL Server's limit of 65,536
// network packets of 4,096 bytes, in UTF-16. A longer one is refused whole (701).
inline constexpr qsizetype kLargoMaximoLote = 65536LL * 4096 / 2;

// Translates a whole batch; throws ErrorTSQL when any part of it is malformed.
// The SQLite text uses the collation "KV" and the kv_* functions that
// RegistrarFuncionesTSQL (Funciones.h) installs on a handle.
// `tipos`, when given, tells the declared column types of the current database.
std::vector<Sentencia> TraducirLote(const QString& lote, TiposColumnas* tipos = nullptr);

}  // namespace kv::local
