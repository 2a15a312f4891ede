// The quick roundings behind money sums and money results give exactly what
// the library's slow ones give: halves, signs, magnitudes up to the largest
// money value, and values just off a half.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

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

}  // namespace
