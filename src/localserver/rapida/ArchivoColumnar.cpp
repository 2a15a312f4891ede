#include "localserver/rapida/ArchivoColumnar.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

#include <QFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <limits>
#include <thread>
#include <unordered_map>
#include <vector>

#include "localserver/rapida/Paralelo.h"

namespace kv::local::rapida {

namespace {

constexpr int kNumeros = kColumnasTabla - kColumnasTexto;
// The table's name, six arrays per text column, two per number column.
constexpr int kPorTexto = 6;
constexpr int kSecciones = 1 + kColumnasTexto * kPorTexto + kNumeros * 2;
constexpr char kMagia[8] = {'K', 'V', 'C', 'O', 'L', 'U', 'M', '\1'};
constexpr std::uint32_t kVersion = 3;

struct Seccion {
    std::uint64_t inicio;
    std::uint64_t largo;
    std::uint64_t suma;
};

struct Cabecera {
    char magia[8];
    std::uint32_t version;
    std::uint32_t secciones;
    EstadoBase estado;
    FirmaTabla firma;
    std::uint64_t filas;
    std::uint32_t exactas;  // one bit per number column
    std::uint32_t relleno;
    Seccion seccion[kSecciones];
    std::uint64_t suma;  // of everything above
};
static_assert(sizeof(EstadoBase) == 88);
static_assert(sizeof(FirmaTabla) == 32);
static_assert(sizeof(Cabecera) % 8 == 0);

std::atomic<bool>& Activos() {
    static std::atomic<bool> activos{qEnvironmentVariableIntValue("KVESTV_COLUMNAS_EN_ARCHIVO") != 0 ||
                                     !qEnvironmentVariableIsSet("KVESTV_COLUMNAS_EN_ARCHIVO")};
    return activos;
}

inline std::uint64_t Rotar(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

// A 64-bit checksum of the bytes: catches a damaged or cut file, not an attack.
std::uint64_t Suma(const void* datos, std::size_t n, std::uint64_t semilla) {
    constexpr std::uint64_t P1 = 0x9E3779B185EBCA87ULL, P2 = 0xC2B2AE3D27D4EB4FULL,
                            P3 = 0x165667B19E3779F9ULL;
    const auto* p = static_cast<const unsigned char*>(datos);
    std::uint64_t v[4] = {semilla + P1 + P2, semilla + P2, semilla, semilla - P1};
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        for (int l = 0; l < 4; ++l) {
            std::uint64_t w;
            std::memcpy(&w, p + i + 8 * l, 8);
            v[l] = Rotar(v[l] + w * P2, 31) * P1;
        }
    }
    std::uint64_t h = Rotar(v[0], 1) + Rotar(v[1], 7) + Rotar(v[2], 12) + Rotar(v[3], 18) + n;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        h ^= Rotar(w * P2, 31) * P1;
        h = Rotar(h, 27) * P1 + P3;
    }
    for (; i < n; ++i) {
        h ^= p[i] * P1;
        h = Rotar(h, 11) * P2;
    }
    h ^= h >> 33;
    h *= P2;
    h ^= h >> 29;
    h *= P3;
    h ^= h >> 32;
    return h;
}

QByteArray NombreArchivo(const QString& tabla) {
    const QByteArray t = tabla.toCaseFolded().toUtf8();
    QByteArray n;
    for (char ch : t) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')
            n += ch;
        else
            n += '%' + QByteArray::number(c, 16).rightJustified(2, '0');
    }
    return n;
}

// Writes all of `n` bytes; false on any failure.
bool Escribir(int fd, const void* datos, std::size_t n) {
    const auto* p = static_cast<const char*>(datos);
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= std::size_t(w);
    }
    return true;
}

// Temporary files of writers that are gone (stopped while writing).
void QuitarRestos(const QByteArray& carpeta) {
    DIR* d = ::opendir(carpeta.constData());
    if (!d) return;
    while (dirent* e = ::readdir(d)) {
        const QByteArray nombre(e->d_name);
        if (!nombre.endsWith(".tmp")) continue;
        const QList<QByteArray> partes = nombre.split('.');
        // <tabla>.col.<pid>.<n>.tmp
        if (partes.size() < 5) continue;
        bool ok = false;
        const int pid = partes[partes.size() - 3].toInt(&ok);
        if (!ok || pid <= 0) continue;
        if (::kill(pid, 0) != 0 && errno == ESRCH) ::unlink((carpeta + '/' + nombre).constData());
    }
    ::closedir(d);
}

// The handles SQLite keeps on a connection's database file and on its log.
// Those files are read only through them, never through a descriptor of our
// own: closing any descriptor of a file lets go of every lock the process
// holds on it, SQLite's included (its readers' marks among them).
struct Archivos {
    sqlite3_file* base = nullptr;
    sqlite3_file* registro = nullptr;  // the write-ahead log, when in that mode
    bool Leer(sqlite3_file* f, void* destino, std::size_t n, std::uint64_t posicion) const {
        return f && f->pMethods &&
               f->pMethods->xRead(f, destino, int(n), sqlite3_int64(posicion)) == SQLITE_OK;
    }
};

Archivos ArchivosDe(sqlite3* db) {
    Archivos a;
    sqlite3_file* f = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &f) == SQLITE_OK && f && f->pMethods)
        a.base = f;
    f = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &f) == SQLITE_OK && f && f->pMethods)
        a.registro = f;
    return a;
}

// The identity of the database file: node, size, times of change and the
// counters of its header (change counter, pages, schema cookie,
// version-valid-for).
bool IdentidadArchivo(const Archivos& archivos, const struct stat& st, EstadoBase& e) {
    e.dispositivo = std::uint64_t(st.st_dev);
    e.nodo = std::uint64_t(st.st_ino);
    e.tamano = std::uint64_t(st.st_size);
    e.modificado = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    e.cambiado = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    unsigned char cabecera[100];
    if (!archivos.Leer(archivos.base, cabecera, sizeof cabecera, 0)) return false;
    std::memcpy(e.cabecera, cabecera + 24, 8);
    std::memcpy(e.cabecera + 8, cabecera + 40, 4);
    std::memcpy(e.cabecera + 12, cabecera + 92, 4);
    return true;
}

std::uint32_t Grande(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
           std::uint32_t(p[3]);
}

// While it lives, SQLite's own handle on the database file maps the whole
// file and lends the mapping, so pages are read in place instead of by a call
// each; the handle's limit comes back afterwards. Nothing is lent when the
// handle cannot map.
class MapaTemporal {
  public:
    explicit MapaTemporal(sqlite3_file* f) : f_(f) {
        if (!f_ || !f_->pMethods || f_->pMethods->iVersion < 3) return;
        sqlite3_int64 limite = -1, largo = 0;
        if (f_->pMethods->xFileControl(f_, SQLITE_FCNTL_MMAP_SIZE, &limite) != SQLITE_OK || limite != 0 ||
            f_->pMethods->xFileSize(f_, &largo) != SQLITE_OK || largo <= 0 ||
            largo > std::numeric_limits<int>::max())
            return;
        sqlite3_int64 nuevo = largo;
        if (f_->pMethods->xFileControl(f_, SQLITE_FCNTL_MMAP_SIZE, &nuevo) != SQLITE_OK) return;
        limiteCambiado_ = true;
        void* p = nullptr;
        if (f_->pMethods->xFetch(f_, 0, int(largo), &p) == SQLITE_OK && p) {
            datos_ = static_cast<const unsigned char*>(p);
            largo_ = std::uint64_t(largo);
        }
    }
    ~MapaTemporal() {
        if (datos_) f_->pMethods->xUnfetch(f_, 0, const_cast<unsigned char*>(datos_));
        if (!limiteCambiado_) return;
        sqlite3_int64 cero = 0;
        f_->pMethods->xFileControl(f_, SQLITE_FCNTL_MMAP_SIZE, &cero);
    }
    MapaTemporal(const MapaTemporal&) = delete;
    MapaTemporal& operator=(const MapaTemporal&) = delete;
    const unsigned char* Datos() const { return datos_; }
    std::uint64_t Largo() const { return largo_; }

  private:
    sqlite3_file* f_;
    bool limiteCambiado_ = false;
    const unsigned char* datos_ = nullptr;
    std::uint64_t largo_ = 0;
};

// Pages of a database as a read transaction that sees the state `estado`
// reads them: the last frame of the page in the log up to the state's last
// commit, else the page in the file. Within that transaction no checkpoint
// writes over a page it reads and the log is not started again.
class LectorPaginas {
  public:
    LectorPaginas(const Archivos& archivos, const EstadoBase& estado, const MapaTemporal* mapa = nullptr)
        : archivos_(archivos), mapa_(mapa) {
        unsigned char cabecera[100];
        if (!archivos_.Leer(archivos_.base, cabecera, sizeof cabecera, 0)) return;
        const std::uint32_t tam = std::uint32_t(cabecera[16]) << 8 | cabecera[17];
        pagina_ = tam == 1 ? 65536 : tam;
        if (pagina_ < 512 || (pagina_ & (pagina_ - 1)) != 0 || cabecera[20] >= pagina_ - 480) return;
        util_ = pagina_ - cabecera[20];
        sqlite3_int64 largo = 0;
        if (archivos_.base->pMethods->xFileSize(archivos_.base, &largo) != SQLITE_OK || largo < 0) return;
        limite_ = std::uint64_t(largo) / pagina_ + estado.marcos + 1;
        if (estado.marcos > 0) {
            const std::uint32_t enIndice = estado.tamPagina == 1 ? 65536 : estado.tamPagina;
            if (enIndice != pagina_) return;
            unsigned char w[32];
            if (!archivos_.Leer(archivos_.registro, w, sizeof w, 0) || Grande(w + 8) != pagina_ ||
                std::memcmp(w + 16, estado.sal, 8) != 0)
                return;
            unsigned char m[24] = {};
            for (std::uint32_t i = 1; i <= estado.marcos; ++i) {
                if (!archivos_.Leer(archivos_.registro, m, sizeof m, Posicion(i)) ||
                    std::memcmp(m + 8, estado.sal, 8) != 0)
                    return;
                enRegistro_[Grande(m)] = i;  // a later frame of the page replaces an earlier one
            }
            // The last frame read is the commit the index names.
            if (Grande(m + 16) != estado.suma[0] || Grande(m + 20) != estado.suma[1]) return;
        }
        bien_ = true;
    }

    bool Bien() const { return bien_; }
    std::uint32_t Tamano() const { return pagina_; }
    std::uint32_t Util() const { return util_; }
    std::uint64_t Limite() const { return limite_; }

    bool Leer(std::uint32_t numero, unsigned char* destino) const {
        if (!bien_ || numero == 0) return false;
        const auto it = enRegistro_.find(numero);
        if (it != enRegistro_.end())
            return archivos_.Leer(archivos_.registro, destino, pagina_, Posicion(it->second) + 24);
        return archivos_.Leer(archivos_.base, destino, pagina_, std::uint64_t(numero - 1) * pagina_);
    }
    // The page in place in the file's mapping when it is there, else read
    // into `destino`; null when it cannot be read.
    const unsigned char* Pagina(std::uint32_t numero, unsigned char* destino) const {
        if (bien_ && numero != 0 && mapa_ && mapa_->Datos() &&
            enRegistro_.find(numero) == enRegistro_.end()) {
            const std::uint64_t desde = std::uint64_t(numero - 1) * pagina_;
            if (desde + pagina_ <= mapa_->Largo()) return mapa_->Datos() + desde;
        }
        return Leer(numero, destino) ? destino : nullptr;
    }

  private:
    std::uint64_t Posicion(std::uint32_t marco) const {
        return 32 + std::uint64_t(marco - 1) * (24 + pagina_);
    }

    Archivos archivos_;
    const MapaTemporal* mapa_;
    bool bien_ = false;
    std::uint32_t pagina_ = 0, util_ = 0;
    std::uint64_t limite_ = 0;
    std::unordered_map<std::uint32_t, std::uint32_t> enRegistro_;  // page -> its last frame
};

// Reads a SQLite varint at `p` (at most `n` bytes there); 0 bytes when cut.
int Variable(const unsigned char* p, std::size_t n, std::uint64_t& valor) {
    valor = 0;
    for (int i = 0; i < 9 && std::size_t(i) < n; ++i) {
        if (i == 8) {
            valor = (valor << 8) | p[i];
            return 9;
        }
        valor = (valor << 7) | (p[i] & 0x7F);
        if (!(p[i] & 0x80)) return i + 1;
    }
    return 0;
}

// The running totals of a walk over part of a table's tree.
struct Recorrido {
    std::uint64_t suma = 0, mezcla = 0, vistas = 0;
    bool bien = true;
};

// Children of an interior page, leftmost first; nothing for a leaf. False for
// a page that is not a table's, or a leaf with a row that does not fit in it.
bool Hijos(const unsigned char* pagina, std::uint32_t numero, std::uint32_t tam, std::uint64_t maximoLocal,
           std::vector<std::uint32_t>& hijos) {
    hijos.clear();
    const std::size_t h = numero == 1 ? 100 : 0;
    const unsigned char tipo = pagina[h];
    const std::uint32_t celdas = std::uint32_t(pagina[h + 3]) << 8 | pagina[h + 4];
    const std::size_t punteros = h + (tipo == 0x05 ? 12 : 8);
    if ((tipo != 0x05 && tipo != 0x0D) || punteros + 2 * std::size_t(celdas) > tam) return false;
    for (std::uint32_t c = 0; c < celdas; ++c) {
        const std::size_t celda = std::size_t(pagina[punteros + 2 * c]) << 8 | pagina[punteros + 2 * c + 1];
        if (celda < punteros || celda + 4 > tam) return false;
        std::uint64_t largo = 0;
        if (tipo == 0x05) {
            hijos.push_back(Grande(&pagina[celda]));
        } else if (Variable(&pagina[celda], tam - celda, largo) == 0 || largo > maximoLocal) {
            return false;
        }
    }
    if (tipo == 0x05) hijos.push_back(Grande(&pagina[h + 8]));
    return true;
}

// Each page counts by a checksum seeded with its number, so the totals name
// the set of (page, content) pairs whatever the order they were visited in.
void Contar(Recorrido& r, const unsigned char* pagina, std::uint32_t tam, std::uint32_t numero) {
    const std::uint64_t s = Suma(pagina, tam, numero);
    r.suma += s;
    r.mezcla ^= Rotar(s, int(numero % 63) + 1);
}

// The pages under `pendientes`, depth first, each one checked for the shape of
// a table page and added to the totals; the walk fails on a page that cannot
// be read or is not a table's, and past `limite` pages (a loop in a damaged file).
void Recorrer(const LectorPaginas& lector, std::vector<std::uint32_t> pendientes, std::uint64_t limite,
              Recorrido& r) {
    const std::uint32_t tam = lector.Tamano();
    const std::uint64_t maximoLocal = lector.Util() - 35;
    std::vector<unsigned char> pagina(tam);
    std::vector<std::uint32_t> hijos;
    std::reverse(pendientes.begin(), pendientes.end());
    while (!pendientes.empty() && r.bien) {
        const std::uint32_t numero = pendientes.back();
        pendientes.pop_back();
        const unsigned char* p = ++r.vistas > limite ? nullptr : lector.Pagina(numero, pagina.data());
        if (!p || !Hijos(p, numero, tam, maximoLocal, hijos)) {
            r.bien = false;
            break;
        }
        Contar(r, p, tam, numero);
        // Taken off the stack from the end: the leftmost child goes first.
        pendientes.insert(pendientes.end(), hijos.rbegin(), hijos.rend());
    }
}

// The checksum of a table's tree from its first page. False for a page that
// is not a page of a table's tree or a row that does not fit in its page (kept
// partly in overflow pages, which are not followed). The root is read here,
// the subtrees under it in two halves, one per core.
bool HuellaArbol(const LectorPaginas& lector, std::uint32_t raiz, FirmaTabla& firma) {
    const std::uint32_t tam = lector.Tamano();
    std::vector<unsigned char> pagina(tam);
    std::vector<std::uint32_t> hijos;
    Recorrido r[3];
    const unsigned char* p = lector.Pagina(raiz, pagina.data());
    if (!p || !Hijos(p, raiz, tam, lector.Util() - 35, hijos)) return false;
    Contar(r[2], p, tam, raiz);
    r[2].vistas = 1;
    const std::size_t mitad = hijos.size() / 2;
    const std::vector<std::uint32_t> primera(hijos.begin(), hijos.begin() + std::ptrdiff_t(mitad)),
        segunda(hijos.begin() + std::ptrdiff_t(mitad), hijos.end());
    ALaVez([&] { Recorrer(lector, primera, lector.Limite(), r[0]); },
           [&] { Recorrer(lector, segunda, lector.Limite(), r[1]); });
    if (!r[0].bien || !r[1].bien) return false;
    const std::uint64_t vistas = r[0].vistas + r[1].vistas + r[2].vistas;
    if (vistas > lector.Limite()) return false;
    firma.paginas = std::uint32_t(std::min<std::uint64_t>(vistas, std::numeric_limits<std::uint32_t>::max()));
    firma.huella[0] = r[0].suma + r[1].suma + r[2].suma;
    firma.huella[1] = r[0].mezcla ^ r[1].mezcla ^ r[2].mezcla;
    return true;
}

// A 64-bit checksum of a text, for the table's definition.
std::uint64_t SumaTexto(const unsigned char* t, int n) { return t ? Suma(t, std::size_t(n), 0x5E5E) : 0; }
}  // namespace

bool EstadoBase::operator==(const EstadoBase& o) const { return std::memcmp(this, &o, sizeof(*this)) == 0; }

std::optional<EstadoBase> LeerEstadoBase(sqlite3* db, const QString& archivo) {
    if (archivo.isEmpty()) return std::nullopt;
    const Archivos archivos = ArchivosDe(db);
    // A database in write-ahead-log mode says so in its header (versions 2 and 2);
    // only then is the log's index asked for (it would be made otherwise).
    unsigned char cabecera[100];
    if (!archivos.Leer(archivos.base, cabecera, sizeof cabecera, 0) || cabecera[18] != 2 ||
        cabecera[19] != 2 || archivos.base->pMethods->iVersion < 2)
        return std::nullopt;
    volatile void* region = nullptr;
    if (archivos.base->pMethods->xShmMap(archivos.base, 0, 32768, 0, &region) != SQLITE_OK || !region)
        return std::nullopt;
    const volatile unsigned char* indice = static_cast<const volatile unsigned char*>(region);
    std::optional<EstadoBase> estado;
    // Two copies of the header, written one after the other by each commit:
    // equal copies with a right checksum are a whole header.
    for (int intento = 0; intento < 5 && !estado; ++intento) {
        unsigned char b[96];
        std::atomic_thread_fence(std::memory_order_acquire);
        for (std::size_t i = 0; i < sizeof b; ++i) b[i] = indice[i];
        std::uint32_t w[12];
        std::memcpy(w, b, 48);
        const bool iguales = std::memcmp(b, b + 48, 48) == 0;
        std::uint32_t s1 = 0, s2 = 0;
        for (int i = 0; i < 10; i += 2) {
            s1 += w[i] + s2;
            s2 += w[i + 1] + s1;
        }
        if (!iguales || w[0] != 3007000 || b[12] != 1 || s1 != w[10] || s2 != w[11]) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        EstadoBase e;
        e.tamPagina = std::uint32_t(b[14]) | std::uint32_t(b[15]) << 8;
        e.marcos = w[4];
        e.paginas = w[5];
        e.suma[0] = w[6];
        e.suma[1] = w[7];
        e.sal[0] = w[8];
        e.sal[1] = w[9];
        estado = e;
    }
    if (!estado) return std::nullopt;
    struct stat st {};
    const QByteArray ruta = QFile::encodeName(archivo);
    if (::stat(ruta.constData(), &st) != 0) return std::nullopt;
    estado->dispositivo = std::uint64_t(st.st_dev);
    estado->nodo = std::uint64_t(st.st_ino);
    if (estado->marcos > 0) return estado;
    // An empty log: the file holds everything, and names its state.
    EstadoBase e;
    if (!IdentidadArchivo(archivos, st, e)) return std::nullopt;
    const std::int64_t ahoraNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
    constexpr std::int64_t kMargenNs = 100 * 1000000;
    if (ahoraNs - std::max(e.modificado, e.cambiado) < kMargenNs) return std::nullopt;
    return e;
}

bool FirmaTabla::operator==(const FirmaTabla& o) const {
    return raiz == o.raiz && paginas == o.paginas && definicion == o.definicion && huella[0] == o.huella[0] &&
           huella[1] == o.huella[1];
}

std::optional<FirmaTabla> LeerFirmaTabla(sqlite3* db, const EstadoBase& estado, const QString& tabla) {
    const QByteArray t = tabla.toUtf8();
    const auto una = [&](const char* sql, const auto& leer) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(st);
            return -1;
        }
        sqlite3_bind_text(st, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        const int paso = sqlite3_step(st);
        if (paso == SQLITE_ROW) leer(st);
        sqlite3_finalize(st);
        return paso == SQLITE_ROW ? 1 : paso == SQLITE_DONE ? 0 : -1;
    };
    if (una("SELECT 1 FROM temp.sqlite_schema WHERE name = ?1 COLLATE NOCASE", [](sqlite3_stmt*) {}) != 0)
        return std::nullopt;
    FirmaTabla firma;
    const int hay =
        una("SELECT rootpage, sql FROM main.sqlite_schema WHERE type = 'table' AND name = ?1 COLLATE NOCASE",
            [&](sqlite3_stmt* st) {
                firma.raiz = std::uint32_t(sqlite3_column_int64(st, 0));
                firma.definicion = SumaTexto(sqlite3_column_text(st, 1), sqlite3_column_bytes(st, 1));
            });
    if (hay != 1 || firma.raiz == 0) return std::nullopt;
    const Archivos archivos = ArchivosDe(db);
    const MapaTemporal mapa(archivos.base);
    const LectorPaginas lector(archivos, estado, &mapa);
    if (!lector.Bien() || !HuellaArbol(lector, firma.raiz, firma)) return std::nullopt;
    return firma;
}

QString CarpetaColumnas(const QString& archivo) { return archivo + QStringLiteral(".columnas"); }

QString ArchivoDeTabla(const QString& archivo, const QString& tabla) {
    return CarpetaColumnas(archivo) + QLatin1Char('/') + QString::fromLatin1(NombreArchivo(tabla)) +
           QStringLiteral(".col");
}

bool EscribirArchivoColumnar(const QString& archivo, const QString& tabla, const EstadoBase& estado,
                             const FirmaTabla& firma, const TablaColumnar& datos) {
    const QByteArray carpeta = QFile::encodeName(CarpetaColumnas(archivo));
    if (::mkdir(carpeta.constData(), 0700) != 0 && errno != EEXIST) return false;
    QuitarRestos(carpeta);
    static std::atomic<unsigned> serie{0};
    const QByteArray final = QFile::encodeName(ArchivoDeTabla(archivo, tabla));
    const QByteArray temporal =
        final + '.' + QByteArray::number(::getpid()) + '.' + QByteArray::number(++serie) + ".tmp";
    const int fd = ::open(temporal.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;

    Cabecera c{};
    std::memcpy(c.magia, kMagia, sizeof kMagia);
    c.version = kVersion;
    c.secciones = kSecciones;
    c.estado = estado;
    c.firma = firma;
    c.filas = datos.filas;
    for (int k = 0; k < kNumeros; ++k)
        if (datos.exactas[k]) c.exactas |= 1u << k;

    // The texts of each dictionary, end to end, and where each one ends.
    std::vector<std::uint64_t> finales[kColumnasTexto];
    std::string textos[kColumnasTexto];
    for (int t = 0; t < kColumnasTexto; ++t) {
        const Diccionario& d = datos.diccionarios[t];
        finales[t].reserve(d.textos.size() + 1);
        finales[t].push_back(0);
        for (const std::string& s : d.textos) {
            textos[t] += s;
            finales[t].push_back(textos[t].size());
        }
    }
    const QByteArray nombre = tabla.toCaseFolded().toUtf8();
    struct Parte {
        const void* p;
        std::size_t n;
    };
    Parte partes[kSecciones];
    int i = 0;
    partes[i++] = {nombre.constData(), std::size_t(nombre.size())};
    for (int t = 0; t < kColumnasTexto; ++t) {
        const Diccionario& d = datos.diccionarios[t];
        partes[i++] = {datos.codigos[t].data(), datos.codigos[t].size() * sizeof(std::int32_t)};
        partes[i++] = {finales[t].data(), finales[t].size() * sizeof(std::uint64_t)};
        partes[i++] = {textos[t].data(), textos[t].size()};
        partes[i++] = {d.clase.data(), d.clase.size() * sizeof(std::int32_t)};
        partes[i++] = {d.formas.data(), d.formas.size() * sizeof(std::int32_t)};
        partes[i++] = {d.primero.data(), d.primero.size() * sizeof(std::int32_t)};
    }
    for (int k = 0; k < kNumeros; ++k) {
        partes[i++] = {datos.numeros[k].data(), datos.numeros[k].size() * sizeof(double)};
        partes[i++] = {datos.nulos[k].data(), datos.nulos[k].size()};
    }

    bool ok = Escribir(fd, &c, sizeof c);  // the header goes in last, once everything is there
    std::uint64_t posicion = sizeof c;
    const char ceros[8] = {};
    const int pausaMs = qEnvironmentVariableIntValue("KVESTV_COLUMNAS_PAUSA_MS");
    for (int s = 0; s < kSecciones && ok; ++s) {
        const std::size_t relleno = (8 - posicion % 8) % 8;
        ok = Escribir(fd, ceros, relleno);
        posicion += relleno;
        c.seccion[s] = {posicion, partes[s].n, Suma(partes[s].p, partes[s].n, std::uint64_t(s))};
        ok = ok && Escribir(fd, partes[s].p, partes[s].n);
        posicion += partes[s].n;
        // A pause midway, for the tests that stop a writer while it writes.
        if (pausaMs > 0 && s == kSecciones / 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(pausaMs));
    }
    c.suma = Suma(&c, offsetof(Cabecera, suma), 0xC0C0);
    ok = ok && ::pwrite(fd, &c, sizeof c, 0) == ssize_t(sizeof c);
    ok = (::close(fd) == 0) && ok;
    // The rename puts the whole file under its name at once; a reader still
    // holding the old one keeps it until it lets it go.
    if (ok) ok = ::rename(temporal.constData(), final.constData()) == 0;
    if (!ok) ::unlink(temporal.constData());
    return ok;
}

std::shared_ptr<const TablaColumnar> AbrirArchivoColumnar(
    const QString& archivo, const QString& tabla, const EstadoBase& estado,
    const std::function<std::optional<FirmaTabla>()>& firmaAhora) {
    const QByteArray ruta = QFile::encodeName(ArchivoDeTabla(archivo, tabla));
    const int fd = ::open(ruta.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || std::uint64_t(st.st_size) < sizeof(Cabecera)) {
        ::close(fd);
        return nullptr;
    }
    const auto largo = std::size_t(st.st_size);
    // The header first, to leave at once a file of another state.
    Cabecera c{};
    if (::pread(fd, &c, sizeof c, 0) != ssize_t(sizeof c) ||
        std::memcmp(c.magia, kMagia, sizeof kMagia) != 0 || c.version != kVersion ||
        c.secciones != kSecciones || c.suma != Suma(&c, offsetof(Cabecera, suma), 0xC0C0)) {
        ::close(fd);
        return nullptr;
    }
    // Made for another state of the database: used only when the table's own
    // pages are still the ones it was made from.
    if (c.estado != estado) {
        const std::optional<FirmaTabla> ahora = firmaAhora ? firmaAhora() : std::nullopt;
        if (!ahora || *ahora != c.firma) {
            ::close(fd);
            return nullptr;
        }
    }
    void* p = ::mmap(nullptr, largo, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    ::close(fd);
    if (p == MAP_FAILED) return nullptr;
    std::shared_ptr<const void> mapa(p, [largo](const void* q) { ::munmap(const_cast<void*>(q), largo); });
    const auto* base = static_cast<const unsigned char*>(p);

    for (const Seccion& s : c.seccion) {
        if (s.inicio % 8 != 0 || s.inicio < sizeof c || s.inicio > largo || s.largo > largo - s.inicio)
            return nullptr;
    }
    // Every section against its checksum, the sections split in two runs of
    // about the same bytes, one per core.
    std::uint64_t total = 0;
    for (const Seccion& s : c.seccion) total += s.largo;
    int corte = 0;
    for (std::uint64_t antes = 0; corte < kSecciones && 2 * (antes + c.seccion[corte].largo) <= total;
         ++corte)
        antes += c.seccion[corte].largo;
    // The codes of each text column are checked in the same run, right after
    // their checksum: every code below the number of its dictionary's texts,
    // so a file that lies is refused, never followed.
    std::uint64_t codigosDe[kSecciones] = {};
    for (int k = 0; k < kColumnasTexto; ++k) {
        const int sc = 1 + k * kPorTexto;
        if (c.seccion[sc + 1].largo >= 2 * sizeof(std::uint64_t))
            codigosDe[sc] = c.seccion[sc + 1].largo / 8 - 1;
    }
    bool sanas[2] = {true, true};
    const auto revisar = [&](int desde, int hasta, bool& sana) {
        for (int s = desde; s < hasta && sana; ++s) {
            sana =
                Suma(base + c.seccion[s].inicio, c.seccion[s].largo, std::uint64_t(s)) == c.seccion[s].suma;
            if (!sana || codigosDe[s] == 0) continue;
            const auto* cod = reinterpret_cast<const std::int32_t*>(base + c.seccion[s].inicio);
            const std::size_t n = std::size_t(c.seccion[s].largo / sizeof(std::int32_t));
            std::uint32_t fuera = 0;
            for (std::size_t r = 0; r < n; ++r) fuera |= std::uint32_t(cod[r]) >= codigosDe[s];
            sana = fuera == 0;
        }
    };
    ALaVez([&] { revisar(0, corte, sanas[0]); }, [&] { revisar(corte, kSecciones, sanas[1]); });
    if (!sanas[0] || !sanas[1]) return nullptr;
    const auto en = [&](int s) { return base + c.seccion[s].inicio; };
    const auto largoDe = [&](int s) { return c.seccion[s].largo; };

    const QByteArray nombre = tabla.toCaseFolded().toUtf8();
    if (largoDe(0) != std::uint64_t(nombre.size()) || std::memcmp(en(0), nombre.constData(), largoDe(0)) != 0)
        return nullptr;
    if (c.filas > std::numeric_limits<std::uint32_t>::max()) return nullptr;
    const std::size_t filas = c.filas;

    auto t = std::make_shared<TablaColumnar>();
    t->filas = filas;
    int s = 1;
    for (int k = 0; k < kColumnasTexto; ++k, s += kPorTexto) {
        // Codes, text ends, texts, class of each code, size and first code of each class.
        if (largoDe(s) != filas * sizeof(std::int32_t) || largoDe(s + 1) % 8 != 0 ||
            largoDe(s + 1) < 2 * sizeof(std::uint64_t) || largoDe(s + 3) % 4 != 0 ||
            largoDe(s + 4) % 4 != 0 || largoDe(s + 4) != largoDe(s + 5) || largoDe(s + 4) == 0)
            return nullptr;
        const std::size_t codigos = largoDe(s + 1) / 8 - 1;
        const std::size_t clases = largoDe(s + 4) / 4;
        if (largoDe(s + 3) != codigos * 4 || clases > codigos) return nullptr;
        Diccionario& d = t->diccionarios[k];
        std::vector<std::uint64_t> finales(codigos + 1);
        std::memcpy(finales.data(), en(s + 1), largoDe(s + 1));
        if (finales[0] != 0 || finales[1] != 0 || finales[codigos] != largoDe(s + 2)) return nullptr;
        for (std::size_t i = 0; i < codigos; ++i)
            if (finales[i + 1] < finales[i]) return nullptr;
        d.textos.resize(codigos);
        const auto* textos = reinterpret_cast<const char*>(en(s + 2));
        for (std::size_t i = 0; i < codigos; ++i)
            d.textos[i].assign(textos + finales[i], finales[i + 1] - finales[i]);
        d.clase.resize(codigos);
        std::memcpy(d.clase.data(), en(s + 3), largoDe(s + 3));
        d.formas.resize(clases);
        std::memcpy(d.formas.data(), en(s + 4), largoDe(s + 4));
        d.primero.resize(clases);
        std::memcpy(d.primero.data(), en(s + 5), largoDe(s + 5));
        // Every index in range, so a file that lies is refused, never followed.
        if (d.clase[0] != 0) return nullptr;
        for (std::int32_t x : d.clase)
            if (x < 0 || std::size_t(x) >= clases) return nullptr;
        for (std::size_t i = 0; i < clases; ++i)
            if (d.formas[i] < 1 || d.primero[i] < 0 || std::size_t(d.primero[i]) >= codigos) return nullptr;
        // Every code in range: checked with the section's checksum.
        const auto* cod = reinterpret_cast<const std::int32_t*>(en(s));
        t->codigos[k] = Columna<std::int32_t>(cod, filas);
    }
    for (int k = 0; k < kNumeros; ++k, s += 2) {
        if (largoDe(s) != filas * sizeof(double) || (largoDe(s + 1) != 0 && largoDe(s + 1) != filas))
            return nullptr;
        t->numeros[k] = Columna<double>(reinterpret_cast<const double*>(en(s)), filas);
        t->nulos[k] = Columna<std::uint8_t>(en(s + 1), std::size_t(largoDe(s + 1)));
        t->exactas[k] = (c.exactas >> k) & 1u;
    }
    t->mapa = std::move(mapa);
    t->bytesMapa = largo;

    return t;
}

void ActivarArchivosColumnares(bool activos) { Activos() = activos; }
bool ArchivosColumnaresActivos() { return Activos(); }

}  // namespace kv::local::rapida
