#include "localserver/procedimientos/ReconsEstv.h"

#include <sqlite3.h>
#include <sys/mman.h>

#include <QHash>
#include <QRegularExpression>
#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "localserver/ErrorServidor.h"
#include "localserver/tsql/Funciones.h"

namespace kv::local {

namespace {

// Statistic table columns are nvarchar(25).
constexpr int kLargoClave = 25;
// How often the long loops look at the statement's time-out.
constexpr int kCadaCuantasFilas = 1 << 14;

struct EntradaCatalogo {
    const char* campo;
    FuenteClave fuente;
};

// The grouping catalog: where each of its keys reads its value.
constexpr EntradaCatalogo kCatalogo[] = {
    {"UNegocio", FuenteClave::Linea},
    {"Fecha", FuenteClave::Fecha},
    {"IdArticulo", FuenteClave::Linea},
    {"IdVendedor", FuenteClave::Linea},
    {"CodigoBarra", FuenteClave::Articulo},
    {"CodigoBarraDUN", FuenteClave::Articulo},
    {"IdRubro", FuenteClave::Articulo},
    {"IdTipo", FuenteClave::Articulo},
    {"IdFamilia", FuenteClave::Articulo},
    {"IdCategoria", FuenteClave::Articulo},
    {"CodigoArtProveedor", FuenteClave::Articulo},
    {"CuentaProveedor", FuenteClave::Articulo},
    {"Cuenta", FuenteClave::Linea},
};

// --- SQLite helpers -------------------------------------------------------

struct LiberarSentencia {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using SentenciaSQLite = std::unique_ptr<sqlite3_stmt, LiberarSentencia>;

// What went wrong, in words the operator can act on; SQLite's own text follows.
QString Causa(int codigo, const QString& mensaje) {
    QString causa;
    switch (codigo & 0xff) {
        case SQLITE_FULL:
            causa = QStringLiteral("el disco está lleno");
            break;
        case SQLITE_READONLY:
            causa = QStringLiteral("la base de datos es de solo lectura");
            break;
        case SQLITE_IOERR:
            causa = QStringLiteral("error de lectura o escritura en el disco");
            break;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            causa = QStringLiteral("el archivo de la base de datos está dañado");
            break;
        case SQLITE_NOMEM:
            causa = QStringLiteral("no hay memoria suficiente");
            break;
        case SQLITE_CANTOPEN:
            causa = QStringLiteral("no se pudo abrir el archivo de la base de datos");
            break;
        case SQLITE_TOOBIG:
            causa = QStringLiteral("un valor es demasiado grande");
            break;
        case SQLITE_MISMATCH:
            causa = QStringLiteral("un valor no es del tipo de la columna");
            break;
        case SQLITE_CONSTRAINT:
            causa = QStringLiteral("una restricción de la tabla rechazó una fila");
            break;
        default:
            causa = QStringLiteral("error interno del servidor");
            break;
    }
    return mensaje.isEmpty() ? causa : causa + QStringLiteral(" (") + mensaje + QLatin1Char(')');
}

[[noreturn]] void LanzarTiempoAgotado() {
    throw ErrorServidor(-2, QStringLiteral("Tiempo de espera agotado"),
                        QString::fromLatin1(estado::TiempoAgotado));
}

ErrorServidor ErrorTablaInexistente(const QString& tabla) {
    return ErrorServidor(208, QStringLiteral("El nombre de objeto '%1' no es válido.").arg(tabla),
                         QString::fromLatin1(estado::TablaInexistente));
}

[[noreturn]] void LanzarErrorSQLite(sqlite3* db, const QString& objeto) {
    const char* texto = sqlite3_errmsg(db);
    const QString mensaje = QString::fromUtf8(texto ? texto : "");
    const int codigo = sqlite3_extended_errcode(db);
    if (mensaje.startsWith(QLatin1String("no such table")))
        throw ErrorTablaInexistente(mensaje.section(QLatin1Char(':'), 1).trimmed());
    if (mensaje.startsWith(QLatin1String("no such column"))) {
        const QString columna = mensaje.section(QLatin1Char(':'), 1).trimmed();
        throw ErrorServidor(207, QStringLiteral("El nombre de columna '%1' no es válido.").arg(columna),
                            QString::fromLatin1(estado::ColumnaInexistente));
    }
    if (codigo == SQLITE_CONSTRAINT_NOTNULL) {
        // "NOT NULL constraint failed: TABLA.Columna"
        const QString columna = mensaje.section(QLatin1Char(':'), 1).trimmed().section(QLatin1Char('.'), -1);
        throw ErrorServidor(
            515,
            QStringLiteral("No se puede insertar el valor NULL en la columna '%1', tabla '%2'. La "
                           "columna no admite valores NULL. Error de INSERT.")
                .arg(columna, objeto),
            QString::fromLatin1(estado::Integridad));
    }
    if (codigo == SQLITE_CONSTRAINT_CHECK) {
        throw ErrorServidor(
            547,
            QStringLiteral("La instrucción INSERT está en conflicto con la restricción CHECK de la "
                           "tabla '%1'.")
                .arg(objeto),
            QString::fromLatin1(estado::Integridad));
    }
    if ((codigo & 0xff) == SQLITE_CONSTRAINT) {
        throw ErrorServidor(
            2627,
            QStringLiteral("Infracción de la restricción PRIMARY KEY en '%1'. No se puede insertar "
                           "una clave duplicada.")
                .arg(objeto),
            QString::fromLatin1(estado::Integridad));
    }
    if ((codigo & 0xff) == SQLITE_BUSY || (codigo & 0xff) == SQLITE_LOCKED) {
        throw ErrorServidor(1222, QStringLiteral("Se superó el tiempo de espera de bloqueo de la solicitud."),
                            QString::fromLatin1(estado::TiempoAgotado));
    }
    if ((codigo & 0xff) == SQLITE_INTERRUPT) LanzarTiempoAgotado();
    throw ErrorServidor(
        50000,
        QStringLiteral("No se pudo reconstruir la tabla '%1': %2.").arg(objeto, Causa(codigo, mensaje)));
}

SentenciaSQLite Preparar(sqlite3* db, const QString& sql, const QString& objeto) {
    sqlite3_stmt* s = nullptr;
    const QByteArray texto = sql.toUtf8();
    if (sqlite3_prepare_v2(db, texto.constData(), int(texto.size()), &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        LanzarErrorSQLite(db, objeto);
    }
    return SentenciaSQLite(s);
}

void EjecutarSQL(sqlite3* db, const char* sql, const QString& objeto) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) LanzarErrorSQLite(db, objeto);
}

void EnlazarTexto(sqlite3_stmt* s, int indice, const QString& texto) {
    const QByteArray b = texto.toUtf8();
    sqlite3_bind_text(s, indice, b.constData(), int(b.size()), SQLITE_TRANSIENT);
}

QString TextoColumna(sqlite3_stmt* s, int i) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(s, i)) : QString();
}

// A text column as SQLite holds it, without leaving UTF-8; NULL reads as empty.
std::string_view CrudoColumna(sqlite3_stmt* s, int i) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    return p ? std::string_view(p, size_t(sqlite3_column_bytes(s, i))) : std::string_view("", 0);
}

// The same for a column's value of the current row.
std::string_view CrudoValor(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string_view(p, size_t(sqlite3_value_bytes(v))) : std::string_view("", 0);
}

QString Identificador(const QString& nombre) {
    QString n = nombre;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

// Writes in the statistics store run in one transaction; when the store handle
// is already inside one (a caller's), a savepoint nests in it instead.
class TransaccionEscritura {
  public:
    TransaccionEscritura(sqlite3* db, const QString& objeto) : db_(db), objeto_(objeto) {
        anidada_ = sqlite3_get_autocommit(db) == 0;
        EjecutarSQL(db_, anidada_ ? "SAVEPOINT kv_recons_estv" : "BEGIN IMMEDIATE", objeto_);
    }
    ~TransaccionEscritura() {
        if (hecha_) return;
        if (anidada_) {
            sqlite3_exec(db_, "ROLLBACK TO kv_recons_estv", nullptr, nullptr, nullptr);
            sqlite3_exec(db_, "RELEASE kv_recons_estv", nullptr, nullptr, nullptr);
        } else if (sqlite3_get_autocommit(db_) == 0) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    void Confirmar() {
        EjecutarSQL(db_, anidada_ ? "RELEASE kv_recons_estv" : "COMMIT", objeto_);
        hecha_ = true;
    }

  private:
    sqlite3* db_;
    QString objeto_;
    bool anidada_ = false;
    bool hecha_ = false;
};

// --- Keys -----------------------------------------------------------------

// Folds UTF-8 text the way PlegarClave folds a QString, without leaving
// UTF-8 when the text is plain ASCII (nearly every code in practice).
std::string PlegarUtf8(std::string_view crudo) {
    size_t fin = crudo.size();
    while (fin > 0 && crudo[fin - 1] == ' ') --fin;
    bool ascii = true;
    for (size_t i = 0; i < fin; ++i) {
        if (static_cast<unsigned char>(crudo[i]) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        std::string r(crudo.substr(0, fin));
        for (char& c : r)
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        return r;
    }
    const QByteArray b = PlegarClave(QString::fromUtf8(crudo.data(), qsizetype(fin))).toUtf8();
    return std::string(b.constData(), size_t(b.size()));
}

struct HashTexto {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

// Raw texts to a small value, for the lookups made once per sale line: open
// addressing over one array of slots, the texts kept side by side in one
// buffer, so a lookup costs a hash of a few words and one comparison.
template <typename V>
class MapaTextos {
  public:
    MapaTextos() : ranuras_(64), mascara_(63) {}

    static std::uint64_t Hash(std::string_view t) {
        std::uint64_t h = 0x9E3779B97F4A7C15ull ^ t.size();
        const char* p = t.data();
        size_t n = t.size();
        for (; n >= 8; p += 8, n -= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
            h ^= h >> 29;
        }
        if (n > 0) {
            std::uint64_t w = 0;
            std::memcpy(&w, p, n);
            h = (h ^ w) * 0x94D049BB133111EBull;
        }
        h ^= h >> 32;
        return h * 0xD6E8FEB86659FD93ull;
    }
    // The value of the text, or null when it has none yet.
    V* Buscar(std::string_view t, std::uint64_t h) {
        const std::uint32_t marca = std::uint32_t(h >> 32);
        for (size_t i = size_t(h) & mascara_;; i = (i + 1) & mascara_) {
            const Ranura& r = ranuras_[i];
            if (r.entrada == 0) return nullptr;
            if (r.marca != marca) continue;
            Entrada& e = entradas_[r.entrada - 1];
            if (e.largo == t.size() && std::memcmp(textos_.data() + e.desde, t.data(), t.size()) == 0)
                return &e.valor;
        }
    }
    // Gives a text not in the map its value.
    void Agregar(std::string_view t, std::uint64_t h, const V& valor) {
        if ((entradas_.size() + 1) * 2 > ranuras_.size()) Crecer();
        entradas_.push_back({textos_.size(), t.size(), h, valor});
        textos_.append(t.data(), t.size());
        Colocar(std::uint32_t(entradas_.size()), h);
    }

  private:
    struct Ranura {
        std::uint32_t marca = 0;
        std::uint32_t entrada = 0;  // index + 1; 0 for a free slot
    };
    struct Entrada {
        size_t desde, largo;
        std::uint64_t hash;
        V valor;
    };
    void Colocar(std::uint32_t entrada, std::uint64_t h) {
        size_t i = size_t(h) & mascara_;
        while (ranuras_[i].entrada != 0) i = (i + 1) & mascara_;
        ranuras_[i] = {std::uint32_t(h >> 32), entrada};
    }
    void Crecer() {
        ranuras_.assign(ranuras_.size() * 2, Ranura{});
        mascara_ = ranuras_.size() - 1;
        for (size_t e = 0; e < entradas_.size(); ++e) Colocar(std::uint32_t(e + 1), entradas_[e].hash);
    }

    std::vector<Ranura> ranuras_;
    size_t mascara_;
    std::vector<Entrada> entradas_;
    std::string textos_;
};

// Raw texts of at most 16 bytes to a small value, each kept whole in its slot:
// a lookup reads one slot, with no text kept elsewhere to compare against, so
// it costs one visit to memory where the line's other lookups keep evicting
// everything else.
class MapaCortos {
  public:
    static constexpr std::size_t kMaximo = 16;
    MapaCortos() : ranuras_(64), mascara_(63) {}

    // The value of the text, or null when it has none yet.
    const int* Buscar(std::string_view t) const {
        const Clave c = ClaveDe(t);
        for (std::size_t i = Posicion(c);; i = (i + 1) & mascara_) {
            const Ranura& r = ranuras_[i];
            if (r.largo == 0) return nullptr;
            if (r.clave.w[0] == c.w[0] && r.clave.w[1] == c.w[1] && r.largo == t.size() + 1) return &r.valor;
        }
    }
    void Agregar(std::string_view t, int valor) {
        if ((usadas_ + 1) * 2 > ranuras_.size()) {
            std::vector<Ranura> viejas(ranuras_.size() * 2);
            viejas.swap(ranuras_);
            mascara_ = ranuras_.size() - 1;
            for (const Ranura& r : viejas)
                if (r.largo != 0) Colocar(r);
        }
        Colocar(Ranura{ClaveDe(t), std::uint32_t(t.size() + 1), valor});
        ++usadas_;
    }

  private:
    struct Clave {
        std::uint64_t w[2] = {0, 0};
    };
    struct Ranura {
        Clave clave;
        std::uint32_t largo = 0;  // the text's bytes + 1; 0 for a free slot
        int valor = 0;
    };
    static Clave ClaveDe(std::string_view t) {
        Clave c;
        std::memcpy(c.w, t.data(), t.size());
        return c;
    }
    std::size_t Posicion(const Clave& c) const {
        std::uint64_t h = (c.w[0] ^ (c.w[1] * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
        return std::size_t(h) & mascara_;
    }
    void Colocar(const Ranura& r) {
        std::size_t i = Posicion(r.clave);
        while (ranuras_[i].largo != 0) i = (i + 1) & mascara_;
        ranuras_[i] = r;
    }

    std::vector<Ranura> ranuras_;
    std::size_t mascara_;
    std::size_t usadas_ = 0;
};

// The distinct values of one grouping level. Raw texts are remembered so each
// distinct text is cut and folded once; values equal under the collation share
// one id and the first one seen is the one stored.
class DiccionarioNivel {
  public:
    int IdDeCrudo(std::string_view crudo) {
        const bool corto = crudo.size() <= MapaCortos::kMaximo;
        if (corto) {
            if (const int* id = cortos_.Buscar(crudo)) return *id;
        }
        const std::uint64_t h = MapaTextos<int>::Hash(crudo);
        if (const int* id = porCrudo_.Buscar(crudo, h)) return *id;
        const int id = IdDeValor(QString::fromUtf8(crudo.data(), qsizetype(crudo.size())));
        porCrudo_.Agregar(crudo, h, id);
        if (corto) cortos_.Agregar(crudo, id);
        return id;
    }
    int IdDeValor(const QString& texto) {
        const QString valor = ValorClave(texto);
        const QByteArray b = valor.toUtf8();
        std::string plegado = PlegarUtf8(std::string_view(b.constData(), size_t(b.size())));
        auto it = porPlegado_.find(plegado);
        if (it != porPlegado_.end()) return it->second;
        const int id = int(valores_.size());
        valores_.push_back(valor);
        plegados_.push_back(plegado);
        porPlegado_.emplace(std::move(plegado), id);
        return id;
    }
    const QString& Valor(int id) const { return valores_[size_t(id)]; }
    const std::string& Plegado(int id) const { return plegados_[size_t(id)]; }
    int Cantidad() const { return int(valores_.size()); }

  private:
    MapaCortos cortos_;  // the short raw texts, looked up first
    MapaTextos<int> porCrudo_;
    std::unordered_map<std::string, int, HashTexto, std::equal_to<>> porPlegado_;
    std::vector<QString> valores_;
    std::vector<std::string> plegados_;
};

// Month of an ISO datetime text without leaving UTF-8: year*12 + month-1, or -1.
int CodigoMesIso(const char* p, int n) {
    if (n < 7) return -1;
    for (int i : {0, 1, 2, 3, 5, 6})
        if (p[i] < '0' || p[i] > '9') return -1;
    if (p[4] != '-') return -1;
    const int anio = (p[0] - '0') * 1000 + (p[1] - '0') * 100 + (p[2] - '0') * 10 + (p[3] - '0');
    const int mes = (p[5] - '0') * 10 + (p[6] - '0');
    if (mes < 1 || mes > 12) return -1;
    return anio * 12 + mes - 1;
}

int CodigoMes(const QString& textoMes) {
    const int barra = textoMes.indexOf(QLatin1Char('/'));
    if (barra < 0) return -1;
    bool ok1 = false, ok2 = false;
    const int mes = textoMes.left(barra).toInt(&ok1);
    const int anio = textoMes.mid(barra + 1).toInt(&ok2);
    if (!ok1 || !ok2 || mes < 1 || mes > 12) return -1;
    return anio * 12 + mes - 1;
}

QString TextoDeCodigoMes(int codigo) {
    return QString::number(codigo % 12 + 1) + QLatin1Char('/') + QString::number(codigo / 12);
}

bool EsVenta(const char* p, int n) {
    if (!p) return false;
    while (n > 0 && p[n - 1] == ' ') --n;
    return n == 3 && (p[0] | 0x20) == 'v' && (p[1] | 0x20) == 't' && (p[2] | 0x20) == 'a';
}

struct ClaveGrupo {
    int mes;
    int k[3];
    bool operator==(const ClaveGrupo& o) const {
        return mes == o.mes && k[0] == o.k[0] && k[1] == o.k[1] && k[2] == o.k[2];
    }
};

struct HashGrupo {
    size_t operator()(const ClaveGrupo& c) const noexcept {
        std::uint64_t h = std::uint64_t(std::uint32_t(c.mes)) * 0x9E3779B97F4A7C15ull;
        for (int v : c.k) {
            h ^= std::uint64_t(std::uint32_t(v)) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
            h *= 0xBF58476D1CE4E5B9ull;
        }
        return size_t(h ^ (h >> 31));
    }
};

struct Acumulado {
    long double consumo = 0, costo = 0, venta = 0;
};

// Which sums of a group have a value: a sum over nothing but NULLs stays NULL,
// as SUM does. Kept apart from the sums, so a group's key and sums fill one
// cache line exactly.
constexpr std::uint8_t kHayConsumo = 1, kHayCosto = 2, kHayVenta = 4;

// The article fields a statistic reads, per article id as it appears in the lines.
struct ArticuloNiveles {
    int k[3] = {0, 0, 0};
};

// Memory for the large arrays of a rebuild, visited out of order: in huge
// pages where the system gives them, so each visit costs no page-table walk.
template <typename T>
struct MemoriaGrande {
    using value_type = T;
    static constexpr size_t kPagina = size_t(2) << 20;
    MemoriaGrande() = default;
    template <typename U>
    MemoriaGrande(const MemoriaGrande<U>&) {}
    static bool Grande(size_t n) { return n * sizeof(T) >= 2 * kPagina; }
    T* allocate(size_t n) {
        if (!Grande(n)) return std::allocator<T>{}.allocate(n);
        const size_t bytes = (n * sizeof(T) + kPagina - 1) / kPagina * kPagina;
        void* p = std::aligned_alloc(kPagina, bytes);
        if (!p) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        madvise(p, bytes, MADV_HUGEPAGE);
#endif
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) {
        if (!Grande(n))
            std::allocator<T>{}.deallocate(p, n);
        else
            std::free(p);
    }
    template <typename U>
    bool operator==(const MemoriaGrande<U>&) const {
        return true;
    }
    template <typename U>
    bool operator!=(const MemoriaGrande<U>&) const {
        return false;
    }
};

// The groups of a rebuild: an open-addressing table of indices into one vector
// of entries, so hundreds of thousands of groups cost no allocation each.
class TablaGrupos {
  public:
    struct Entrada {
        ClaveGrupo clave;
        Acumulado acumulado;
    };

    TablaGrupos() : ranuras_(size_t(1) << 12, 0), mascara_((size_t(1) << 12) - 1) {}

    static std::uint64_t Hash(const ClaveGrupo& c) { return HashGrupo{}(c); }
    // Hints for a lookup soon to come: the slot first, then the entry it holds.
    void AnticiparRanura(std::uint64_t h) const { __builtin_prefetch(&ranuras_[size_t(h) & mascara_]); }
    void AnticiparEntrada(std::uint64_t h) const {
        const std::uint64_t r = ranuras_[size_t(h) & mascara_];
        if (r != 0) {
            __builtin_prefetch(&entradas_[size_t(std::uint32_t(r))]);
            __builtin_prefetch(&marcas_[size_t(std::uint32_t(r))]);
        }
    }

    // The index of the group of key `c` (hash `h`), made when new.
    size_t Buscar(const ClaveGrupo& c, std::uint64_t h) {
        if ((entradas_.size() + 1) * 2 > ranuras_.size()) Crecer();
        const std::uint64_t marca = (h >> 32) | 1u;  // a taken slot is never 0
        size_t i = size_t(h) & mascara_;
        for (;;) {
            const std::uint64_t r = ranuras_[i];
            if (r == 0) break;
            if ((r >> 32) == marca) {
                const size_t e = size_t(std::uint32_t(r));
                if (entradas_[e].clave == c) return e;
            }
            i = (i + 1) & mascara_;
        }
        ranuras_[i] = (marca << 32) | std::uint64_t(entradas_.size());
        entradas_.push_back({c, Acumulado{}});
        marcas_.push_back(0);
        return entradas_.size() - 1;
    }
    static_assert(sizeof(Entrada) == 64, "a group's key and sums fill one cache line");
    // Room for up to n groups at once: the entries are never moved while they
    // grow, and memory not reached by a group is never touched.
    void Reservar(size_t n) {
        entradas_.reserve(n);
        marcas_.reserve(n);
    }
    // Which sums of group `i` have a value (kHayConsumo, kHayCosto, kHayVenta).
    std::uint8_t& Marcas(size_t i) { return marcas_[i]; }
    std::uint8_t Marcas(size_t i) const { return marcas_[i]; }
    using Entradas_ = std::vector<Entrada, MemoriaGrande<Entrada>>;
    const Entradas_& Entradas() const { return entradas_; }
    Entradas_& Entradas() { return entradas_; }

  private:
    void Crecer() {
        ranuras_.assign(ranuras_.size() * 2, 0);
        mascara_ = ranuras_.size() - 1;
        for (size_t e = 0; e < entradas_.size(); ++e) {
            const std::uint64_t h = HashGrupo{}(entradas_[e].clave);
            size_t i = size_t(h) & mascara_;
            while (ranuras_[i] != 0) i = (i + 1) & mascara_;
            ranuras_[i] = (((h >> 32) | 1u) << 32) | std::uint64_t(e);
        }
    }

    std::vector<std::uint64_t, MemoriaGrande<std::uint64_t>> ranuras_;  // mark high, entry index low
    size_t mascara_;
    Entradas_ entradas_;
    std::vector<std::uint8_t, MemoriaGrande<std::uint8_t>> marcas_;  // by entry
};

// Bits that hold every value below n.
int BitsPara(std::uint64_t n) { return n <= 1 ? 0 : 64 - __builtin_clzll(n - 1); }

// Sorts integers of at most `bits` bits, a digit of eleven bits at a time from
// the lowest; a digit every value shares costs no pass.
void OrdenarEnteros(std::vector<std::uint64_t>& valores, int bits) {
    if (valores.size() < 256) {
        std::sort(valores.begin(), valores.end());
        return;
    }
    constexpr int kBitsDigito = 11;
    constexpr size_t kCubetas = size_t(1) << kBitsDigito;
    std::vector<std::uint64_t> otro(valores.size());
    std::vector<size_t> cuenta(kCubetas);
    for (int desde = 0; desde < bits; desde += kBitsDigito) {
        std::fill(cuenta.begin(), cuenta.end(), 0);
        for (const std::uint64_t v : valores) ++cuenta[(v >> desde) & (kCubetas - 1)];
        if (*std::max_element(cuenta.begin(), cuenta.end()) == valores.size()) continue;
        size_t posicion = 0;
        for (size_t& c : cuenta) {
            const size_t n = c;
            c = posicion;
            posicion += n;
        }
        for (const std::uint64_t v : valores) otro[cuenta[(v >> desde) & (kCubetas - 1)]++] = v;
        valores.swap(otro);
    }
}

// Characters of UTF-8 text, as SQLite's length() counts them.
int CaracteresUtf8(const QByteArray& texto) {
    int n = 0;
    for (const char c : texto)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

int LeerPragmaEntero(sqlite3* db, const char* sql) {
    sqlite3_stmt* s = nullptr;
    int v = 0;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        v = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    return v;
}

// The columns a rebuild writes, in the order of its INSERT.
constexpr const char* kColumnasEscritas[] = {"Base",   "Fecha",   "Grupo1",     "Grupo2",
                                             "Grupo3", "Consumo", "ValorCosto", "ValorVenta"};
constexpr int kColumnasTexto = 5;

int ColumnaEscrita(const QString& nombre) {
    for (int i = 0; i < 8; ++i)
        if (nombre.compare(QLatin1String(kColumnasEscritas[i]), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

// What the table does to a row on its own as it goes in, when that is no more
// than the server's usual shape: a length CHECK on text columns, and a trigger
// that cuts over-long texts and rounds money. When every row bound already
// fits and is already rounded, both are no-ops and the rows can go in without
// them. Anything else about the table (another trigger, another CHECK, another
// column) keeps the usual path.
struct NormalizacionTabla {
    bool omitible = false;
    int largoMaximo[kColumnasTexto] = {-1, -1, -1, -1, -1};  // characters; -1: no limit
    bool redondea[3] = {false, false, false};                // Consumo, ValorCosto, ValorVenta to 4 decimals
};

NormalizacionTabla LeerNormalizacion(sqlite3* almacen, const QString& tabla) {
    NormalizacionTabla r;
    auto limitar = [&](int columna, int largo) {
        int& l = r.largoMaximo[columna];
        l = l < 0 ? largo : std::min(l, largo);
    };
    // Exactly the eight columns written, none hidden or generated.
    {
        sqlite3_stmt* s = nullptr;
        const QByteArray t = tabla.toUtf8();
        if (sqlite3_prepare_v2(almacen, "SELECT name, hidden FROM pragma_table_xinfo(?1)", -1, &s, nullptr) !=
            SQLITE_OK) {
            sqlite3_finalize(s);
            return r;
        }
        SentenciaSQLite guarda(s);
        sqlite3_bind_text(s, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        bool vistas[8] = {};
        int columnas = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            const int c = ColumnaEscrita(TextoColumna(s, 0));
            if (c < 0 || vistas[c] || sqlite3_column_int(s, 1) != 0) return r;
            vistas[c] = true;
            ++columnas;
        }
        if (columnas != 8) return r;
    }
    // CHECKs: only the length ones, on text columns.
    {
        SentenciaSQLite s = Preparar(
            almacen, QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?1"),
            tabla);
        EnlazarTexto(s.get(), 1, tabla);
        if (sqlite3_step(s.get()) != SQLITE_ROW) return r;
        const QString sql = TextoColumna(s.get(), 0);
        static const QRegularExpression palabra(QStringLiteral("\\bCHECK\\b"),
                                                QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression largo(QStringLiteral(
            "CONSTRAINT \"kvlon_([^\"]+)\" CHECK \\(length\\(rtrim\\(\"([^\"]+)\", ' '\\)\\) <= (\\d+)\\)"));
        int checks = 0;
        for (auto it = palabra.globalMatch(sql); it.hasNext(); it.next()) ++checks;
        int conocidos = 0;
        for (auto it = largo.globalMatch(sql); it.hasNext();) {
            const auto m = it.next();
            const int c = ColumnaEscrita(m.captured(2));
            if (c < 0 || c >= kColumnasTexto ||
                m.captured(1).compare(m.captured(2), Qt::CaseInsensitive) != 0)
                return r;
            bool ok = false;
            const int n = m.captured(3).toInt(&ok);
            if (!ok) return r;
            limitar(c, n);
            ++conocidos;
        }
        if (conocidos != checks) return r;
    }
    // Triggers: only the server's normalization pair of this table, the
    // insert one made of the two conditions it knows.
    {
        SentenciaSQLite s =
            Preparar(almacen,
                     QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND "
                                    "tbl_name = ?1 COLLATE NOCASE UNION ALL SELECT name, sql FROM "
                                    "sqlite_temp_master WHERE type = 'trigger' AND tbl_name = ?1 "
                                    "COLLATE NOCASE"),
                     tabla);
        EnlazarTexto(s.get(), 1, tabla);
        const QString nombreIns = QStringLiteral("kv_sys_trg_") + tabla + QStringLiteral("_normaliza_ins");
        const QString nombreUpd = QStringLiteral("kv_sys_trg_") + tabla + QStringLiteral("_normaliza_upd");
        static const QRegularExpression alInsertar(
            QStringLiteral(
                "^CREATE TRIGGER \"([^\"]+)\" AFTER INSERT ON \"([^\"]+)\" FOR EACH ROW WHEN (.+) BEGIN "
                "UPDATE \"([^\"]+)\" SET .+ WHERE rowid = NEW\\.rowid; END$"),
            QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression alActualizar(QStringLiteral(
            "^CREATE TRIGGER \"([^\"]+)\" AFTER UPDATE OF [^;]+ ON \"([^\"]+)\" FOR EACH ROW "));
        static const QRegularExpression condicionLargo(
            QStringLiteral("^length\\(NEW\\.\"([^\"]+)\"\\) > (\\d+)$"));
        static const QRegularExpression condicionDinero(
            QStringLiteral("^NEW\\.\"([^\"]+)\" <> round\\(NEW\\.\"([^\"]+)\", 4\\)$"));
        int ins = 0, upd = 0;
        int rc;
        while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
            const QString nombre = TextoColumna(s.get(), 0);
            const QString sql = TextoColumna(s.get(), 1);
            if (nombre.compare(nombreUpd, Qt::CaseInsensitive) == 0) {
                const auto m = alActualizar.match(sql);
                if (!m.hasMatch() || m.captured(1) != nombre ||
                    m.captured(2).compare(tabla, Qt::CaseInsensitive))
                    return r;
                ++upd;
                continue;
            }
            if (nombre.compare(nombreIns, Qt::CaseInsensitive) != 0) return r;
            const auto m = alInsertar.match(sql);
            if (!m.hasMatch() || m.captured(1) != nombre ||
                m.captured(2).compare(tabla, Qt::CaseInsensitive) ||
                m.captured(4).compare(tabla, Qt::CaseInsensitive))
                return r;
            // Money's condition as tables are made now: besides rounding, it makes money of
            // what is no REAL and of amounts beyond what a double holds; bound rows are
            // REALs rounded well inside that, so for them it is the rounding alone.
            static const QRegularExpression condicionDineroExacto(QStringLiteral(
                "\\(typeof\\(NEW\\.(\"[^\"]+\")\\) NOT IN \\('real', 'null'\\) OR NEW\\.\\1 <> "
                "round\\(NEW\\.\\1, 4\\) OR abs\\(NEW\\.\\1\\) > 450359962737\\.0496\\)"));
            QString condiciones = m.captured(3);
            condiciones.replace(condicionDineroExacto, QStringLiteral("NEW.\\1 <> round(NEW.\\1, 4)"));
            for (const QString& condicion : condiciones.split(QStringLiteral(" OR "))) {
                if (const auto l = condicionLargo.match(condicion); l.hasMatch()) {
                    const int c = ColumnaEscrita(l.captured(1));
                    bool ok = false;
                    const int n = l.captured(2).toInt(&ok);
                    if (c < 0 || c >= kColumnasTexto || !ok) return r;
                    limitar(c, n);
                } else if (const auto d = condicionDinero.match(condicion); d.hasMatch()) {
                    const int c = ColumnaEscrita(d.captured(1));
                    if (c < kColumnasTexto || d.captured(1) != d.captured(2)) return r;
                    r.redondea[c - kColumnasTexto] = true;
                } else {
                    return r;
                }
            }
            ++ins;
        }
        if (rc != SQLITE_DONE || ins > 1 || upd > 1) return r;
    }
    r.omitible = true;
    return r;
}

// A value SQLite's round(v, 4) gives back unchanged. Four decimals written and
// read back again are the same double for such values well inside the range
// where fifteen digits are exact.
bool RedondeadoACuatro(double v) {
    return std::fabs(v) < 1e11 && double(std::llround(v * 10000.0L)) / 10000.0 == v;
}

// The same for a value RedondearSumaDinero gave: already a whole number of
// ten-thousandths, it only has to be inside that range.
bool DentroDelRedondeo(double v) { return std::fabs(v) < 1e11; }

// Triggers off and CHECKs ignored on the store handle while it lives; the
// handle's own settings come back on every way out. Statements prepared while
// it lives carry no trigger or CHECK code and must be finalized before it ends.
class NormalizacionApagada {
  public:
    explicit NormalizacionApagada(sqlite3* db) : db_(db) {
        if (sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, -1, &disparadores_) != SQLITE_OK) return;
        chequeos_ = LeerPragmaEntero(db_, "PRAGMA ignore_check_constraints");
        int ahora = -1;
        if (sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, &ahora) != SQLITE_OK || ahora != 0) {
            Restaurar();
            return;
        }
        if (sqlite3_exec(db_, "PRAGMA ignore_check_constraints = ON", nullptr, nullptr, nullptr) !=
                SQLITE_OK ||
            LeerPragmaEntero(db_, "PRAGMA ignore_check_constraints") != 1) {
            Restaurar();
            return;
        }
        activa_ = true;
    }
    ~NormalizacionApagada() {
        if (activa_) Restaurar();
    }
    NormalizacionApagada(const NormalizacionApagada&) = delete;
    NormalizacionApagada& operator=(const NormalizacionApagada&) = delete;
    bool Activa() const { return activa_; }

  private:
    void Restaurar() {
        sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, disparadores_, nullptr);
        sqlite3_exec(
            db_, chequeos_ ? "PRAGMA ignore_check_constraints = ON" : "PRAGMA ignore_check_constraints = OFF",
            nullptr, nullptr, nullptr);
        activa_ = false;
    }

    sqlite3* db_;
    int disparadores_ = 1;
    int chequeos_ = 0;
    bool activa_ = false;
};

// One setting of a handle changed while this lives, the handle's own value back
// on every way out. A setting the handle does not report is left alone.
class PragmaTemporal {
  public:
    PragmaTemporal(sqlite3* db, const char* nombre, std::int64_t valor) : db_(db), nombre_(nombre) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, ("PRAGMA " + nombre_).c_str(), -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW) {
            anterior_ = sqlite3_column_int64(s, 0);
            activa_ = Poner(valor);
        }
        sqlite3_finalize(s);
    }
    ~PragmaTemporal() {
        if (activa_) Poner(anterior_);
    }
    PragmaTemporal(const PragmaTemporal&) = delete;
    PragmaTemporal& operator=(const PragmaTemporal&) = delete;

  private:
    bool Poner(std::int64_t valor) {
        const std::string sql = "PRAGMA " + nombre_ + " = " + std::to_string(valor);
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    sqlite3* db_;
    std::string nombre_;
    std::int64_t anterior_ = 0;
    bool activa_ = false;
};

// Row by row, the company's rows of one table; how many went.
std::int64_t BorrarFilasDeBase(sqlite3* almacen, const QString& tabla, const QString& base) {
    SentenciaSQLite borrar = Preparar(
        almacen,
        QStringLiteral("DELETE FROM ") + Identificador(tabla) + QStringLiteral(" WHERE Base = ?1 COLLATE KV"),
        tabla);
    EnlazarTexto(borrar.get(), 1, base);
    if (sqlite3_step(borrar.get()) != SQLITE_DONE) LanzarErrorSQLite(almacen, tabla);
    return sqlite3_changes(almacen);
}

// The company's rows go. When the table holds no other company's rows (its
// first and last Base under the collation are this one), the table is emptied
// at once instead of row by row.
std::int64_t BorrarFilasEmpresa(sqlite3* almacen, const QString& tabla, const QString& base, bool entera,
                                bool* vaciada) {
    const QByteArray b = base.toUtf8();
    if (entera) {
        auto extremoEsLaEmpresa = [&](const char* sentido, bool* vacia) {
            SentenciaSQLite s = Preparar(almacen,
                                         QStringLiteral("SELECT Base FROM ") + Identificador(tabla) +
                                             QStringLiteral(" ORDER BY Base COLLATE KV ") +
                                             QLatin1String(sentido) + QStringLiteral(" LIMIT 1"),
                                         tabla);
            const int rc = sqlite3_step(s.get());
            if (rc == SQLITE_DONE) {
                *vacia = true;
                return false;
            }
            if (rc != SQLITE_ROW) LanzarErrorSQLite(almacen, tabla);
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
            return p &&
                   CompararKVUtf8(p, sqlite3_column_bytes(s.get(), 0), b.constData(), int(b.size())) == 0;
        };
        bool vacia = false;
        const bool primera = extremoEsLaEmpresa("ASC", &vacia);
        if (vacia) return 0;
        if (primera && extremoEsLaEmpresa("DESC", &vacia)) {
            const QByteArray sql = (QStringLiteral("DELETE FROM ") + Identificador(tabla)).toUtf8();
            EjecutarSQL(almacen, sql.constData(), tabla);
            *vaciada = true;
            return sqlite3_changes(almacen);
        }
    }
    return BorrarFilasDeBase(almacen, tabla, base);
}

std::atomic<bool>& EscrituraRapida() {
    static std::atomic<bool> activa{qEnvironmentVariableIntValue("KVESTV_RECONS_GENERAL") != 1};
    return activa;
}

}  // namespace

// --- Public helpers ---------------------------------------------------------

double RedondearSumaDinero(long double v) {
    const double d = double(v);
    if (!std::isfinite(d) || std::fabs(d) >= 9e11) return double(std::llround(v * 10000.0L)) / 10000.0;
    // The shortest decimal text S of d lies within half a step of d (the gap to
    // the next double up, never smaller than the one below). Scaled by 10000,
    // that is within `margen` of t = |d| * 10000, which the long double holds
    // exactly (53 bits times 14). S rounds like t unless a half lies that close.
    const double a = std::fabs(d);
    std::uint64_t bits;
    std::memcpy(&bits, &a, sizeof bits);
    ++bits;  // the next double up: |d| is finite and well below the largest
    double siguiente;
    std::memcpy(&siguiente, &bits, sizeof siguiente);
    const long double margen = (long double)(siguiente - a) * 5000.0L;
    const long double t = (long double)a * 10000.0L;
    const long long entero = (long long)t;  // below 9e15
    const long double fraccion = t - (long double)entero;
    if (std::fabs(fraccion - 0.5L) > margen) {
        const double r = double(entero + (fraccion > 0.5L ? 1 : 0)) / 10000.0;
        return std::signbit(d) && r != 0 ? -r : r;  // no negative zero
    }
    // Next to a half: the text decides.
    char texto[64];
    const auto fin = std::to_chars(texto, texto + sizeof texto, d, std::chars_format::fixed).ptr;
    const char* c = texto;
    const bool negativo = *c == '-';
    if (negativo) ++c;
    long long diezmilesimas = 0;
    while (c < fin && *c != '.') diezmilesimas = diezmilesimas * 10 + (*c++ - '0');
    if (c < fin) ++c;  // the point
    for (int i = 0; i < 4; ++i) diezmilesimas = diezmilesimas * 10 + (c < fin ? *c++ - '0' : 0);
    if (c < fin && *c >= '5') ++diezmilesimas;
    const double r = double(diezmilesimas) / 10000.0;
    return negativo && r != 0 ? -r : r;
}

QString PlegarClave(const QString& texto) {
    qsizetype fin = texto.size();
    while (fin > 0 && texto.at(fin - 1) == QLatin1Char(' ')) --fin;
    return texto.left(fin).toCaseFolded();
}

QString ValorClave(const QString& texto) {
    QString v = texto;
    if (v.size() > kLargoClave) {
        // Never split a surrogate pair in two.
        const int corte = v.at(kLargoClave - 1).isHighSurrogate() ? kLargoClave - 1 : kLargoClave;
        v.truncate(corte);
    }
    if (PlegarClave(v).isEmpty()) return QStringLiteral(" ");
    return v;
}

QString TextoMes(const QString& fecha) {
    const QString t = fecha.trimmed();
    const QByteArray b = t.toUtf8();
    const int codigo = CodigoMesIso(b.constData(), int(b.size()));
    if (codigo >= 0) return TextoDeCodigoMes(codigo);
    // Day first: d/m/yy or d/m/yyyy, optionally followed by a time.
    static const QRegularExpression diaPrimero(
        QStringLiteral("^(\\d{1,2})[/.-](\\d{1,2})[/.-](\\d{2,4})(\\s|$)"));
    const auto m = diaPrimero.match(t);
    if (!m.hasMatch()) return QString();
    const int mes = m.captured(2).toInt();
    int anio = m.captured(3).toInt();
    if (m.captured(3).size() == 2) anio += anio < 50 ? 2000 : 1900;
    if (mes < 1 || mes > 12) return QString();
    return QString::number(mes) + QLatin1Char('/') + QString::number(anio);
}

DefinicionAgrupacion DefinicionAgrupacion::DesdeCampos(const QString& campos) {
    DefinicionAgrupacion d;
    const QStringList items = campos.split(QLatin1Char(','));
    int nivel = 0;
    for (const QString& item : items) {
        if (nivel >= 3) break;
        QString nombre = item.trimmed();
        ClaveAgrupacion& clave = d.niveles[nivel++];
        for (const auto& e : kCatalogo) {
            if (nombre.compare(QLatin1String(e.campo), Qt::CaseInsensitive) == 0) {
                clave.fuente = e.fuente;
                clave.campo = QLatin1String(e.campo);
                break;
            }
        }
    }
    return d;
}

// --- The rebuild of one table ----------------------------------------------

ResultadoReconstruccion ReconstruirTabla(sqlite3* empresa, sqlite3* almacen, const QString& base,
                                         const QString& tabla, const DefinicionAgrupacion& definicion,
                                         const std::function<bool()>& cancelado) {
    ResultadoReconstruccion resultado;
    auto mirarCancelacion = [&] {
        if (cancelado && cancelado()) LanzarTiempoAgotado();
    };

    // Which columns of the sale line are read, and where each level looks.
    QStringList columnas = {QStringLiteral("Fecha"), QStringLiteral("Cantidad"),
                            QStringLiteral("CostoUnitario"), QStringLiteral("PrecioUnitario"),
                            QStringLiteral("TipoMovimiento")};
    int columnaNivel[3] = {-1, -1, -1};
    int columnaArticulo = -1;
    QStringList camposArticulo;  // per level with an article source, the field read
    bool usaArticulos = false;
    for (int n = 0; n < 3; ++n) {
        const ClaveAgrupacion& c = definicion.niveles[n];
        if (c.fuente == FuenteClave::Linea) {
            int i = int(columnas.indexOf(c.campo));
            if (i < 0) {
                columnas << c.campo;
                i = int(columnas.size()) - 1;
            }
            columnaNivel[n] = i;
        } else if (c.fuente == FuenteClave::Articulo) {
            usaArticulos = true;
        }
    }
    if (usaArticulos) {
        columnaArticulo = int(columnas.indexOf(QStringLiteral("IdArticulo")));
        if (columnaArticulo < 0) {
            columnas << QStringLiteral("IdArticulo");
            columnaArticulo = int(columnas.size()) - 1;
        }
    }

    DiccionarioNivel diccionarios[3];
    const int idBlanco[3] = {diccionarios[0].IdDeValor(QString()), diccionarios[1].IdDeValor(QString()),
                             diccionarios[2].IdDeValor(QString())};

    // Articles: folded id -> the key id of every article-sourced level.
    std::unordered_map<std::string, ArticuloNiveles, HashTexto, std::equal_to<>> articulos;
    ArticuloNiveles articuloAusente;
    for (int n = 0; n < 3; ++n) articuloAusente.k[n] = idBlanco[n];
    if (usaArticulos) {
        QString sql = QStringLiteral("SELECT IdArticulo");
        for (int n = 0; n < 3; ++n)
            if (definicion.niveles[n].fuente == FuenteClave::Articulo)
                sql += QStringLiteral(", ") + definicion.niveles[n].campo;
        sql += QStringLiteral(" FROM MA_ARTICULOS");
        SentenciaSQLite s = Preparar(empresa, sql, tabla);
        int rc;
        while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
            ArticuloNiveles a = articuloAusente;
            int col = 1;
            for (int n = 0; n < 3; ++n) {
                if (definicion.niveles[n].fuente != FuenteClave::Articulo) continue;
                a.k[n] = diccionarios[n].IdDeValor(TextoColumna(s.get(), col++));
            }
            articulos.emplace(PlegarUtf8(CrudoColumna(s.get(), 0)), a);
        }
        if (rc != SQLITE_DONE) LanzarErrorSQLite(empresa, tabla);
    }
    // Article id as written in a line -> its levels (a line's id may differ in
    // case or trailing blanks from the article's own).
    MapaTextos<ArticuloNiveles> articuloDeLinea;

    // Read the sale lines once and aggregate.
    TablaGrupos grupos;
    {
        // There are never more groups than lines, and the last rowid bounds
        // those without counting them.
        SentenciaSQLite ultima = Preparar(empresa, QStringLiteral("SELECT max(rowid) FROM MV_STOCK"), tabla);
        if (sqlite3_step(ultima.get()) == SQLITE_ROW)
            grupos.Reservar(size_t(
                std::clamp<sqlite3_int64>(sqlite3_column_int64(ultima.get(), 0), 0, sqlite3_int64(1) << 26)));
    }
    {
        QString sql = QStringLiteral("SELECT ") + columnas.join(QStringLiteral(", ")) +
                      QStringLiteral(" FROM MV_STOCK");
        SentenciaSQLite s = Preparar(empresa, sql, tabla);
        sqlite3_stmt* st = s.get();
        // Lines are summed a few dozen at a time: their groups are asked of
        // memory together, instead of one wait per line. Each group still
        // adds its lines in the order they were read.
        struct LineaLeida {
            ClaveGrupo clave;
            std::uint64_t hash;
            double cantidad, costo, precio;
            bool hayCantidad, hayCosto, hayPrecio;
        };
        constexpr int kLineasPorTanda = 32;
        LineaLeida tanda[kLineasPorTanda];
        int enTanda = 0;
        auto sumarTanda = [&] {
            for (int j = 0; j < enTanda; ++j) grupos.AnticiparEntrada(tanda[j].hash);
            for (int j = 0; j < enTanda; ++j) {
                const LineaLeida& l = tanda[j];
                const size_t g = grupos.Buscar(l.clave, l.hash);
                if (!l.hayCantidad) continue;
                Acumulado& a = grupos.Entradas()[g].acumulado;
                std::uint8_t& marcas = grupos.Marcas(g);
                const long double cantidad = l.cantidad;
                a.consumo += cantidad;
                marcas |= kHayConsumo;
                if (l.hayCosto) {
                    a.costo += cantidad * (long double)l.costo;
                    marcas |= kHayCosto;
                }
                if (l.hayPrecio) {
                    a.venta += cantidad * (long double)l.precio;
                    marcas |= kHayVenta;
                }
                ++resultado.lineasLeidas;
            }
            enTanda = 0;
        };
        int rc;
        std::int64_t cuenta = 0;
        const int columnasLeidas = int(columnas.size());
        std::vector<sqlite3_value*> valor(static_cast<size_t>(columnasLeidas));
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            if ((++cuenta & (kCadaCuantasFilas - 1)) == 0) mirarCancelacion();
            // Each column is asked of the statement once and read through its
            // value, which does not pay the statement's checks again per use.
            for (int c = 0; c < columnasLeidas; ++c) valor[size_t(c)] = sqlite3_column_value(st, c);
            // Only sale lines count; the type is compared as the collation would
            // ('vta ' is a sale too), without calling it for every line.
            if (!EsVenta(reinterpret_cast<const char*>(sqlite3_value_text(valor[4])),
                         sqlite3_value_bytes(valor[4])))
                continue;
            ClaveGrupo clave{};
            const auto* fecha = reinterpret_cast<const char*>(sqlite3_value_text(valor[0]));
            if (!fecha) continue;  // a line without a date belongs to no month
            const int largoFecha = sqlite3_value_bytes(valor[0]);
            clave.mes = CodigoMesIso(fecha, largoFecha);
            if (clave.mes < 0) {
                clave.mes = CodigoMes(TextoMes(QString::fromUtf8(fecha, largoFecha)));
                if (clave.mes < 0) continue;
            }
            ArticuloNiveles art = articuloAusente;
            if (columnaArticulo >= 0) {
                const std::string_view crudo = CrudoValor(valor[size_t(columnaArticulo)]);
                const std::uint64_t h = MapaTextos<ArticuloNiveles>::Hash(crudo);
                if (const ArticuloNiveles* visto = articuloDeLinea.Buscar(crudo, h)) {
                    art = *visto;
                } else {
                    auto ia = articulos.find(PlegarUtf8(crudo));
                    if (ia != articulos.end()) art = ia->second;
                    articuloDeLinea.Agregar(crudo, h, art);
                }
            }
            for (int n = 0; n < 3; ++n) {
                switch (definicion.niveles[n].fuente) {
                    case FuenteClave::Blanco:
                        clave.k[n] = idBlanco[n];
                        break;
                    case FuenteClave::Fecha:
                        clave.k[n] = clave.mes;  // the month text is a function of the month
                        break;
                    case FuenteClave::Linea: {
                        sqlite3_value* x = valor[size_t(columnaNivel[n])];
                        const auto* v = reinterpret_cast<const char*>(sqlite3_value_text(x));
                        clave.k[n] =
                            v ? diccionarios[n].IdDeCrudo(std::string_view(v, size_t(sqlite3_value_bytes(x))))
                              : idBlanco[n];
                        break;
                    }
                    case FuenteClave::Articulo:
                        clave.k[n] = art.k[n];
                        break;
                }
            }
            LineaLeida& l = tanda[enTanda++];
            l.clave = clave;
            l.hash = TablaGrupos::Hash(clave);
            grupos.AnticiparRanura(l.hash);
            l.hayCantidad = sqlite3_value_type(valor[1]) != SQLITE_NULL;
            l.hayCosto = l.hayCantidad && sqlite3_value_type(valor[2]) != SQLITE_NULL;
            l.hayPrecio = l.hayCantidad && sqlite3_value_type(valor[3]) != SQLITE_NULL;
            l.cantidad = l.hayCantidad ? sqlite3_value_double(valor[1]) : 0;
            l.costo = l.hayCosto ? sqlite3_value_double(valor[2]) : 0;
            l.precio = l.hayPrecio ? sqlite3_value_double(valor[3]) : 0;
            if (enTanda == kLineasPorTanda) sumarTanda();
        }
        if (rc != SQLITE_DONE) LanzarErrorSQLite(empresa, tabla);
        sumarTanda();
    }
    // Money is stored to four decimals: each sum is rounded here once.
    for (size_t g = 0; g < grupos.Entradas().size(); ++g) {
        Acumulado& a = grupos.Entradas()[g].acumulado;
        if (grupos.Marcas(g) & kHayCosto) a.costo = RedondearSumaDinero(a.costo);
        if (grupos.Marcas(g) & kHayVenta) a.venta = RedondearSumaDinero(a.venta);
    }
    const TablaGrupos::Entradas_& entradas = grupos.Entradas();
    const bool rapida = EscrituraRapida().load();

    // The texts each group stores: the month's, and each level value's, as UTF-8.
    QHash<int, QByteArray> meses;
    for (const auto& e : entradas)
        if (!meses.contains(e.clave.mes)) meses.insert(e.clave.mes, TextoDeCodigoMes(e.clave.mes).toUtf8());
    std::vector<QByteArray> valores[3];
    for (int n = 0; n < 3; ++n) {
        if (definicion.niveles[n].fuente == FuenteClave::Fecha) continue;  // stores the month
        valores[n].resize(size_t(diccionarios[n].Cantidad()));
        for (size_t id = 0; id < valores[n].size(); ++id)
            valores[n][id] = diccionarios[n].Valor(int(id)).toUtf8();
    }

    // Rows go in in the order of the table's key, so each insert lands next
    // to the previous one in the key's index instead of anywhere in it: the
    // month text's bytes, then each level under the collation.
    std::vector<std::uint32_t> orden(entradas.size());
    if (rapida) {
        // Each distinct value gets its place once; the groups then sort by integers.
        std::vector<std::uint32_t> rangos[3];
        for (int n = 0; n < 3; ++n) {
            const size_t cantidad = valores[n].size();
            if (cantidad == 0) continue;
            std::vector<std::string> claves(cantidad);
            for (size_t id = 0; id < cantidad; ++id)
                ClaveOrdenKV(valores[n][id].constData(), int(valores[n][id].size()), claves[id]);
            std::vector<std::uint32_t> ids(cantidad);
            for (size_t id = 0; id < cantidad; ++id) ids[id] = std::uint32_t(id);
            std::sort(ids.begin(), ids.end(),
                      [&](std::uint32_t a, std::uint32_t b) { return claves[a] < claves[b]; });
            rangos[n].resize(cantidad);
            std::uint32_t rango = 0;
            for (size_t i = 0; i < cantidad; ++i) {
                if (i > 0 && claves[ids[i]] != claves[ids[i - 1]]) ++rango;
                rangos[n][ids[i]] = rango;
            }
        }
        std::vector<std::pair<QByteArray, int>> porTexto;
        for (auto it = meses.cbegin(); it != meses.cend(); ++it) porTexto.emplace_back(it.value(), it.key());
        std::sort(porTexto.begin(), porTexto.end());
        QHash<int, std::uint32_t> rangoMes;
        for (size_t i = 0; i < porTexto.size(); ++i) rangoMes.insert(porTexto[i].second, std::uint32_t(i));
        // Month and level ranks and the group's own index packed into one
        // integer, when they fit: sorted by it, the groups come in the same
        // order as by the ranks one after another, ties by index.
        int bitsNivel[3] = {0, 0, 0};
        for (int n = 0; n < 3; ++n)
            if (!rangos[n].empty())
                bitsNivel[n] =
                    BitsPara(*std::max_element(rangos[n].begin(), rangos[n].end()) + std::uint64_t(1));
        const int bitsMes = BitsPara(porTexto.size());
        const int bitsIndice = BitsPara(entradas.size());
        const int bits = bitsMes + bitsNivel[0] + bitsNivel[1] + bitsNivel[2] + bitsIndice;
        if (bits <= 64) {
            std::vector<std::uint64_t> claves(entradas.size());
            int ultimoMes = std::numeric_limits<int>::min();
            std::uint64_t rango = 0;
            for (size_t i = 0; i < entradas.size(); ++i) {
                const ClaveGrupo& c = entradas[i].clave;
                if (c.mes != ultimoMes) {
                    ultimoMes = c.mes;
                    rango = rangoMes.value(c.mes);
                }
                std::uint64_t v = rango;
                for (int n = 0; n < 3; ++n)
                    v = (v << bitsNivel[n]) | (rangos[n].empty() ? 0 : rangos[n][size_t(c.k[n])]);
                claves[i] = (v << bitsIndice) | std::uint64_t(i);
            }
            OrdenarEnteros(claves, bits);
            const std::uint64_t mascara =
                bitsIndice == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << bitsIndice) - 1;
            for (size_t i = 0; i < claves.size(); ++i) orden[i] = std::uint32_t(claves[i] & mascara);
        } else {
            struct Posicion {
                std::uint64_t alto, bajo;
                std::uint32_t indice;
            };
            std::vector<Posicion> posiciones(entradas.size());
            for (size_t i = 0; i < entradas.size(); ++i) {
                const ClaveGrupo& c = entradas[i].clave;
                std::uint64_t r[3];
                for (int n = 0; n < 3; ++n) r[n] = rangos[n].empty() ? 0 : rangos[n][size_t(c.k[n])];
                posiciones[i] = {(std::uint64_t(rangoMes.value(c.mes)) << 32) | r[0], (r[1] << 32) | r[2],
                                 std::uint32_t(i)};
            }
            std::sort(posiciones.begin(), posiciones.end(), [](const Posicion& a, const Posicion& b) {
                if (a.alto != b.alto) return a.alto < b.alto;
                if (a.bajo != b.bajo) return a.bajo < b.bajo;
                return a.indice < b.indice;
            });
            for (size_t i = 0; i < posiciones.size(); ++i) orden[i] = posiciones[i].indice;
        }
    } else {
        std::vector<std::string> claves[3];
        for (int n = 0; n < 3; ++n) {
            claves[n].resize(valores[n].size());
            for (size_t id = 0; id < valores[n].size(); ++id)
                ClaveOrdenKV(valores[n][id].constData(), int(valores[n][id].size()), claves[n][id]);
        }
        const std::string vacia;
        auto claveNivel = [&](const ClaveGrupo& c, int n) -> const std::string& {
            return claves[n].empty() ? vacia : claves[n][size_t(c.k[n])];
        };
        for (size_t i = 0; i < orden.size(); ++i) orden[i] = std::uint32_t(i);
        std::sort(orden.begin(), orden.end(), [&](std::uint32_t ia, std::uint32_t ib) {
            const ClaveGrupo& a = entradas[ia].clave;
            const ClaveGrupo& b = entradas[ib].clave;
            if (a.mes != b.mes) return *meses.constFind(a.mes) < *meses.constFind(b.mes);
            for (int n = 0; n < 3; ++n) {
                const int c = claveNivel(a, n).compare(claveNivel(b, n));
                if (c != 0) return c < 0;
            }
            return false;
        });
    }

    // Whether the table's own normalization would leave every row as bound.
    bool sinNormalizar = false;
    if (rapida) {
        const NormalizacionTabla normalizacion = LeerNormalizacion(almacen, tabla);
        sinNormalizar = normalizacion.omitible;
        auto cabe = [&](int columna, const QByteArray& texto) {
            const int limite = normalizacion.largoMaximo[columna];
            return limite < 0 || CaracteresUtf8(texto) <= limite;
        };
        if (sinNormalizar) sinNormalizar = cabe(0, base.toUtf8());
        for (auto it = meses.cbegin(); sinNormalizar && it != meses.cend(); ++it)
            sinNormalizar = cabe(1, it.value());
        for (int n = 0; n < 3 && sinNormalizar; ++n) {
            if (valores[n].empty()) {
                for (auto it = meses.cbegin(); sinNormalizar && it != meses.cend(); ++it)
                    sinNormalizar = cabe(2 + n, it.value());
                continue;
            }
            std::vector<char> usado(valores[n].size(), 0);
            for (const auto& e : entradas) usado[size_t(e.clave.k[n])] = 1;
            for (size_t id = 0; sinNormalizar && id < usado.size(); ++id)
                if (usado[id]) sinNormalizar = cabe(2 + n, valores[n][id]);
        }
        for (size_t i = 0; sinNormalizar && i < entradas.size(); ++i) {
            const Acumulado& a = entradas[i].acumulado;
            const std::uint8_t m = grupos.Marcas(i);
            if ((normalizacion.redondea[0] && (m & kHayConsumo) && !RedondeadoACuatro(double(a.consumo))) ||
                (normalizacion.redondea[1] && (m & kHayCosto) && !DentroDelRedondeo(double(a.costo))) ||
                (normalizacion.redondea[2] && (m & kHayVenta) && !DentroDelRedondeo(double(a.venta))))
                sinNormalizar = false;
        }
    }

    // A larger page cache until the transaction has ended (a smaller one before
    // the commit would spill the written pages to the log to be read back), and
    // the store's first 256 MB read through a mapping instead of a call per
    // page (the pages the emptied table gave up are read back as they are
    // reused). The sale lines are read by calls: mapped, a company of tens of
    // millions of lines made the scan slower and the process a gigabyte larger.
    PragmaTemporal cache(almacen, "cache_size", -262144);
    PragmaTemporal mapaAlmacen(almacen, "mmap_size", std::int64_t(256) << 20);
    // Replace the company's rows in one transaction.
    TransaccionEscritura transaccion(almacen, tabla);
    resultado.filasBorradas = BorrarFilasEmpresa(almacen, tabla, base, rapida, &resultado.tablaVaciada);
    {
        std::optional<NormalizacionApagada> apagada;
        if (sinNormalizar) apagada.emplace(almacen);  // when it cannot be turned off, it stays on
        resultado.sinNormalizar = apagada && apagada->Activa();
        // Many rows per INSERT: the statement's fixed cost is paid once per batch.
        constexpr int kFilasPorLote = 64;
        const QString cabeza =
            QStringLiteral("INSERT OR FAIL INTO ") + Identificador(tabla) +
            QStringLiteral(" (Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, ValorVenta) VALUES ");
        auto textoInsertar = [&](int filas) {
            QString t = cabeza;
            for (int f = 0; f < filas; ++f)
                t += f ? QStringLiteral(", (?, ?, ?, ?, ?, ?, ?, ?)")
                       : QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?)");
            return t;
        };
        SentenciaSQLite lote = Preparar(almacen, textoInsertar(kFilasPorLote), tabla);
        SentenciaSQLite suelta = Preparar(almacen, textoInsertar(1), tabla);

        const QByteArray textoBase = base.toUtf8();
        std::int64_t cuenta = 0;
        // The texts bound stay alive and in place until the last batch is written,
        // and a parameter keeps its value across batches: a text already bound
        // in its place (the company, mostly the month) is not bound again.
        std::vector<const char*> enLote(8 * kFilasPorLote, nullptr), enSuelta(8, nullptr);
        int ultimoMes = -1;
        const QByteArray* textoMes = nullptr;
        auto enlazar = [&](sqlite3_stmt* st, const char** enlazados, int primero, size_t g) {
            const ClaveGrupo& clave = entradas[g].clave;
            const Acumulado& acumulado = entradas[g].acumulado;
            const std::uint8_t marcas = grupos.Marcas(g);
            if (clave.mes != ultimoMes) {
                ultimoMes = clave.mes;
                textoMes = &*meses.constFind(clave.mes);
            }
            auto texto = [&](int columna, const QByteArray& t) {
                const char*& anterior = enlazados[primero - 1 + columna];
                if (anterior == t.constData()) return;
                sqlite3_bind_text(st, primero + columna, t.constData(), int(t.size()), SQLITE_STATIC);
                anterior = t.constData();
            };
            texto(0, textoBase);
            texto(1, *textoMes);
            for (int n = 0; n < 3; ++n)
                texto(2 + n, valores[n].empty() ? *textoMes : valores[n][size_t(clave.k[n])]);
            auto suma = [&](int columna, bool hay, long double valor) {
                if (hay)
                    sqlite3_bind_double(st, primero + columna, double(valor));
                else
                    sqlite3_bind_null(st, primero + columna);
            };
            suma(5, marcas & kHayConsumo, acumulado.consumo);
            suma(6, marcas & kHayCosto, acumulado.costo);
            suma(7, marcas & kHayVenta, acumulado.venta);
        };
        size_t i = 0;
        while (i < orden.size()) {
            const bool completo = orden.size() - i >= size_t(kFilasPorLote);
            sqlite3_stmt* st = completo ? lote.get() : suelta.get();
            const int filas = completo ? kFilasPorLote : 1;
            const char** enlazados = completo ? enLote.data() : enSuelta.data();
            for (int f = 0; f < filas; ++f) {
                // The groups are visited out of their memory order: ask for the
                // ones a few rows ahead while this one is bound.
                const size_t adelante = i + size_t(f) + 16;
                if (adelante < orden.size()) {
                    const char* p = reinterpret_cast<const char*>(&entradas[orden[adelante]]);
                    __builtin_prefetch(p);
                    __builtin_prefetch(p + sizeof(TablaGrupos::Entrada) - 1);
                    __builtin_prefetch(&grupos.Marcas(orden[adelante]));
                }
                enlazar(st, enlazados, 1 + 8 * f, orden[i + size_t(f)]);
            }
            if (sqlite3_step(st) != SQLITE_DONE) LanzarErrorSQLite(almacen, tabla);
            sqlite3_reset(st);
            i += size_t(filas);
            resultado.filasInsertadas += filas;
            cuenta += filas;
            if (cuenta >= kCadaCuantasFilas) {
                cuenta = 0;
                mirarCancelacion();
            }
        }
    }
    transaccion.Confirmar();
    return resultado;
}

void ActivarEscrituraRapida(bool activa) { EscrituraRapida().store(activa); }

bool EscrituraRapidaActiva() { return EscrituraRapida().load(); }

std::int64_t QuitarEmpresa(sqlite3* almacen, const QString& base, const QStringList& tablas) {
    std::int64_t borradas = 0;
    TransaccionEscritura transaccion(almacen, base);
    for (const QString& tabla : tablas) borradas += BorrarFilasDeBase(almacen, tabla, base);
    transaccion.Confirmar();
    return borradas;
}

// --- The procedure -------------------------------------------------------------

namespace {

struct Estadistica {
    QString tabla;  // as stored in CAB_ESTV
    QString campos;
};

std::vector<Estadistica> LeerDefiniciones(sqlite3* almacen) {
    std::vector<Estadistica> lista;
    SentenciaSQLite s =
        Preparar(almacen, QStringLiteral("SELECT Tabla, Campos FROM CAB_ESTV ORDER BY Codigo"),
                 QStringLiteral("CAB_ESTV"));
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        Estadistica e{TextoColumna(s.get(), 0).trimmed(), TextoColumna(s.get(), 1)};
        if (!e.tabla.isEmpty()) lista.push_back(std::move(e));
    }
    if (rc != SQLITE_DONE) LanzarErrorSQLite(almacen, QStringLiteral("CAB_ESTV"));
    return lista;
}

// The table's name as the store has it, or empty when it has no such table.
QString TablaExistente(sqlite3* almacen, const QString& tabla) {
    SentenciaSQLite s =
        Preparar(almacen,
                 QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?1 "
                                "COLLATE NOCASE"),
                 tabla);
    EnlazarTexto(s.get(), 1, tabla);
    if (sqlite3_step(s.get()) == SQLITE_ROW) return TextoColumna(s.get(), 0);
    return QString();
}

QString TextoArgumento(const std::vector<Argumento>& argumentos, int posicion, const char* nombre) {
    for (const Argumento& a : argumentos)
        if (!a.nombre.isEmpty() && a.nombre.compare(QLatin1String(nombre), Qt::CaseInsensitive) == 0)
            return a.valor.isNull() ? QString() : a.valor.toString();
    int i = 0;
    for (const Argumento& a : argumentos) {
        if (!a.nombre.isEmpty()) continue;
        if (i++ == posicion) return a.valor.isNull() ? QString() : a.valor.toString();
    }
    return QString();
}

}  // namespace

void EjecutarReconsEstv(ContextoProcedimiento& contexto, const std::vector<Argumento>& argumentos) {
    const QString accion = TextoArgumento(argumentos, 0, "@accion").trimmed();
    const QString pedida = TextoArgumento(argumentos, 1, "@tabla").trimmed();
    if (!accion.isEmpty() && accion != QLatin1String("*")) {
        throw ErrorServidor(
            50000,
            QStringLiteral("KV_RECONS_ESTV: la acción '%1' no es válida; se admite '' o '*'.").arg(accion));
    }
    // Only statistic tables: the procedure writes the store with the server's
    // rights, so a name such as MA_EMPRESAS must never reach its DELETE.
    static const QRegularExpression tablaEstadistica(QStringLiteral("^DET_ESTV[0-9]+$"),
                                                     QRegularExpression::CaseInsensitiveOption);
    if (!pedida.isEmpty() && !tablaEstadistica.match(pedida).hasMatch()) {
        throw ErrorServidor(50000,
                            QStringLiteral("KV_RECONS_ESTV: '%1' no es una tabla de estadística; se admite "
                                           "DET_ESTV seguido de cifras.")
                                .arg(pedida));
    }
    const QString base = contexto.BaseActual();
    if (PlegarClave(base) == PlegarClave(QLatin1String(kBaseEstadisticas))) {
        throw ErrorServidor(50000,
                            QStringLiteral("KV_RECONS_ESTV se ejecuta en la base de datos de una empresa, "
                                           "no en %1.")
                                .arg(QLatin1String(kBaseEstadisticas)));
    }
    sqlite3* almacen = contexto.Base(QLatin1String(kBaseEstadisticas));
    const std::vector<Estadistica> definiciones = LeerDefiniciones(almacen);

    // The statistics the call is about.
    std::vector<Estadistica> elegidas;
    if (pedida.isEmpty()) {
        elegidas = definiciones;
    } else {
        for (const Estadistica& e : definiciones)
            if (PlegarClave(e.tabla) == PlegarClave(pedida)) elegidas.push_back(e);
        if (elegidas.empty()) {
            if (accion.isEmpty())
                throw ErrorServidor(
                    50000,
                    QStringLiteral("KV_RECONS_ESTV: ninguna estadística de CAB_ESTV usa la tabla '%1'.")
                        .arg(pedida));
            elegidas.push_back({pedida, QString()});
        }
    }

    if (accion == QLatin1String("*")) {
        QStringList tablas;
        for (const Estadistica& e : elegidas) {
            const QString real = TablaExistente(almacen, e.tabla);
            if (real.isEmpty()) {
                if (!pedida.isEmpty()) throw ErrorTablaInexistente(e.tabla);
                continue;  // a definition whose table is gone holds no rows
            }
            if (!tablas.contains(real, Qt::CaseInsensitive)) tablas << real;
        }
        contexto.DevolverAfectadas(QuitarEmpresa(almacen, base, tablas));
        return;
    }

    sqlite3* empresa = contexto.Base(base);
    const auto cancelado = [&contexto] { return contexto.TiempoAgotado(); };
    QStringList fallidas;  // "table (cause)" of each table that could not be rebuilt
    for (const Estadistica& e : elegidas) {
        const QString real = TablaExistente(almacen, e.tabla);
        if (real.isEmpty()) {
            if (!pedida.isEmpty()) throw ErrorTablaInexistente(e.tabla);
            // One broken definition does not keep the others from being rebuilt.
            contexto.DevolverError(ErrorTablaInexistente(e.tabla));
            continue;
        }
        try {
            const ResultadoReconstruccion r = ReconstruirTabla(
                empresa, almacen, base, real, DefinicionAgrupacion::DesdeCampos(e.campos), cancelado);
            contexto.DevolverAfectadas(r.filasInsertadas);
        } catch (const ErrorServidor& error) {
            // A single table asked for reports its own error; for all of them each
            // table has its own transaction and one failure does not stop the rest.
            // A time-out or a lock ends the call as a whole.
            if (!pedida.isEmpty() || error.numero() == -2 || error.numero() == 1222) throw;
            fallidas << QStringLiteral("%1 (%2)").arg(real, error.mensaje());
        }
    }
    if (!fallidas.isEmpty())
        throw ErrorServidor(50000, QStringLiteral("KV_RECONS_ESTV: no se pudieron reconstruir las tablas %1.")
                                       .arg(fallidas.join(QStringLiteral(", "))));
}

void RegistrarReconsEstv() { RegistrarProcedimiento(QLatin1String(kNombreReconsEstv), &EjecutarReconsEstv); }

}  // namespace kv::local
