#include "localserver/rapida/ConsultaAgregada.h"

#include "localserver/tsql/Lexico.h"

namespace kv::local::rapida {

namespace {

const char* const kNombres[kColumnasTabla] = {"Base",   "Fecha",   "Grupo1",     "Grupo2",
                                              "Grupo3", "Consumo", "ValorCosto", "ValorVenta"};

int ColumnaPorNombre(const QString& nombre) {
    for (int i = 0; i < kColumnasTabla; ++i)
        if (nombre.compare(QLatin1String(kNombres[i]), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

// Thrown inside the reader when the text leaves the shape.
struct FueraDeForma {};

// The statistics' shape is small: a text with more nesting or more terms than
// this is left to the general route, so no walk of the tree (reading it,
// checking it, evaluating it, freeing it) goes deep into the stack.
constexpr int kProfundidadMaxima = 48;
constexpr int kNodosMaximos = 512;
constexpr qsizetype kLargoMaximoTexto = 1024 * 1024;

class Lector {
  public:
    explicit Lector(const QString& texto) {
        FalloLexico fallo;
        for (Token& t : Tokenizar(texto, &fallo))
            if (t.Significativo()) tokens_.push_back(std::move(t));
        if (fallo.numero != 0) throw FueraDeForma{};
    }

    ConsultaAgregada Leer() {
        ConsultaAgregada c;
        Palabra("SELECT");
        do {
            Expresion e = ExpresionSuma();
            QString alias;
            if (Es("AS")) {
                ++i_;
                alias = Nombre();
            } else if (Hay() && (Actual().tipo == TipoToken::Corchete ||
                                 (Actual().tipo == TipoToken::Palabra && !EsClave(Actual())))) {
                alias = Nombre();
            }
            c.columnas.push_back(std::move(e));
            alias_.push_back(alias);
        } while (Simbolo(","));
        Palabra("FROM");
        QString tabla = Nombre();
        if (Hay() && Actual().EsSimbolo(".")) {
            // Only dbo.tabla: another schema or a database name is not ours.
            if (tabla.compare(QLatin1String("dbo"), Qt::CaseInsensitive) != 0) throw FueraDeForma{};
            ++i_;
            tabla = Nombre();
        }
        c.tabla = tabla;
        if (Es("WHERE")) {
            ++i_;
            Donde(c);
        }
        Palabra("GROUP");
        Palabra("BY");
        do {
            const int col = ColumnaTexto();
            for (int g : c.agrupacion)
                if (g == col) throw FueraDeForma{};
            c.agrupacion.push_back(col);
        } while (Simbolo(","));
        if (Es("ORDER")) {
            ++i_;
            Palabra("BY");
            do {
                TerminoOrden t;
                t.expresion = TerminoDeOrden(c);
                if (Es("ASC")) {
                    ++i_;
                } else if (Es("DESC")) {
                    ++i_;
                    t.descendente = true;
                }
                c.orden.push_back(std::move(t));
            } while (Simbolo(","));
        }
        while (Simbolo(";")) {
        }
        if (Hay()) throw FueraDeForma{};
        Comprobar(c);
        return c;
    }

  private:
    bool Hay() const { return i_ < tokens_.size(); }
    const Token& Actual() const {
        if (!Hay()) throw FueraDeForma{};
        return tokens_[i_];
    }
    bool Es(const char* palabra) const {
        return Hay() && tokens_[i_].tipo == TipoToken::Palabra && tokens_[i_].Es(palabra);
    }
    void Palabra(const char* palabra) {
        if (!Es(palabra)) throw FueraDeForma{};
        ++i_;
    }
    bool Simbolo(const char* s) {
        if (Hay() && tokens_[i_].tipo == TipoToken::Simbolo && tokens_[i_].EsSimbolo(s)) {
            ++i_;
            return true;
        }
        return false;
    }
    void ExigirSimbolo(const char* s) {
        if (!Simbolo(s)) throw FueraDeForma{};
    }
    static bool EsClave(const Token& t) {
        for (const char* p :
             {"FROM", "WHERE", "GROUP", "ORDER", "AS",   "AND",  "OR", "ASC", "DESC", "HAVING", "UNION",
              "INTO", "WITH",  "END",   "THEN",  "ELSE", "WHEN", "IN", "NOT", "IS",   "LIKE",   "BETWEEN"})
            if (t.Es(p)) return true;
        return false;
    }
    QString Nombre() {
        const Token& t = Actual();
        if (t.tipo == TipoToken::Corchete || t.tipo == TipoToken::Comillas ||
            (t.tipo == TipoToken::Palabra && !EsClave(t))) {
            ++i_;
            return t.Nombre();
        }
        throw FueraDeForma{};
    }
    int ColumnaTexto() {
        const int col = ColumnaPorNombre(Nombre());
        if (col < 0 || col >= kColumnasTexto) throw FueraDeForma{};
        return col;
    }

    // --- expressions -------------------------------------------------------------

    Expresion ExpresionSuma() { return Cadena("+", "-", &Lector::Termino); }
    Expresion Termino() { return Cadena("*", "/", &Lector::Factor); }

    // Counts a node of the tree and one level of nesting; both are bounded.
    struct Nivel {
        explicit Nivel(Lector& l) : l_(l) {
            if (++l_.profundidad_ > kProfundidadMaxima || ++l_.nodos_ > kNodosMaximos) throw FueraDeForma{};
        }
        ~Nivel() { --l_.profundidad_; }
        Nivel(const Nivel&) = delete;
        Nivel& operator=(const Nivel&) = delete;
        Lector& l_;
    };

    // A left-associative chain of two operators of one precedence over the next level.
    Expresion Cadena(const char* op1, const char* op2, Expresion (Lector::*siguiente)()) {
        const Nivel nivel(*this);
        Expresion izq = (this->*siguiente)();
        int eslabones = 0;
        while (Hay() && Actual().tipo == TipoToken::Simbolo &&
               (Actual().EsSimbolo(op1) || Actual().EsSimbolo(op2))) {
            const char op = Actual().texto.at(0).toLatin1();
            ++i_;
            // Each link makes the left-deep tree one level deeper.
            if (++eslabones + profundidad_ > kProfundidadMaxima) throw FueraDeForma{};
            Expresion e;
            e.clase = Expresion::Clase::Operacion;
            e.op = op;
            e.hijos.push_back(std::move(izq));
            e.hijos.push_back((this->*siguiente)());
            izq = std::move(e);
        }
        return izq;
    }

    Expresion Factor() {
        const Nivel nivel(*this);
        const Token& t = Actual();
        if (t.tipo == TipoToken::Simbolo) {
            // A unary plus changes nothing (the front end puts one before the
            // group keys it orders by, so that no alias stands for them).
            if (t.EsSimbolo("+")) {
                ++i_;
                return Factor();
            }
            if (t.EsSimbolo("-")) {
                ++i_;
                Expresion e;
                e.clase = Expresion::Clase::Negacion;
                e.hijos.push_back(Factor());
                return e;
            }
            if (t.EsSimbolo("(")) {
                ++i_;
                Expresion e = ExpresionSuma();
                ExigirSimbolo(")");
                return e;
            }
            throw FueraDeForma{};
        }
        if (t.tipo == TipoToken::Numero) {
            ++i_;
            Expresion e;
            e.clase = Expresion::Clase::Numero;
            // Plain decimal numbers only; 1e3 and 0x1F are left to the general path.
            for (QChar ch : t.texto)
                if (!ch.isDigit() && ch != QLatin1Char('.')) throw FueraDeForma{};
            bool ok = false;
            if (!t.texto.contains(QLatin1Char('.'))) {
                const qint64 v = t.texto.toLongLong(&ok);
                if (!ok || v > 2147483647) throw FueraDeForma{};
                e.entero = true;
                e.numero = double(v);
            } else {
                e.numero = t.texto.toDouble(&ok);
                if (!ok) throw FueraDeForma{};
            }
            return e;
        }
        if (t.tipo == TipoToken::Palabra && i_ + 1 < tokens_.size() && tokens_[i_ + 1].EsSimbolo("(")) {
            ++i_;
            ++i_;
            Expresion e;
            if (t.Es("sum") || t.Es("kv_suma_dinero")) {
                e.clase = t.Es("sum") ? Expresion::Clase::Suma : Expresion::Clase::SumaDinero;
                e.hijos.push_back(ExpresionSuma());
            } else if (t.Es("kv_numero")) {
                e.clase = Expresion::Clase::Flotante;
                e.hijos.push_back(ExpresionSuma());
            } else if (t.Es("round")) {
                e.clase = Expresion::Clase::Redondeo;
                e.hijos.push_back(ExpresionSuma());
                ExigirSimbolo(",");
                if (!Hay() || Actual().tipo != TipoToken::Numero || Actual().texto != QLatin1String("4"))
                    throw FueraDeForma{};
                ++i_;
            } else if (t.Es("kv_div")) {
                e.clase = Expresion::Clase::Operacion;
                e.op = '/';
                e.hijos.push_back(ExpresionSuma());
                ExigirSimbolo(",");
                e.hijos.push_back(ExpresionSuma());
            } else if (t.Es("kv_dinero_op")) {
                // Money's arithmetic as the front end writes it: + and - made
                // money, * and / worked in whole ten-thousandths.
                const QString op = Literal();
                if (op != QLatin1String("+") && op != QLatin1String("-") && op != QLatin1String("*") &&
                    op != QLatin1String("/"))
                    throw FueraDeForma{};
                ExigirSimbolo(",");
                Expresion a = ExpresionSuma();
                ExigirSimbolo(",");
                Expresion b = ExpresionSuma();
                if (op == QLatin1String("*") || op == QLatin1String("/")) {
                    e.clase = Expresion::Clase::OperacionDinero;
                    e.op = op.at(0).toLatin1();
                    e.hijos.push_back(std::move(a));
                    e.hijos.push_back(std::move(b));
                    ExigirSimbolo(")");
                    return e;
                }
                Expresion operacion;
                if (op == QLatin1String("-") && a.clase == Expresion::Clase::Numero && a.numero == 0.0) {
                    operacion.clase = Expresion::Clase::Negacion;
                } else {
                    operacion.clase = Expresion::Clase::Operacion;
                    operacion.tipo = QStringLiteral("money");
                    operacion.op = op.at(0).toLatin1();
                    operacion.hijos.push_back(std::move(a));
                }
                operacion.hijos.push_back(std::move(b));
                e.clase = Expresion::Clase::Resultado;
                e.tipo = QStringLiteral("money");
                e.hijos.push_back(std::move(operacion));
            } else if (t.Es("kv_dinero_clave")) {
                // The order of amounts, exact also past what a double holds.
                e.clase = Expresion::Clase::ClaveDinero;
                e.hijos.push_back(ExpresionSuma());
            } else if (t.Es("kv_resultado")) {
                e.clase = Expresion::Clase::Resultado;
                e.hijos.push_back(ExpresionSuma());
                ExigirSimbolo(",");
                e.tipo = Literal();
                if (e.tipo != QLatin1String("money") && e.tipo != QLatin1String("int") &&
                    e.tipo != QLatin1String("bigint"))
                    throw FueraDeForma{};
            } else {
                throw FueraDeForma{};
            }
            ExigirSimbolo(")");
            return e;
        }
        if (t.tipo == TipoToken::Palabra && t.Es("CASE")) {
            ++i_;
            Palabra("WHEN");
            Expresion e;
            e.clase = Expresion::Clase::Caso;
            e.hijos.push_back(ExpresionSuma());
            ExigirSimbolo("=");
            e.hijos.push_back(ExpresionSuma());
            Palabra("THEN");
            e.hijos.push_back(ExpresionSuma());
            Palabra("ELSE");
            e.hijos.push_back(ExpresionSuma());
            Palabra("END");
            return e;
        }
        // A column; a function call or anything else is not ours.
        Expresion e;
        e.clase = Expresion::Clase::Columna;
        e.columna = ColumnaPorNombre(Nombre());
        if (e.columna < 0) throw FueraDeForma{};
        if (Hay() && (Actual().EsSimbolo("(") || Actual().EsSimbolo("."))) throw FueraDeForma{};
        return e;
    }

    // An ORDER BY term: a select-list alias names that column's expression,
    // as the engine underneath resolves it; otherwise an expression.
    Expresion TerminoDeOrden(const ConsultaAgregada& c) {
        const Token& t = Actual();
        if (t.tipo == TipoToken::Numero) throw FueraDeForma{};  // ORDER BY 2 is left to the general path
        if ((t.tipo == TipoToken::Palabra && !EsClave(t)) || t.tipo == TipoToken::Corchete ||
            t.tipo == TipoToken::Comillas) {
            const bool solo = i_ + 1 >= tokens_.size() || tokens_[i_ + 1].Es("ASC") ||
                              tokens_[i_ + 1].Es("DESC") || tokens_[i_ + 1].EsSimbolo(",") ||
                              tokens_[i_ + 1].EsSimbolo(";");
            if (solo) {
                const QString nombre = t.Nombre();
                for (size_t k = 0; k < alias_.size(); ++k) {
                    if (alias_[k].compare(nombre, Qt::CaseInsensitive) == 0) {
                        ++i_;
                        return c.columnas[k];
                    }
                }
                // A bare column with no alias of its own takes its name as alias.
                for (size_t k = 0; k < c.columnas.size(); ++k) {
                    const Expresion& e = c.columnas[k];
                    if (alias_[k].isEmpty() && e.clase == Expresion::Clase::Columna &&
                        nombre.compare(QLatin1String(kNombres[e.columna]), Qt::CaseInsensitive) == 0) {
                        ++i_;
                        return e;
                    }
                }
            }
        }
        return ExpresionSuma();
    }

    // --- WHERE ---------------------------------------------------------------------

    // An OR chain of conditions, possibly in parentheses.
    std::vector<Condicion> Disyuncion() {
        const Nivel nivel(*this);
        std::vector<Condicion> lista;
        do {
            if (Hay() && Actual().EsSimbolo("(") && !EsColumnaEntreParentesis()) {
                ++i_;
                std::vector<Condicion> dentro = Disyuncion();
                ExigirSimbolo(")");
                lista.insert(lista.end(), dentro.begin(), dentro.end());
            } else {
                lista.push_back(Atomo());
            }
        } while (Es("OR") && (++i_, true));
        for (const Condicion& k : lista)
            if (k.columna != lista.front().columna || k.recortar != lista.front().recortar)
                throw FueraDeForma{};
        return lista;
    }

    bool EsColumnaEntreParentesis() const { return false; }

    void Donde(ConsultaAgregada& c) {
        do {
            c.condiciones.push_back(Disyuncion());
        } while (Es("AND") && (++i_, true));
    }

    QString Literal() {
        const Token& t = Actual();
        if (t.tipo != TipoToken::Cadena) throw FueraDeForma{};
        ++i_;
        return t.Valor();
    }

    // The columns of a statistic table compare under the collation; ltrim()
    // gives a text without one, so the front end writes it out.
    bool ColacionKV() {
        if (!Es("COLLATE")) return false;
        ++i_;
        if (!Es("KV")) throw FueraDeForma{};
        ++i_;
        return true;
    }

    Condicion Atomo() {
        Condicion k;
        if (Es("LTRIM")) {
            ++i_;
            ExigirSimbolo("(");
            k.columna = ColumnaTexto();
            ExigirSimbolo(")");
            k.recortar = true;
            if (!ColacionKV()) throw FueraDeForma{};
        } else {
            k.columna = ColumnaTexto();
            ColacionKV();
        }
        if (Es("IN")) {
            ++i_;
            ExigirSimbolo("(");
            do {
                k.valores << Literal();
            } while (Simbolo(","));
            ExigirSimbolo(")");
            k.clase = Condicion::Clase::Igual;
            return k;
        }
        const Token& t = Actual();
        if (t.tipo != TipoToken::Simbolo) throw FueraDeForma{};
        if (t.EsSimbolo("="))
            k.clase = Condicion::Clase::Igual;
        else if (t.EsSimbolo(">="))
            k.clase = Condicion::Clase::MayorOIgual;
        else if (t.EsSimbolo("<="))
            k.clase = Condicion::Clase::MenorOIgual;
        else if (t.EsSimbolo(">"))
            k.clase = Condicion::Clase::Mayor;
        else if (t.EsSimbolo("<"))
            k.clase = Condicion::Clase::Menor;
        else
            throw FueraDeForma{};
        ++i_;
        k.valores << Literal();
        return k;
    }

    // --- what the expressions may read --------------------------------------------

    static void Fila(const Expresion& e) {
        switch (e.clase) {
            case Expresion::Clase::Columna:
                if (e.columna < kColumnasTexto) throw FueraDeForma{};
                return;
            case Expresion::Clase::Suma:
            case Expresion::Clase::SumaDinero:
            case Expresion::Clase::Caso:
                throw FueraDeForma{};
            default:
                for (const Expresion& h : e.hijos) Fila(h);
        }
    }

    static void Grupo(const Expresion& e, const std::vector<int>& agrupacion, bool arriba) {
        switch (e.clase) {
            case Expresion::Clase::Columna: {
                bool agrupada = false;
                for (int g : agrupacion) agrupada = agrupada || g == e.columna;
                // A grouped column stands alone: its text in arithmetic is not ours.
                if (!agrupada || !arriba) throw FueraDeForma{};
                return;
            }
            case Expresion::Clase::Suma:
            case Expresion::Clase::SumaDinero:
                Fila(e.hijos[0]);
                return;
            default:
                for (const Expresion& h : e.hijos) Grupo(h, agrupacion, false);
        }
    }

    static void Comprobar(const ConsultaAgregada& c) {
        for (const Expresion& e : c.columnas) Grupo(e, c.agrupacion, true);
        for (const TerminoOrden& t : c.orden) Grupo(t.expresion, c.agrupacion, true);
    }

    std::vector<Token> tokens_;
    size_t i_ = 0;
    std::vector<QString> alias_;
    int profundidad_ = 0;
    int nodos_ = 0;
};

}  // namespace

const char* NombreColumna(int columna) {
    return columna >= 0 && columna < kColumnasTabla ? kNombres[columna] : "";
}

std::optional<ConsultaAgregada> Reconocer(const QString& texto) {
    // The statistics' queries are short: a long text is not read at all.
    if (texto.size() > kLargoMaximoTexto) return std::nullopt;
    try {
        Lector lector(texto);
        return lector.Leer();
    } catch (const FueraDeForma&) {
        return std::nullopt;
    }
}

}  // namespace kv::local::rapida
