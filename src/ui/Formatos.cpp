#include "ui/Formatos.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace kv::ui {

QLocale LocaleConMiles() {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale;
}

QString TextoNumero(double valor, int decimales) {
    if (!std::isfinite(valor)) return QString();
    decimales = std::clamp(decimales, 0, 15);
    const double escala = std::pow(10.0, std::min(decimales, 8));
    if (std::fabs(valor) * escala < 0.5) valor = 0.0;  // no "-0,00"
    return LocaleConMiles().toString(valor, 'f', decimales);
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
    const QLocale locale = LocaleConMiles();
    QString texto = locale.toString(static_cast<qulonglong>(absoluto));
    if (!fraccion.isEmpty()) texto += locale.decimalPoint() + fraccion;
    const bool cero = absoluto == 0 && fraccion.count(QLatin1Char('0')) == fraccion.size();
    if (negativo && !cero) texto.prepend(locale.negativeSign());
    return texto;
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

QString TextoSegunFamilia(double valor, Familia familia, int decimales) {
    if (familia == Familia::Porcentajes) return TextoNumero(valor, 2) + QStringLiteral(" %");
    return TextoNumero(valor, decimales);
}

namespace {
double PuntosPorPulgada(const QWidget* widget) {
    if (widget) return widget->logicalDpiX();
    if (const QScreen* pantalla = QGuiApplication::primaryScreen()) return pantalla->logicalDotsPerInchX();
    return 96.0;
}
}  // namespace

int TwipsAPixeles(int twips, const QWidget* widget) {
    return static_cast<int>(std::lround(twips * PuntosPorPulgada(widget) / 1440.0));
}

int PixelesATwips(int pixeles, const QWidget* widget) {
    return static_cast<int>(std::lround(pixeles * 1440.0 / PuntosPorPulgada(widget)));
}

}  // namespace kv::ui
