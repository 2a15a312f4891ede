#include "stats/FormatoNumeros.h"

#include <algorithm>
#include <cmath>

#include "stats/Carga.h"

namespace kv::stats {

QLocale LocaleConMiles() {
    QLocale locale;
    // No locale set (C or POSIX): the users read Spanish marks.
    if (locale.language() == QLocale::C) locale = QLocale(QLocale::Spanish, QLocale::Argentina);
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale;
}

namespace {

// "1234567" -> "1.234.567" with the locale's mark, every three digits (the
// locale's own rule leaves "5000.000" in Spanish).
QString Agrupar(const QString& digitos, const QLocale& locale) {
    QString texto;
    const int n = static_cast<int>(digitos.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) texto += locale.groupSeparator();
        texto += digitos[i];
    }
    return texto;
}

QString ConMarcas(const QString& entero, const QString& fraccion, bool negativo) {
    const QLocale locale = LocaleConMiles();
    QString texto = Agrupar(entero, locale);
    if (!fraccion.isEmpty()) texto += locale.decimalPoint() + fraccion;
    if (negativo) texto.prepend(locale.negativeSign());
    return texto;
}

}  // namespace

QString TextoNumero(double valor, int decimales) {
    if (!std::isfinite(valor)) return QString();
    decimales = std::clamp(decimales, 0, 15);
    const QString simple = QString::number(std::fabs(valor), 'f', decimales);
    const int punto = simple.indexOf(QLatin1Char('.'));
    const QString entero = punto < 0 ? simple : simple.left(punto);
    const QString fraccion = punto < 0 ? QString() : simple.mid(punto + 1);
    const bool cero = QString(entero + fraccion).count(QLatin1Char('0')) == entero.size() + fraccion.size();
    return ConMarcas(entero, fraccion, valor < 0 && !cero);  // no "-0,00"
}

qint64 Diezmilesimas(double valor) {
    if (!std::isfinite(valor)) return 0;
    return std::llround(valor * 10000.0);
}

QString TextoImporte(qint64 diezmilesimas, int decimales) {
    decimales = std::clamp(decimales, 0, 15);
    const bool negativo = diezmilesimas < 0;
    quint64 absoluto = static_cast<quint64>(negativo ? -diezmilesimas : diezmilesimas);
    QString fraccion;
    if (decimales <= 4) {
        quint64 divisor = 1;
        for (int i = decimales; i < 4; ++i) divisor *= 10;
        absoluto = (absoluto + divisor / 2) / divisor;  // half away from zero
        quint64 escala = 1;
        for (int i = 0; i < decimales; ++i) escala *= 10;
        if (decimales > 0)
            fraccion = QStringLiteral("%1").arg(absoluto % escala, decimales, 10, QLatin1Char('0'));
        absoluto /= escala;
    } else {
        fraccion = QStringLiteral("%1").arg(absoluto % 10000, 4, 10, QLatin1Char('0')) +
                   QString(decimales - 4, QLatin1Char('0'));
        absoluto /= 10000;
    }
    const bool cero = absoluto == 0 && fraccion.count(QLatin1Char('0')) == fraccion.size();
    return ConMarcas(QString::number(absoluto), fraccion, negativo && !cero);
}

Familia FamiliaDeTotal(int indiceTotal) {
    switch (indiceTotal) {
        case 0:
            return Familia::Unidades;
        case 3:
        case 4:
            return Familia::Porcentajes;
        default:
            return Familia::Importes;
    }
}

Familia FamiliaDeTitulo(const QString& titulo) {
    const QString t = titulo.trimmed();
    if (t.compare(QStringLiteral("Consumo"), Qt::CaseInsensitive) == 0) return Familia::Unidades;
    if (t.endsWith(QLatin1Char('%'))) return Familia::Porcentajes;
    return Familia::Importes;
}

Familia FamiliaDeColumna(const QString& nombre) {
    const QString n = nombre.trimmed();
    if (n.compare(QStringLiteral("CONSUMO"), Qt::CaseInsensitive) == 0) return Familia::Unidades;
    if (n.endsWith(QStringLiteral("Porc"), Qt::CaseInsensitive)) return Familia::Porcentajes;
    return Familia::Importes;
}

QString NombreFamilia(Familia familia) {
    switch (familia) {
        case Familia::Unidades:
            return QStringLiteral("Unidades");
        case Familia::Porcentajes:
            return QStringLiteral("Porcentajes");
        case Familia::Importes:
            break;
    }
    return QStringLiteral("Importes");
}

QString TextoPorcentaje(double valor, int decimales) {
    return TextoNumero(Redondear(valor, decimales), decimales) + QStringLiteral(" %");
}

QString TextoSegunFamilia(double valor, Familia familia, int decimales) {
    if (familia == Familia::Porcentajes) return TextoPorcentaje(valor, decimales);
    return TextoNumero(Redondear(valor, decimales), decimales);
}

}  // namespace kv::stats
