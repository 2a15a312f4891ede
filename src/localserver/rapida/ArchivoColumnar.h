#pragma once
// The columnar form of a statistic table kept in a file beside its database
// ("<archivo>.columnas/<tabla>.col"), so that a new process does not read the
// rows again. A file is used only for the very state of the database it was
// made from: it carries SQLite's own record of the last commit (the header of
// the write-ahead log's index: its salts, frame count and running checksum,
// which every commit by any connection of any process moves) or, when the log
// is empty, the identity of the database file itself (its node, size, times
// of change and the counters of its header); a file whose record differs from
// the database's now is not used, unless the table's own pages are still
// those it was made from (their checksum, read as SQLite keeps them): a
// commit to another table of the same database, or the log written back into
// the file, leaves it good. Files are written
// whole under a temporary name and renamed, so a writer stopped midway leaves
// nothing that is read; a file that is damaged or cut short fails its
// checksums and is made again. The row arrays are used where the file is
// mapped, without a copy.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "localserver/rapida/TablaColumnar.h"

struct sqlite3;

namespace kv::local::rapida {

// The state of a database in write-ahead-log mode as its last commit left it.
struct EstadoBase {
    // From the log's index; all zero but `marcos` when the log is empty.
    std::uint32_t sal[2] = {};
    std::uint32_t marcos = 0;    // frames in the log up to the last commit
    std::uint32_t paginas = 0;   // size of the database, in pages
    std::uint32_t suma[2] = {};  // running checksum of the log's frames
    std::uint32_t tamPagina = 0;
    std::uint32_t relleno = 0;
    std::uint64_t dispositivo = 0, nodo = 0;  // of the database file
    // With an empty log, the database file is the whole state: its size,
    // times of change (nanoseconds) and header counters (change counter,
    // pages, schema cookie, version-valid-for). Zero otherwise.
    std::uint64_t tamano = 0;
    std::int64_t modificado = 0, cambiado = 0;
    unsigned char cabecera[16] = {};
    bool operator==(const EstadoBase& o) const;
    bool operator!=(const EstadoBase& o) const { return !(*this == o); }
};

// The state of the main database of `db` (file `archivo`) now, from the
// index of its log, read through the connection's own handles. Nothing when
// the file is not in write-ahead-log mode or its index cannot be read
// consistently, and, with an empty log, while the file was changed less
// than a moment ago (the clock of file times moves in steps of a few
// milliseconds, so two changes that close could carry the same time).
std::optional<EstadoBase> LeerEstadoBase(sqlite3* db, const QString& archivo);

// Which rows a file was made from: the table's first page, its definition
// and a 128-bit checksum of every page of its tree as a read transaction
// sees them. Another commit to the same database leaves it as it was; any
// change of the table's rows, a table dropped and made again or altered,
// gives another.
struct FirmaTabla {
    std::uint32_t raiz = 0;
    std::uint32_t paginas = 0;     // of its tree
    std::uint64_t definicion = 0;  // checksum of its CREATE text
    std::uint64_t huella[2] = {};
    bool operator==(const FirmaTabla& o) const;
    bool operator!=(const FirmaTabla& o) const { return !(*this == o); }
};

// The signature of `tabla` in the main database of `db`, in the caller's read
// transaction, which must see exactly the state `estado`.
// Nothing when it is not a table there, a temporary table of the same name
// hides it, or its pages cannot be read as SQLite keeps them (a row too long
// for its page included).
std::optional<FirmaTabla> LeerFirmaTabla(sqlite3* db, const EstadoBase& estado, const QString& tabla);

// The folder of the files of `archivo`'s tables, and the file of one table.
QString CarpetaColumnas(const QString& archivo);
QString ArchivoDeTabla(const QString& archivo, const QString& tabla);

// Writes the table's file for the state `estado`, replacing the old one at
// once. False (and nothing left under the file's name) when it cannot.
bool EscribirArchivoColumnar(const QString& archivo, const QString& tabla, const EstadoBase& estado,
                             const FirmaTabla& firma, const TablaColumnar& datos);

// The table from its file, when the file is whole and was made for the state
// `estado` or, made for another, from the same rows: `firmaAhora` gives the
// table's signature now (asked only then). Nothing otherwise.
std::shared_ptr<const TablaColumnar> AbrirArchivoColumnar(
    const QString& archivo, const QString& tabla, const EstadoBase& estado,
    const std::function<std::optional<FirmaTabla>()>& firmaAhora);

// Turns the files on and off for the whole process (on unless the environment
// variable KVESTV_COLUMNAS_EN_ARCHIVO is 0 at start).
void ActivarArchivosColumnares(bool activos);
bool ArchivosColumnaresActivos();

}  // namespace kv::local::rapida
