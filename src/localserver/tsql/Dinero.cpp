#include "localserver/tsql/Dinero.h"

#include <cmath>
#include <cstdlib>

namespace kv::local::dinero {

QString Texto(qint64 n) {
    const bool negativo = n < 0;
    const quint64 a = negativo ? 0 - static_cast<quint64>(n) : static_cast<quint64>(n);
    return (negativo ? QStringLiteral("-") : QString()) + QString::number(a / 10000) + QLatin1Char('.') +
           QString::number(a % 10000).rightJustified(4, QLatin1Char('0'));
}

Lectura LeerTexto(const QString& original, qint64& resultado) {
    QString s = original.trimmed();
    bool negativo = false;
    if (s.startsWith(QLatin1Char('$'))) s.remove(0, 1);
    if (s.startsWith(QLatin1Char('-')) || s.startsWith(QLatin1Char('+'))) {
        negativo = s.startsWith(QLatin1Char('-'));
        s.remove(0, 1);
    }
    if (s.startsWith(QLatin1Char('$'))) s.remove(0, 1);
    s.remove(QLatin1Char(','));
    if (s.isEmpty()) {
        resultado = 0;
        return Lectura::Bien;
    }
    if (s.contains(QLatin1Char('e'), Qt::CaseInsensitive)) return Lectura::MalTexto;
    const qsizetype punto = s.indexOf(QLatin1Char('.'));
    const QString entera = punto < 0 ? s : s.left(punto);
    const QString fraccion = punto < 0 ? QString() : s.mid(punto + 1);
    if (entera.isEmpty() && fraccion.isEmpty()) return Lectura::MalTexto;
    __int128 n = 0;
    bool grande = false;
    for (QChar c : entera) {
        if (!c.isDigit() || c.unicode() > 127) return Lectura::MalTexto;
        if (!grande) n = n * 10 + (c.unicode() - '0');
        if (n > static_cast<__int128>(kMaximo)) grande = true;
    }
    n *= 10000;
    for (qsizetype i = 0; i < fraccion.size(); ++i) {
        const QChar c = fraccion[i];
        if (!c.isDigit() || c.unicode() > 127) return Lectura::MalTexto;
        const int d = c.unicode() - '0';
        if (i < 4) {
            static const int kPesos[4] = {1000, 100, 10, 1};
            n += d * kPesos[i];
        } else if (i == 4 && d >= 5) {
            n += 1;
        }
    }
    if (grande) return Lectura::Desborda;
    if (negativo) n = -n;
    if (n > static_cast<__int128>(kMaximo) || n < static_cast<__int128>(kMinimo)) return Lectura::Desborda;
    resultado = static_cast<qint64>(n);
    return Lectura::Bien;
}

Lectura LeerReal(double x, qint64& resultado) {
    constexpr double kMaximoReal = 922337203685477.5807;
    if (!(std::fabs(x) <= kMaximoReal)) return Lectura::Desborda;
    const long double n = std::round(static_cast<long double>(x) * 10000.0L);
    if (n >= 9223372036854775807.0L)
        resultado = kMaximo;
    else if (n <= -9223372036854775808.0L)
        resultado = kMinimo;
    else
        resultado = static_cast<qint64>(n);
    return Lectura::Bien;
}

double Real(qint64 n) {
    // Whole and fraction apart, so that no division shows as float noise.
    return std::strtod(Texto(n).toLatin1().constData(), nullptr);
}

QVariant Valor(qint64 n) {
    if (n <= kExactoEnReal && n >= -kExactoEnReal) return QVariant(Real(n));
    return QVariant(Texto(n));
}

Lectura LeerValor(const QVariant& v, qint64& n) {
    switch (v.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
            return LeerReal(v.toDouble(), n);
        case QMetaType::LongLong:
        case QMetaType::Int:
        case QMetaType::ULongLong:
        case QMetaType::UInt: {
            const __int128 x = static_cast<__int128>(v.toLongLong()) * 10000;
            if (x > static_cast<__int128>(kMaximo) || x < static_cast<__int128>(kMinimo)) return Lectura::Desborda;
            n = static_cast<qint64>(x);
            return Lectura::Bien;
        }
        default:
            return LeerTexto(v.toString(), n);
    }
}

namespace {

Lectura EnRango(__int128 r, qint64& resultado) {
    if (r > static_cast<__int128>(kMaximo) || r < static_cast<__int128>(kMinimo)) return Lectura::Desborda;
    resultado = static_cast<qint64>(r);
    return Lectura::Bien;
}

// q / d rounded half away from zero (d > 0).
__int128 DividirRedondeando(__int128 q, __int128 d) {
    __int128 c = q / d;
    const __int128 resto = q % d;
    const __int128 absoluto = resto < 0 ? -resto : resto;
    if (absoluto * 2 >= d) c += q < 0 ? -1 : 1;
    return c;
}

}  // namespace

Lectura Operar(char op, qint64 a, qint64 b, qint64& resultado) {
    const __int128 x = a;
    const __int128 y = b;
    switch (op) {
        case '+':
            return EnRango(x + y, resultado);
        case '-':
            return EnRango(x - y, resultado);
        case '*':
            // Both in ten-thousandths: the product is in hundred-millionths.
            return EnRango(DividirRedondeando(x * y, 10000), resultado);
        case '/':
            if (b == 0) return Lectura::Desborda;
            return EnRango(x * 10000 / y, resultado);
        default:
            return Lectura::MalTexto;
    }
}

Lectura Redondear(qint64 x, qint64 lugares, bool cortar, qint64& resultado) {
    if (lugares >= 4) {
        resultado = x;
        return Lectura::Bien;
    }
    // Past 10^20 ten-thousandths every amount rounds to 0.
    if (4 - lugares > 20) {
        resultado = 0;
        return Lectura::Bien;
    }
    __int128 unidad = 1;
    for (qint64 i = 0; i < 4 - lugares; ++i) unidad *= 10;
    const __int128 q = cortar ? static_cast<__int128>(x) / unidad : DividirRedondeando(x, unidad);
    return EnRango(q * unidad, resultado);
}

QString TextoConEstilo(qint64 x, int estilo) {
    if (estilo == 2 || estilo == 126) return Texto(x);
    if (estilo != 0 && estilo != 1) return QString();
    // Two decimals, halves away from zero: the hundredths fit in 128 bits.
    const __int128 centesimas = DividirRedondeando(x, 100);
    const bool negativo = centesimas < 0;
    const unsigned __int128 a = negativo ? static_cast<unsigned __int128>(-centesimas)
                                         : static_cast<unsigned __int128>(centesimas);
    QString entera = QString::number(static_cast<quint64>(a / 100));
    if (estilo == 1)
        for (qsizetype i = entera.size() - 3; i > 0; i -= 3) entera.insert(i, QLatin1Char(','));
    return (negativo ? QStringLiteral("-") : QString()) + entera + QLatin1Char('.') +
           QString::number(static_cast<quint64>(a % 100)).rightJustified(2, QLatin1Char('0'));
}

QByteArray Clave(qint64 x) {
    const quint64 u = static_cast<quint64>(x) ^ (quint64{1} << 63);
    QByteArray b(8, Qt::Uninitialized);
    for (int i = 0; i < 8; ++i) b[i] = static_cast<char>((u >> (8 * (7 - i))) & 0xFF);
    return b;
}

}  // namespace kv::local::dinero
