#include "localserver/tsql/Decimal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kv::local::decimal {

Entero Potencia(int n) {
    Entero p = 1;
    for (int i = 0; i < n; ++i) p *= 10;
    return p;
}

Tipo TipoDeOperacion(char op, Tipo a, Tipo b) {
    const int p1 = a.precision, s1 = a.escala, p2 = b.precision, s2 = b.escala;
    Tipo r;
    const bool suma = op == '+' || op == '-';
    if (suma) {
        r.escala = std::max(s1, s2);
        r.precision = r.escala + std::max(p1 - s1, p2 - s2) + 1;
    } else if (op == '*') {
        r.precision = p1 + p2 + 1;
        r.escala = s1 + s2;
    } else {
        r.escala = std::max(6, s1 + p2 + 1);
        r.precision = p1 - s1 + s2 + r.escala;
    }
    if (r.precision <= kPrecisionMaxima) return r;
    const int entera = r.precision - r.escala;
    if (suma) {
        // The whole part keeps its room; the scale gives up what is missing.
        r.escala = std::max(0, std::min(r.escala, kPrecisionMaxima - std::max(p1 - s1, p2 - s2)));
    } else if (entera < 32) {
        r.escala = std::min(r.escala, kPrecisionMaxima - entera);
    } else if (r.escala > 6) {
        r.escala = 6;
    }
    r.precision = kPrecisionMaxima;
    return r;
}

Tipo TipoDeLiteral(const QString& escrito) {
    Tipo t;
    const qsizetype punto = escrito.indexOf(QLatin1Char('.'));
    int entera = 0;
    bool significativa = false;
    for (qsizetype i = 0; i < (punto < 0 ? escrito.size() : punto); ++i) {
        const QChar c = escrito[i];
        if (!c.isDigit()) continue;
        if (c != QLatin1Char('0')) significativa = true;
        if (significativa) ++entera;
    }
    t.escala = punto < 0 ? 0 : int(escrito.size() - punto - 1);
    t.precision = std::max(1, entera + t.escala);
    return t;
}

Lectura LeerTexto(const QString& original, int escala, Entero& resultado) {
    QString s = original.trimmed();
    bool negativo = false;
    if (s.startsWith(QLatin1Char('-')) || s.startsWith(QLatin1Char('+'))) {
        negativo = s.startsWith(QLatin1Char('-'));
        s.remove(0, 1);
    }
    const qsizetype punto = s.indexOf(QLatin1Char('.'));
    const QString entera = punto < 0 ? s : s.left(punto);
    const QString fraccion = punto < 0 ? QString() : s.mid(punto + 1);
    if (entera.isEmpty() && fraccion.isEmpty()) return Lectura::MalTexto;
    Entero n = 0;
    int cifras = 0;
    const auto digito = [](QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; };
    for (QChar c : entera) {
        if (!digito(c)) return Lectura::MalTexto;
        if (n == 0 && c == QLatin1Char('0')) continue;
        if (++cifras + escala > kPrecisionMaxima) return Lectura::Desborda;
        n = n * 10 + (c.unicode() - '0');
    }
    for (qsizetype i = 0; i < fraccion.size(); ++i) {
        const QChar c = fraccion[i];
        if (!digito(c)) return Lectura::MalTexto;
        if (i < escala) {
            n = n * 10 + (c.unicode() - '0');
        } else if (i == escala) {
            if (c.unicode() >= '5') n += 1;
        }
    }
    for (qsizetype i = fraccion.size(); i < escala; ++i) n *= 10;
    resultado = negativo ? -n : n;
    return Lectura::Bien;
}

Lectura LeerReal(double x, int escala, Entero& n) {
    if (!std::isfinite(x) || std::fabs(x) >= 1e38) return Lectura::Desborda;
    // The double's own value printed to `escala` decimals: glibc rounds it exactly.
    char texto[96];
    std::snprintf(texto, sizeof texto, "%.*f", std::clamp(escala, 0, kPrecisionMaxima), x);
    return LeerTexto(QString::fromLatin1(texto), escala, n);
}

bool CabeEnReal(Entero n) {
    static const Entero kQuince = Potencia(15);
    return n < kQuince && n > -kQuince;
}

QString Texto(Entero n, int escala) {
    const bool negativo = n < 0;
    unsigned __int128 a = negativo ? static_cast<unsigned __int128>(-(n + 1)) + 1 : static_cast<unsigned __int128>(n);
    QString cifras;
    do {
        cifras.prepend(QLatin1Char(char('0' + int(a % 10))));
        a /= 10;
    } while (a != 0);
    if (escala > 0) {
        if (cifras.size() <= escala) cifras = cifras.rightJustified(escala + 1, QLatin1Char('0'));
        cifras.insert(cifras.size() - escala, QLatin1Char('.'));
    }
    return (negativo ? QStringLiteral("-") : QString()) + cifras;
}

namespace {

bool Escalar(Entero& n, int lugares) {
    const Entero p = Potencia(lugares);
    return !__builtin_mul_overflow(n, p, &n);
}

// n / 10^lugares rounded half away from zero.
Entero Reducir(Entero n, int lugares) {
    if (lugares <= 0) return n;
    const Entero d = Potencia(lugares);
    Entero q = n / d;
    const Entero resto = n % d;
    if ((resto < 0 ? -resto : resto) * 2 >= d) q += n < 0 ? -1 : 1;
    return q;
}

}  // namespace

Lectura Operar(char op, Entero a, int sa, Entero b, int sb, Tipo r, Entero& resultado) {
    Entero n = 0;
    switch (op) {
        case '+':
        case '-': {
            const int s = std::max(sa, sb);
            if (!Escalar(a, s - sa) || !Escalar(b, s - sb)) return Lectura::Desborda;
            if (op == '+' ? __builtin_add_overflow(a, b, &n) : __builtin_sub_overflow(a, b, &n))
                return Lectura::Desborda;
            if (r.escala > s) {
                if (!Escalar(n, r.escala - s)) return Lectura::Desborda;
            } else {
                n = Reducir(n, s - r.escala);
            }
            break;
        }
        case '*':
            if (__builtin_mul_overflow(a, b, &n)) return Lectura::Desborda;
            n = Reducir(n, sa + sb - r.escala);
            break;
        case '/': {
            if (b == 0) return Lectura::DivisionCero;
            // a / b * 10^escala = a * 10^(escala + sb - sa) / b, cut toward zero.
            const int k = r.escala + sb - sa;
            if (k >= 0) {
                if (!Escalar(a, k)) return Lectura::Desborda;
            } else if (!Escalar(b, -k)) {
                n = 0;
                break;
            }
            n = a / b;
            break;
        }
        default:
            return Lectura::MalTexto;
    }
    // A count at the result's scale: precision digits in all.
    const Entero tope = Potencia(r.precision);
    if (n >= tope || n <= -tope) return Lectura::Desborda;
    resultado = n;
    return Lectura::Bien;
}

}  // namespace kv::local::decimal
