#pragma once
// Small pieces shared by the timing programs.

#include <sqlite3.h>
#include <sys/resource.h>

#include <QString>
#include <cstdio>

#include "db/Conexion.h"

namespace kv::bench {

// Runs a batch and reports, without stopping, any statement that failed.
inline void Lote(kv::db::Conexion& c, const QString& sql) {
    for (const auto& r : c.EjecutarLote(sql))
        if (r.error) std::fprintf(stderr, "aviso: %s\n", r.error->descripcion.toUtf8().constData());
}

// CPU seconds of this process: the machine may be busy with other work, and
// both paths run here, so CPU time compares them fairly.
inline double SegundosCPU() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// Runs SQL straight on SQLite; reports a failure and answers false.
inline bool Sqlite(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "SQLite: %s\n", error ? error : "?");
        sqlite3_free(error);
        return false;
    }
    return true;
}

}  // namespace kv::bench
