#pragma once
// Straight SQLite statements for tests that work on the server's files
// without the client layer.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QString>

namespace kv::pruebas {

// Runs `sql`; fails the test with SQLite's message when it does not run.
inline void Ejecutar(sqlite3* db, const QString& sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    ASSERT_EQ(rc, SQLITE_OK) << (error ? error : "") << "\n" << sql.toStdString();
    sqlite3_free(error);
}

}  // namespace kv::pruebas
