#include "core/Numeros.h"

#include <QRegularExpression>

#include "db/DB_Dll.h"
#include "util/UtilGeneral.h"

namespace kv::core {

double NumeroInicial(const QString& texto) {
    static const QRegularExpression numero(
        QStringLiteral("^\\s*([-+]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][-+]?\\d+)?)"));
    const QRegularExpressionMatch m = numero.match(texto);
    if (!m.hasMatch()) return 0;
    bool ok = false;
    const double valor = m.captured(1).toDouble(&ok);
    return ok ? valor : 0;
}

double TextoANumero(const QString& texto) { return kv::UtilGeneral::TextoANumero(texto); }

int ContarPalabras(const QString& texto) { return kv::UtilGeneral::ContarPalabras(texto); }

QString LiteralSQL(const QString& valor, const QString& marcaComilla) {
    return kv::db::DB_Dll::SQLValue(valor, marcaComilla).toString();
}

}  // namespace kv::core
