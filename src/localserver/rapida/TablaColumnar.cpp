#include "localserver/rapida/TablaColumnar.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string_view>
#include <unordered_map>

#include "localserver/rapida/ArchivoColumnar.h"
#include "localserver/tsql/Funciones.h"

namespace kv::local::rapida {

namespace {

constexpr std::size_t kLimitePorDefecto = std::size_t(256) << 20;

struct HashTexto {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

// Builds one column's dictionary while the rows are read.
class Constructor {
  public:
    Constructor() { textos_.emplace_back(); }  // code 0: NULL

    std::int32_t Codigo(const char* p, int n) {
        const std::string_view v(p, std::size_t(n));
        // Runs of equal values are common (company, month): skip the hash then.
        if (ultimo_ > 0 && textos_[std::size_t(ultimo_)] == v) return ultimo_;
        auto it = porTexto_.find(v);
        if (it == porTexto_.end()) {
            const auto codigo = std::int32_t(textos_.size());
            textos_.emplace_back(v);
            it = porTexto_.emplace(std::string(v), codigo).first;
        }
        ultimo_ = it->second;
        return ultimo_;
    }

    // Gives every code its class, classes numbered in collation order.
    Diccionario Terminar() {
        Diccionario d;
        const std::size_t n = textos_.size();
        std::vector<std::string> claves(n);
        for (std::size_t i = 1; i < n; ++i)
            ClaveOrdenKV(textos_[i].data(), int(textos_[i].size()), claves[i]);
        std::vector<std::int32_t> orden(n > 0 ? n - 1 : 0);
        std::iota(orden.begin(), orden.end(), 1);
        std::sort(orden.begin(), orden.end(), [&](std::int32_t a, std::int32_t b) {
            const int c = claves[std::size_t(a)].compare(claves[std::size_t(b)]);
            return c != 0 ? c < 0 : a < b;
        });
        d.clase.assign(n, 0);
        d.formas.push_back(1);
        d.primero.push_back(0);
        const std::string* anterior = nullptr;
        for (std::int32_t codigo : orden) {
            const std::string& clave = claves[std::size_t(codigo)];
            if (!anterior || *anterior != clave) {
                d.formas.push_back(0);
                d.primero.push_back(codigo);
                anterior = &clave;
            }
            d.clase[std::size_t(codigo)] = d.Clases() - 1;
            ++d.formas.back();
        }
        d.textos = std::move(textos_);
        return d;
    }

  private:
    std::vector<std::string> textos_;
    std::unordered_map<std::string, std::int32_t, HashTexto, std::equal_to<>> porTexto_;
    std::int32_t ultimo_ = -1;
};

QString Citar(const QString& nombre) {
    QString n = nombre;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

}  // namespace

std::size_t TablaColumnar::Bytes() const {
    std::size_t b = sizeof(*this) + bytesMapa;
    for (const auto& c : codigos) b += c.BytesPropios();
    for (const auto& c : numeros) b += c.BytesPropios();
    for (const auto& c : nulos) b += c.BytesPropios();
    for (const auto& d : diccionarios) {
        for (const auto& t : d.textos) b += sizeof(std::string) + (t.size() > 15 ? t.capacity() : 0);
        b += (d.clase.capacity() + d.formas.capacity() + d.primero.capacity()) * sizeof(std::int32_t);
    }
    return b;
}

std::shared_ptr<const TablaColumnar> TablaColumnar::Leer(sqlite3* db, const QString& tabla) {
    QString sql = QStringLiteral("SELECT ");
    for (int c = 0; c < kColumnasTabla; ++c)
        sql += (c ? QStringLiteral(", ") : QString()) + QLatin1String(NombreColumna(c));
    sql += QStringLiteral(" FROM ") + Citar(tabla);
    const QByteArray texto = sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, texto.constData(), int(texto.size()), &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return nullptr;
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guarda(st, &sqlite3_finalize);
    auto t = std::make_shared<TablaColumnar>();
    Constructor constructores[kColumnasTexto];
    constexpr int kNumeros = kColumnasTabla - kColumnasTexto;
    bool hayNulos[kNumeros] = {};
    std::vector<std::int32_t> codigos[kColumnasTexto];
    std::vector<double> numeros[kNumeros];
    std::vector<std::uint8_t> nulos[kNumeros];
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        for (int c = 0; c < kColumnasTexto; ++c) {
            const int tipo = sqlite3_column_type(st, c);
            std::int32_t codigo = 0;
            if (tipo == SQLITE_TEXT) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                codigo = constructores[c].Codigo(p, sqlite3_column_bytes(st, c));
            } else if (tipo != SQLITE_NULL) {
                return nullptr;
            }
            codigos[c].push_back(codigo);
        }
        for (int k = 0; k < kNumeros; ++k) {
            const int tipo = sqlite3_column_type(st, kColumnasTexto + k);
            if (tipo == SQLITE_FLOAT) {
                numeros[k].push_back(sqlite3_column_double(st, kColumnasTexto + k));
                if (hayNulos[k]) nulos[k].push_back(0);
            } else if (tipo == SQLITE_NULL) {
                if (!hayNulos[k]) {
                    hayNulos[k] = true;
                    nulos[k].assign(numeros[k].size(), 0);
                }
                numeros[k].push_back(0.0);
                nulos[k].push_back(1);
            } else {
                return nullptr;
            }
        }
        ++t->filas;
    }
    if (rc != SQLITE_DONE) return nullptr;
    for (int c = 0; c < kColumnasTexto; ++c) {
        t->diccionarios[c] = constructores[c].Terminar();
        codigos[c].shrink_to_fit();
        t->codigos[c] = Columna<std::int32_t>(std::move(codigos[c]));
    }
    for (int k = 0; k < kNumeros; ++k) {
        numeros[k].shrink_to_fit();
        t->exactas[k] = std::all_of(numeros[k].begin(), numeros[k].end(), [](double x) {
            return std::fabs(x) < 1e9 && double(DiezmilesimasDe(x)) / 10000.0 == x;
        });
        t->numeros[k] = Columna<double>(std::move(numeros[k]));
        t->nulos[k] = Columna<std::uint8_t>(std::move(nulos[k]));
    }
    return t;
}

// ---------------------------------------------------------------------------

bool VersionDatos(sqlite3* db, unsigned* version) {
    return sqlite3_file_control(db, "main", SQLITE_FCNTL_DATA_VERSION, version) == SQLITE_OK;
}

CacheColumnar& CacheColumnar::Global() {
    static CacheColumnar& cache = *[] {
        std::size_t limite = kLimitePorDefecto;
        bool ok = false;
        const qint64 mb = qEnvironmentVariableIntValue("KVESTV_MEMORIA_COLUMNAR_MB", &ok);
        if (ok && mb >= 0) limite = std::size_t(mb) << 20;
        // Lives as long as the process: sessions may outlive other statics.
        return new CacheColumnar(limite);
    }();
    return cache;
}

CacheColumnar::CacheColumnar(std::size_t limiteBytes) : limite_(limiteBytes) {}

void CacheColumnar::FijarLimite(std::size_t bytes) {
    std::lock_guard<std::mutex> g(cerrojo_);
    limite_ = bytes;
    Recortar();
}

std::size_t CacheColumnar::Limite() const {
    std::lock_guard<std::mutex> g(cerrojo_);
    return limite_;
}

std::size_t CacheColumnar::BytesEnUso() const {
    std::lock_guard<std::mutex> g(cerrojo_);
    return enUso_;
}

std::size_t CacheColumnar::Entradas() const {
    std::lock_guard<std::mutex> g(cerrojo_);
    return entradas_.size();
}

void CacheColumnar::Vaciar() {
    std::lock_guard<std::mutex> g(cerrojo_);
    entradas_.clear();
    enUso_ = 0;
}

void CacheColumnar::Recortar() {
    while (enUso_ > limite_ && !entradas_.empty()) {
        enUso_ -= entradas_.back().datos->Bytes();
        entradas_.pop_back();
    }
}

CacheColumnar::Uso CacheColumnar::Obtener(sqlite3* db, std::uint64_t serie, const QString& ruta,
                                          const QString& tabla) {
    Uso uso;
    if (!sqlite3_get_autocommit(db)) {
        uso.tabla = TablaColumnar::Leer(db, tabla);
        ++cuentas_.deFilas;
        return uso;
    }
    const QString clave = tabla.toCaseFolded();
    const char* nombreArchivo = sqlite3_db_filename(db, "main");
    const QString archivo = nombreArchivo ? QString::fromUtf8(nombreArchivo) : QString();
    const bool conArchivo = ArchivosColumnaresActivos() && !archivo.isEmpty();
    // The state of the file just before the read transaction starts and just
    // after: when both are the same, the transaction sees exactly that state.
    std::optional<EstadoBase> antes;
    if (conArchivo) antes = LeerEstadoBase(db, archivo);
    // One read transaction: the version seen is the version of the rows read.
    if (sqlite3_exec(db, "BEGIN; PRAGMA schema_version; PRAGMA data_version;", nullptr, nullptr, nullptr) !=
        SQLITE_OK) {
        if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return uso;
    }
    struct Fin {
        sqlite3* db;
        ~Fin() {
            if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        }
    } fin{db};
    unsigned version = 0;
    const bool conVersion = VersionDatos(db, &version);
    if (conVersion) {
        std::lock_guard<std::mutex> g(cerrojo_);
        for (auto it = entradas_.begin(); it != entradas_.end(); ++it) {
            if (it->serie == serie && it->version == version && it->tabla == clave && it->ruta == ruta) {
                entradas_.splice(entradas_.begin(), entradas_, it);
                uso.tabla = entradas_.front().datos;
                uso.deMemoria = true;
                ++cuentas_.deMemoria;
                return uso;
            }
        }
    }
    std::optional<EstadoBase> estado;
    if (antes) {
        const std::optional<EstadoBase> despues = LeerEstadoBase(db, archivo);
        if (despues && *despues == *antes) estado = antes;
    }
    // The table's signature, read at most once: to use a file made for another
    // state of the database, and to write a new one.
    std::optional<std::optional<FirmaTabla>> firma;
    const auto firmaAhora = [&] {
        if (!firma) firma = LeerFirmaTabla(db, *estado, tabla);
        return *firma;
    };
    if (estado) uso.tabla = AbrirArchivoColumnar(archivo, tabla, *estado, firmaAhora);
    if (uso.tabla) {
        uso.deArchivo = true;
        ++cuentas_.deArchivo;
    } else {
        uso.tabla = TablaColumnar::Leer(db, tabla);
        ++cuentas_.deFilas;
        if (!uso.tabla) return uso;
        // The rows are those of `estado`: no commit came between its two readings.
        const std::optional<FirmaTabla> actual = estado ? firmaAhora() : std::nullopt;
        if (actual && EscribirArchivoColumnar(archivo, tabla, *estado, *actual, *uso.tabla)) {
            uso.archivoEscrito = true;
            ++cuentas_.archivosEscritos;
        }
    }
    if (!conVersion) return uso;
    const std::size_t bytes = uso.tabla->Bytes();
    std::lock_guard<std::mutex> g(cerrojo_);
    // The handle's older form of the same table is stale now.
    for (auto it = entradas_.begin(); it != entradas_.end();) {
        if (it->tabla == clave && it->ruta == ruta && it->serie == serie) {
            enUso_ -= it->datos->Bytes();
            it = entradas_.erase(it);
        } else {
            ++it;
        }
    }
    if (bytes > limite_) return uso;
    entradas_.push_front(Entrada{ruta, clave, serie, version, uso.tabla});
    enUso_ += bytes;
    Recortar();
    return uso;
}

CacheColumnar::Cuentas CacheColumnar::Contadas() const {
    Cuentas c;
    c.deMemoria = cuentas_.deMemoria;
    c.deArchivo = cuentas_.deArchivo;
    c.deFilas = cuentas_.deFilas;
    c.archivosEscritos = cuentas_.archivosEscritos;
    return c;
}

}  // namespace kv::local::rapida
