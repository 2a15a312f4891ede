// The text and number built-ins of T-SQL that stand on their arguments alone:
// STUFF, REVERSE, QUOTENAME, STR, ISNUMERIC, PARSENAME, POWER, SQUARE, SQRT,
// EXP, LOG, LOG10, RAND and NEWID, as SQL Server answers them.

#include <sqlite3.h>

#include <QRegularExpression>
#include <QUuid>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <mutex>
#include <random>

#include "localserver/tsql/Funciones.h"
#include "localserver/tsql/Mensajes.h"
#include "localserver/tsql/Traduccion.h"
#include "localserver/tsql/ValoresFuncion.h"

namespace kv::local {

namespace {

using funcion::Devolver;
using funcion::Fallar;
using funcion::Texto;

bool Nulo(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

// A number argument as float: numbers as they are, a text read as SQL Server
// converts it (8114 when it is no number).
bool Real(sqlite3_context* ctx, sqlite3_value* v, double* x) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER || sqlite3_value_type(v) == SQLITE_FLOAT) {
        *x = sqlite3_value_double(v);
        return true;
    }
    bool ok = false;
    *x = Texto(v).trimmed().toDouble(&ok);
    if (!ok) Fallar(ctx, mensajes::kConversionTipo, mensajes::ConversionTipo(QStringLiteral("varchar"),
                                                                             QStringLiteral("float")));
    return ok;
}

bool Entero(sqlite3_context* ctx, sqlite3_value* v, qint64* n) {
    double x = 0;
    if (sqlite3_value_type(v) == SQLITE_INTEGER) {
        *n = sqlite3_value_int64(v);
        return true;
    }
    if (!Real(ctx, v, &x)) return false;
    if (!(std::fabs(x) < 9.2e18)) {
        Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(QStringLiteral("int")));
        return false;
    }
    *n = static_cast<qint64>(x);
    return true;
}

// A float result, or 3623 where the operation has none (SQRT(-1), LOG(0)).
void DevolverReal(sqlite3_context* ctx, double r) {
    if (!std::isfinite(r))
        return Fallar(ctx, mensajes::kPuntoFlotante, mensajes::PuntoFlotanteNoValido());
    sqlite3_result_double(ctx, r);
}

// STUFF(texto, inicio, largo, nuevo): `largo` characters from `inicio` give way
// to `nuevo` (nothing when it is NULL). NULL when `inicio` falls outside the
// text or `largo` is negative.
void FnStuff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (Nulo(argv[0]) || Nulo(argv[1]) || Nulo(argv[2])) return sqlite3_result_null(ctx);
    const QString s = Texto(argv[0]);
    qint64 inicio = 0, largo = 0;
    if (!Entero(ctx, argv[1], &inicio) || !Entero(ctx, argv[2], &largo)) return;
    if (inicio < 1 || inicio > s.size() || largo < 0) return sqlite3_result_null(ctx);
    const qsizetype desde = static_cast<qsizetype>(inicio - 1);
    const qsizetype quitar = static_cast<qsizetype>(std::min<qint64>(largo, s.size() - desde));
    Devolver(ctx, s.left(desde) + (Nulo(argv[3]) ? QString() : Texto(argv[3])) + s.mid(desde + quitar));
}

void FnReverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (Nulo(argv[0])) return sqlite3_result_null(ctx);
    const QString s = Texto(argv[0]);
    QString r;
    r.reserve(s.size());
    for (qsizetype i = s.size(); i > 0; --i) r += s[i - 1];
    Devolver(ctx, r);
}

// QUOTENAME(nombre [, comilla]): the name between brackets (or the quote given),
// its closing mark doubled. NULL past 128 characters or with another mark.
void FnQuotename(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (Nulo(argv[0]) || (argc > 1 && Nulo(argv[1]))) return sqlite3_result_null(ctx);
    const QString s = Texto(argv[0]);
    const QString marca = argc > 1 ? Texto(argv[1]) : QStringLiteral("[");
    if (s.size() > 128 || marca.size() != 1) return sqlite3_result_null(ctx);
    QChar abre = marca[0], cierra = marca[0];
    if (abre == QLatin1Char('[') || abre == QLatin1Char(']')) {
        abre = QLatin1Char('[');
        cierra = QLatin1Char(']');
    } else if (abre != QLatin1Char('"') && abre != QLatin1Char('\'')) {
        return sqlite3_result_null(ctx);
    }
    QString r = abre;
    for (const QChar c : s) {
        r += c;
        if (c == cierra) r += c;
    }
    Devolver(ctx, r + cierra);
}

// The decimal digits of |x| rounded half away from zero to `decimales`, read
// from the shortest text that gives x back (2.675 rounds up, as written).
QString DigitosRedondeados(double x, int decimales) {
    char buf[400];
    const auto fin = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::fixed).ptr;
    QString entero, fraccion;
    const char* c = buf;
    while (c < fin && *c != '.') entero += QLatin1Char(*c++);
    if (c < fin) ++c;
    while (c < fin) fraccion += QLatin1Char(*c++);
    const bool sube = fraccion.size() > decimales && fraccion[decimales] >= QLatin1Char('5');
    fraccion = fraccion.left(decimales).leftJustified(decimales, QLatin1Char('0'));
    QString todo = entero + fraccion;
    if (sube) {
        qsizetype i = todo.size() - 1;
        while (i >= 0 && todo[i] == QLatin1Char('9')) todo[i--] = QLatin1Char('0');
        if (i < 0)
            todo.prepend(QLatin1Char('1'));
        else
            todo[i] = QChar(todo[i].unicode() + 1);
    }
    const qsizetype cifrasEnteras = todo.size() - decimales;
    return decimales > 0 ? todo.left(cifrasEnteras) + QLatin1Char('.') + todo.mid(cifrasEnteras) : todo;
}

// STR(x [, largo [, decimales]]): x right-aligned in `largo` characters (10),
// with up to 16 decimals (0); the decimals that do not fit go first, and a
// number whose whole part does not fit gives `largo` asterisks.
void FnStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (Nulo(argv[i])) return sqlite3_result_null(ctx);
    double x = 0;
    qint64 largo = 10, decimales = 0;
    if (!Real(ctx, argv[0], &x)) return;
    if (argc > 1 && !Entero(ctx, argv[1], &largo)) return;
    if (argc > 2 && !Entero(ctx, argv[2], &decimales)) return;
    if (largo <= 0 || largo > 8000 || decimales < 0) return sqlite3_result_null(ctx);
    decimales = std::min<qint64>(decimales, 16);
    const QString signo = x < 0 ? QStringLiteral("-") : QString();
    QString r = signo + DigitosRedondeados(x, 0);
    const qint64 caben = largo - r.size() - 1;  // decimals that fit after the point
    if (r.size() > largo) {
        r = QString(static_cast<qsizetype>(largo), QLatin1Char('*'));
    } else if (decimales > 0 && caben > 0) {
        r = signo + DigitosRedondeados(x, static_cast<int>(std::min(decimales, caben)));
        if (r.size() > largo) r = signo + DigitosRedondeados(x, 0);
    }
    // No negative zero: -0.001 in two decimals is 0.00.
    if (r.startsWith(QLatin1Char('-')) &&
        std::none_of(r.begin() + 1, r.end(), [](QChar c) { return c.isDigit() && c != QLatin1Char('0'); }))
        r.remove(0, 1);
    Devolver(ctx, r.rightJustified(static_cast<qsizetype>(largo), QLatin1Char(' ')));
}

// ISNUMERIC(x): 1 when the text converts to some number type: an integer, a
// decimal or float (with an exponent e or d), or money (a currency sign,
// thousands commas, even no digit at all: "$", "-", "." are money).
void FnIsnumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int tipo = sqlite3_value_type(argv[0]);
    if (tipo == SQLITE_NULL) return sqlite3_result_int(ctx, 0);
    if (tipo == SQLITE_INTEGER || tipo == SQLITE_FLOAT) return sqlite3_result_int(ctx, 1);
    static const QRegularExpression real(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eEdD][+-]?\\d+)?\\s*$"));
    static const QRegularExpression dinero(
        QStringLiteral("^\\s*([+-]?\\s*[$€£¥]?|[$€£¥]\\s*[+-])\\s*[\\d,]*(\\.\\d*)?\\s*$"));
    const QString s = Texto(argv[0]);
    const bool numero = !s.trimmed().isEmpty() && (real.match(s).hasMatch() || dinero.match(s).hasMatch());
    sqlite3_result_int(ctx, numero ? 1 : 0);
}

// PARSENAME(nombre, parte): the part of a name of up to four parts
// (1 the object, 2 the schema, 3 the database, 4 the server), without its
// brackets or quotes; NULL for a part not given or a name that is no name.
void FnParsename(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (Nulo(argv[0]) || Nulo(argv[1])) return sqlite3_result_null(ctx);
    qint64 parte = 0;
    if (!Entero(ctx, argv[1], &parte)) return;
    const auto partes = PartesDeNombre(Texto(argv[0]));
    if (!partes) return sqlite3_result_null(ctx);
    if (partes->size() > 4 || parte < 1 || parte > partes->size()) return sqlite3_result_null(ctx);
    const QString r = partes->at(partes->size() - static_cast<qsizetype>(parte));
    if (r.isEmpty()) return sqlite3_result_null(ctx);
    Devolver(ctx, r);
}

// kv_potencia(x, y, tipo): POWER, of x's type: an integer type truncates
// (POWER(2, -1) is 0) and fails past the type's range.
void FnPotencia(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (Nulo(argv[0]) || Nulo(argv[1])) return sqlite3_result_null(ctx);
    double x = 0, y = 0;
    if (!Real(ctx, argv[0], &x) || !Real(ctx, argv[1], &y)) return;
    const double r = std::pow(x, y);
    const QString tipo = Texto(argv[2]);
    if (tipo == QLatin1String("int") || tipo == QLatin1String("bigint")) {
        const double maximo = tipo == QLatin1String("int") ? 2147483648.0 : 9223372036854775808.0;
        if (!std::isfinite(r) || std::trunc(r) >= maximo || std::trunc(r) < -maximo)
            return Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(tipo));
        return sqlite3_result_int64(ctx, static_cast<qint64>(r));
    }
    DevolverReal(ctx, r);
}

template <double (*F)(double), bool (*Valido)(double)>
void FnReal(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (Nulo(argv[0])) return sqlite3_result_null(ctx);
    double x = 0;
    if (!Real(ctx, argv[0], &x)) return;
    if (!Valido(x)) return Fallar(ctx, mensajes::kPuntoFlotante, mensajes::PuntoFlotanteNoValido());
    DevolverReal(ctx, F(x));
}

double Cuadrado(double x) { return x * x; }
double Raiz(double x) { return std::sqrt(x); }
double Exponencial(double x) { return std::exp(x); }
double Logaritmo(double x) { return std::log(x); }
double Logaritmo10(double x) { return std::log10(x); }
bool Siempre(double) { return true; }
bool NoNegativo(double x) { return x >= 0; }
bool Positivo(double x) { return x > 0; }

// RAND([semilla]): the next number of the process's sequence, in [0, 1); a seed
// starts the sequence again, so the same seed gives the same numbers.
void FnRand(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    static std::mutex cerrojo;
    static std::mt19937_64 generador{std::random_device{}()};
    std::lock_guard<std::mutex> bloqueo(cerrojo);
    if (argc > 0 && !Nulo(argv[0])) {
        qint64 semilla = 0;
        if (!Entero(ctx, argv[0], &semilla)) return;
        generador.seed(static_cast<std::uint64_t>(semilla));
    }
    sqlite3_result_double(ctx, std::generate_canonical<double, 53>(generador));
}

// NEWID(): a new random uniqueidentifier, in SQL Server's upper-case text.
void FnNewid(sqlite3_context* ctx, int, sqlite3_value**) {
    Devolver(ctx, QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
}

struct Definicion {
    const char* nombre;
    int argumentos;
    bool determinista;
    void (*funcion)(sqlite3_context*, int, sqlite3_value**);
};

const Definicion kDefiniciones[] = {
    {"kv_stuff", 4, true, &FnStuff},
    {"kv_reverse", 1, true, &FnReverse},
    {"kv_quotename", 1, true, &FnQuotename},
    {"kv_quotename", 2, true, &FnQuotename},
    {"kv_str", 1, true, &FnStr},
    {"kv_str", 2, true, &FnStr},
    {"kv_str", 3, true, &FnStr},
    {"kv_isnumeric", 1, true, &FnIsnumeric},
    {"kv_parsename", 2, true, &FnParsename},
    {"kv_potencia", 3, true, &FnPotencia},
    {"kv_square", 1, true, &FnReal<&Cuadrado, &Siempre>},
    {"kv_sqrt", 1, true, &FnReal<&Raiz, &NoNegativo>},
    {"kv_exp", 1, true, &FnReal<&Exponencial, &Siempre>},
    {"kv_log", 1, true, &FnReal<&Logaritmo, &Positivo>},
    {"kv_log10", 1, true, &FnReal<&Logaritmo10, &Positivo>},
    {"kv_rand", 0, false, &FnRand},
    {"kv_rand", 1, false, &FnRand},
    {"kv_newid", 0, false, &FnNewid},
};

}  // namespace

int RegistrarFuncionesEscalares(sqlite3* bd) {
    for (const Definicion& d : kDefiniciones) {
        const int banderas = SQLITE_UTF8 | (d.determinista ? SQLITE_DETERMINISTIC : 0);
        const int rc = sqlite3_create_function_v2(bd, d.nombre, d.argumentos, banderas, nullptr, d.funcion, nullptr,
                                                  nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

bool EsFuncionEscalar(const QByteArray& nombre) {
    for (const Definicion& d : kDefiniciones)
        if (nombre == d.nombre) return true;
    return false;
}

}  // namespace kv::local
