#pragma once
// The one statement shape the aggregation fast path answers: sums over one
// statistic table grouped by its text columns, filtered on those columns and
// ordered by the sums or the groups. The shape is read from the text the
// general route runs (the front end's translation), so every function and
// type rule it applies is the one mirrored here; a text with anything else
// is left to the general route (Reconocer gives nothing).

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace kv::local::rapida {

// The columns of a statistic table. The first five hold text, the rest numbers.
enum ColumnaTabla { Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, ValorVenta, kColumnasTabla };
inline constexpr int kColumnasTexto = 5;
const char* NombreColumna(int columna);

// An expression of the select list or of ORDER BY. Row expressions (inside a
// SUM) read numeric columns; group expressions read sums, grouped columns and
// numbers.
struct Expresion {
    enum class Clase {
        Columna,     // `columna`
        Numero,      // `numero`, `entero` tells 100 from 100.0
        Suma,        // sum(hijos[0])
        SumaDinero,  // kv_suma_dinero(hijos[0]): exact to four decimals
        Operacion,   // hijos[0] op hijos[1], op one of + - * and / for kv_div
        Negacion,    // -hijos[0]
        Caso,        // CASE WHEN hijos[0] = hijos[1] THEN hijos[2] ELSE hijos[3] END
        Redondeo,    // round(hijos[0], 4)
        Flotante,    // kv_numero(hijos[0])
        Resultado,   // kv_resultado(hijos[0], 'tipo'): money rounded to 4 decimals, int and bigint checked
        OperacionDinero,  // kv_dinero_op('*' or '/', hijos[0], hijos[1]): exact in ten-thousandths
        ClaveDinero,      // kv_dinero_clave(hijos[0]): compared as exact amounts
    };
    Clase clase = Clase::Numero;
    int columna = -1;
    double numero = 0;
    bool entero = false;
    char op = 0;
    QString tipo;  // Resultado: "money", "int" or "bigint"; Operacion: "money" for money's + and -
    std::vector<Expresion> hijos;
};

// A condition on one text column, as the load writes them: equality with a
// value or a list of values (OR chains and IN alike), or a bound; `recortar`
// when the column is read through LTRIM.
struct Condicion {
    enum class Clase { Igual, MayorOIgual, MenorOIgual, Mayor, Menor };
    int columna = -1;
    bool recortar = false;
    Clase clase = Clase::Igual;
    QStringList valores;  // one for the bounds
};

struct TerminoOrden {
    Expresion expresion;
    bool descendente = false;
};

struct ConsultaAgregada {
    QString tabla;                    // as written, without brackets or dbo.
    std::vector<Expresion> columnas;  // select list
    std::vector<int> agrupacion;      // GROUP BY columns, in their order
    std::vector<std::vector<Condicion>>
        condiciones;  // AND of groups; each group is an OR of conditions on one column
    std::vector<TerminoOrden> orden;
};

// Reads `texto` (one statement as the general route runs it on SQLite) as the
// statistics' shape.
std::optional<ConsultaAgregada> Reconocer(const QString& texto);

}  // namespace kv::local::rapida
