// The quick roundings behind money sums and money results give exactly what
// the library's slow ones give: halves, signs, magnitudes up to the largest
// money value, and values just off a half.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "localserver/procedimientos/ReconsEstv.h"
#include "localserver/tsql/Dinero.h"
#include "localserver/tsql/Funciones.h"

namespace {

using kv::local::DiezmilesimasDe;
using kv::local::RedondearEntero;

// Values that sit on or next to a rounding edge, at every magnitude.
std::vector<double> ValoresDeBorde() {
    std::vector<double> v = {0.0,
                             -0.0,
                             0.00005,
                             -0.00005,
                             0.00015,
                             0.00025,
                             1.00005,
                             2.5e-5,
                             0.49999999999999994,
                             0.5,
                             1.5,
                             2.5,
                             -2.5,
                             123456.78905,
                             99999999999.99995,
                             922337203685477.5807,
                             -922337203685477.5808,
                             4503599627370495.5,
                             4503599627370497.0,
                             1e15,
                             1e15 + 0.5};
    for (double escala = 1e-4; escala < 1e15; escala *= 10) {
        for (double base : {0.5, 1.5, 12.5, 0.25, 0.75}) {
            const double x = base * escala;
            for (double y :
                 {x, -x, std::nextafter(x, 0.0), std::nextafter(x, 1e300), -std::nextafter(x, 0.0)})
                v.push_back(y);
        }
    }
    return v;
}

TEST(RedondeoDinero, DiezmilesimasComoElDobleLargo) {
    std::vector<double> valores = ValoresDeBorde();
    std::mt19937_64 azar(15);
    for (int i = 0; i < 400000; ++i) {
        // Whole ten-thousandths (stored money), near halves, and any double.
        const double magnitud = std::pow(10.0, double(azar() % 15) - 3);
        const auto entero = static_cast<long long>(azar() % 2000000001) - 1000000000;
        valores.push_back(double(entero) / 10000.0 * magnitud);
        valores.push_back((double(entero) + 0.5) / 10000.0);
        valores.push_back(std::ldexp(double(azar() >> 11), -int(azar() % 60)) * (azar() % 2 ? 1 : -1));
    }
    for (double x : valores) {
        if (!(std::fabs(x) < 9.2e14)) continue;
        ASSERT_EQ(DiezmilesimasDe(x), std::llroundl(static_cast<long double>(x) * 10000.0L)) << x;
    }
}

TEST(RedondeoDinero, EnteroComoStdRound) {
    std::vector<double> valores = ValoresDeBorde();
    for (double x : {-0.3, 0.3, -0.5, 1e300, -1e300, double(INFINITY), -double(INFINITY)})
        valores.push_back(x);
    std::mt19937_64 azar(16);
    for (int i = 0; i < 400000; ++i) {
        valores.push_back(std::ldexp(double(azar() >> 11), -int(azar() % 64)) * (azar() % 2 ? 1 : -1));
        valores.push_back(double(static_cast<long long>(azar() % 2000001) - 1000000) + 0.5);
    }
    for (double x : valores) {
        const double esperado = std::round(x);
        const double obtenido = RedondearEntero(x);
        ASSERT_EQ(obtenido, esperado) << x;
        ASSERT_EQ(std::signbit(obtenido), std::signbit(esperado)) << x;
    }
    EXPECT_TRUE(std::isnan(RedondearEntero(NAN)));
}

// A money sum with an amount too large for whole ten-thousandths in 64 bits
// reports the overflow instead of adding what the rounding made of it.
TEST(RedondeoDinero, SumaDeDineroDesbordadaAvisa) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    kv::local::RegistrarFuncionesTSQL(db);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t (x REAL); INSERT INTO t VALUES (1e16), (1);", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT kv_suma_dinero(x) FROM t", -1, &st, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_step(st), SQLITE_ERROR);
    int numero = 0;
    QString mensaje;
    ASSERT_TRUE(kv::local::LeerErrorFuncion(QString::fromUtf8(sqlite3_errmsg(db)), &numero, &mensaje));
    EXPECT_EQ(numero, 8115);
    sqlite3_finalize(st);
    // Inside the range the sum is exact.
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT kv_suma_dinero(x) FROM (SELECT 0.1 AS x UNION ALL SELECT 0.2)",
                                 -1, &st, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_double(st, 0), 0.3);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

// The key money compares by orders byte by byte as the amounts do: signs,
// the ends of the range, and neighbours that one double would not tell apart.
TEST(RedondeoDinero, LaClaveDelDineroOrdenaComoLosImportes) {
    namespace dinero = kv::local::dinero;
    std::vector<qint64> importes = {dinero::kMinimo, dinero::kMinimo + 1, -dinero::kExactoEnReal - 1,
                                    -dinero::kExactoEnReal, -10000, -1, 0, 1, 10000, dinero::kExactoEnReal,
                                    dinero::kExactoEnReal + 1, dinero::kMaximo - 1, dinero::kMaximo};
    std::mt19937_64 azar(24);
    for (int i = 0; i < 2000; ++i) importes.push_back(static_cast<qint64>(azar()));
    std::sort(importes.begin(), importes.end());
    for (size_t i = 1; i < importes.size(); ++i) {
        const QByteArray a = dinero::Clave(importes[i - 1]);
        const QByteArray b = dinero::Clave(importes[i]);
        ASSERT_EQ(a.size(), 8);
        const int orden = std::memcmp(a.constData(), b.constData(), 8);
        if (importes[i - 1] == importes[i])
            EXPECT_EQ(orden, 0);
        else
            EXPECT_LT(orden, 0) << importes[i - 1] << " " << importes[i];
    }
}

// Money's products round half away from zero and its quotients cut toward
// zero, in whole ten-thousandths, over the whole range.
TEST(RedondeoDinero, ProductoYCocienteDelDinero) {
    namespace dinero = kv::local::dinero;
    qint64 r = 0;
    EXPECT_EQ(dinero::Operar('*', 3, 5000, r), dinero::Lectura::Bien);  // 0.0003 * 0.5
    EXPECT_EQ(r, 2);
    EXPECT_EQ(dinero::Operar('*', -3, 5000, r), dinero::Lectura::Bien);
    EXPECT_EQ(r, -2);
    EXPECT_EQ(dinero::Operar('*', dinero::kMaximo, -10000, r), dinero::Lectura::Bien);
    EXPECT_EQ(r, -dinero::kMaximo);
    EXPECT_EQ(dinero::Operar('*', dinero::kMinimo, -10000, r), dinero::Lectura::Desborda);
    EXPECT_EQ(dinero::Operar('*', dinero::kMaximo, dinero::kMaximo, r), dinero::Lectura::Desborda);
    EXPECT_EQ(dinero::Operar('/', 10000, 30000, r), dinero::Lectura::Bien);  // 1 / 3
    EXPECT_EQ(r, 3333);
    EXPECT_EQ(dinero::Operar('/', -20000, 30000, r), dinero::Lectura::Bien);
    EXPECT_EQ(r, -6666);
    EXPECT_EQ(dinero::Operar('/', dinero::kMinimo, 20000, r), dinero::Lectura::Bien);
    EXPECT_EQ(r, dinero::kMinimo / 2);
    EXPECT_EQ(dinero::Operar('/', dinero::kMinimo, -10000, r), dinero::Lectura::Desborda);
    EXPECT_EQ(dinero::Operar('/', 1, 0, r), dinero::Lectura::Desborda);
    EXPECT_EQ(dinero::TextoConEstilo(dinero::kMinimo, 1), QStringLiteral("-922,337,203,685,477.58"));
    EXPECT_EQ(dinero::TextoConEstilo(dinero::kMaximo, 0), QStringLiteral("922337203685477.58"));
    EXPECT_EQ(dinero::TextoConEstilo(-50, 0), QStringLiteral("-0.01"));
    EXPECT_EQ(dinero::TextoConEstilo(49, 0), QStringLiteral("0.00"));
    EXPECT_EQ(dinero::TextoConEstilo(12345678, 1), QStringLiteral("1,234.57"));
    EXPECT_EQ(dinero::TextoConEstilo(12345678, 126), QStringLiteral("1234.5678"));
    EXPECT_TRUE(dinero::TextoConEstilo(1, 3).isNull());
}

}  // namespace

namespace {

// The rebuild's rounding of a money sum by way of the sum's shortest decimal
// text: the definition the quick one must give bit for bit. The text of the
// smallest doubles written out in full takes over 300 characters.
double RedondearPorTexto(long double v) {
    const double d = double(v);
    if (!std::isfinite(d) || std::fabs(d) >= 9e11) return double(std::llround(v * 10000.0L)) / 10000.0;
    char texto[1100];
    const auto fin = std::to_chars(texto, texto + sizeof texto, d, std::chars_format::fixed).ptr;
    const char* c = texto;
    const bool negativo = *c == '-';
    if (negativo) ++c;
    long long diezmilesimas = 0;
    while (c < fin && *c != '.') diezmilesimas = diezmilesimas * 10 + (*c++ - '0');
    if (c < fin) ++c;
    for (int i = 0; i < 4; ++i) diezmilesimas = diezmilesimas * 10 + (c < fin ? *c++ - '0' : 0);
    if (c < fin && *c >= '5') ++diezmilesimas;
    const double r = double(diezmilesimas) / 10000.0;
    return negativo && r != 0 ? -r : r;
}

std::uint64_t Bits(double x) {
    std::uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

}  // namespace

// Halves at the fifth decimal and their neighbours at every magnitude up to and
// past 9e11, both signs, sums made in long double as the rebuild makes them,
// and any double: the quick rounding gives the very double (sign included)
// that the text gives.
TEST(RedondeoDinero, SumaDeLaReconstruccionComoSuTexto) {
    std::vector<long double> valores;
    for (double x : ValoresDeBorde()) valores.push_back(x);
    for (double x : {2.00005, -2.00005, 0.5 * 4.0001, 1.00015, 0.00005, 9e11, -9e11, 8.9999999999995e11,
                     899999999999.99995, 1e11 + 0.00005, 4503599627.37005, 0.0, -0.0, 5e-324, -5e-324,
                     double(INFINITY), -double(INFINITY)})
        for (int paso = -3; paso <= 3; ++paso) {
            double y = x;
            for (int k = 0; k < std::abs(paso); ++k) y = std::nextafter(y, paso < 0 ? -1e300 : 1e300);
            valores.push_back(y);
        }
    std::mt19937_64 azar(23);
    for (int i = 0; i < 300000; ++i) {
        // A half at the fifth decimal, as a double, and the doubles around it.
        const double magnitud = std::pow(10.0, double(azar() % 12));
        const auto entero = static_cast<long long>(azar() % 100000000);
        const double mitad = (double(entero) * 10 + 5) / 100000.0 * (magnitud / 1e3);
        double y = mitad;
        for (int k = 0; k < 3; ++k) {
            valores.push_back(y);
            valores.push_back(-y);
            y = std::nextafter(y, 1e300);
        }
        y = std::nextafter(mitad, 0.0);
        valores.push_back(y);
        valores.push_back(-y);
        // Five decimals written out, and any double up to past the fast range.
        valores.push_back(double(static_cast<long long>(azar() % 90000000000000000ull)) / 100000.0);
        valores.push_back(std::ldexp(double(azar() >> 11), int(azar() % 94) - 83) * (azar() % 2 ? 1 : -1));
        // A group's sum: quantities times prices, added in long double.
        long double suma = 0;
        const int lineas = 1 + int(azar() % 40);
        for (int l = 0; l < lineas; ++l) {
            const double cantidad =
                double(static_cast<long long>(azar() % 2001) - 1000) / (azar() % 2 ? 1 : 8);
            const double precio = double(azar() % 100000000) / 10000.0;
            suma += (long double)cantidad * (long double)precio;
        }
        valores.push_back(suma);
    }
    for (long double v : valores) {
        const double esperado = RedondearPorTexto(v);
        const double obtenido = kv::local::RedondearSumaDinero(v);
        ASSERT_EQ(Bits(obtenido), Bits(esperado))
            << double(v) << " da " << obtenido << ", el texto " << esperado;
    }
    // The cases the text was there for.
    EXPECT_EQ(kv::local::RedondearSumaDinero(0.5L * 4.0001L), 2.0001);
    EXPECT_EQ(kv::local::RedondearSumaDinero(2.00005), 2.0001);
    EXPECT_EQ(kv::local::RedondearSumaDinero(-2.00005), -2.0001);
    EXPECT_EQ(kv::local::RedondearSumaDinero(2.000049999), 2.0);
    EXPECT_FALSE(std::signbit(kv::local::RedondearSumaDinero(-0.00004)));
    // A sum that cancels out to almost nothing is nothing, not what a cut text would read.
    EXPECT_EQ(Bits(kv::local::RedondearSumaDinero(-1.4821969375237396e-323)), Bits(0.0));
    EXPECT_EQ(Bits(kv::local::RedondearSumaDinero(1e-60L)), Bits(0.0));
}
