#include "localserver/BaseSqlite.h"

#include <sqlite3.h>

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <atomic>
#include <limits>
#include <thread>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "localserver/Errores.h"
#include "localserver/tsql/Funciones.h"

namespace kv::local {

namespace {

using Reloj = std::chrono::steady_clock;

// State of the server's helper functions on one handle.
struct EstadoFunciones {
    bool hayPendiente = false;
    qint64 pendiente = 0;
    bool hayUltima = false;  // the last identity value an insert took, for @@IDENTITY
    qint64 ultima = 0;
    // The counter's UPDATE, prepared once per handle: it runs for every row a
    // bulk insert adds, and preparing it each time costs more than the insert.
    // Finalized by the handle before it closes.
    sqlite3_stmt* siguienteIdentidad = nullptr;
};

const char* const kSiguienteIdentidad =
    "UPDATE kv_sys_identidad SET siguiente = siguiente + incremento WHERE tabla = ?1 "
    "RETURNING siguiente - incremento";
// The session's own tables (#t, table variables) keep their counters in the TEMP schema.
const char* const kSiguienteIdentidadSesion =
    "UPDATE temp.kv_sys_identidad_sesion SET siguiente = siguiente + incremento WHERE tabla = ?1 "
    "RETURNING siguiente - incremento";

void ErrorCodificado(sqlite3_context* ctx, int numero, const QString& mensaje) {
    const QByteArray t = TextoErrorCodificado(numero, mensaje).toUtf8();
    sqlite3_result_error(ctx, t.constData(), static_cast<int>(t.size()));
}

// kv_identidad('tabla'): the next identity value of the table; the value is
// remembered so that the insert trigger can tell it from one the statement gave.
void FuncionIdentidad(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* estado = static_cast<EstadoFunciones*>(sqlite3_user_data(ctx));
    sqlite3* db = sqlite3_context_db_handle(ctx);
    // The cached statement is used unless it is somehow still running (a call
    // nested inside its own step); then a one-off statement does the work.
    sqlite3_stmt* propia = nullptr;
    const char* tabla = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const bool deSesion = tabla && (tabla[0] == '#' || std::strncmp(tabla, "kv_tv:", 6) == 0);
    sqlite3_stmt* st = deSesion ? nullptr : estado->siguienteIdentidad;
    if (!st || sqlite3_stmt_busy(st)) {
        if (sqlite3_prepare_v3(db, deSesion ? kSiguienteIdentidadSesion : kSiguienteIdentidad, -1,
                               SQLITE_PREPARE_PERSISTENT, &propia, nullptr) != SQLITE_OK) {
            sqlite3_result_error(ctx, sqlite3_errmsg(db), -1);
            return;
        }
        st = propia;
        if (!deSesion && !estado->siguienteIdentidad) {
            estado->siguienteIdentidad = propia;
            propia = nullptr;
        }
    }
    sqlite3_bind_value(st, 1, argv[0]);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
        const qint64 v = sqlite3_column_int64(st, 0);
        // One row only: step once more so the statement is finished, not left mid-way.
        const int fin = sqlite3_step(st);
        if (fin == SQLITE_DONE) {
            estado->hayPendiente = true;
            estado->pendiente = v;
            sqlite3_result_int64(ctx, v);
        } else {
            sqlite3_result_error(ctx, sqlite3_errmsg(db), -1);
        }
    } else if (rc == SQLITE_DONE) {
        sqlite3_result_error(ctx, "[50000] Falta el contador de identidad de la tabla.", -1);
    } else {
        sqlite3_result_error(ctx, sqlite3_errmsg(db), -1);
    }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    if (propia) sqlite3_finalize(propia);
}

// kv_identidad_generada(valor): 1 when `valor` is the value kv_identidad has just
// handed out for this row (and forgets it), 0 when the statement gave its own.
void FuncionIdentidadGenerada(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* estado = static_cast<EstadoFunciones*>(sqlite3_user_data(ctx));
    const bool generada = estado->hayPendiente && sqlite3_value_type(argv[0]) == SQLITE_INTEGER &&
                          sqlite3_value_int64(argv[0]) == estado->pendiente;
    estado->hayPendiente = false;
    if (generada) {
        estado->hayUltima = true;
        estado->ultima = sqlite3_value_int64(argv[0]);
    }
    sqlite3_result_int(ctx, generada ? 1 : 0);
}

// kv_fecha_iso(texto): date text, day first or ISO, as stored ISO text.
void FuncionFechaISO(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString texto = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
    const QString iso = FechaISO(texto);
    if (iso.isEmpty()) {
        ErrorCodificado(ctx, err::ConversionFecha, msj::ConversionFecha());
        return;
    }
    const QByteArray b = iso.toUtf8();
    sqlite3_result_text(ctx, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
}

void BorrarEstado(void* p) { delete static_cast<EstadoFunciones*>(p); }

}  // namespace

std::unique_ptr<BaseSqlite> BaseSqlite::Abrir(const QString& ruta, const QString& nombre, bool crear,
                                             bool sinDiario) {
    if (crear && !QFile::exists(ruta)) {
        QFile f(ruta);
        if (f.open(QIODevice::WriteOnly)) {
            f.close();
        }
        QFile::setPermissions(ruta, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    // A database that is already there is never made anew: a missing file is
    // an error, and so is an emptied one (SQLite would take it for a new database).
    if (!crear) {
        const QFileInfo info(ruta);
        if (!info.exists())
            throw ErrorServidor(err::BaseSinArchivos, msj::BaseSinArchivos(nombre, ruta),
                                QString::fromLatin1(estado::BaseInexistente));
        if (info.size() == 0)
            throw ErrorServidor(err::ErrorCoherencia, msj::ErrorCoherencia(nombre, ruta),
                                QString::fromLatin1(estado::BaseInexistente));
    }
    std::unique_ptr<BaseSqlite> b(new BaseSqlite);
    b->nombre_ = nombre;
    b->ruta_ = ruta;
    static std::atomic<std::uint64_t> series{0};
    b->serie_ = ++series;
    const int banderas = SQLITE_OPEN_READWRITE | (crear ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(QFile::encodeName(ruta).constData(), &b->db_, banderas, nullptr);
    if (rc != SQLITE_OK) {
        if (!QFile::exists(ruta))
            throw ErrorServidor(err::BaseSinArchivos, msj::BaseSinArchivos(nombre, ruta),
                                QString::fromLatin1(estado::BaseInexistente));
        throw ErrorServidor(err::ErrorSistemaArchivo, msj::ErrorSistemaArchivo(nombre, ruta),
                            QString::fromLatin1(estado::BaseInexistente));
    }
    sqlite3_extended_result_codes(b->db_, 1);
    // A double-quoted name is always a name, as in T-SQL: one that names no
    // column fails (207) instead of standing for a text.
    sqlite3_db_config(b->db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(b->db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // No text or binary value grows past this, whatever a statement builds (SQLITE_TOOBIG, 8152).
    sqlite3_limit(b->db_, SQLITE_LIMIT_LENGTH, LargoMaximoValor);
    sqlite3_busy_handler(b->db_, &BaseSqlite::Ocupado, b.get());
    sqlite3_progress_handler(b->db_, 1000, &BaseSqlite::Progreso, b.get());
    RegistrarFuncionesTSQL(b->db_, &b->limite_);
    auto* estado = new EstadoFunciones;
    b->estadoFunciones_ = estado;
    sqlite3_create_function_v2(b->db_, "kv_identidad", 1, SQLITE_UTF8, estado, &FuncionIdentidad, nullptr, nullptr,
                               &BorrarEstado);
    sqlite3_create_function_v2(b->db_, "kv_identidad_generada", 1, SQLITE_UTF8, estado, &FuncionIdentidadGenerada,
                               nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        b->db_, "kv_fila_de_vista", 0, SQLITE_UTF8, b.get(),
        [](sqlite3_context* ctx, int, sqlite3_value**) {
            ++static_cast<BaseSqlite*>(sqlite3_user_data(ctx))->filasDeVista_;
            sqlite3_result_null(ctx);
        },
        nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(b->db_, "kv_fecha_iso", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               &FuncionFechaISO, nullptr, nullptr, nullptr);
    try {
        b->Ejecutar(sinDiario ? QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;")
                              : QStringLiteral("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"));
        // Reading the schema shows a file that is no database, or whose first pages are damaged.
        b->Escalar(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    } catch (const ErrorServidor& e) {
        if (e.numero() == err::ErrorCoherencia || e.numero() == err::ErrorSistemaArchivo)
            throw ErrorServidor(e.numero(), e.mensaje(), QString::fromLatin1(estado::BaseInexistente));
        throw;
    }
    return b;
}

BaseSqlite::~BaseSqlite() {
    if (db_) {
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        // The statements cached for the helper functions go first, or the
        // handle would stay open waiting for them.
        if (estadoFunciones_) {
            auto* estado = static_cast<EstadoFunciones*>(estadoFunciones_);
            sqlite3_finalize(estado->siguienteIdentidad);
            estado->siguienteIdentidad = nullptr;
        }
        sqlite3_close_v2(db_);
    }
}

void BaseSqlite::FijarLimite(int segundos) {
    FijarLimite(Reloj::now() + std::chrono::seconds(segundos), segundos > 0);
}

void BaseSqlite::FijarLimite(std::chrono::steady_clock::time_point limite, bool conLimite) {
    limite_.conLimite = conLimite;
    limite_.limite = limite;
    limite_.vencido = false;
}

bool BaseSqlite::TiempoAgotado() const { return limite_.Agotado(); }

int BaseSqlite::Progreso(void* yo) {
    auto* b = static_cast<BaseSqlite*>(yo);
    if (b->TiempoAgotado()) {
        b->limite_.vencido = true;
        return 1;
    }
    return 0;
}

int BaseSqlite::Ocupado(void* yo, int intentos) {
    auto* b = static_cast<BaseSqlite*>(yo);
    const auto ahora = Reloj::now();
    if (intentos == 0) b->inicioEspera_ = ahora;
    if (b->limite_.Cancelado()) {
        b->limite_.vencido = true;
        return 0;
    }
    // The session's own bound on lock waits ends the wait before the statement's deadline does.
    if (b->esperaBloqueoMs_ >= 0 && ahora - b->inicioEspera_ >= std::chrono::milliseconds(b->esperaBloqueoMs_))
        return 0;
    if (b->limite_.conLimite) {
        if (ahora >= b->limite_.limite) {
            b->limite_.vencido = true;
            return 0;
        }
    } else if (ahora - b->inicioEspera_ > std::chrono::milliseconds(EsperaBloqueoSinLimiteMs)) {
        return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(intentos < 10 ? 1 : (intentos < 50 ? 5 : 20)));
    return 1;
}

void BaseSqlite::Ejecutar(const QString& sql) {
    const QByteArray t = sql.toUtf8();
    const char* resto = t.constData();
    while (resto && *resto) {
        sqlite3_stmt* st = nullptr;
        const char* siguiente = nullptr;
        int rc = sqlite3_prepare_v2(db_, resto, -1, &st, &siguiente);
        if (rc != SQLITE_OK) throw ErrorDeSqlite(*this, rc);
        resto = siguiente;
        if (!st) continue;
        do {
            rc = sqlite3_step(st);
        } while (rc == SQLITE_ROW);
        if (rc != SQLITE_DONE) {
            ErrorServidor e = ErrorDeSqlite(*this, sqlite3_extended_errcode(db_));
            sqlite3_finalize(st);
            throw e;
        }
        sqlite3_finalize(st);
    }
}

QVariant BaseSqlite::Escalar(const QString& sql, const std::vector<QVariant>& parametros) {
    Preparada p(*this, sql);
    p.Enlazar(parametros);
    const int rc = p.Paso();
    if (rc == SQLITE_ROW) return p.Columna(0);
    if (rc != SQLITE_DONE) throw ErrorDeSqlite(*this, rc);
    return {};
}

std::vector<std::vector<QVariant>> BaseSqlite::Filas(const QString& sql, const std::vector<QVariant>& parametros) {
    Preparada p(*this, sql);
    p.Enlazar(parametros);
    std::vector<std::vector<QVariant>> filas;
    const int n = sqlite3_column_count(p.stmt());
    int rc;
    while ((rc = p.Paso()) == SQLITE_ROW) {
        std::vector<QVariant> f;
        f.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) f.push_back(p.Columna(i));
        filas.push_back(std::move(f));
    }
    if (rc != SQLITE_DONE) throw ErrorDeSqlite(*this, rc);
    return filas;
}

bool BaseSqlite::EnTransaccion() const { return sqlite3_get_autocommit(db_) == 0; }

// ---------------------------------------------------------------------------

Preparada::Preparada(BaseSqlite& base, const QString& sql) : db_(base.db()), texto_(sql.toUtf8()) {
    const int rc = sqlite3_prepare_v2(db_, texto_.constData(), static_cast<int>(texto_.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        stmt_ = nullptr;
        throw ErrorDeSqlite(base, sqlite3_extended_errcode(db_));
    }
}

Preparada::~Preparada() {
    if (stmt_) sqlite3_finalize(stmt_);
}

void Preparada::Enlazar(int i, const QVariant& v) {
    if (!stmt_) return;
    if (v.isNull() || !v.isValid()) {
        sqlite3_bind_null(stmt_, i);
        return;
    }
    switch (v.typeId()) {
        case QMetaType::Bool:
            sqlite3_bind_int(stmt_, i, v.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::UShort:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            sqlite3_bind_int64(stmt_, i, v.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            sqlite3_bind_double(stmt_, i, v.toDouble());
            break;
        case QMetaType::QDateTime: {
            const QByteArray b = v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
            sqlite3_bind_text(stmt_, i, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDate: {
            const QByteArray b = v.toDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00")).toUtf8();
            sqlite3_bind_text(stmt_, i, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            sqlite3_bind_blob(stmt_, i, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray b = v.toString().toUtf8();
            sqlite3_bind_text(stmt_, i, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
            break;
        }
    }
}

void Preparada::Enlazar(const std::vector<QVariant>& valores) {
    for (size_t i = 0; i < valores.size(); ++i) Enlazar(static_cast<int>(i) + 1, valores[i]);
}

int Preparada::Paso() {
    if (!stmt_) return SQLITE_DONE;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) return rc;
    return sqlite3_extended_errcode(db_);
}

void Preparada::Reiniciar() {
    if (stmt_) sqlite3_reset(stmt_);
}

QVariant Preparada::Columna(int i) const { return ValorColumna(stmt_, i); }

QVariant ValorColumna(sqlite3_stmt* stmt, int i) {
    switch (sqlite3_column_type(stmt, i)) {
        case SQLITE_INTEGER: {
            const qint64 v = sqlite3_column_int64(stmt, i);
            if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
                return QVariant(static_cast<int>(v));
            return QVariant(static_cast<qlonglong>(v));
        }
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(stmt, i));
        case SQLITE_TEXT:
            return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                              sqlite3_column_bytes(stmt, i)));
        case SQLITE_BLOB:
            return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, i)),
                                       sqlite3_column_bytes(stmt, i)));
        default:
            return QVariant();
    }
}

QString FechaISO(const QString& entrada) {
    // One reading of dates for the whole server: the one CONVERT uses.
    bool ok = false;
    const QString iso = TextoAFechaISO(entrada, 0, &ok);
    return ok ? iso : QString();
}

QString Identificador(const QString& nombre) {
    QString n = nombre;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

QString Literal(const QString& texto) {
    QString n = texto;
    n.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + n + QLatin1Char('\'');
}

std::optional<qint64> BaseSqlite::UltimaIdentidad() const {
    const auto* estado = static_cast<const EstadoFunciones*>(estadoFunciones_);
    if (!estado || !estado->hayUltima) return std::nullopt;
    return estado->ultima;
}

bool SincronizarEnDisco(const QString& ruta) {
    const int fd = ::open(QFile::encodeName(ruta).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace kv::local
