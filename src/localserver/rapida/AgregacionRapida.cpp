#include "localserver/rapida/AgregacionRapida.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <unordered_map>

#include "localserver/tsql/Funciones.h"

namespace kv::local::rapida {

namespace {

// Thrown when the answer would differ from the general path's (or the
// general path would fail): the caller then runs the general path.
struct SinRespuesta {};

// A value as the engine underneath has it.
struct Valor {
    enum Tipo { Nulo, Entero, Real, Texto } tipo = Nulo;
    std::int64_t i = 0;
    double d = 0;
    std::int32_t clase = 0;   // Texto: collation class (its order)
    std::int32_t codigo = 0;  // Texto: the stored text
    int columna = -1;         // Texto: the column it comes from
    double Numero() const { return tipo == Entero ? double(i) : d; }
};

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
Valor Operar(char op, const Valor& a, const Valor& b) {
    Valor r;
    if (a.tipo == Valor::Nulo || b.tipo == Valor::Nulo) return r;
    if (a.tipo == Valor::Texto || b.tipo == Valor::Texto) throw SinRespuesta{};
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
    if (a.tipo == Valor::Entero) {
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
    if (a.tipo == Valor::Texto) throw SinRespuesta{};
    Valor r;
    r.tipo = Valor::Real;
    r.d = a.Numero();
    if (dinero) r.d = RedondearCuatro(r.d);
    return r;
}

constexpr double kDineroMaximo = 922337203685477.5807;

// kv_resultado: money rounded to four decimals; int and bigint whole and in range.
Valor Ajustar(const Valor& a, const QString& tipo) {
    if (a.tipo == Valor::Nulo) return a;
    if (a.tipo == Valor::Texto) throw SinRespuesta{};
    Valor r;
    if (tipo == QLatin1String("money")) {
        const double d = a.Numero();
        if (!(std::fabs(d) <= kDineroMaximo)) throw SinRespuesta{};
        r.tipo = Valor::Real;
        r.d = std::round(d * 10000.0) / 10000.0;
        return r;
    }
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
    if (a.tipo == Valor::Entero && b.tipo == Valor::Entero) return a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
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
    Motor(const ConsultaAgregada& c, const TablaColumnar& t) : c_(c), t_(t) {}

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
        seleccion_.reserve(t_.filas);
        for (std::size_t r = 0; r < t_.filas; ++r) {
            bool pasa = true;
            for (int c : filtradas) {
                if (!mascaras[c][std::size_t(t_.codigos[c][r])]) {
                    pasa = false;
                    break;
                }
            }
            if (pasa) seleccion_.push_back(std::uint32_t(r));
        }
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
        constexpr std::uint64_t kDirecto = std::uint64_t(1) << 23;
        if (producto <= kDirecto) {
            std::vector<std::int32_t> tabla(producto, -1);
            for (std::size_t i = 0; i < seleccion_.size(); ++i) {
                const std::uint32_t fila = seleccion_[i];
                std::int32_t& g = tabla[clave(fila)];
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
                auto [it, nuevoGrupo] = tabla.try_emplace(clave(fila), 0);
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

    Vector Fila(const Expresion& e) {
        Vector r;
        switch (e.clase) {
            case Expresion::Clase::Numero:
                r.valor = DeNumero(e);
                return r;
            case Expresion::Clase::Columna: {
                const int k = e.columna - kColumnasTexto;
                r.escalar = false;
                r.v.resize(seleccion_.size());
                const double* fuente = t_.numeros[k].data();
                for (std::size_t i = 0; i < seleccion_.size(); ++i) r.v[i] = fuente[seleccion_[i]];
                if (!t_.nulos[k].empty()) {
                    r.nulo.resize(seleccion_.size());
                    for (std::size_t i = 0; i < seleccion_.size(); ++i)
                        r.nulo[i] = t_.nulos[k][seleccion_[i]];
                }
                return r;
            }
            case Expresion::Clase::Negacion: {
                r = Fila(e.hijos[0]);
                if (r.escalar)
                    r.valor = Negar(r.valor);
                else
                    for (double& x : r.v) x = -x;
                return r;
            }
            case Expresion::Clase::Redondeo:
            case Expresion::Clase::Flotante: {
                const bool redondear = e.clase == Expresion::Clase::Redondeo;
                r = Fila(e.hijos[0]);
                if (r.escalar)
                    r.valor = AReal(r.valor, redondear);
                else if (redondear)
                    for (double& x : r.v) x = RedondearCuatro(x);
                return r;
            }
            case Expresion::Clase::Resultado: {
                r = Fila(e.hijos[0]);
                if (r.escalar) {
                    r.valor = Ajustar(r.valor, e.tipo);
                    return r;
                }
                // A column's numbers made whole would change kind row by row.
                if (e.tipo != QLatin1String("money")) throw SinRespuesta{};
                for (std::size_t i = 0; i < r.v.size(); ++i) {
                    if (!r.nulo.empty() && r.nulo[i]) continue;
                    if (!(std::fabs(r.v[i]) <= kDineroMaximo)) throw SinRespuesta{};
                    r.v[i] = std::round(r.v[i] * 10000.0) / 10000.0;
                }
                return r;
            }
            case Expresion::Clase::Operacion: {
                Vector a = Fila(e.hijos[0]);
                Vector b = Fila(e.hijos[1]);
                if (a.escalar && b.escalar) {
                    r.valor = Operar(e.op, a.valor, b.valor);
                    return r;
                }
                return OperarVectores(e.op, std::move(a), std::move(b));
            }
            default:
                throw SinRespuesta{};
        }
    }

    // A row expression that reads a column is a number or NULL on each row.
    Vector OperarVectores(char op, Vector a, Vector b) {
        const std::size_t n = seleccion_.size();
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
        if (conNulos) r.nulo.assign(n, 0);
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
        const Vector v = Fila(s.hijos[0]);
        const std::size_t grupos = claves_.size();
        std::vector<Valor> resultado(grupos);
        if (v.escalar) {
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
            for (std::size_t i = 0; i < grupoDeFila_.size(); ++i) {
                if (!v.nulo.empty() && v.nulo[i]) continue;
                const auto g = std::size_t(grupoDeFila_[i]);
                suma[g] += v.v[i];
                alguno[g] = 1;
            }
            for (std::size_t g = 0; g < grupos; ++g) {
                if (!alguno[g]) continue;
                resultado[g].tipo = Valor::Real;
                resultado[g].d = double(suma[g]);
            }
        }
        valoresSuma_.push_back(std::move(resultado));
    }

    std::vector<std::int64_t> FilasPorGrupo() const {
        std::vector<std::int64_t> filas(claves_.size(), 0);
        for (std::int32_t g : grupoDeFila_) ++filas[std::size_t(g)];
        return filas;
    }

    // kv_suma_dinero: whole ten-thousandths added exactly; the result is the
    // double nearest to the exact decimal.
    static std::int64_t Diezmilesimas(double x) {
        const long double d = (long double)x * 10000.0L;
        if (!(std::fabs(d) < 9.2e18L)) throw SinRespuesta{};
        return std::llroundl(d);
    }

    void SumarDinero(const Expresion& s) {
        const Vector v = Fila(s.hijos[0]);
        const std::size_t grupos = claves_.size();
        std::vector<__int128> total(grupos, 0);
        std::vector<std::uint8_t> alguno(grupos, 0);
        if (v.escalar) {
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
            for (std::size_t i = 0; i < grupoDeFila_.size(); ++i) {
                if (!v.nulo.empty() && v.nulo[i]) continue;
                const auto g = std::size_t(grupoDeFila_[i]);
                total[g] += Diezmilesimas(v.v[i]);
                alguno[g] = 1;
            }
        }
        std::vector<Valor> resultado(grupos);
        const __int128 maximo = __int128(std::numeric_limits<std::int64_t>::max());
        for (std::size_t g = 0; g < grupos; ++g) {
            if (!alguno[g]) continue;
            if (total[g] > maximo || total[g] < -maximo - 1) throw SinRespuesta{};
            const auto n = std::int64_t(total[g]);
            resultado[g].tipo = Valor::Real;
            if (n > -(std::int64_t(1) << 53) && n < (std::int64_t(1) << 53)) {
                // Both exact, so the division rounds once: to the nearest double.
                resultado[g].d = double(n) / 10000.0;
            } else {
                const std::int64_t entero = n / 10000, fraccion = n % 10000;
                const QByteArray texto = QByteArray(n < 0 ? "-" : "") +
                                         QByteArray::number(std::llabs(entero)) + '.' +
                                         QByteArray::number(std::llabs(fraccion)).rightJustified(4, '0');
                resultado[g].d = std::strtod(texto.constData(), nullptr);
            }
        }
        valoresSuma_.push_back(std::move(resultado));
    }

    // --- per group -----------------------------------------------------------------

    Valor Evaluar(const Expresion& e, std::size_t g) {
        switch (e.clase) {
            case Expresion::Clase::Numero:
                return DeNumero(e);
            case Expresion::Clase::Suma:
            case Expresion::Clase::SumaDinero:
                return valoresSuma_[IndiceSuma(&e)][g];
            case Expresion::Clase::Columna: {
                Valor v;
                for (std::size_t n = 0; n < c_.agrupacion.size(); ++n) {
                    if (c_.agrupacion[n] != e.columna) continue;
                    v.codigo = codigosGrupo_[n][g];
                    v.columna = e.columna;
                    if (v.codigo == 0) return Valor{};
                    v.tipo = Valor::Texto;
                    v.clase = t_.diccionarios[e.columna].clase[std::size_t(v.codigo)];
                    return v;
                }
                throw SinRespuesta{};
            }
            case Expresion::Clase::Negacion:
                return Negar(Evaluar(e.hijos[0], g));
            case Expresion::Clase::Redondeo:
            case Expresion::Clase::Flotante:
                return AReal(Evaluar(e.hijos[0], g), e.clase == Expresion::Clase::Redondeo);
            case Expresion::Clase::Resultado:
                return Ajustar(Evaluar(e.hijos[0], g), e.tipo);
            case Expresion::Clase::Operacion:
                return Operar(e.op, Evaluar(e.hijos[0], g), Evaluar(e.hijos[1], g));
            case Expresion::Clase::Caso: {
                const Valor a = Evaluar(e.hijos[0], g);
                const Valor b = Evaluar(e.hijos[1], g);
                const bool cierto =
                    a.tipo != Valor::Nulo && b.tipo != Valor::Nulo && CompararNumeros(a, b) == 0;
                return Evaluar(e.hijos[cierto ? 2 : 3], g);
            }
        }
        throw SinRespuesta{};
    }

    QVariant AVariante(const Valor& v) {
        switch (v.tipo) {
            case Valor::Nulo:
                return QVariant();
            case Valor::Entero:
                if (v.i >= std::numeric_limits<int>::min() && v.i <= std::numeric_limits<int>::max())
                    return QVariant(int(v.i));
                return QVariant(qlonglong(v.i));
            case Valor::Real:
                return QVariant(v.d);
            case Valor::Texto: {
                auto& cache = textos_[v.columna];
                const auto& d = t_.diccionarios[v.columna];
                if (cache.empty()) cache.resize(d.textos.size());
                QString& s = cache[std::size_t(v.codigo)];
                if (s.isNull()) {
                    const std::string& b = d.textos[std::size_t(v.codigo)];
                    s = QString::fromUtf8(b.data(), qsizetype(b.size()));
                }
                return QVariant(s);
            }
        }
        return QVariant();
    }

    FilasResultado Resultado() {
        const std::size_t grupos = claves_.size();
        const std::size_t terminos = c_.orden.size();
        std::vector<Valor> orden(grupos * terminos);
        for (std::size_t g = 0; g < grupos; ++g)
            for (std::size_t k = 0; k < terminos; ++k)
                orden[g * terminos + k] = Evaluar(c_.orden[k].expresion, g);
        std::vector<std::uint32_t> indices(grupos);
        std::iota(indices.begin(), indices.end(), 0u);
        // The ORDER BY terms, then the group keys under the collation: the
        // packed class numbers of the groups already sort that way.
        std::sort(indices.begin(), indices.end(), [&](std::uint32_t a, std::uint32_t b) {
            for (std::size_t k = 0; k < terminos; ++k) {
                int c = Comparar(orden[a * terminos + k], orden[b * terminos + k]);
                if (c != 0) return c_.orden[k].descendente ? c > 0 : c < 0;
            }
            return claves_[a] < claves_[b];
        });
        FilasResultado filas;
        filas.reserve(grupos);
        for (std::uint32_t g : indices) {
            std::vector<QVariant> fila;
            fila.reserve(c_.columnas.size());
            for (const Expresion& e : c_.columnas) fila.push_back(AVariante(Evaluar(e, g)));
            filas.push_back(std::move(fila));
        }
        return filas;
    }

    const ConsultaAgregada& c_;
    const TablaColumnar& t_;
    std::vector<std::uint32_t> seleccion_;
    std::vector<std::int32_t> grupoDeFila_;
    std::vector<std::uint64_t> claves_;                    // by group: packed class numbers
    std::vector<std::vector<std::int32_t>> codigosGrupo_;  // by level, by group: the stored text
    std::vector<const Expresion*> sumas_;  // one per distinct SUM, in the order of valoresSuma_
    std::vector<std::string> claveSuma_;
    std::vector<std::pair<const Expresion*, std::size_t>> indiceSuma_;  // every SUM node -> its sum
    std::vector<std::vector<Valor>> valoresSuma_;
    std::vector<QString> textos_[kColumnasTexto];
};

}  // namespace

std::optional<FilasResultado> Agregar(const ConsultaAgregada& consulta, const TablaColumnar& tabla) {
    try {
        Motor motor(consulta, tabla);
        return motor.Ejecutar();
    } catch (const SinRespuesta&) {
        return std::nullopt;
    }
}

}  // namespace kv::local::rapida
