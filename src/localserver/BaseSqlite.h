#pragma once
// One open SQLite database of the embedded server, set up the same way for
// every user of it: WAL journal, a busy wait that honours the statement's
// time-out, the KV collation and the T-SQL functions, and the server's own
// helper functions (identity values, date conversion).

#include <QString>
#include <optional>
#include <QVariant>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "localserver/ErrorServidor.h"
#include "localserver/tsql/Funciones.h"
#include "localserver/tsql/Traduccion.h"

#include <QHash>
#include <QStringList>

struct sqlite3;
struct sqlite3_stmt;

namespace kv::local {

// How long a statement waits for another connection's lock when it has no
// time-out of its own.
inline constexpr int EsperaBloqueoSinLimiteMs = 10 * 60 * 1000;
// Largest text or binary value a statement may build or store, in bytes.
inline constexpr int LargoMaximoValor = 100 * 1000 * 1000;

class BaseSqlite {
public:
    // Opens (and with `crear`, creates with owner-only permissions) the file.
    // `nombre` is the database name the errors speak of. `sinDiario` is for a
    // file being made that nobody else sees yet: no journal and no syncs (a
    // failure leaves it unusable, and it is thrown away).
    static std::unique_ptr<BaseSqlite> Abrir(const QString& ruta, const QString& nombre, bool crear,
                                             bool sinDiario = false);
    ~BaseSqlite();
    BaseSqlite(const BaseSqlite&) = delete;
    BaseSqlite& operator=(const BaseSqlite&) = delete;

    sqlite3* db() const { return db_; }
    // Rows of views changed through their triggers (kv_fila_de_vista()), which
    // sqlite3_changes does not count.
    std::int64_t filasDeVista() const { return filasDeVista_; }
    const QString& nombre() const { return nombre_; }
    const QString& ruta() const { return ruta_; }
    // Names this handle for its whole life; never reused by another handle.
    std::uint64_t serie() const { return serie_; }

    // Deadline of the running statement; 0 seconds means none.
    void FijarLimite(int segundos);
    void FijarLimite(std::chrono::steady_clock::time_point limite, bool conLimite);
    bool TiempoAgotado() const;
    // The flag that cancels whatever this handle runs (owned by the session, read from any thread).
    void FijarCancelacion(const std::atomic<bool>* cancelado) { limite_.cancelado = cancelado; }
    bool Vencido() const { return limite_.vencido; }
    // Longest wait for another connection's lock, in milliseconds (SET LOCK_TIMEOUT):
    // -1 waits as long as the statement may, 0 not at all. A wait that ends so fails with 1222.
    void FijarEsperaBloqueo(int ms) { esperaBloqueoMs_ = ms; }
    // The identity value the last insert through this handle generated (@@IDENTITY).
    std::optional<qint64> UltimaIdentidad() const;
    void LimpiarVencido() { limite_.vencido = false; }

    // Runs SQL without results; throws ErrorServidor with the server's number.
    void Ejecutar(const QString& sql);
    // First column of the first row, or a null QVariant.
    QVariant Escalar(const QString& sql, const std::vector<QVariant>& parametros = {});
    // All rows of a query, as variants.
    std::vector<std::vector<QVariant>> Filas(const QString& sql, const std::vector<QVariant>& parametros = {});

    bool EnTransaccion() const;

    // The declared columns of the session's own tables on this handle (temporary
    // tables and table variables, in its TEMP schema), by lower-case name.
    struct TablaDeSesion {
        std::vector<ColumnaDeclarada> columnas;
        QStringList clavePrimaria;
        QString nombreClave;
    };
    QHash<QString, TablaDeSesion>& tablasDeSesion() { return tablasDeSesion_; }

private:
    BaseSqlite() = default;
    static int Ocupado(void* yo, int intentos);
    static int Progreso(void* yo);

    sqlite3* db_ = nullptr;
    std::int64_t filasDeVista_ = 0;
    // State of the helper functions; SQLite owns it and frees it on close.
    void* estadoFunciones_ = nullptr;
    QString nombre_;
    QString ruta_;
    std::uint64_t serie_ = 0;
    // Read by the busy and progress handlers and by LIKE.
    LimiteTiempo limite_;
    std::chrono::steady_clock::time_point inicioEspera_{};
    QHash<QString, TablaDeSesion> tablasDeSesion_;
    int esperaBloqueoMs_ = -1;
};

// A prepared statement, finalized on destruction.
class Preparada {
public:
    // Throws ErrorServidor when SQLite refuses the text.
    Preparada(BaseSqlite& base, const QString& sql);
    ~Preparada();
    Preparada(const Preparada&) = delete;
    Preparada& operator=(const Preparada&) = delete;
    sqlite3_stmt* stmt() const { return stmt_; }
    bool Vacia() const { return stmt_ == nullptr; }  // only blanks or comments
    void Enlazar(int indice, const QVariant& valor);  // 1-based
    void Enlazar(const std::vector<QVariant>& valores);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Paso();
    void Reiniciar();
    QVariant Columna(int i) const;

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    QByteArray texto_;
};

// The value of a column of the current row as SQLite holds it.
QVariant ValorColumna(sqlite3_stmt* stmt, int i);

// Date and time text, day first or ISO, as the stored ISO text
// "YYYY-MM-DD HH:MM:SS"; empty when the text is not a date.
QString FechaISO(const QString& texto);

// Quotes an identifier for SQLite.
QString Identificador(const QString& nombre);
// Quotes a text as an SQLite literal.
QString Literal(const QString& texto);

// Puts what is written of a file (or of a folder's entries) on disk; false when
// it could not. Not for a database file a handle has open: closing this
// descriptor would drop every lock the process holds on the file.
bool SincronizarEnDisco(const QString& ruta);

}  // namespace kv::local
