#pragma once
// The collation and the scalar functions that translated T-SQL needs on every
// SQLite handle of the embedded server.
//
// Collation "KV": the server's one text comparison. Letter case and trailing
// blanks are ignored, accents are not; "ñ" sorts after "n".
//
// Functions (all NULL in, NULL out unless said otherwise):
//   kv_div(a, b), kv_mod(a, b)   division and remainder; a zero divisor fails (8134);
//                                two integers give integer division, as SQL Server does
//   kv_suma(a, b)                "+" of operands of unknown type: two texts join, else numbers add
//   kv_len(x)                    characters without the trailing blanks
//   kv_charindex(buscado, texto [, inicio])   1-based position ignoring case, 0 when absent
//   kv_subcadena(x, inicio, largo), kv_derecha(x, n)   SUBSTRING and RIGHT
//   kv_fecha(x [, estilo])       text read as a date (day first, or ISO) -> "YYYY-MM-DD HH:MM:SS" (241)
//   kv_texto(x, largo [, estilo])  CONVERT to a character type: cut to `largo` (-1: no limit);
//                                dates formatted by the style (103, 101, 112, 120, 108...)
//   kv_entero(x), kv_numero(x)   CONVERT to int (245) and to float/money (8114)
//   kv_a_numero(x, tipo, desde)  a text operand of arithmetic (of type `desde`) read as `tipo`
//                                (245 for integers, 8114 otherwise)
//   kv_resultado(x, tipo)        an arithmetic result as int, bigint (8115 beyond their range) or money
//                                (four decimals)
//   kv_suma_dinero(x)            aggregate: SUM of money, exact to four decimals (8115 beyond money)
//   kv_min_dinero(x), kv_max_dinero(x)  aggregates: MIN and MAX of money, compared exactly
//   kv_dinero(x [, tipo])        CAST to money or smallmoney, exact (8115 beyond the range, 235)
//   kv_dinero_op(op, a, b)       money + and -, exact in ten-thousandths (8115)
//   kv_getdate()                 local date and time now
//   kv_mayusculas, kv_minusculas, kv_reemplazar (ignores case), kv_replicar, kv_piso, kv_techo
//   kv_dateadd(parte, n, fecha), kv_datediff(parte, a, b), kv_datepart(parte, fecha)
//   like(patron, texto [, escape])  LIKE as SQL Server: ignores case, knows [a-z] and [^x]
//
// A failing function reports "[<native number>] <Spanish message>" as its
// SQLite error text; LeerErrorFuncion takes it apart.

#include <QString>
#include <atomic>
#include <chrono>
#include <cmath>
#include <string>

struct sqlite3;

namespace kv::local {

// The running statement's deadline, shared by a handle with the functions
// whose cost grows with their arguments (LIKE), which look at it while they
// work: SQLite's progress handler does not run inside a function call.
struct LimiteTiempo {
    bool conLimite = false;
    std::chrono::steady_clock::time_point limite{};
    bool vencido = false;  // set by whoever noticed the deadline had passed
    // Set from another thread when the client cancels the running batch: it ends as at its deadline.
    const std::atomic<bool>* cancelado = nullptr;
    bool Cancelado() const { return cancelado && cancelado->load(std::memory_order_relaxed); }
    bool Agotado() const { return Cancelado() || (conLimite && std::chrono::steady_clock::now() >= limite); }
};

// Installs the collation and the functions. Returns SQLITE_OK or the first
// error code. With `limite`, LIKE ends with SQLITE_INTERRUPT once the deadline
// has passed (and marks it `vencido`).
int RegistrarFuncionesTSQL(sqlite3* bd, LimiteTiempo* limite = nullptr);

// Whether a user statement's SQLite text may call the function of that name
// (any letter case): the functions installed above that T-SQL reaches, and the
// few SQLite built-ins the front end translates T-SQL into. Everything else
// SQLite offers (printf, fts3_tokenizer, sqlite_* ...) and the server's
// internal helpers stay out of reach. Adding a function to the table of
// RegistrarFuncionesTSQL, or a built-in to the translation, adds it here.
bool FuncionDelMotorPermitida(const QString& nombre);

// CHAR, NCHAR, UNICODE, ASCII and FORMAT (kv_char ... kv_format), installed by
// RegistrarFuncionesTSQL (FuncionesCaracteres.cpp).
int RegistrarFuncionesDeCaracteres(sqlite3* bd);
bool EsFuncionDeCaracteres(const QByteArray& nombre);

// STUFF, REVERSE, QUOTENAME, STR, ISNUMERIC, PARSENAME, POWER (kv_potencia),
// SQUARE, SQRT, EXP, LOG, LOG10, RAND and NEWID (kv_stuff ... kv_newid),
// installed by RegistrarFuncionesTSQL (FuncionesEscalares.cpp).
int RegistrarFuncionesEscalares(sqlite3* bd);
bool EsFuncionEscalar(const QByteArray& nombre);

// The KV collation on two texts: <0, 0 or >0.
int CompararKV(const QString& a, const QString& b);
// The same on UTF-8 bytes.
int CompararKVUtf8(const char* a, int na, const char* b, int nb);
// A byte string whose plain byte order is the KV order of the UTF-8 text:
// two texts the collation finds equal get the same key. Lets a text be
// normalised once and then grouped, hashed and sorted as bytes.
void ClaveOrdenKV(const char* texto, int largo, std::string& clave);

// The whole ten-thousandths nearest x, halves away from zero: what llroundl
// gives for x * 10000 worked out in long double, the way money sums stay
// exact. Needs |x * 10000| < 9.2e18. Stored money is nearly always whole
// ten-thousandths already; then the double product lies within a quarter of
// its integer (its error is at most 1/16 below 1e15), which decides the
// rounding without the long double work.
inline long long DiezmilesimasDe(double x) {
    const double y = x * 10000.0;
    if (std::fabs(y) < 1e15) {
        // Adding and taking away 1.5 * 2^52 leaves the nearest integer.
        const double r = (y + 6755399441055744.0) - 6755399441055744.0;
        if (std::fabs(y - r) < 0.25) return static_cast<long long>(r);
    }
    return std::llroundl(static_cast<long double>(x) * 10000.0L);
}

// std::round without the library call: the nearest whole number, halves away
// from zero, the sign kept (-0.3 gives -0).
inline double RedondearEntero(double y) {
    if (!(std::fabs(y) < 4503599627370496.0)) return y;  // already whole
    double t = static_cast<double>(static_cast<long long>(y));
    const double resto = y - t;  // exact
    if (resto >= 0.5)
        t += 1.0;
    else if (resto <= -0.5)
        t -= 1.0;
    return std::copysign(t, y);
}

// Text read as a date the way the server reads it: "dd/mm/yy[yy] [hh:mm[:ss]]"
// (also with "-" or "."), ISO "yyyy-mm-dd[ hh:mm[:ss]]", "yyyymmdd", "hh:mm";
// an empty text is 1900-01-01. Style 101 and 1 read the month first. Returns
// "YYYY-MM-DD HH:MM:SS", or an empty text (and *ok false) when it is no date.
QString TextoAFechaISO(const QString& texto, int estilo = 0, bool* ok = nullptr);

// Splits an error text raised by one of the functions above into the native
// number and the message. False when the text has another form.
bool LeerErrorFuncion(const QString& textoError, int* numero, QString* mensaje);

}  // namespace kv::local
