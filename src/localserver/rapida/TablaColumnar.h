#pragma once
// A statistic table held in memory column by column: each text column as
// codes into a dictionary of its distinct texts (each text normalised once
// to its collation key), each number column as an array. Kept between
// statements by the columnar cache while the database file is unchanged, and
// between processes in a file beside the database (ArchivoColumnar.h), whose
// row arrays are used where the file is mapped, without a copy.

#include <QString>
#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "localserver/rapida/ConsultaAgregada.h"

struct sqlite3;

namespace kv::local::rapida {

// The distinct texts of one column. Code 0 is NULL; every other code is one
// text exactly as stored. Texts the collation finds equal share a class; the
// classes are numbered in collation order (class 0 is NULL, which sorts first).
struct Diccionario {
    std::vector<std::string> textos;    // by code (UTF-8)
    std::vector<std::int32_t> clase;    // by code
    std::vector<std::int32_t> formas;   // by class: how many codes share it
    std::vector<std::int32_t> primero;  // by class: a code of it
    std::int32_t Clases() const { return std::int32_t(formas.size()); }
};

// One array of a column: owned, or a view of a mapped file the table keeps alive.
template <typename T>
class Columna {
  public:
    Columna() = default;
    explicit Columna(std::vector<T> propios)
        : propios_(std::move(propios)), datos_(propios_.data()), n_(propios_.size()) {}
    Columna(const T* datos, std::size_t n) : datos_(datos), n_(n) {}
    Columna(Columna&&) noexcept = default;
    Columna& operator=(Columna&&) noexcept = default;
    Columna(const Columna&) = delete;
    Columna& operator=(const Columna&) = delete;

    const T* data() const { return datos_; }
    std::size_t size() const { return n_; }
    bool empty() const { return n_ == 0; }
    const T& operator[](std::size_t i) const { return datos_[i]; }
    const T* begin() const { return datos_; }
    const T* end() const { return datos_ + n_; }
    // Bytes of memory of its own (a view has none).
    std::size_t BytesPropios() const { return propios_.capacity() * sizeof(T); }

  private:
    std::vector<T> propios_;  // a vector's move keeps its buffer, so datos_ stays valid
    const T* datos_ = nullptr;
    std::size_t n_ = 0;
};

struct TablaColumnar {
    std::size_t filas = 0;
    Diccionario diccionarios[kColumnasTexto];
    Columna<std::int32_t> codigos[kColumnasTexto];
    Columna<double> numeros[kColumnasTabla - kColumnasTexto];
    // Per number column, 1 for a NULL row; empty when the column has none.
    Columna<std::uint8_t> nulos[kColumnasTabla - kColumnasTexto];
    // Per number column: every value is the double nearest a whole number of
    // ten-thousandths, below 1e9 in magnitude (money as stored, quantities).
    bool exactas[kColumnasTabla - kColumnasTexto] = {};
    // The mapped file the arrays point into, when they come from one.
    std::shared_ptr<const void> mapa;
    std::size_t bytesMapa = 0;

    // Memory it takes, the mapped file included.
    std::size_t Bytes() const;

    // Reads the whole table through `db` (in the caller's read transaction).
    // Null when the table cannot be read or holds values of other kinds than
    // the ones kept here (numbers as text, integers, blobs): the general path
    // answers those.
    static std::shared_ptr<const TablaColumnar> Leer(sqlite3* db, const QString& tabla);
};

// Statistic tables read once and reused while their file is unchanged. A
// cached form is valid only for the handle that read it, and only while
// SQLite's data version of that handle's file stays the same: any commit to
// the file, by this handle, another handle or another process, drops it.
// Bounded in bytes; past the bound the least recently used table goes.
class CacheColumnar {
  public:
    static CacheColumnar& Global();
    explicit CacheColumnar(std::size_t limiteBytes);

    void FijarLimite(std::size_t bytes);
    std::size_t Limite() const;
    std::size_t BytesEnUso() const;
    std::size_t Entradas() const;
    void Vaciar();

    struct Uso {
        std::shared_ptr<const TablaColumnar> tabla;
        bool deMemoria = false;  // served from the cache without reading the file
        bool deArchivo = false;  // mapped from its file beside the database
        bool archivoEscrito = false;  // read from the rows and its file written anew
    };
    // The table as the handle sees it now. `serie` names the handle for its
    // whole life (a handle's address may be reused by a later one). Inside a
    // transaction of the handle the table is read afresh and not kept: the
    // data version moves only at commit. Past the memory, the table's file
    // beside the database is used when it was made from the same state of the
    // database; otherwise the rows are read and the file made again.
    Uso Obtener(sqlite3* db, std::uint64_t serie, const QString& ruta, const QString& tabla);

    // How the tables were had since the process started.
    struct Cuentas {
        std::uint64_t deMemoria = 0, deArchivo = 0, deFilas = 0, archivosEscritos = 0;
    };
    Cuentas Contadas() const;

  private:
    struct Entrada {
        QString ruta;
        QString tabla;  // case folded
        std::uint64_t serie = 0;
        unsigned version = 0;
        std::shared_ptr<const TablaColumnar> datos;
    };
    void Recortar();

    struct Contadores {
        std::atomic<std::uint64_t> deMemoria{0}, deArchivo{0}, deFilas{0}, archivosEscritos{0};
    };
    Contadores cuentas_;
    mutable std::mutex cerrojo_;
    std::size_t limite_;
    std::size_t enUso_ = 0;
    std::list<Entrada> entradas_;  // most recently used first
};

// The data version of the handle's main file as it is now, for this handle's
// own commits and for everybody else's. False when SQLite cannot tell.
bool VersionDatos(sqlite3* db, unsigned* version);

}  // namespace kv::local::rapida
