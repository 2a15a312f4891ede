#pragma once
// What the server's SQLite functions share: an argument as text, a text result,
// and a failure as "[<native number>] <message>" (see LeerErrorFuncion).

#include <sqlite3.h>

#include <QByteArray>
#include <QString>

namespace kv::local::funcion {

inline QString Texto(sqlite3_value* v) {
    const unsigned char* s = sqlite3_value_text(v);
    if (!s) return QString();
    return QString::fromUtf8(reinterpret_cast<const char*>(s), sqlite3_value_bytes(v));
}

inline void Devolver(sqlite3_context* ctx, const QString& s) {
    const QByteArray b = s.toUtf8();
    sqlite3_result_text(ctx, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
}

inline void Fallar(sqlite3_context* ctx, int numero, const QString& mensaje) {
    const QByteArray texto = (QLatin1Char('[') + QString::number(numero) + QLatin1String("] ") + mensaje).toUtf8();
    sqlite3_result_error(ctx, texto.constData(), static_cast<int>(texto.size()));
}

}  // namespace kv::local::funcion
