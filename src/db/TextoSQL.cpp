#include "db/TextoSQL.h"

namespace kv::db {

QString DuplicarApostrofes(const QString& texto) {
    if (!texto.contains(QLatin1Char('\''))) return texto;
    QString resultado;
    resultado.reserve(texto.size() + 8);
    for (const QChar c : texto) {
        resultado.append(c);
        if (c == QLatin1Char('\'')) resultado.append(c);
    }
    return resultado;
}

}  // namespace kv::db
