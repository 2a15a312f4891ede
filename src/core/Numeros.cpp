#include "core/Numeros.h"

#include <QRegularExpression>

#include "db/DB_Dll.h"

namespace kv::core {

double NumeroInicial(const QString& texto) {
    static const QRegularExpression numero(QStringLiteral("^\\s*([-+]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][-+]?\\d+)?)"));
    const QRegularExpressionMatch m = numero.match(texto);
    if (!m.hasMatch()) return 0;
    bool ok = false;
    const double valor = m.captured(1).toDouble(&ok);
    return ok ? valor : 0;
}

double TextoANumero(const QString& texto) {
    QString limpio = texto.trimmed();
    if (limpio.isEmpty()) return 0;
    // Accept either separator: "1234,5" and "1234.5" are the same amount; with
    // both present the last one is the decimal separator.
    const qsizetype coma = limpio.lastIndexOf(QLatin1Char(','));
    const qsizetype punto = limpio.lastIndexOf(QLatin1Char('.'));
    if (coma >= 0 && punto >= 0) {
        if (coma > punto) {
            limpio.remove(QLatin1Char('.'));
            limpio.replace(QLatin1Char(','), QLatin1Char('.'));
        } else {
            limpio.remove(QLatin1Char(','));
        }
    } else if (coma >= 0) {
        limpio.replace(QLatin1Char(','), QLatin1Char('.'));
    }
    bool ok = false;
    const double valor = limpio.toDouble(&ok);
    return ok ? valor : NumeroInicial(limpio);
}

int ContarPalabras(const QString& texto) {
    return static_cast<int>(texto.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size());
}

QString LiteralSQL(const QString& valor, const QString& marcaComilla) {
    return kv::db::DB_Dll::SQLValue(valor, marcaComilla).toString();
}

}  // namespace kv::core
