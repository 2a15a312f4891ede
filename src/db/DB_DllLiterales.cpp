// SQL literals, type families and object-name helpers.

#include <cmath>

#include "db/DB_Dll.h"
#include "db/DB_DllInterno.h"
#include "db/TextoSQL.h"
#include "util/UtilGeneral.h"

namespace kv::db {

using namespace interno;

namespace {

// The type code a variant holds (an integer, or text with the same digits); -1 when none.
int CodigoTipo(const QVariant& Qtype) {
    if (EsNulo(Qtype)) return -1;
    bool ok = false;
    const int codigo = Qtype.toString().trimmed().toInt(&ok);
    return ok ? codigo : -1;
}

bool EnFamilia(const QVariant& Qtype, std::initializer_list<int> familia) {
    const int codigo = CodigoTipo(Qtype);
    for (int c : familia)
        if (c == codigo) return true;
    return false;
}

// A value as a number rounded to four decimals. Numbers are taken as they are;
// text is read by the utility's reader (period or comma as decimal separator).
double NumeroCuatroDecimales(const QVariant& valor) {
    double numero = 0.0;
    if (valor.typeId() == QMetaType::QString || valor.typeId() == QMetaType::QByteArray) {
        numero = UtilGeneral::TextoANumero(valor.toString());
    } else {
        numero = NumeroDe(valor);
    }
    return std::round(numero * 10000.0) / 10000.0;
}

}  // namespace

bool DB_Dll::adodate(const QVariant& Qtype) { return EnFamilia(Qtype, {7, 133, 137, 134, 135, 64}); }
bool DB_Dll::ADOText(const QVariant& Qtype) { return EnFamilia(Qtype, {8, 201, 203, 200, 202, 130, 129}); }
bool DB_Dll::ADONumeric(const QVariant& Qtype) {
    return EnFamilia(Qtype, {20, 14, 5, 3, 131, 4, 2, 16, 21, 19, 18, 17});
}
bool DB_Dll::ADOCurrency(const QVariant& Qtype) { return EnFamilia(Qtype, {6}); }
bool DB_Dll::ADOBoolean(const QVariant& Qtype) { return EnFamilia(Qtype, {11}); }

QString DB_Dll::ADOComilla(const QVariant& Qtype) {
    return (adodate(Qtype) || ADOText(Qtype)) ? QStringLiteral("'") : QString();
}

QVariant DB_Dll::SQLValue(const QVariant& valor, const QString& marcador) {
    const bool numero = marcador == QStringLiteral("@");
    const bool texto = marcador == QStringLiteral("'");
    if (EsNulo(valor)) return QVariant(numero ? QStringLiteral("0") : QStringLiteral("NULL"));
    if (numero) {
        // Always a period as decimal separator, whatever the locale.
        QString literal = TextoDecimal(NumeroCuatroDecimales(valor));
        literal.replace(QLatin1Char(','), QLatin1Char('.'));
        return QVariant(literal);
    }
    if (texto)
        return QVariant(QStringLiteral("'") + DuplicarApostrofes(valor.toString()) + QStringLiteral("'"));
    return QVariant(valor.toString());
}

QString DB_Dll::stSTF(QString& rsName, bool rnPart) {
    if (rsName.count(QLatin1Char('.')) >= 2) return StripOwner(rsName);
    const qsizetype punto = rsName.indexOf(QLatin1Char('.'));
    if (rnPart) return punto < 0 ? rsName : rsName.mid(punto + 1);
    return punto < 0 ? QString() : rsName.left(punto);
}

QString DB_Dll::AddBrackets(const QString& rObjName) {
    if (rObjName.contains(QLatin1Char(' ')) && !rObjName.startsWith(QLatin1Char('[')))
        return QStringLiteral("[") + rObjName + QStringLiteral("]");
    return rObjName;
}

QString DB_Dll::StripConnect(const QString& rsTblName) {
    const qsizetype flecha = rsTblName.indexOf(QStringLiteral("->"));
    if (flecha < 0) return rsTblName;
    // The name, one separator character, then the arrow and the connection.
    return rsTblName.left(std::max<qsizetype>(0, flecha - 1));
}

QString DB_Dll::StripBrackets(const QString& rsObjName) {
    if (!rsObjName.startsWith(QLatin1Char('['))) return rsObjName;
    if (rsObjName.size() < 2) return QString();
    return rsObjName.mid(1, rsObjName.size() - 2);
}

QString DB_Dll::StripOwner(QString& rsTblName) {
    const qsizetype punto = rsTblName.indexOf(QLatin1Char('.'));
    if (punto < 0) return rsTblName;
    rsTblName = rsTblName.mid(punto + 1);
    return rsTblName;
}

QString DB_Dll::StripFileName(const QString& rsFileName) {
    // Paths of this platform use "/"; paths written for the old one use "\".
    const qsizetype barra =
        std::max(rsFileName.lastIndexOf(QLatin1Char('\\')), rsFileName.lastIndexOf(QLatin1Char('/')));
    if (barra < 0) return QString();
    return rsFileName.left(barra);
}

}  // namespace kv::db
