#include "localserver/rapida/AgregacionRapida.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <unordered_map>

#include "localserver/rapida/Paralelo.h"
#include "localserver/tsql/Dinero.h"
#include "localserver/tsql/Funciones.h"

namespace kv::local::rapida {

namespace dinero = kv::local::dinero;

bool DosHilos() {
    static const bool dos =
        std::thread::hardware_concurrency() > 1 && qEnvironmentVariableIntValue("KVESTV_HILOS_COLUMNAS") != 1;
    return dos;
}

namespace {

// Rows below which one thread does the whole scan.
constexpr std::size_t kMinimoFilas = 1 << 16;
// Groups below which one thread builds the whole result.
constexpr std::size_t kMinimoGrupos = 1 << 13;

// Thrown when the answer would differ from the general path's (or the
// general path would fail): the caller then runs the general path.
struct SinRespuesta {};

// A value as the engine underneath has it. An amount of money past what a
// double holds exactly (2^52 ten-thousandths) is `Dinero`: its ten-thousandths
// in `i`, as the general route carries it in its exact text.
struct Valor {
    enum Tipo { Nulo, Entero, Real, Texto, Dinero } tipo = Nulo;
    std::int64_t i = 0;
    double d = 0;
    std::int32_t clase = 0;   // Texto: collation class (its order)
    std::int32_t codigo = 0;  // Texto: the stored text
    int columna = -1;         // Texto: the column it comes from
    // As a number; the exact text of an amount reads as its nearest double.
    double Numero() const { return tipo == Entero ? double(i) : tipo == Dinero ? dinero::Real(i) : d; }
};

// An amount in ten-thousandths as this route keeps it: a double while exact.
Valor DeDiezmilesimas(std::int64_t n) {
    Valor v;
    if (n > dinero::kExactoEnReal || n < -dinero::kExactoEnReal) {
        v.tipo = Valor::Dinero;
        v.i = n;
    } else {
        v.tipo = Valor::Real;
        v.d = double(n) / 10000.0;
    }
    return v;
}

Valor DeNumero(const Expresion& e) {
    Valor v;
    if (e.entero) {
        v.tipo = Valor::Entero;
        v.i = std::int64_t(e.numero);
    } else {
        v.tipo = Valor::Real;
        v.d = e.numero;
    }
    return v;
}

// round(x, 4) as the engine computes it: through its own decimal printing.
double RedondearCuatro(double x) {
    if (x < -4503599627370496.0 || x > 4503599627370496.0) return x;
    // A whole number prints as N.0000 and reads back as itself.
    if (x == std::trunc(x)) return x;
    char* texto = sqlite3_mprintf("%.*f", 4, x);
    if (!texto) throw SinRespuesta{};
    const double r = std::strtod(texto, nullptr);
    sqlite3_free(texto);
    return r;
}

// Arithmetic with the engine's rules: NULL in, NULL out; integers stay
// integers unless they overflow, which moves the operation to floating point.
std::int64_t DiezmilesimasDeOperando(const Valor& v);

Valor Operar(char op, const Valor& a, const Valor& b, bool dinero = false) {
    Valor r;
    if (a.tipo == Valor::Nulo || b.tipo == Valor::Nulo) return r;
    if (a.tipo == Valor::Texto || b.tipo == Valor::Texto) throw SinRespuesta{};
    if (dinero) {
        // Money's + and - in whole ten-thousandths, as the general route adds
        // them (a result past 2^52 stays exact); past the range it fails there (8115).
        qint64 n = 0;
        if (dinero::Operar(op, DiezmilesimasDeOperando(a), DiezmilesimasDeOperando(b), n) !=
            dinero::Lectura::Bien)
            throw SinRespuesta{};
        return DeDiezmilesimas(n);
    }
    if (op == '/') {
        // The division of the front end: a zero divisor fails (8134), two
        // integers divide as integers.
        if ((b.tipo == Valor::Entero && b.i == 0) || (b.tipo == Valor::Real && b.d == 0.0))
            throw SinRespuesta{};
        if (a.tipo == Valor::Entero && b.tipo == Valor::Entero) {
            if (a.i == std::numeric_limits<std::int64_t>::min() && b.i == -1) throw SinRespuesta{};
            r.tipo = Valor::Entero;
            r.i = a.i / b.i;
            return r;
        }
        r.tipo = Valor::Real;
        r.d = a.Numero() / b.Numero();
        return r;
    }
    if (a.tipo == Valor::Entero && b.tipo == Valor::Entero) {
        std::int64_t x = 0;
        const bool desborde = op == '+'   ? __builtin_add_overflow(a.i, b.i, &x)
                              : op == '-' ? __builtin_sub_overflow(a.i, b.i, &x)
                                          : __builtin_mul_overflow(a.i, b.i, &x);
        if (!desborde) {
            r.tipo = Valor::Entero;
            r.i = x;
            return r;
        }
    }
    const double x = a.Numero(), y = b.Numero();
    r.tipo = Valor::Real;
    r.d = op == '+' ? x + y : op == '-' ? x - y : x * y;
    return r;
}

Valor Negar(const Valor& a) {
    Valor r = a;
    if (a.tipo == Valor::Dinero) {
        // The lowest amount has no opposite in money.
        if (a.i == dinero::kMinimo) throw SinRespuesta{};
        r.i = -a.i;
    } else if (a.tipo == Valor::Entero) {
        if (a.i == std::numeric_limits<std::int64_t>::min()) {
            r.tipo = Valor::Real;
            r.d = -double(a.i);
        } else {
            r.i = -a.i;
        }
    } else if (a.tipo == Valor::Real) {
        r.d = -a.d;
    } else if (a.tipo == Valor::Texto) {
        throw SinRespuesta{};
    }
    return r;
}

Valor AReal(const Valor& a, bool dinero) {
    if (a.tipo == Valor::Nulo) return a;
    // round(x, 4) of an exact amount past a double gives its text back.
    if (a.tipo == Valor::Dinero && dinero) return a;
    if (a.tipo == Valor::Texto) throw SinRespuesta{};
    Valor r;
    r.tipo = Valor::Real;
    r.d = a.Numero();
    if (dinero) r.d = RedondearCuatro(r.d);
    return r;
}

// An exact money amount leaves the server as a double only up to 2^52
// ten-thousandths; past that it is its exact text, which only the general
// route computes.
constexpr std::int64_t kDineroEnRealDiezmilesimas = dinero::kExactoEnReal;

// kv_resultado(x, 'money') of an amount computed in doubles: rounded to four
// decimals, past money's range no answer here (the general route fails it).
double DineroDeReal(double d) {
    qint64 n = 0;
    if (dinero::LeerReal(d, n) != dinero::Lectura::Bien) throw SinRespuesta{};
    if (n <= kDineroEnRealDiezmilesimas && n >= -kDineroEnRealDiezmilesimas) return double(n) / 10000.0;
    return dinero::Real(n);
}

// A money operand in whole ten-thousandths, as the general route reads it: an
// integer is whole units, a double rounds to the ten-thousandth. Near the
// ends of the range the general route answers.
std::int64_t DiezmilesimasDeOperando(double x) {
    if (!(std::fabs(x) < 9.2e14)) throw SinRespuesta{};
    return DiezmilesimasDe(x);
}

std::int64_t DiezmilesimasDeOperando(const Valor& v) {
    if (v.tipo == Valor::Dinero) return v.i;
    if (v.tipo == Valor::Entero) {
        if (v.i > 92233720368547LL || v.i < -92233720368547LL) throw SinRespuesta{};
        return v.i * 10000;
    }
    if (v.tipo != Valor::Real) throw SinRespuesta{};
    return DiezmilesimasDeOperando(v.d);
}

// kv_dinero_op('*' or '/', a, b) on two amounts: exact, as the general route
// works it; an overflow or a zero divisor is left to it.
qint64 DiezmilesimasDeOperacion(char op, std::int64_t a, std::int64_t b) {
    qint64 n = 0;
    if ((op == '/' && b == 0) || dinero::Operar(op, a, b, n) != dinero::Lectura::Bien) throw SinRespuesta{};
    return n;
}

// The same row by row, where a result past 2^52 ten-thousandths (an exact
// text there) is also left to the general route.
double OperarDinero(char op, std::int64_t a, std::int64_t b) {
    const qint64 n = DiezmilesimasDeOperacion(op, a, b);
    if (n > kDineroEnRealDiezmilesimas || n < -kDineroEnRealDiezmilesimas) throw SinRespuesta{};
    return double(n) / 10000.0;
}

Valor OperarDinero(char op, const Valor& a, const Valor& b) {
    if (a.tipo == Valor::Nulo || b.tipo == Valor::Nulo) return Valor{};
    return DeDiezmilesimas(
        DiezmilesimasDeOperacion(op, DiezmilesimasDeOperando(a), DiezmilesimasDeOperando(b)));
}

// kv_dinero_clave: any amount as its exact ten-thousandths, which compare
// as the amounts do.
Valor ClaveDinero(const Valor& a) {
    if (a.tipo == Valor::Nulo) return a;
    if (a.tipo == Valor::Texto) throw SinRespuesta{};
    Valor r;
    r.tipo = Valor::Dinero;
    if (a.tipo == Valor::Dinero) {
        r.i = a.i;
    } else if (a.tipo == Valor::Entero) {
        if (a.i > dinero::kMaximo / 10000 || a.i < dinero::kMinimo / 10000) throw SinRespuesta{};
        r.i = a.i * 10000;
    } else {
        qint64 n = 0;
        if (dinero::LeerReal(a.d, n) != dinero::Lectura::Bien) throw SinRespuesta{};
        r.i = n;
    }
    return r;
}

// kv_resultado: money rounded to four decimals; int and bigint whole and in range.
Valor Ajustar(const Valor& a, const QString& tipo) {
    if (a.tipo == Valor::Nulo) return a;
    if (a.tipo == Valor::Texto) throw SinRespuesta{};
    Valor r;
    if (tipo == QLatin1String("money")) {
        // An exact amount stays exact, and so does a whole number; a double
        // rounds to the ten-thousandth and stays a double, as the general
        // route's kv_resultado keeps it.
        if (a.tipo == Valor::Dinero) return a;
        if (a.tipo == Valor::Entero) {
            if (a.i > dinero::kMaximo / 10000 || a.i < dinero::kMinimo / 10000) throw SinRespuesta{};
            return DeDiezmilesimas(a.i * 10000);
        }
        r.tipo = Valor::Real;
        r.d = DineroDeReal(a.d);
        return r;
    }
    if (a.tipo == Valor::Dinero) throw SinRespuesta{};
    const bool esInt = tipo == QLatin1String("int");
    r.tipo = Valor::Entero;
    if (a.tipo == Valor::Real) {
        const double limite = esInt ? 2147483648.0 : 9223372036854775808.0;
        if (std::trunc(a.d) != a.d || a.d >= limite || a.d < -limite) throw SinRespuesta{};
        r.i = std::int64_t(a.d);
        return r;
    }
    if (esInt && (a.i > 2147483647LL || a.i < -2147483648LL)) throw SinRespuesta{};
    r.i = a.i;
    return r;
}

// Numbers compare by value whatever their kind.
int CompararNumeros(const Valor& a, const Valor& b) {
    if ((a.tipo == Valor::Entero && b.tipo == Valor::Entero) ||
        (a.tipo == Valor::Dinero && b.tipo == Valor::Dinero))
        return a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
    // An exact text against a number: the engine would not compare them as amounts.
    if (a.tipo == Valor::Dinero || b.tipo == Valor::Dinero) throw SinRespuesta{};
    const long double x = a.tipo == Valor::Entero ? (long double)a.i : (long double)a.d;
    const long double y = b.tipo == Valor::Entero ? (long double)b.i : (long double)b.d;
    return x < y ? -1 : (x > y ? 1 : 0);
}

// ORDER BY's comparison: NULL first, then numbers, then texts under the collation.
int Comparar(const Valor& a, const Valor& b) {
    const int ra = a.tipo == Valor::Nulo ? 0 : (a.tipo == Valor::Texto ? 2 : 1);
    const int rb = b.tipo == Valor::Nulo ? 0 : (b.tipo == Valor::Texto ? 2 : 1);
    if (ra != rb) return ra < rb ? -1 : 1;
    if (ra == 0) return 0;
    if (ra == 1) return CompararNumeros(a, b);
    return a.clase < b.clase ? -1 : (a.clase > b.clase ? 1 : 0);
}

// The same expression written twice sums once.
void Canonica(const Expresion& e, std::string& t) {
    t += char('0' + int(e.clase));
    switch (e.clase) {
        case Expresion::Clase::Columna:
            t += char('a' + e.columna);
            break;
        case Expresion::Clase::Numero:
            t += e.entero ? 'i' : 'r';
            t += std::to_string(e.numero);
            break;
        case Expresion::Clase::Operacion:
        case Expresion::Clase::OperacionDinero:
            t += e.op;
            break;
        case Expresion::Clase::Resultado:
            t += e.tipo.toStdString();
            break;
        default:
            break;
    }
    t += '(';
    for (const Expresion& h : e.hijos) Canonica(h, t);
    t += ')';
}

// A row expression over the selected rows: one number per row, or one
// value for all of them when it reads no column.
struct Vector {
    bool escalar = true;
    Valor valor;
    std::vector<double> v;
    std::vector<std::uint8_t> nulo;  // empty: no NULL
};

class Motor {
  public:
    Motor(const ConsultaAgregada& c, const TablaColumnar& t, const AjusteValor& ajustar)
        : c_(c), t_(t), ajustar_(ajustar) {}

    FilasResultado Ejecutar() {
        Filtrar();
        Agrupar();
        for (const Expresion& e : c_.columnas) RecogerSumas(e);
        for (const TerminoOrden& o : c_.orden) RecogerSumas(o.expresion);
        for (const Expresion* s : sumas_) Sumar(*s);
        return Resultado();
    }

  private:
    // --- WHERE -------------------------------------------------------------------

    static bool Cumple(const Condicion& k, const std::string& texto) {
        const char* p = texto.data();
        int n = int(texto.size());
        if (k.recortar)
            while (n > 0 && *p == ' ') ++p, --n;
        for (const QString& valor : k.valores) {
            const QByteArray b = valor.toUtf8();
            const int c = CompararKVUtf8(p, n, b.constData(), int(b.size()));
            switch (k.clase) {
                case Condicion::Clase::Igual:
                    if (c == 0) return true;
                    break;
                case Condicion::Clase::MayorOIgual:
                    if (c >= 0) return true;
                    break;
                case Condicion::Clase::MenorOIgual:
                    if (c <= 0) return true;
                    break;
                case Condicion::Clase::Mayor:
                    if (c > 0) return true;
                    break;
                case Condicion::Clase::Menor:
                    if (c < 0) return true;
                    break;
            }
        }
        return false;
    }

    void Filtrar() {
        std::vector<std::uint8_t> mascaras[kColumnasTexto];
        for (const auto& grupo : c_.condiciones) {
            const int col = grupo.front().columna;
            const Diccionario& d = t_.diccionarios[col];
            std::vector<std::uint8_t>& m = mascaras[col];
            if (m.empty()) m.assign(d.textos.size(), 1);
            m[0] = 0;  // NULL satisfies no comparison
            for (std::size_t codigo = 1; codigo < d.textos.size(); ++codigo) {
                if (!m[codigo]) continue;
                bool alguna = false;
                for (const Condicion& k : grupo) alguna = alguna || Cumple(k, d.textos[codigo]);
                m[codigo] = alguna;
            }
        }
        std::vector<int> filtradas;
        for (int c = 0; c < kColumnasTexto; ++c)
            if (!mascaras[c].empty()) filtradas.push_back(c);
        // Each half of the rows in order, the second half's after the first's:
        // the rows selected in the order one pass would select them.
        std::vector<std::uint32_t> partes[2];
        EnDosMitades(t_.filas, kMinimoFilas, [&](std::size_t inicio, std::size_t fin, int parte) {
            std::vector<std::uint32_t>& seleccion = partes[parte];
            seleccion.reserve(fin - inicio);
            for (std::size_t r = inicio; r < fin; ++r) {
                bool pasa = true;
                for (int c : filtradas) {
                    if (!mascaras[c][std::size_t(t_.codigos[c][r])]) {
                        pasa = false;
                        break;
                    }
                }
                if (pasa) seleccion.push_back(std::uint32_t(r));
            }
        });
        seleccion_ = std::move(partes[0]);
        seleccion_.insert(seleccion_.end(), partes[1].begin(), partes[1].end());
    }

    // --- GROUP BY ------------------------------------------------------------------

    void Agrupar() {
        const std::size_t niveles = c_.agrupacion.size();
        std::uint64_t producto = 1;
        bool cabe = true;
        bool variasFormas = false;
        for (int col : c_.agrupacion) {
            const Diccionario& d = t_.diccionarios[col];
            const auto n = std::uint64_t(d.Clases());
            if (producto > (std::uint64_t(1) << 62) / n) cabe = false;
            producto *= n;
            for (std::int32_t f : d.formas) variasFormas = variasFormas || f > 1;
        }
        if (!cabe) throw SinRespuesta{};
        grupoDeFila_.resize(seleccion_.size());
        codigosGrupo_.assign(niveles, {});
        std::vector<const std::int32_t*> codigos(niveles);
        std::vector<const std::int32_t*> clases(niveles);
        std::vector<const std::int32_t*> formas(niveles);
        for (std::size_t n = 0; n < niveles; ++n) {
            codigos[n] = t_.codigos[c_.agrupacion[n]].data();
            clases[n] = t_.diccionarios[c_.agrupacion[n]].clase.data();
            formas[n] = t_.diccionarios[c_.agrupacion[n]].formas.data();
        }
        std::vector<std::uint64_t> radices(niveles);
        for (std::size_t n = 0; n < niveles; ++n)
            radices[n] = std::uint64_t(t_.diccionarios[c_.agrupacion[n]].Clases());
        auto nuevo = [&](std::uint32_t fila) {
            const auto g = std::int32_t(claves_.size());
            std::uint64_t k = 0;
            for (std::size_t n = 0; n < niveles; ++n) {
                k = k * radices[n] + std::uint64_t(clases[n][codigos[n][fila]]);
                codigosGrupo_[n].push_back(codigos[n][fila]);
            }
            claves_.push_back(k);
            return g;
        };
        auto clave = [&](std::uint32_t fila) {
            std::uint64_t k = 0;
            for (std::size_t n = 0; n < niveles; ++n)
                k = k * radices[n] + std::uint64_t(clases[n][codigos[n][fila]]);
            return k;
        };
        auto revisar = [&](std::uint32_t fila, std::int32_t g) {
            // Texts the collation finds equal but written differently in one
            // group: which one the general path shows is its own business.
            for (std::size_t n = 0; n < niveles; ++n) {
                const std::int32_t codigo = codigos[n][fila];
                if (formas[n][clases[n][codigo]] > 1 && codigosGrupo_[n][std::size_t(g)] != codigo)
                    throw SinRespuesta{};
            }
        };
        // The rows' keys on both cores; the groups numbered in one pass after.
        std::vector<std::uint64_t> claveDe(seleccion_.size());
        EnDosMitades(seleccion_.size(), kMinimoFilas, [&](std::size_t inicio, std::size_t fin, int) {
            for (std::size_t i = inicio; i < fin; ++i) claveDe[i] = clave(seleccion_[i]);
        });
        constexpr std::uint64_t kDirecto = std::uint64_t(1) << 23;
        const std::size_t n = seleccion_.size();
        if (producto <= kDirecto && !variasFormas && n >= kMinimoFilas && DosHilos() &&
            producto <= std::uint64_t(8) * n) {
            // Every text of these columns is the only one of its class: the
            // groups are numbered in the order of their keys, which the rows'
            // keys give on both cores (which keys occur, then each row's group),
            // and each level's text is the one of its class. The numbering
            // decides nothing of the result: the rows are sorted by key in the
            // end, and each group's rows are still summed in their order.
            std::vector<std::uint8_t> presente[2];
            EnDosMitades(n, kMinimoFilas, [&](std::size_t inicio, std::size_t fin, int parte) {
                std::vector<std::uint8_t>& p = presente[parte];
                p.assign(producto, 0);
                for (std::size_t i = inicio; i < fin; ++i) p[claveDe[i]] = 1;
            });
            if (presente[1].empty()) presente[1].assign(producto, 0);
            std::vector<std::int32_t> tabla(producto, -1);
            for (std::uint64_t k = 0; k < producto; ++k) {
                if (!(presente[0][k] | presente[1][k])) continue;
                tabla[k] = std::int32_t(claves_.size());
                claves_.push_back(k);
            }
            for (std::size_t nivel = 0; nivel < niveles; ++nivel) codigosGrupo_[nivel].resize(claves_.size());
            for (std::size_t g = 0; g < claves_.size(); ++g) {
                std::uint64_t k = claves_[g];
                for (std::size_t nivel = niveles; nivel-- > 0;) {
                    const auto clase = std::size_t(k % radices[nivel]);
                    k /= radices[nivel];
                    codigosGrupo_[nivel][g] = t_.diccionarios[c_.agrupacion[nivel]].primero[clase];
                }
            }
            EnDosMitades(n, kMinimoFilas, [&](std::size_t inicio, std::size_t fin, int) {
                for (std::size_t i = inicio; i < fin; ++i) grupoDeFila_[i] = tabla[claveDe[i]];
            });
        } else if (producto <= kDirecto) {
            std::vector<std::int32_t> tabla(producto, -1);
            for (std::size_t i = 0; i < seleccion_.size(); ++i) {
                const std::uint32_t fila = seleccion_[i];
                std::int32_t& g = tabla[claveDe[i]];
                if (g < 0)
                    g = nuevo(fila);
                else if (variasFormas)
                    revisar(fila, g);
                grupoDeFila_[i] = g;
            }
        } else {
            std::unordered_map<std::uint64_t, std::int32_t> tabla;
            for (std::size_t i = 0; i < seleccion_.size(); ++i) {
                const std::uint32_t fila = seleccion_[i];
                auto [it, nuevoGrupo] = tabla.try_emplace(claveDe[i], 0);
                if (nuevoGrupo)
                    it->second = nuevo(fila);
                else if (variasFormas)
                    revisar(fila, it->second);
                grupoDeFila_[i] = it->second;
            }
        }
    }

    // --- SUM -----------------------------------------------------------------------

    void RecogerSumas(const Expresion& e) {
        if (e.clase == Expresion::Clase::Suma || e.clase == Expresion::Clase::SumaDinero) {
            std::string clave;
            Canonica(e, clave);
            std::size_t i = 0;
            while (i < claveSuma_.size() && claveSuma_[i] != clave) ++i;
            if (i == claveSuma_.size()) {
                claveSuma_.push_back(std::move(clave));
                sumas_.push_back(&e);
            }
            indiceSuma_.emplace_back(&e, i);
            return;
        }
        for (const Expresion& h : e.hijos) RecogerSumas(h);
    }

    std::size_t IndiceSuma(const Expresion* e) const {
        for (const auto& [p, i] : indiceSuma_)
            if (p == e) return i;
        throw SinRespuesta{};
    }

    // Whether the expression reads no column: one value for every row.
    static bool Constante(const Expresion& e) {
        if (e.clase == Expresion::Clase::Columna) return false;
        for (const Expresion& h : e.hijos)
            if (!Constante(h)) return false;
        return true;
    }

    // The row expression on the selected rows [inicio, fin). Sums walk the rows
    // a block at a time, so these vectors stay small and in the cache.
    Vector Fila(const Expresion& e, std::size_t inicio, std::size_t fin) {
        Vector r;
        switch (e.clase) {
            case Expresion::Clase::Numero:
                r.valor = DeNumero(e);
                return r;
            case Expresion::Clase::Columna: {
                const int k = e.columna - kColumnasTexto;
                r.escalar = false;
                const std::uint32_t* filas = seleccion_.data() + inicio;
                const std::size_t n = fin - inicio;
                r.v.resize(n);
                const double* fuente = t_.numeros[k].data();
                if (n > 0 && filas[n - 1] - filas[0] == n - 1)  // a run of consecutive rows
                    std::copy_n(fuente + filas[0], n, r.v.data());
                else
                    for (std::size_t i = 0; i < n; ++i) r.v[i] = fuente[filas[i]];
                if (!t_.nulos[k].empty()) {
                    const std::uint8_t* nulos = t_.nulos[k].data();
                    r.nulo.resize(n);
                    for (std::size_t i = 0; i < n; ++i) r.nulo[i] = nulos[filas[i]];
                }
                return r;
            }
            case Expresion::Clase::Negacion: {
                r = Fila(e.hijos[0], inicio, fin);
                if (r.escalar)
                    r.valor = Negar(r.valor);
                else
                    for (double& x : r.v) x = -x;
                return r;
            }
            case Expresion::Clase::Redondeo:
            case Expresion::Clase::Flotante: {
                const bool redondear = e.clase == Expresion::Clase::Redondeo;
                r = Fila(e.hijos[0], inicio, fin);
                if (r.escalar)
                    r.valor = AReal(r.valor, redondear);
                else if (redondear)
                    for (double& x : r.v) x = RedondearCuatro(x);
                return r;
            }
            case Expresion::Clase::Resultado: {
                r = Fila(e.hijos[0], inicio, fin);
                if (r.escalar) {
                    r.valor = Ajustar(r.valor, e.tipo);
                    return r;
                }
                // A column's numbers made whole would change kind row by row.
                if (e.tipo != QLatin1String("money")) throw SinRespuesta{};
                for (std::size_t i = 0; i < r.v.size(); ++i) {
                    if (!r.nulo.empty() && r.nulo[i]) continue;
                    r.v[i] = DineroDeReal(r.v[i]);
                }
                return r;
            }
            case Expresion::Clase::Operacion: {
                Vector a = Fila(e.hijos[0], inicio, fin);
                Vector b = Fila(e.hijos[1], inicio, fin);
                if (a.escalar && b.escalar) {
                    r.valor = Operar(e.op, a.valor, b.valor);
                    return r;
                }
                return OperarVectores(e.op, std::move(a), std::move(b));
            }
            case Expresion::Clase::OperacionDinero: {
                Vector a = Fila(e.hijos[0], inicio, fin);
                Vector b = Fila(e.hijos[1], inicio, fin);
                if (a.escalar && b.escalar) {
                    r.valor = OperarDinero(e.op, a.valor, b.valor);
                    return r;
                }
                return OperarVectoresDinero(e.op, a, b);
            }
            default:
                throw SinRespuesta{};
        }
    }

    // Money's * and / row by row, each exact in whole ten-thousandths.
    static Vector OperarVectoresDinero(char op, const Vector& a, const Vector& b) {
        const std::size_t n = a.escalar ? b.v.size() : a.v.size();
        Vector r;
        r.escalar = false;
        r.v.resize(n);
        const bool nuloA = a.escalar && a.valor.tipo == Valor::Nulo;
        const bool nuloB = b.escalar && b.valor.tipo == Valor::Nulo;
        if (nuloA || nuloB || !a.nulo.empty() || !b.nulo.empty()) r.nulo.assign(n, 0);
        const std::int64_t ea = a.escalar && !nuloA ? DiezmilesimasDeOperando(a.valor) : 0;
        const std::int64_t eb = b.escalar && !nuloB ? DiezmilesimasDeOperando(b.valor) : 0;
        for (std::size_t i = 0; i < n; ++i) {
            const bool nulo = nuloA || nuloB || (!a.escalar && !a.nulo.empty() && a.nulo[i]) ||
                              (!b.escalar && !b.nulo.empty() && b.nulo[i]);
            if (nulo) {
                r.nulo[i] = 1;
                continue;
            }
            const std::int64_t x = a.escalar ? ea : DiezmilesimasDeOperando(a.v[i]);
            const std::int64_t y = b.escalar ? eb : DiezmilesimasDeOperando(b.v[i]);
            r.v[i] = OperarDinero(op, x, y);
        }
        return r;
    }

    // A row expression that reads a column is a number or NULL on each row.
    Vector OperarVectores(char op, Vector a, Vector b) {
        const std::size_t n = a.escalar ? b.v.size() : a.v.size();
        auto lado = [&](const Vector& x, std::size_t i, bool& nulo) -> double {
            if (x.escalar) {
                if (x.valor.tipo == Valor::Nulo) nulo = true;
                return x.valor.Numero();
            }
            if (!x.nulo.empty() && x.nulo[i]) nulo = true;
            return x.v[i];
        };
        Vector r;
        r.escalar = false;
        r.v.resize(n);
        const bool conNulos = !a.nulo.empty() || !b.nulo.empty() ||
                              (a.escalar && a.valor.tipo == Valor::Nulo) ||
                              (b.escalar && b.valor.tipo == Valor::Nulo);
        if (!conNulos) {
            if (op == '/') {
                for (std::size_t i = 0; i < n; ++i)
                    if ((b.escalar ? b.valor.Numero() : b.v[i]) == 0.0) throw SinRespuesta{};
            }
            const auto aplicar = [&](auto x, auto y) {
                switch (op) {
                    case '+':
                        for (std::size_t i = 0; i < n; ++i) r.v[i] = x(i) + y(i);
                        break;
                    case '-':
                        for (std::size_t i = 0; i < n; ++i) r.v[i] = x(i) - y(i);
                        break;
                    case '*':
                        for (std::size_t i = 0; i < n; ++i) r.v[i] = x(i) * y(i);
                        break;
                    default:
                        for (std::size_t i = 0; i < n; ++i) r.v[i] = x(i) / y(i);
                }
            };
            const double* va = a.v.data();
            const double* vb = b.v.data();
            const double ea = a.escalar ? a.valor.Numero() : 0.0;
            const double eb = b.escalar ? b.valor.Numero() : 0.0;
            if (a.escalar)
                aplicar([ea](std::size_t) { return ea; }, [vb](std::size_t i) { return vb[i]; });
            else if (b.escalar)
                aplicar([va](std::size_t i) { return va[i]; }, [eb](std::size_t) { return eb; });
            else
                aplicar([va](std::size_t i) { return va[i]; }, [vb](std::size_t i) { return vb[i]; });
            return r;
        }
        r.nulo.assign(n, 0);
        for (std::size_t i = 0; i < n; ++i) {
            bool nulo = false;
            const double x = lado(a, i, nulo);
            const double y = lado(b, i, nulo);
            if (nulo) {
                r.nulo[i] = 1;
                continue;
            }
            switch (op) {
                case '+':
                    r.v[i] = x + y;
                    break;
                case '-':
                    r.v[i] = x - y;
                    break;
                case '*':
                    r.v[i] = x * y;
                    break;
                default:
                    if (y == 0.0) throw SinRespuesta{};
                    r.v[i] = x / y;
            }
        }
        return r;
    }

    void Sumar(const Expresion& s) {
        if (s.clase == Expresion::Clase::SumaDinero) return SumarDinero(s);
        const Expresion& fila = s.hijos[0];
        const std::size_t grupos = claves_.size();
        std::vector<Valor> resultado(grupos);
        if (Constante(fila)) {
            const Vector v = Fila(fila, 0, 0);
            // SUM of a constant: an integer one counts exactly; a NULL one is
            // NULL. A floating one would depend on the order of additions.
            if (v.valor.tipo == Valor::Real) throw SinRespuesta{};
            if (v.valor.tipo == Valor::Entero) {
                const std::vector<std::int64_t> filas = FilasPorGrupo();
                for (std::size_t g = 0; g < grupos; ++g) {
                    std::int64_t x = 0;
                    if (__builtin_mul_overflow(filas[g], v.valor.i, &x)) throw SinRespuesta{};
                    resultado[g].tipo = Valor::Entero;
                    resultado[g].i = x;
                }
            }
        } else {
            std::vector<long double> suma(grupos, 0.0L);
            std::vector<std::uint8_t> alguno(grupos, 0);
            PorBloques(fila, [&](const Vector& v, const std::int32_t* grupo) {
                for (std::size_t i = 0; i < v.v.size(); ++i) {
                    if (!v.nulo.empty() && v.nulo[i]) continue;
                    const auto g = std::size_t(grupo[i]);
                    suma[g] += v.v[i];
                    alguno[g] = 1;
                }
            });
            for (std::size_t g = 0; g < grupos; ++g) {
                if (!alguno[g]) continue;
                resultado[g].tipo = Valor::Real;
                resultado[g].d = double(suma[g]);
            }
        }
        valoresSuma_.push_back(std::move(resultado));
    }

    // The row expression block by block, with the group of each of its rows.
    template <typename F>
    void PorBloques(const Expresion& fila, F&& usar) {
        constexpr std::size_t kBloque = 1024;
        for (std::size_t inicio = 0; inicio < seleccion_.size(); inicio += kBloque) {
            const std::size_t fin = std::min(seleccion_.size(), inicio + kBloque);
            usar(Fila(fila, inicio, fin), grupoDeFila_.data() + inicio);
        }
    }

    std::vector<std::int64_t> FilasPorGrupo() const {
        std::vector<std::int64_t> filas(claves_.size(), 0);
        for (std::int32_t g : grupoDeFila_) ++filas[std::size_t(g)];
        return filas;
    }

    // kv_suma_dinero: whole ten-thousandths added exactly; the result is the
    // double nearest to the exact decimal.
    static std::int64_t Diezmilesimas(double x) {
        if (!(std::fabs(x) < 9.2e14)) throw SinRespuesta{};
        return DiezmilesimasDe(x);
    }

    // --- money sums over exact columns ---------------------------------------------

    struct Termino {
        int numero;  // number column
        int signo;
    };

    static bool EsMenosUno(const Expresion& e) {
        if (e.clase == Expresion::Clase::Numero) return e.numero == -1.0;
        return e.clase == Expresion::Clase::Negacion && e.hijos[0].clase == Expresion::Clase::Numero &&
               e.hijos[0].numero == 1.0;
    }

    // A money row expression as a signed column, or the sum or difference of
    // two, when its columns hold only exact ten-thousandths below 1e9 and no
    // NULL. On such values kv_resultado(x, 'money'), round(x, 4) and kv_numero
    // give x back, x * -1 is exactly -x, and a sum or difference of two is
    // within far less than half a ten-thousandth of the exact one, so adding
    // the rows' ten-thousandths gives what adding the expression row by row
    // gives. `suma` allows one sum or difference at this level.
    bool Reducir(const Expresion& e, int signo, bool suma, std::vector<Termino>& t) const {
        switch (e.clase) {
            case Expresion::Clase::Columna: {
                const int k = e.columna - kColumnasTexto;
                if (k < 0 || !t_.exactas[k] || !t_.nulos[k].empty()) return false;
                t.push_back({k, signo});
                return true;
            }
            case Expresion::Clase::Negacion:
                return Reducir(e.hijos[0], -signo, suma, t);
            case Expresion::Clase::Flotante:
                return Reducir(e.hijos[0], signo, suma, t);
            case Expresion::Clase::Redondeo:
                return Reducir(e.hijos[0], signo, false, t);
            case Expresion::Clase::Resultado:
                return e.tipo == QLatin1String("money") && Reducir(e.hijos[0], signo, suma, t);
            case Expresion::Clase::OperacionDinero:
                // An amount times -1 is exactly its opposite.
                if (e.op != '*') return false;
                if (EsMenosUno(e.hijos[1])) return Reducir(e.hijos[0], -signo, suma, t);
                if (EsMenosUno(e.hijos[0])) return Reducir(e.hijos[1], -signo, suma, t);
                return false;
            case Expresion::Clase::Operacion:
                if (e.op == '*') {
                    if (EsMenosUno(e.hijos[1])) return Reducir(e.hijos[0], -signo, suma, t);
                    if (EsMenosUno(e.hijos[0])) return Reducir(e.hijos[1], -signo, suma, t);
                    return false;
                }
                if ((e.op == '+' || e.op == '-') && suma) {
                    std::vector<Termino> a, b;
                    if (!Reducir(e.hijos[0], signo, false, a) ||
                        !Reducir(e.hijos[1], e.op == '-' ? -signo : signo, false, b) || a.size() != 1 ||
                        b.size() != 1)
                        return false;
                    t.push_back(a[0]);
                    t.push_back(b[0]);
                    return true;
                }
                return false;
            default:
                return false;
        }
    }

    // A number column's whole ten-thousandths added up per group, once per statement.
    const std::vector<__int128>& SumaColumna(int k) {
        std::vector<__int128>& s = sumaColumna_[k];
        if (s.empty()) {
            const std::size_t n = seleccion_.size();
            s.assign(claves_.size(), 0);
            const double* x = t_.numeros[k].data();
            // Whole numbers, so adding the halves' totals is exact in any order.
            std::vector<__int128> primera;
            EnDosMitades(n, kMinimoFilas, [&](std::size_t inicio, std::size_t fin, int parte) {
                std::vector<__int128>* destino = &s;
                if (fin - inicio < n && parte == 0) {
                    primera.assign(claves_.size(), 0);
                    destino = &primera;
                }
                __int128* d = destino->data();
                for (std::size_t i = inicio; i < fin; ++i)
                    d[std::size_t(grupoDeFila_[i])] += DiezmilesimasDe(x[seleccion_[i]]);
            });
            for (std::size_t g = 0; g < primera.size(); ++g) s[g] += primera[g];
        }
        return s;
    }

    void SumarDinero(const Expresion& s) {
        const Expresion& fila = s.hijos[0];
        const std::size_t grupos = claves_.size();
        std::vector<__int128> total(grupos, 0);
        std::vector<std::uint8_t> alguno(grupos, 0);
        std::vector<Termino> terminos;
        if (Reducir(fila, 1, true, terminos)) {
            // Every group has a selected row, and none of these rows is NULL.
            alguno.assign(grupos, 1);
            for (const Termino& t : terminos) {
                const std::vector<__int128>& columna = SumaColumna(t.numero);
                for (std::size_t g = 0; g < grupos; ++g) total[g] += t.signo * columna[g];
            }
        } else if (Constante(fila)) {
            const Vector v = Fila(fila, 0, 0);
            if (v.valor.tipo != Valor::Nulo) {
                const __int128 paso = v.valor.tipo == Valor::Entero ? __int128(v.valor.i) * 10000
                                                                    : __int128(Diezmilesimas(v.valor.d));
                const std::vector<std::int64_t> filas = FilasPorGrupo();
                for (std::size_t g = 0; g < grupos; ++g) {
                    total[g] = paso * filas[g];
                    alguno[g] = filas[g] > 0;
                }
            }
        } else {
            PorBloques(fila, [&](const Vector& v, const std::int32_t* grupo) {
                for (std::size_t i = 0; i < v.v.size(); ++i) {
                    if (!v.nulo.empty() && v.nulo[i]) continue;
                    const auto g = std::size_t(grupo[i]);
                    total[g] += Diezmilesimas(v.v[i]);
                    alguno[g] = 1;
                }
            });
        }
        std::vector<Valor> resultado(grupos);
        const __int128 maximo = __int128(std::numeric_limits<std::int64_t>::max());
        for (std::size_t g = 0; g < grupos; ++g) {
            if (!alguno[g]) continue;
            if (total[g] > maximo || total[g] < -maximo - 1) throw SinRespuesta{};
            // Within 2^52 ten-thousandths both are exact, so the division rounds
            // once: to the nearest double. Past it the amount stays exact.
            resultado[g] = DeDiezmilesimas(std::int64_t(total[g]));
        }
        valoresSuma_.push_back(std::move(resultado));
    }

    // --- per group -----------------------------------------------------------------

    // An expression over the groups `g`, one value each: each node is worked
    // out for all of them at once. A CASE works out each branch only for the
    // groups that take it, as row by row evaluation would.
    std::vector<Valor> Evaluar(const Expresion& e, const std::vector<std::uint32_t>& g) {
        std::vector<Valor> r;
        switch (e.clase) {
            case Expresion::Clase::Numero:
                r.assign(g.size(), DeNumero(e));
                return r;
            case Expresion::Clase::Suma:
            case Expresion::Clase::SumaDinero: {
                const std::vector<Valor>& suma = valoresSuma_[IndiceSuma(&e)];
                r.reserve(g.size());
                for (std::uint32_t k : g) r.push_back(suma[k]);
                return r;
            }
            case Expresion::Clase::Columna: {
                std::size_t n = 0;
                while (n < c_.agrupacion.size() && c_.agrupacion[n] != e.columna) ++n;
                if (n == c_.agrupacion.size()) throw SinRespuesta{};
                const std::vector<std::int32_t>& clases = t_.diccionarios[e.columna].clase;
                r.resize(g.size());
                for (std::size_t i = 0; i < g.size(); ++i) {
                    Valor& v = r[i];
                    v.codigo = codigosGrupo_[n][g[i]];
                    if (v.codigo == 0) continue;  // NULL
                    v.columna = e.columna;
                    v.tipo = Valor::Texto;
                    v.clase = clases[std::size_t(v.codigo)];
                }
                return r;
            }
            case Expresion::Clase::Negacion:
                r = Evaluar(e.hijos[0], g);
                for (Valor& v : r) v = Negar(v);
                return r;
            case Expresion::Clase::Redondeo:
            case Expresion::Clase::Flotante: {
                const bool redondear = e.clase == Expresion::Clase::Redondeo;
                r = Evaluar(e.hijos[0], g);
                for (Valor& v : r) v = AReal(v, redondear);
                return r;
            }
            case Expresion::Clase::Resultado:
                r = Evaluar(e.hijos[0], g);
                for (Valor& v : r) v = Ajustar(v, e.tipo);
                return r;
            case Expresion::Clase::Operacion: {
                r = Evaluar(e.hijos[0], g);
                const std::vector<Valor> b = Evaluar(e.hijos[1], g);
                const bool dinero = e.tipo == QLatin1String("money");
                for (std::size_t i = 0; i < r.size(); ++i) r[i] = Operar(e.op, r[i], b[i], dinero);
                return r;
            }
            case Expresion::Clase::OperacionDinero: {
                r = Evaluar(e.hijos[0], g);
                const std::vector<Valor> b = Evaluar(e.hijos[1], g);
                for (std::size_t i = 0; i < r.size(); ++i) r[i] = OperarDinero(e.op, r[i], b[i]);
                return r;
            }
            case Expresion::Clase::ClaveDinero:
                r = Evaluar(e.hijos[0], g);
                for (Valor& v : r) v = ClaveDinero(v);
                return r;
            case Expresion::Clase::Caso: {
                const std::vector<Valor> a = Evaluar(e.hijos[0], g);
                const std::vector<Valor> b = Evaluar(e.hijos[1], g);
                std::vector<std::uint32_t> si, no;
                std::vector<std::uint8_t> cierto(g.size());
                for (std::size_t i = 0; i < g.size(); ++i) {
                    cierto[i] = a[i].tipo != Valor::Nulo && b[i].tipo != Valor::Nulo &&
                                CompararNumeros(a[i], b[i]) == 0;
                    (cierto[i] ? si : no).push_back(g[i]);
                }
                const std::vector<Valor> vSi = Evaluar(e.hijos[2], si);
                const std::vector<Valor> vNo = Evaluar(e.hijos[3], no);
                r.resize(g.size());
                std::size_t iSi = 0, iNo = 0;
                for (std::size_t i = 0; i < g.size(); ++i) r[i] = cierto[i] ? vSi[iSi++] : vNo[iNo++];
                return r;
            }
        }
        throw SinRespuesta{};
    }

    // The text of a value, made once per half of the result: each half's
    // rows share their own copies, so that the two threads building them
    // never count references on the same text.
    const QString& Texto(const Valor& v, int parte) {
        auto& cache = textos_[parte][v.columna];
        const auto& d = t_.diccionarios[v.columna];
        if (cache.empty()) cache.resize(d.textos.size());
        QString& s = cache[std::size_t(v.codigo)];
        if (s.isNull()) {
            const std::string& b = d.textos[std::size_t(v.codigo)];
            s = QString::fromUtf8(b.data(), qsizetype(b.size()));
        }
        return s;
    }

    QVariant AVariante(const Valor& v, int parte) {
        switch (v.tipo) {
            case Valor::Nulo:
                return QVariant();
            case Valor::Entero:
                if (v.i >= std::numeric_limits<int>::min() && v.i <= std::numeric_limits<int>::max())
                    return QVariant(int(v.i));
                return QVariant(qlonglong(v.i));
            case Valor::Real:
                return QVariant(v.d);
            case Valor::Texto:
                return QVariant(Texto(v, parte));
            case Valor::Dinero:
                return dinero::Valor(v.i);
        }
        return QVariant();
    }

    // When ORDER BY names only grouped columns, each group's terms packed in
    // one number: their collation classes (NULL is class 0, first), turned
    // round for a descending term.
    std::optional<std::vector<std::uint64_t>> OrdenPorClases() const {
        std::vector<std::pair<std::size_t, bool>> niveles;  // level, descending
        std::uint64_t producto = 1;
        for (const TerminoOrden& t : c_.orden) {
            if (t.expresion.clase != Expresion::Clase::Columna) return std::nullopt;
            std::size_t n = 0;
            while (n < c_.agrupacion.size() && c_.agrupacion[n] != t.expresion.columna) ++n;
            if (n == c_.agrupacion.size()) return std::nullopt;
            const auto clases = std::uint64_t(t_.diccionarios[t.expresion.columna].Clases());
            if (producto > (std::uint64_t(1) << 62) / clases) return std::nullopt;
            producto *= clases;
            niveles.emplace_back(n, t.descendente);
        }
        std::vector<std::uint64_t> k(claves_.size(), 0);
        for (const auto& [n, descendente] : niveles) {
            const Diccionario& d = t_.diccionarios[c_.agrupacion[n]];
            const auto clases = std::uint64_t(d.Clases());
            for (std::size_t g = 0; g < k.size(); ++g) {
                const auto c = std::uint64_t(d.clase[std::size_t(codigosGrupo_[n][g])]);
                k[g] = k[g] * clases + (descendente ? clases - 1 - c : c);
            }
        }
        return k;
    }

    // The groups in the order of the result: each group's sort key beside its
    // number, sorted as one array (the halves on both cores, then merged).
    // Every comparison ends on the group keys, which differ between any two
    // groups, so the order is total and the same however it is sorted.
    template <typename T, typename Menor>
    static std::vector<std::uint32_t> Ordenados(std::vector<T>& v, Menor menor) {
        EnDosMitades(v.size(), kMinimoGrupos, [&](std::size_t inicio, std::size_t fin, int) {
            std::sort(v.begin() + std::ptrdiff_t(inicio), v.begin() + std::ptrdiff_t(fin), menor);
        });
        if (v.size() >= kMinimoGrupos && DosHilos()) {
            std::vector<T> juntos(v.size());
            const auto mitad = v.begin() + std::ptrdiff_t(v.size() / 2);
            std::merge(v.begin(), mitad, mitad, v.end(), juntos.begin(), menor);
            v.swap(juntos);
        }
        std::vector<std::uint32_t> indices(v.size());
        for (std::size_t i = 0; i < v.size(); ++i) indices[i] = v[i].grupo;
        return indices;
    }

    // The ORDER BY terms that the group keys do not already decide: trailing
    // terms naming the grouped columns in their GROUP BY order, ascending,
    // sort the groups as their keys do, which end every comparison anyway.
    std::size_t TerminosPropios() const {
        const std::size_t terminos = c_.orden.size();
        for (std::size_t m = std::min(terminos, c_.agrupacion.size()); m > 0; --m) {
            bool iguales = true;
            for (std::size_t k = 0; k < m && iguales; ++k) {
                const TerminoOrden& t = c_.orden[terminos - m + k];
                iguales = !t.descendente && t.expresion.clase == Expresion::Clase::Columna &&
                          t.expresion.columna == c_.agrupacion[k];
            }
            if (iguales) return terminos - m;
        }
        return terminos;
    }

    std::vector<std::uint32_t> Orden() {
        const std::size_t grupos = claves_.size();
        const std::size_t terminos = c_.orden.size();
        // The ORDER BY terms, then the group keys under the collation: the
        // packed class numbers of the groups already sort that way.
        if (const std::optional<std::vector<std::uint64_t>> clases = OrdenPorClases()) {
            struct Clave {
                std::uint64_t k, clave;
                std::uint32_t grupo;
            };
            std::vector<Clave> v(grupos);
            for (std::size_t g = 0; g < grupos; ++g) v[g] = {(*clases)[g], claves_[g], std::uint32_t(g)};
            return Ordenados(
                v, [](const Clave& a, const Clave& b) { return a.k != b.k ? a.k < b.k : a.clave < b.clave; });
        }
        std::vector<std::uint32_t> todos(grupos);
        std::iota(todos.begin(), todos.end(), 0u);
        std::vector<std::vector<Valor>> orden;
        orden.reserve(terminos);
        for (const TerminoOrden& t : c_.orden) orden.push_back(EvaluarEnDos(t.expresion, todos));
        // One term whose values are all doubles or all exact amounts, or NULL
        // (a sum, its key as an amount): compared as the engine compares them,
        // NULL first, then by value.
        if (TerminosPropios() == 1) {
            bool reales = true, importes = true;
            for (std::size_t g = 0; g < grupos && (reales || importes); ++g) {
                const Valor& x = orden[0][g];
                reales = reales && (x.tipo == Valor::Nulo || (x.tipo == Valor::Real && !std::isnan(x.d)));
                importes = importes && (x.tipo == Valor::Nulo || x.tipo == Valor::Dinero);
            }
            const bool descendente = c_.orden[0].descendente;
            const auto porValor = [&](auto cero, auto valor) {
                using T = decltype(cero);
                struct Clave {
                    T v;
                    std::uint64_t clave;
                    std::uint32_t grupo;
                    bool nulo;
                };
                std::vector<Clave> v(grupos);
                for (std::size_t g = 0; g < grupos; ++g) {
                    const Valor& x = orden[0][g];
                    const bool nulo = x.tipo == Valor::Nulo;
                    v[g] = {nulo ? cero : valor(x), claves_[g], std::uint32_t(g), nulo};
                }
                return Ordenados(v, [descendente](const Clave& a, const Clave& b) {
                    const int c = a.nulo != b.nulo ? (a.nulo ? -1 : 1)
                                  : a.nulo         ? 0
                                                   : (a.v < b.v ? -1 : (a.v > b.v ? 1 : 0));
                    if (c != 0) return descendente ? c > 0 : c < 0;
                    return a.clave < b.clave;
                });
            };
            if (reales) return porValor(0.0, [](const Valor& x) { return x.d; });
            if (importes) return porValor(std::int64_t(0), [](const Valor& x) { return x.i; });
        }
        struct Clave {
            std::uint32_t grupo;
        };
        std::vector<Clave> v(grupos);
        for (std::size_t g = 0; g < grupos; ++g) v[g].grupo = std::uint32_t(g);
        return Ordenados(v, [&](const Clave& x, const Clave& y) {
            const std::uint32_t a = x.grupo, b = y.grupo;
            for (std::size_t k = 0; k < terminos; ++k) {
                int c = Comparar(orden[k][a], orden[k][b]);
                if (c != 0) return c_.orden[k].descendente ? c > 0 : c < 0;
            }
            return claves_[a] < claves_[b];
        });
    }

    // An expression over the groups `g`, each half on its own core when they are many.
    std::vector<Valor> EvaluarEnDos(const Expresion& e, const std::vector<std::uint32_t>& g) {
        if (g.size() < kMinimoGrupos || !DosHilos()) return Evaluar(e, g);
        std::vector<Valor> partes[2];
        EnDosMitades(g.size(), kMinimoGrupos, [&](std::size_t inicio, std::size_t fin, int parte) {
            const std::vector<std::uint32_t> mitad(g.begin() + std::ptrdiff_t(inicio),
                                                   g.begin() + std::ptrdiff_t(fin));
            partes[parte] = Evaluar(e, mitad);
        });
        partes[0].insert(partes[0].end(), partes[1].begin(), partes[1].end());
        return std::move(partes[0]);
    }

    FilasResultado Resultado() {
        const std::size_t grupos = claves_.size();
        const std::vector<std::uint32_t> indices = Orden();
        // Each half of the rows on its own core, a block of rows at a time (so
        // that the values of each step stay small and in the cache): the select
        // list evaluated over the block's groups in the order of the rows, then
        // its rows built reading each column straight through.
        constexpr std::size_t kBloque = 2048;
        FilasResultado filas(grupos);
        EnDosMitades(grupos, kMinimoGrupos, [&](std::size_t inicio, std::size_t fin, int mitad) {
            std::vector<std::uint32_t> bloque;
            std::vector<std::vector<Valor>> columnas(c_.columnas.size());
            for (std::size_t desde = inicio; desde < fin; desde += kBloque) {
                const std::size_t hasta = std::min(fin, desde + kBloque);
                bloque.assign(indices.begin() + std::ptrdiff_t(desde),
                              indices.begin() + std::ptrdiff_t(hasta));
                for (std::size_t c = 0; c < columnas.size(); ++c)
                    columnas[c] = Evaluar(c_.columnas[c], bloque);
                for (std::size_t k = 0; k < bloque.size(); ++k) {
                    std::vector<QVariant>& fila = filas[desde + k];
                    fila.reserve(columnas.size());
                    for (std::size_t c = 0; c < columnas.size(); ++c) {
                        fila.push_back(AVariante(columnas[c][k], mitad));
                        if (ajustar_) ajustar_(int(c), fila.back());
                    }
                }
            }
        });
        return filas;
    }

    const ConsultaAgregada& c_;
    const TablaColumnar& t_;
    const AjusteValor& ajustar_;
    std::vector<std::uint32_t> seleccion_;
    std::vector<std::int32_t> grupoDeFila_;
    std::vector<std::uint64_t> claves_;                    // by group: packed class numbers
    std::vector<std::vector<std::int32_t>> codigosGrupo_;  // by level, by group: the stored text
    std::vector<const Expresion*> sumas_;  // one per distinct SUM, in the order of valoresSuma_
    std::vector<std::string> claveSuma_;
    std::vector<std::pair<const Expresion*, std::size_t>> indiceSuma_;  // every SUM node -> its sum
    std::vector<std::vector<Valor>> valoresSuma_;
    std::vector<QString> textos_[2][kColumnasTexto];  // by half of the result
    std::vector<__int128> sumaColumna_[kColumnasTabla - kColumnasTexto];
};

}  // namespace

std::optional<FilasResultado> Agregar(const ConsultaAgregada& consulta, const TablaColumnar& tabla,
                                      const AjusteValor& ajustar) {
    try {
        Motor motor(consulta, tabla, ajustar);
        return motor.Ejecutar();
    } catch (const SinRespuesta&) {
        return std::nullopt;
    }
}

}  // namespace kv::local::rapida
