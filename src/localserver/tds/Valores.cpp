#include "localserver/tds/Valores.h"

#include <QLocale>
#include <cmath>

namespace kv::tds {

namespace {

const QDate kBase1900(1900, 1, 1);
const QDate kBase0001(1, 1, 1);

Entero128 Potencia10(int n) {
    Entero128 p = 1;
    for (int i = 0; i < n; ++i) p *= 10;
    return p;
}

// Splits "-123.4500" into sign, integer digits and decimal digits; nothing when it is not a plain decimal.
bool PartirDecimal(const QString& texto, bool& negativo, QString& entera, QString& decimales) {
    const QString t = texto.trimmed();
    if (t.isEmpty()) return false;
    int i = 0;
    negativo = false;
    if (t[0] == u'-' || t[0] == u'+') {
        negativo = t[0] == u'-';
        ++i;
    }
    entera.clear();
    decimales.clear();
    bool punto = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == u'.' && !punto) {
            punto = true;
        } else if (c.isDigit() && c.unicode() < 128) {
            (punto ? decimales : entera).append(c);
        } else {
            return false;
        }
    }
    return !entera.isEmpty() || !decimales.isEmpty();
}

}  // namespace

FechaHoraTds ADatetime(const QDateTime& f) {
    FechaHoraTds r;
    r.dias = static_cast<std::int32_t>(kBase1900.daysTo(f.date()));
    const qint64 ms = f.time().msecsSinceStartOfDay();
    // Three-hundredths, rounded as SQL Server rounds .xx3 and .xx7.
    r.tercios = static_cast<std::uint32_t>((ms * 3 + 5) / 10);
    if (r.tercios >= 300u * 86400u) {
        r.tercios = 300u * 86400u - 1;
    }
    return r;
}

QDateTime DeDatetime(std::int32_t dias, std::uint32_t tercios) {
    const QDate d = kBase1900.addDays(dias);
    const qint64 ms = (qint64(tercios) * 10 + 1) / 3;
    return QDateTime(d, QTime::fromMSecsSinceStartOfDay(static_cast<int>(std::min<qint64>(ms, 86399999))));
}

std::int32_t ADate(const QDate& f) { return static_cast<std::int32_t>(kBase0001.daysTo(f)); }
QDate DeDate(std::int32_t dias) { return kBase0001.addDays(dias); }

bool EnRangoDatetime(const QDateTime& f) {
    return f.isValid() && f.date() >= QDate(1753, 1, 1) && f.date() <= QDate(9999, 12, 31);
}

std::optional<std::int64_t> DineroDeTexto(const QString& texto) {
    const auto v = DecimalDeTexto(texto, 4);
    if (!v || *v > Entero128(INT64_MAX) || *v < Entero128(INT64_MIN)) return std::nullopt;
    return static_cast<std::int64_t>(*v);
}

std::optional<std::int64_t> DineroDeReal(double v) {
    // Through the decimal text of the double, as the value was written: -1234.56785 is
    // -1234.5679, not the -1234.5678 its binary neighbour would round to.
    const auto d = DecimalDeReal(v, 4);
    if (!d || *d > Entero128(INT64_MAX) || *d < Entero128(INT64_MIN)) return std::nullopt;
    return static_cast<std::int64_t>(*d);
}

QString TextoDeDinero(std::int64_t diezmilesimas) { return TextoDeDecimal(diezmilesimas, 4); }

std::optional<Entero128> DecimalDeTexto(const QString& texto, int escala) {
    bool negativo = false;
    QString entera, decimales;
    if (!PartirDecimal(texto, negativo, entera, decimales)) return std::nullopt;
    // Beyond the scale the value is rounded half away from zero.
    bool redondearArriba = decimales.size() > escala && decimales[escala].digitValue() >= 5;
    decimales = decimales.left(escala).leftJustified(escala, u'0');
    Entero128 v = 0;
    for (QChar c : entera + decimales) {
        v = v * 10 + c.digitValue();
        if (v > Potencia10(38)) return std::nullopt;
    }
    if (redondearArriba) ++v;
    return negativo ? -v : v;
}

std::optional<Entero128> DecimalDeReal(double v, int escala) {
    if (!std::isfinite(v)) return std::nullopt;
    // Through the shortest text that reads back as the same double, so 0.1 stays 0.1.
    const QString corto = QString::number(v, 'g', QLocale::FloatingPointShortest);
    return DecimalDeTexto(corto.contains(u'e') ? QString::number(v, 'f', escala) : corto, escala);
}

QString TextoDeDecimal(Entero128 valor, int escala) {
    const bool negativo = valor < 0;
    Entero128 m = negativo ? -valor : valor;
    QString digitos;
    do {
        digitos.prepend(QChar(u'0' + int(m % 10)));
        m /= 10;
    } while (m > 0);
    if (escala > 0) {
        if (digitos.size() <= escala) digitos = digitos.rightJustified(escala + 1, u'0');
        digitos.insert(digitos.size() - escala, u'.');
    }
    return negativo ? u'-' + digitos : digitos;
}

int Digitos(Entero128 valor) {
    if (valor < 0) valor = -valor;
    int n = 1;
    while (valor >= 10) {
        valor /= 10;
        ++n;
    }
    return n;
}

int BytesDecimal(int precision) {
    if (precision <= 9) return 4;
    if (precision <= 19) return 8;
    if (precision <= 28) return 12;
    return 16;
}

}  // namespace kv::tds
