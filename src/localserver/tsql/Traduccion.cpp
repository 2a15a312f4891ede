#include "localserver/tsql/Traduccion.h"

#include <sqlite3.h>

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include "localserver/tsql/Division.h"
#include "localserver/tsql/Lexico.h"
#include "localserver/tsql/Mensajes.h"

namespace kv::local {

ErrorTSQL::ErrorTSQL(int numero, QString mensaje, int linea)
    : numero_(numero), mensaje_(std::move(mensaje)), linea_(linea) {
    texto_ = (QString::number(numero_) + QLatin1String(": ") + mensaje_).toStdString();
}

namespace {

// Deepest nesting of parentheses and subqueries a statement may have; deeper
// text is refused instead of exhausting the stack.
constexpr int kAnidamientoMaximo = 160;
// OR and AND chains longer than this are grouped into a balanced tree so that
// SQLite's expression depth limit is never reached.
constexpr int kCadenaMaxima = 32;

const QString kColacion = QStringLiteral(" COLLATE KV");

// Words that never stand for a column, alias or table name.
const QSet<QString>& Reservadas() {
    static const QSet<QString> palabras = {
        QStringLiteral("ADD"),         QStringLiteral("ALL"),          QStringLiteral("ALTER"),
        QStringLiteral("AND"),         QStringLiteral("ANY"),          QStringLiteral("AS"),
        QStringLiteral("ASC"),         QStringLiteral("BEGIN"),        QStringLiteral("BETWEEN"),
        QStringLiteral("BY"),          QStringLiteral("CASE"),         QStringLiteral("CHECK"),
        QStringLiteral("CLUSTERED"),   QStringLiteral("COLLATE"),      QStringLiteral("COLUMN"),
        QStringLiteral("COMMIT"),      QStringLiteral("CONSTRAINT"),   QStringLiteral("CREATE"),
        QStringLiteral("CROSS"),       QStringLiteral("DATABASE"),     QStringLiteral("DECLARE"),
        QStringLiteral("DEFAULT"),     QStringLiteral("DELETE"),       QStringLiteral("DESC"),
        QStringLiteral("DISTINCT"),    QStringLiteral("DROP"),         QStringLiteral("ELSE"),
        QStringLiteral("END"),         QStringLiteral("ESCAPE"),       QStringLiteral("EXCEPT"),
        QStringLiteral("EXEC"),        QStringLiteral("EXECUTE"),      QStringLiteral("EXISTS"),
        QStringLiteral("FOR"),         QStringLiteral("FOREIGN"),      QStringLiteral("FROM"),
        QStringLiteral("FULL"),        QStringLiteral("GROUP"),        QStringLiteral("HAVING"),
        QStringLiteral("IDENTITY"),    QStringLiteral("IF"),           QStringLiteral("IN"),
        QStringLiteral("INDEX"),       QStringLiteral("INNER"),        QStringLiteral("INSERT"),
        QStringLiteral("INTERSECT"),   QStringLiteral("INTO"),         QStringLiteral("IS"),
        QStringLiteral("JOIN"),        QStringLiteral("KEY"),          QStringLiteral("LEFT"),
        QStringLiteral("LIKE"),        QStringLiteral("NONCLUSTERED"), QStringLiteral("NOT"),
        QStringLiteral("NULL"),        QStringLiteral("ON"),           QStringLiteral("OR"),
        QStringLiteral("ORDER"),       QStringLiteral("OUTER"),        QStringLiteral("PERCENT"),
        QStringLiteral("PRIMARY"),     QStringLiteral("PRINT"),        QStringLiteral("PROCEDURE"),
        QStringLiteral("REFERENCES"),  QStringLiteral("RIGHT"),        QStringLiteral("ROLLBACK"),
        QStringLiteral("SELECT"),      QStringLiteral("SET"),          QStringLiteral("TABLE"),
        QStringLiteral("THEN"),        QStringLiteral("TOP"),          QStringLiteral("TRAN"),
        QStringLiteral("TRANSACTION"), QStringLiteral("TRUNCATE"),     QStringLiteral("UNION"),
        QStringLiteral("UNIQUE"),      QStringLiteral("UPDATE"),       QStringLiteral("USE"),
        QStringLiteral("VALUES"),      QStringLiteral("VIEW"),         QStringLiteral("WHEN"),
        QStringLiteral("WHERE"),       QStringLiteral("WHILE"),        QStringLiteral("WITH"),
    };
    return palabras;
}

bool EsReservada(const Token& t) {
    return t.tipo == TipoToken::Palabra && Reservadas().contains(t.texto.toUpper());
}

bool EsIdentificador(const Token& t) {
    return (t.tipo == TipoToken::Palabra && !EsReservada(t)) || t.tipo == TipoToken::Corchete ||
           t.tipo == TipoToken::Comillas;
}

// An identifier as SQLite reads it with the same meaning.
QString CitarNombre(const QString& nombre) {
    bool simple = !nombre.isEmpty() && (nombre[0].isLetter() || nombre[0] == QLatin1Char('_'));
    for (QChar c : nombre)
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_'))) simple = false;
    if (simple) {
        const QByteArray utf8 = nombre.toUtf8();
        if (!sqlite3_keyword_check(utf8.constData(), static_cast<int>(utf8.size()))) return nombre;
    }
    QString s = nombre;
    return QLatin1Char('"') + s.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString LiteralTexto(const QString& valor) {
    QString s = valor;
    return QLatin1Char('\'') + s.replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

enum class TipoValor { Desconocido, Texto, Numero, Nulo };

// A translated expression and what is known of it.
struct Expr {
    QString sql;
    TipoValor tipo = TipoValor::Desconocido;
    bool columna = false;  // a bare column reference: it carries its declared collation
    bool literal = false;  // a literal, parameter or variable
    bool primario = true;  // safe to follow with COLLATE without parentheses
    // For "x = literal": x translated and whether it needs the collation, and the literal.
    bool igualdad = false;
    QString igualIzquierda;
    QString igualValor;
};

QString Colacionar(const Expr& e) {
    if (e.primario) return e.sql + kColacion;
    return QLatin1Char('(') + e.sql + QLatin1Char(')') + kColacion;
}

// Text comparison must follow the server's collation. A bare column already
// has it; so does a literal compared with a column. Numbers compare as numbers.
bool NecesitaColacion(const Expr& izq, const Expr& der) {
    if (izq.tipo == TipoValor::Numero || der.tipo == TipoValor::Numero) return false;
    if (izq.tipo == TipoValor::Nulo || der.tipo == TipoValor::Nulo) return false;
    if (izq.columna) return false;
    if (izq.literal && der.columna) return false;
    return true;
}

QString Balancear(const QStringList& terminos, const QString& conector, int desde, int hasta) {
    if (hasta - desde == 1) return terminos[desde];
    const int medio = (desde + hasta) / 2;
    return QLatin1Char('(') + Balancear(terminos, conector, desde, medio) + conector +
           Balancear(terminos, conector, medio, hasta) + QLatin1Char(')');
}

struct Tipo {
    QString nombre;  // lower case
    int longitud = 0;
    int precision = 0;
    int escala = 0;
};

class Traductor {
  public:
    Traductor(const std::vector<Token>& t, const QString& fuente, int desde, int hasta)
        : t_(t), fuente_(fuente), p_(desde), desde_(desde), fin_(hasta) {}

    void Traducir(std::vector<Sentencia>& salida, bool primeraDelLote);

  private:
    const std::vector<Token>& t_;
    const QString& fuente_;
    int p_;
    int desde_;
    int fin_;
    int anidamiento_ = 0;
    int colacionarColumnas_ = 0;  // > 0 while reading a view's query or a derived table

    // Column references of one SELECT level, to refuse what SQL Server refuses
    // in grouped queries: a column outside every aggregate that is not grouped.
    struct Referencia {
        QString escrita;  // as written, with its qualifier
        QString nombre;   // the column's own name, lower case
    };
    struct Ambito {
        int enAgregado = 0;
        bool usaAgregados = false;
        std::vector<Referencia>* destino = nullptr;
    };
    std::vector<Ambito> ambitos_;
    void AnotarColumna(const QStringList& partes) {
        if (ambitos_.empty()) return;
        Ambito& a = ambitos_.back();
        if (a.enAgregado > 0 || !a.destino) return;
        QStringList escritas;
        for (const QString& q : partes)
            if (!q.isEmpty()) escritas << q;
        a.destino->push_back({escritas.join(QLatin1Char('.')), partes.last().toLower()});
    }

    // ---- reading ----
    bool Fin() const { return p_ >= fin_; }
    const Token& Actual() const {
        static const Token vacio;
        return p_ < fin_ ? t_[p_] : vacio;
    }
    const Token& Siguiente(int k = 1) const {
        static const Token vacio;
        return p_ + k < fin_ ? t_[p_ + k] : vacio;
    }
    bool Es(const char* palabra) const { return !Fin() && Actual().Es(palabra); }
    bool EsSimbolo(const char* s) const { return !Fin() && Actual().EsSimbolo(s); }
    bool Tomar(const char* palabra) {
        if (!Es(palabra)) return false;
        ++p_;
        return true;
    }
    bool TomarSimbolo(const char* s) {
        if (!EsSimbolo(s)) return false;
        ++p_;
        return true;
    }
    void Exigir(const char* palabra) {
        if (!Tomar(palabra)) Fallar();
    }
    void ExigirSimbolo(const char* s) {
        if (!TomarSimbolo(s)) Fallar();
    }

    [[noreturn]] void Fallar() const {
        int i = p_ < fin_ ? p_ : fin_ - 1;
        if (i < desde_) i = desde_;
        const Token& tk = t_[i];
        QString cerca = tk.texto;
        if (tk.tipo == TipoToken::Cadena) cerca = tk.Valor();
        if (tk.tipo == TipoToken::Corchete || tk.tipo == TipoToken::Comillas) cerca = tk.Nombre();
        throw ErrorTSQL(mensajes::kSintaxis, mensajes::Sintaxis(cerca), tk.linea);
    }

    void Entrar() {
        if (++anidamiento_ > kAnidamientoMaximo) {
            throw ErrorTSQL(mensajes::kAnidamiento, mensajes::Anidamiento(), Actual().linea);
        }
    }
    void Salir() { --anidamiento_; }

    QString TextoOriginal(int desde, int hasta) const {
        if (hasta <= desde) return QString();
        const int a = t_[desde].inicio;
        const int b = t_[hasta - 1].inicio + static_cast<int>(t_[hasta - 1].texto.size());
        return fuente_.mid(a, b - a);
    }

    // ---- names ----
    QString Identificador() {
        if (!EsIdentificador(Actual()) || Fin()) Fallar();
        return t_[p_++].Nombre();
    }
    // A possibly qualified object name; "dbo" parts are dropped. Returns the
    // SQLite text and, in `simple`, the last part.
    QString NombreObjeto(QString* simple = nullptr);
    QString ParteSinEsquema(const QStringList& partes, QString* simple);

    // ---- expressions ----
    Expr Expresion();
    Expr O();
    Expr Y();
    Expr No();
    Expr Predicado();
    Expr Aditiva();
    Expr Multiplicativa();
    Expr Unaria();
    Expr Primaria();
    Expr Funcion(const QString& nombre, const QString& nombreSalida);
    Expr Caso();
    Expr Convertir(const Tipo& tipo, const Expr& valor, const QString& estilo);
    Tipo LeerTipo();
    QString ListaOSubconsulta();

    // ---- SELECT ----
    struct InfoConsulta {
        QString tablaUnica;
    };
    // What ORDER BY needs to know of the SELECT level it sorts.
    struct Agrupacion {
        bool agrupada = false;    // GROUP BY or aggregates in the select list
        QStringList expresiones;  // GROUP BY expressions, lower case
        QSet<QString> columnas;   // grouped bare columns, lower case
        QSet<QString> alias;      // select list names, lower case
        QString tabla;            // the only table, for messages
    };
    // Where a column of a grouped query is named: each place has its own error.
    enum class Clausula { Seleccion, Orden, Having };
    void ComprobarAgrupado(const Agrupacion& g, const QString& sql, const std::vector<Referencia>& refs,
                           Clausula clausula);
    QString Consulta(InfoConsulta* info = nullptr);
    QString NucleoSelect(InfoConsulta* info, QString* limite, Agrupacion* agrupacion);
    QString ListaFrom(InfoConsulta* info);
    QString FuenteTabla(int* fuentes, QString* unica);
    void SaltarSugerencias();
    QString OrdenarPor(const Agrupacion* agrupacion);

    // ---- statements ----
    Sentencia Nueva(int clase) const;
    void Insertar(Sentencia& s);
    void Actualizar(Sentencia& s);
    void Borrar(Sentencia& s);
    void Crear(std::vector<Sentencia>& salida, Sentencia s);
    void CrearTabla(Sentencia& s);
    bool DefinicionColumna(ColumnaDeclarada& c, Sentencia& s);
    void RestriccionTabla(Sentencia& s, const QString& nombre);
    QStringList ListaColumnasClave();
    void Alterar(Sentencia& s);
    void Quitar(std::vector<Sentencia>& salida, const Sentencia& base);
    void Ejecutar(Sentencia& s);
    void SaltarOpcionesAlmacenamiento();
};

// ------------------------------------------------------------------ names

QString Traductor::ParteSinEsquema(const QStringList& partes, QString* simple) {
    QStringList quedan;
    for (int i = 0; i < partes.size(); ++i) {
        const bool ultima = i == partes.size() - 1;
        if (!ultima &&
            (partes[i].isEmpty() || partes[i].compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)) {
            continue;
        }
        quedan << partes[i];
    }
    if (simple) *simple = quedan.isEmpty() ? QString() : quedan.last();
    QStringList citadas;
    for (const QString& q : quedan) citadas << CitarNombre(q);
    return citadas.join(QLatin1Char('.'));
}

QString Traductor::NombreObjeto(QString* simple) {
    QStringList partes;
    partes << Identificador();
    while (EsSimbolo(".")) {
        ++p_;
        if (EsSimbolo(".")) {  // db..tabla
            partes << QString();
            continue;
        }
        partes << Identificador();
    }
    return ParteSinEsquema(partes, simple);
}

// ------------------------------------------------------------------ expressions

Expr Traductor::Expresion() {
    Entrar();
    Expr e = O();
    Salir();
    return e;
}

Expr Traductor::O() {
    std::vector<Expr> terminos;
    terminos.push_back(Y());
    while (Tomar("OR")) terminos.push_back(Y());
    if (terminos.size() == 1) return terminos.front();

    // Equalities of one expression with literals become one IN list: long
    // lists of months or companies would pass SQLite's depth limit otherwise.
    QStringList salida;
    QHash<QString, int> grupoDe;
    std::vector<QStringList> valores;
    std::vector<QString> izquierdas;
    std::vector<int> orden;  // >= 0: group index; < 0: -(term + 1)
    for (size_t i = 0; i < terminos.size(); ++i) {
        const Expr& e = terminos[i];
        if (e.igualdad) {
            auto it = grupoDe.find(e.igualIzquierda);
            if (it == grupoDe.end()) {
                const int g = static_cast<int>(valores.size());
                grupoDe.insert(e.igualIzquierda, g);
                valores.push_back({e.igualValor});
                izquierdas.push_back(e.igualIzquierda);
                orden.push_back(g);
            } else {
                valores[it.value()] << e.igualValor;
            }
        } else {
            orden.push_back(-static_cast<int>(i) - 1);
        }
    }
    for (int o : orden) {
        if (o < 0) {
            const Expr& e = terminos[-o - 1];
            salida << (e.primario ? e.sql : QLatin1Char('(') + e.sql + QLatin1Char(')'));
        } else if (valores[o].size() == 1) {
            salida << izquierdas[o] + QLatin1String(" = ") + valores[o].front();
        } else {
            salida << izquierdas[o] + QLatin1String(" IN (") + valores[o].join(QLatin1String(", ")) +
                          QLatin1Char(')');
        }
    }
    Expr r;
    r.tipo = TipoValor::Numero;
    r.primario = false;
    if (salida.size() == 1) {
        r.sql = salida.front();
    } else if (salida.size() > kCadenaMaxima) {
        r.sql = Balancear(salida, QStringLiteral(" OR "), 0, static_cast<int>(salida.size()));
        r.primario = true;
    } else {
        r.sql = salida.join(QLatin1String(" OR "));
    }
    return r;
}

Expr Traductor::Y() {
    std::vector<Expr> terminos;
    terminos.push_back(No());
    while (Tomar("AND")) terminos.push_back(No());
    if (terminos.size() == 1) return terminos.front();
    QStringList partes;
    for (const Expr& e : terminos)
        partes << (e.primario ? e.sql : QLatin1Char('(') + e.sql + QLatin1Char(')'));
    Expr r;
    r.tipo = TipoValor::Numero;
    if (partes.size() > kCadenaMaxima) {
        r.sql = Balancear(partes, QStringLiteral(" AND "), 0, static_cast<int>(partes.size()));
    } else {
        r.sql = partes.join(QLatin1String(" AND "));
        r.primario = false;
    }
    return r;
}

Expr Traductor::No() {
    if (Tomar("NOT")) {
        Entrar();
        Expr e = No();
        Salir();
        Expr r;
        r.tipo = TipoValor::Numero;
        r.primario = false;
        r.sql = QLatin1String("NOT ") + (e.primario ? e.sql : QLatin1Char('(') + e.sql + QLatin1Char(')'));
        return r;
    }
    return Predicado();
}

QString Traductor::ListaOSubconsulta() {
    ExigirSimbolo("(");
    QString dentro;
    if (Es("SELECT")) {
        Entrar();
        dentro = Consulta();
        Salir();
    } else {
        QStringList items;
        do {
            items << Expresion().sql;
        } while (TomarSimbolo(","));
        dentro = items.join(QLatin1String(", "));
    }
    ExigirSimbolo(")");
    return QLatin1Char('(') + dentro + QLatin1Char(')');
}

Expr Traductor::Predicado() {
    Expr r;
    r.tipo = TipoValor::Numero;
    r.primario = false;
    if (Tomar("EXISTS")) {
        ExigirSimbolo("(");
        Entrar();
        r.sql = QLatin1String("EXISTS (") + Consulta() + QLatin1Char(')');
        Salir();
        ExigirSimbolo(")");
        r.primario = true;
        return r;
    }
    Expr a = Aditiva();
    if (Fin()) return a;
    const Token& op = Actual();
    static const char* const comparaciones[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    for (const char* c : comparaciones) {
        if (op.EsSimbolo(c)) {
            ++p_;
            QString sqlOp = QString::fromLatin1(c);
            if (sqlOp == QLatin1String("!=")) sqlOp = QStringLiteral("<>");
            if (sqlOp == QLatin1String("!<")) sqlOp = QStringLiteral(">=");
            if (sqlOp == QLatin1String("!>")) sqlOp = QStringLiteral("<=");
            Expr b = Aditiva();
            const bool colacion = NecesitaColacion(a, b);
            const QString izq = colacion ? Colacionar(a) : a.sql;
            const QString der = b.primario ? b.sql : QLatin1Char('(') + b.sql + QLatin1Char(')');
            r.sql = (a.primario || colacion ? izq : QLatin1Char('(') + izq + QLatin1Char(')')) +
                    QLatin1Char(' ') + sqlOp + QLatin1Char(' ') + der;
            if (sqlOp == QLatin1String("=")) {
                if (b.literal && !a.literal) {
                    r.igualdad = true;
                    r.igualIzquierda =
                        a.primario || colacion ? izq : QLatin1Char('(') + izq + QLatin1Char(')');
                    r.igualValor = b.sql;
                } else if (a.literal && !b.literal) {
                    const bool col2 = NecesitaColacion(b, a);
                    r.igualdad = true;
                    r.igualIzquierda =
                        col2 ? Colacionar(b)
                             : (b.primario ? b.sql : QLatin1Char('(') + b.sql + QLatin1Char(')'));
                    r.igualValor = a.sql;
                }
            }
            return r;
        }
    }
    const QString izqParen = a.primario ? a.sql : QLatin1Char('(') + a.sql + QLatin1Char(')');
    if (Es("IS")) {
        ++p_;
        const bool no = Tomar("NOT");
        Exigir("NULL");
        r.sql = izqParen + (no ? QLatin1String(" IS NOT NULL") : QLatin1String(" IS NULL"));
        return r;
    }
    bool no = false;
    if (Es("NOT") && (Siguiente().Es("IN") || Siguiente().Es("LIKE") || Siguiente().Es("BETWEEN"))) {
        ++p_;
        no = true;
    }
    const QString negacion = no ? QStringLiteral(" NOT") : QString();
    if (Tomar("IN")) {
        const bool colacion = !a.columna && a.tipo != TipoValor::Numero && a.tipo != TipoValor::Nulo;
        r.sql =
            (colacion ? Colacionar(a) : izqParen) + negacion + QLatin1String(" IN ") + ListaOSubconsulta();
        return r;
    }
    if (Tomar("LIKE")) {
        Expr patron = Aditiva();
        r.sql = izqParen + negacion + QLatin1String(" LIKE ") +
                (patron.primario ? patron.sql : QLatin1Char('(') + patron.sql + QLatin1Char(')'));
        if (Tomar("ESCAPE")) r.sql += QLatin1String(" ESCAPE ") + Primaria().sql;
        return r;
    }
    if (Tomar("BETWEEN")) {
        Expr bajo = Aditiva();
        Exigir("AND");
        Expr alto = Aditiva();
        const bool colacion = NecesitaColacion(a, bajo) && NecesitaColacion(a, alto);
        r.sql = (colacion ? Colacionar(a) : izqParen) + negacion + QLatin1String(" BETWEEN ") +
                (bajo.primario ? bajo.sql : QLatin1Char('(') + bajo.sql + QLatin1Char(')')) +
                QLatin1String(" AND ") +
                (alto.primario ? alto.sql : QLatin1Char('(') + alto.sql + QLatin1Char(')'));
        return r;
    }
    if (no) Fallar();
    return a;
}

Expr Traductor::Aditiva() {
    Expr a = Multiplicativa();
    while (!Fin() && Actual().tipo == TipoToken::Simbolo &&
           (EsSimbolo("+") || EsSimbolo("-") || EsSimbolo("&") || EsSimbolo("|") || EsSimbolo("^"))) {
        const QString op = t_[p_++].texto;
        Expr b = Multiplicativa();
        Expr r;
        r.primario = false;
        const QString sa = a.primario ? a.sql : QLatin1Char('(') + a.sql + QLatin1Char(')');
        const QString sb = b.primario ? b.sql : QLatin1Char('(') + b.sql + QLatin1Char(')');
        if (op == QLatin1String("+")) {
            // "+" joins texts and adds numbers; which one depends on the operands.
            const bool texto = a.tipo == TipoValor::Texto || b.tipo == TipoValor::Texto;
            const bool numero = a.tipo == TipoValor::Numero || b.tipo == TipoValor::Numero;
            if (texto && !numero) {
                r.sql = sa + QLatin1String(" || ") + sb;
                r.tipo = TipoValor::Texto;
            } else if (numero) {
                r.sql = sa + QLatin1String(" + ") + sb;
                r.tipo = TipoValor::Numero;
            } else if (a.tipo == TipoValor::Nulo || b.tipo == TipoValor::Nulo) {
                r.sql = QStringLiteral("NULL");
                r.tipo = TipoValor::Nulo;
                r.literal = true;
                r.primario = true;
            } else {
                r.sql = QLatin1String("kv_suma(") + a.sql + QLatin1String(", ") + b.sql + QLatin1Char(')');
                r.primario = true;
            }
        } else if (op == QLatin1String("^")) {
            r.sql = QLatin1String("((") + a.sql + QLatin1String(") | (") + b.sql + QLatin1String(")) - ((") +
                    a.sql + QLatin1String(") & (") + b.sql + QLatin1String("))");
            r.tipo = TipoValor::Numero;
            r.primario = true;
        } else {
            r.sql = sa + QLatin1Char(' ') + op + QLatin1Char(' ') + sb;
            r.tipo = TipoValor::Numero;
        }
        a = r;
    }
    return a;
}

Expr Traductor::Multiplicativa() {
    Expr a = Unaria();
    while (EsSimbolo("*") || EsSimbolo("/") || EsSimbolo("%")) {
        const QString op = t_[p_++].texto;
        Expr b = Unaria();
        Expr r;
        r.tipo = TipoValor::Numero;
        if (op == QLatin1String("*")) {
            r.sql = (a.primario ? a.sql : QLatin1Char('(') + a.sql + QLatin1Char(')')) +
                    QLatin1String(" * ") + (b.primario ? b.sql : QLatin1Char('(') + b.sql + QLatin1Char(')'));
            r.primario = false;
        } else {
            // SQLite answers NULL to a division by zero; SQL Server fails (8134).
            r.sql = (op == QLatin1String("/") ? QLatin1String("kv_div(") : QLatin1String("kv_mod(")) + a.sql +
                    QLatin1String(", ") + b.sql + QLatin1Char(')');
        }
        a = r;
    }
    return a;
}

Expr Traductor::Unaria() {
    if (EsSimbolo("-") || EsSimbolo("+") || EsSimbolo("~")) {
        const QString op = t_[p_++].texto;
        Entrar();
        Expr e = Unaria();
        Salir();
        Expr r;
        r.tipo = TipoValor::Numero;
        r.literal = e.literal;
        r.primario = false;
        r.sql = op + (e.primario ? e.sql : QLatin1Char('(') + e.sql + QLatin1Char(')'));
        if (op == QLatin1String("-") || op == QLatin1String("+"))
            r.sql = QLatin1Char('(') + r.sql + QLatin1Char(')');
        r.primario = true;
        return r;
    }
    return Primaria();
}

Tipo Traductor::LeerTipo() {
    Tipo tipo;
    if (Fin() || !(Actual().tipo == TipoToken::Palabra || Actual().tipo == TipoToken::Corchete)) Fallar();
    tipo.nombre = t_[p_++].Nombre().toLower();
    if (tipo.nombre == QLatin1String("dbo") && EsSimbolo(".")) {
        ++p_;
        if (Fin()) Fallar();
        tipo.nombre = t_[p_++].Nombre().toLower();
    }
    if (tipo.nombre == QLatin1String("double") && Es("PRECISION")) {
        ++p_;
        tipo.nombre = QStringLiteral("float");
    }
    if (TomarSimbolo("(")) {
        auto numero = [&]() {
            if (Tomar("MAX")) return -1;
            if (Fin() || Actual().tipo != TipoToken::Numero) Fallar();
            bool ok = false;
            const int v = t_[p_++].texto.toInt(&ok);
            if (!ok) Fallar();
            return v;
        };
        const int primero = numero();
        if (TomarSimbolo(",")) {
            tipo.precision = primero;
            tipo.escala = numero();
        } else if (tipo.nombre == QLatin1String("decimal") || tipo.nombre == QLatin1String("numeric")) {
            tipo.precision = primero;
        } else if (tipo.nombre == QLatin1String("float")) {
            tipo.precision = primero;
        } else {
            tipo.longitud = primero;
        }
        ExigirSimbolo(")");
    }
    return tipo;
}

Expr Traductor::Convertir(const Tipo& tipo, const Expr& valor, const QString& estilo) {
    Expr r;
    const QString& n = tipo.nombre;
    if (n == QLatin1String("datetime") || n == QLatin1String("smalldatetime") || n == QLatin1String("date") ||
        n == QLatin1String("datetime2")) {
        r.sql = QLatin1String("kv_fecha(") + valor.sql +
                (estilo.isEmpty() ? QString() : QLatin1String(", ") + estilo) + QLatin1Char(')');
        if (n == QLatin1String("date")) r.sql = QLatin1String("substr(") + r.sql + QLatin1String(", 1, 10)");
        r.tipo = TipoValor::Texto;
    } else if (n.contains(QLatin1String("char")) || n == QLatin1String("text") ||
               n == QLatin1String("ntext") || n == QLatin1String("sysname")) {
        int largo = tipo.longitud;
        if (largo == 0 && n != QLatin1String("text") && n != QLatin1String("ntext")) largo = 30;
        r.sql = QLatin1String("kv_texto(") + valor.sql + QLatin1String(", ") + QString::number(largo) +
                (estilo.isEmpty() ? QString() : QLatin1String(", ") + estilo) + QLatin1Char(')');
        r.tipo = TipoValor::Texto;
    } else if (n == QLatin1String("int") || n == QLatin1String("bigint") || n == QLatin1String("smallint") ||
               n == QLatin1String("tinyint")) {
        r.sql = QLatin1String("kv_entero(") + valor.sql + QLatin1Char(')');
        r.tipo = TipoValor::Numero;
    } else if (n == QLatin1String("bit")) {
        r.sql = QLatin1String("(CASE WHEN ") + valor.sql +
                QLatin1String(" IS NULL THEN NULL WHEN kv_numero(") + valor.sql +
                QLatin1String(") <> 0 THEN 1 ELSE 0 END)");
        r.tipo = TipoValor::Numero;
    } else if (n == QLatin1String("money") || n == QLatin1String("smallmoney")) {
        r.sql = QLatin1String("round(kv_numero(") + valor.sql + QLatin1String("), 4)");
        r.tipo = TipoValor::Numero;
    } else if (n == QLatin1String("decimal") || n == QLatin1String("numeric")) {
        r.sql = QLatin1String("round(kv_numero(") + valor.sql + QLatin1String("), ") +
                QString::number(tipo.escala) + QLatin1Char(')');
        r.tipo = TipoValor::Numero;
    } else if (n == QLatin1String("float") || n == QLatin1String("real")) {
        r.sql = QLatin1String("kv_numero(") + valor.sql + QLatin1Char(')');
        r.tipo = TipoValor::Numero;
    } else {
        r.sql = valor.sql;
        r.tipo = valor.tipo;
        r.primario = valor.primario;
    }
    return r;
}

Expr Traductor::Caso() {
    // CASE already taken.
    Expr r;
    QString sql = QStringLiteral("CASE");
    if (!Es("WHEN")) {
        Expr operando = Expresion();
        const bool colacion = !operando.columna && operando.tipo != TipoValor::Numero;
        sql += QLatin1Char(' ') + (colacion ? Colacionar(operando) : operando.sql);
    }
    bool primero = true;
    if (!Es("WHEN")) Fallar();
    while (Tomar("WHEN")) {
        sql += QLatin1String(" WHEN ") + Expresion().sql;
        Exigir("THEN");
        Expr valor = Expresion();
        if (primero) r.tipo = valor.tipo;
        primero = false;
        sql += QLatin1String(" THEN ") + valor.sql;
    }
    if (Tomar("ELSE")) {
        Expr valor = Expresion();
        if (r.tipo == TipoValor::Nulo) r.tipo = valor.tipo;
        sql += QLatin1String(" ELSE ") + valor.sql;
    }
    Exigir("END");
    r.sql = sql + QLatin1String(" END");
    if (r.tipo == TipoValor::Nulo) r.tipo = TipoValor::Desconocido;
    return r;
}

Expr Traductor::Funcion(const QString& nombre, const QString& nombreSalida) {
    // The opening parenthesis is current.
    ExigirSimbolo("(");
    Entrar();
    const QString n = nombre.toLower();
    Expr r;
    auto args = [&](bool permitirVacio) {
        std::vector<Expr> lista;
        if (EsSimbolo(")")) {
            if (!permitirVacio) Fallar();
            return lista;
        }
        do {
            lista.push_back(Expresion());
        } while (TomarSimbolo(","));
        return lista;
    };
    auto unir = [](const std::vector<Expr>& lista) {
        QStringList s;
        for (const Expr& e : lista) s << e.sql;
        return s.join(QLatin1String(", "));
    };
    auto exigirCantidad = [&](const std::vector<Expr>& lista, size_t minimo, size_t maximo) {
        if (lista.size() < minimo || lista.size() > maximo) Fallar();
    };

    const bool agregado = n == QLatin1String("count") || n == QLatin1String("count_big") ||
                          n == QLatin1String("sum") || n == QLatin1String("avg") ||
                          n == QLatin1String("min") || n == QLatin1String("max");
    if (agregado && !ambitos_.empty()) {
        ++ambitos_.back().enAgregado;
        ambitos_.back().usaAgregados = true;
    }
    if (n == QLatin1String("count") || n == QLatin1String("count_big")) {
        if (TomarSimbolo("*")) {
            r.sql = QStringLiteral("count(*)");
        } else {
            const bool distinto = Tomar("DISTINCT");
            if (!distinto) Tomar("ALL");
            Expr e = Expresion();
            const bool colacion = distinto && !e.columna && e.tipo != TipoValor::Numero;
            r.sql = QLatin1String("count(") + (distinto ? QLatin1String("DISTINCT ") : QLatin1String("")) +
                    (colacion ? Colacionar(e) : e.sql) + QLatin1Char(')');
        }
        r.tipo = TipoValor::Numero;
    } else if (n == QLatin1String("sum") || n == QLatin1String("avg") || n == QLatin1String("min") ||
               n == QLatin1String("max")) {
        const bool distinto = Tomar("DISTINCT");
        if (!distinto) Tomar("ALL");
        Expr e = Expresion();
        if (n == QLatin1String("min") || n == QLatin1String("max")) {
            const bool colacion = !e.columna && e.tipo != TipoValor::Numero;
            r.sql = n + QLatin1Char('(') + (colacion ? Colacionar(e) : e.sql) + QLatin1Char(')');
            r.tipo = e.tipo;
        } else {
            r.sql = n + QLatin1Char('(') + (distinto ? QLatin1String("DISTINCT ") : QLatin1String("")) +
                    e.sql + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
        }
    } else if (n == QLatin1String("getdate") || n == QLatin1String("sysdatetime") ||
               n == QLatin1String("current_timestamp")) {
        args(true).size() == 0 ? void() : Fallar();
        r.sql = QStringLiteral("kv_getdate()");
        r.tipo = TipoValor::Texto;
    } else {
        const std::vector<Expr> a = args(true);
        if (n == QLatin1String("len")) {
            exigirCantidad(a, 1, 1);
            r.sql = QLatin1String("kv_len(") + a[0].sql + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
        } else if (n == QLatin1String("datalength")) {
            exigirCantidad(a, 1, 1);
            r.sql = QLatin1String("(length(CAST(") + a[0].sql + QLatin1String(" AS BLOB)))");
            r.tipo = TipoValor::Numero;
        } else if (n == QLatin1String("ltrim") || n == QLatin1String("rtrim")) {
            exigirCantidad(a, 1, 1);
            r.sql = n + QLatin1Char('(') + a[0].sql + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("substring")) {
            exigirCantidad(a, 3, 3);
            r.sql = QLatin1String("kv_subcadena(") + unir(a) + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("left")) {
            exigirCantidad(a, 2, 2);
            r.sql = QLatin1String("kv_subcadena(") + a[0].sql + QLatin1String(", 1, ") + a[1].sql +
                    QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("right")) {
            exigirCantidad(a, 2, 2);
            r.sql = QLatin1String("kv_derecha(") + unir(a) + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("isnull")) {
            exigirCantidad(a, 2, 2);
            r.sql = QLatin1String("ifnull(") + unir(a) + QLatin1Char(')');
            r.tipo = a[0].tipo == TipoValor::Nulo ? a[1].tipo : a[0].tipo;
        } else if (n == QLatin1String("coalesce")) {
            if (a.size() < 2) Fallar();
            r.sql = QLatin1String("coalesce(") + unir(a) + QLatin1Char(')');
            r.tipo = a[0].tipo;
        } else if (n == QLatin1String("nullif")) {
            exigirCantidad(a, 2, 2);
            const bool colacion = NecesitaColacion(a[0], a[1]);
            r.sql = QLatin1String("nullif(") + (colacion ? Colacionar(a[0]) : a[0].sql) +
                    QLatin1String(", ") + a[1].sql + QLatin1Char(')');
            r.tipo = a[0].tipo;
        } else if (n == QLatin1String("charindex")) {
            exigirCantidad(a, 2, 3);
            r.sql = QLatin1String("kv_charindex(") + unir(a) + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
        } else if (n == QLatin1String("upper") || n == QLatin1String("lower")) {
            exigirCantidad(a, 1, 1);
            r.sql = (n == QLatin1String("upper") ? QLatin1String("kv_mayusculas(")
                                                 : QLatin1String("kv_minusculas(")) +
                    a[0].sql + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("replace")) {
            exigirCantidad(a, 3, 3);
            r.sql = QLatin1String("kv_reemplazar(") + unir(a) + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("space")) {
            exigirCantidad(a, 1, 1);
            r.sql = QLatin1String("kv_replicar(' ', ") + a[0].sql + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("replicate")) {
            exigirCantidad(a, 2, 2);
            r.sql = QLatin1String("kv_replicar(") + unir(a) + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("year") || n == QLatin1String("month") || n == QLatin1String("day")) {
            exigirCantidad(a, 1, 1);
            const char* formato =
                n == QLatin1String("year") ? "%Y" : (n == QLatin1String("month") ? "%m" : "%d");
            r.sql = QLatin1String("CAST(strftime('") + QLatin1String(formato) +
                    QLatin1String("', kv_fecha(") + a[0].sql + QLatin1String(")) AS INTEGER)");
            r.tipo = TipoValor::Numero;
        } else if (n == QLatin1String("abs") || n == QLatin1String("round") || n == QLatin1String("sign")) {
            exigirCantidad(a, 1, 3);
            const size_t usados = n == QLatin1String("round") ? std::min<size_t>(a.size(), 2) : 1;
            if (n != QLatin1String("round") && a.size() != 1) Fallar();
            QStringList s;
            for (size_t i = 0; i < usados; ++i) s << a[i].sql;
            r.sql = n + QLatin1Char('(') + s.join(QLatin1String(", ")) + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
        } else if (n == QLatin1String("floor") || n == QLatin1String("ceiling")) {
            exigirCantidad(a, 1, 1);
            r.sql = (n == QLatin1String("floor") ? QLatin1String("kv_piso(") : QLatin1String("kv_techo(")) +
                    a[0].sql + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
        } else if (n == QLatin1String("dateadd") || n == QLatin1String("datediff") ||
                   n == QLatin1String("datepart")) {
            // The date part is a bare word: pass it as text.
            if (a.empty()) Fallar();
            QStringList s;
            s << LiteralTexto(a[0].sql.toLower());
            for (size_t i = 1; i < a.size(); ++i) s << a[i].sql;
            if ((n == QLatin1String("datepart") && a.size() != 2) ||
                (n != QLatin1String("datepart") && a.size() != 3))
                Fallar();
            r.sql =
                QLatin1String("kv_") + n + QLatin1Char('(') + s.join(QLatin1String(", ")) + QLatin1Char(')');
            r.tipo = n == QLatin1String("dateadd") ? TipoValor::Texto : TipoValor::Numero;
        } else {
            r.sql = nombreSalida + QLatin1Char('(') + unir(a) + QLatin1Char(')');
        }
    }
    ExigirSimbolo(")");
    if (agregado && !ambitos_.empty()) --ambitos_.back().enAgregado;
    Salir();
    return r;
}

Expr Traductor::Primaria() {
    if (Fin()) Fallar();
    const Token& tk = Actual();
    Expr r;
    switch (tk.tipo) {
        case TipoToken::Cadena:
            ++p_;
            r.sql = LiteralTexto(tk.Valor());
            r.tipo = TipoValor::Texto;
            r.literal = true;
            return r;
        case TipoToken::Numero:
            ++p_;
            r.sql = tk.texto;
            if (r.sql.startsWith(QLatin1Char('.'))) r.sql.prepend(QLatin1Char('0'));
            if (r.sql.endsWith(QLatin1Char('.'))) r.sql.append(QLatin1Char('0'));
            r.tipo = TipoValor::Numero;
            r.literal = true;
            return r;
        case TipoToken::Parametro:
            ++p_;
            r.sql = QStringLiteral("?");
            r.literal = true;
            return r;
        case TipoToken::Variable:
            // Batches declare no variables here; SQLite would read an unknown name as
            // NULL and answer wrongly, so it is refused as SQL Server refuses an
            // undeclared variable.
            if (tk.texto.compare(QLatin1String("@@ROWCOUNT"), Qt::CaseInsensitive) == 0) {
                ++p_;
                r.sql = QStringLiteral("changes()");
                r.tipo = TipoValor::Numero;
                return r;
            }
            if (tk.texto.compare(QLatin1String("@@IDENTITY"), Qt::CaseInsensitive) == 0) {
                ++p_;
                r.sql = QStringLiteral("last_insert_rowid()");
                r.tipo = TipoValor::Numero;
                return r;
            }
            throw ErrorTSQL(mensajes::kVariableNoDeclarada, mensajes::VariableNoDeclarada(tk.texto),
                            tk.linea);
        case TipoToken::Simbolo:
            if (tk.EsSimbolo("(")) {
                ++p_;
                Entrar();
                if (Es("SELECT")) {
                    r.sql = QLatin1Char('(') + Consulta() + QLatin1Char(')');
                } else {
                    Expr dentro = Expresion();
                    r = dentro;
                    r.sql = QLatin1Char('(') + dentro.sql + QLatin1Char(')');
                    r.columna = false;
                    r.igualdad = false;
                }
                Salir();
                r.primario = true;
                ExigirSimbolo(")");
                return r;
            }
            Fallar();
        default:
            break;
    }
    if (tk.Es("NULL")) {
        ++p_;
        r.sql = QStringLiteral("NULL");
        r.tipo = TipoValor::Nulo;
        r.literal = true;
        return r;
    }
    if (tk.Es("CASE")) {
        ++p_;
        Entrar();
        r = Caso();
        Salir();
        return r;
    }
    if ((tk.Es("CAST") || tk.Es("TRY_CAST")) && Siguiente().EsSimbolo("(")) {
        p_ += 2;
        Entrar();
        Expr valor = Expresion();
        Exigir("AS");
        Tipo tipo = LeerTipo();
        ExigirSimbolo(")");
        Salir();
        return Convertir(tipo, valor, QString());
    }
    if ((tk.Es("CONVERT") || tk.Es("TRY_CONVERT")) && Siguiente().EsSimbolo("(")) {
        p_ += 2;
        Entrar();
        Tipo tipo = LeerTipo();
        ExigirSimbolo(",");
        Expr valor = Expresion();
        QString estilo;
        if (TomarSimbolo(",")) estilo = Expresion().sql;
        ExigirSimbolo(")");
        Salir();
        return Convertir(tipo, valor, estilo);
    }
    if (tk.Es("CURRENT_TIMESTAMP")) {
        ++p_;
        r.sql = QStringLiteral("kv_getdate()");
        r.tipo = TipoValor::Texto;
        return r;
    }
    if (!EsIdentificador(tk)) {
        // Functions whose names are reserved words.
        if ((tk.Es("LEFT") || tk.Es("RIGHT")) && Siguiente().EsSimbolo("(")) {
            ++p_;
            return Funcion(tk.texto, tk.texto);
        }
        Fallar();
    }
    // Column reference or function call.
    QStringList partes;
    partes << Identificador();
    while (EsSimbolo(".") && (EsIdentificador(Siguiente()) || Siguiente().EsSimbolo("."))) {
        ++p_;
        if (EsSimbolo(".")) {
            partes << QString();
            continue;
        }
        partes << Identificador();
    }
    if (EsSimbolo("(")) {
        QString simple;
        const QString salida = ParteSinEsquema(partes, &simple);
        return Funcion(simple, salida);
    }
    QStringList citadas;
    for (const QString& q : partes) {
        if (q.isEmpty()) continue;
        citadas << CitarNombre(q);
    }
    // "dbo.tabla.columna" keeps the table and the column.
    if (citadas.size() == 3 && partes[0].compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        citadas.removeFirst();
    r.sql = citadas.join(QLatin1Char('.'));
    r.columna = true;
    AnotarColumna(partes);
    return r;
}

// ------------------------------------------------------------------ SELECT

void Traductor::SaltarSugerencias() {
    // WITH (NOLOCK, INDEX(x)) or the old (NOLOCK): locking hints mean nothing here.
    int nivel = 0;
    do {
        if (Fin()) Fallar();
        if (EsSimbolo("(")) ++nivel;
        if (EsSimbolo(")")) --nivel;
        ++p_;
    } while (nivel > 0);
}

QString Traductor::FuenteTabla(int* fuentes, QString* unica) {
    QString sql;
    if (EsSimbolo("(")) {
        ++p_;
        Entrar();
        if (Es("SELECT")) {
            ++colacionarColumnas_;
            sql = QLatin1Char('(') + Consulta() + QLatin1Char(')');
            --colacionarColumnas_;
            ExigirSimbolo(")");
            Salir();
            *fuentes += 2;
            Tomar("AS");
            if (!EsIdentificador(Actual()) || Fin()) Fallar();
            return sql + QLatin1Char(' ') + CitarNombre(Identificador());
        }
        int internas = 0;
        QString dentro = FuenteTabla(&internas, unica);
        *fuentes += internas;
        ExigirSimbolo(")");
        Salir();
        return QLatin1Char('(') + dentro + QLatin1Char(')');
    }
    QString simple;
    sql = NombreObjeto(&simple);
    ++*fuentes;
    if (unica) *unica = simple;
    if (Tomar("AS")) {
        sql += QLatin1Char(' ') + CitarNombre(Identificador());
    } else if (!Fin() && EsIdentificador(Actual()) && Actual().tipo != TipoToken::Palabra) {
        sql += QLatin1Char(' ') + CitarNombre(Identificador());
    } else if (!Fin() && EsIdentificador(Actual())) {
        sql += QLatin1Char(' ') + CitarNombre(Identificador());
    }
    if (Es("WITH") && Siguiente().EsSimbolo("(")) {
        ++p_;
        SaltarSugerencias();
    } else if (EsSimbolo("(") && Siguiente().tipo == TipoToken::Palabra &&
               (Siguiente().Es("NOLOCK") || Siguiente().Es("READUNCOMMITTED") || Siguiente().Es("ROWLOCK") ||
                Siguiente().Es("UPDLOCK") || Siguiente().Es("HOLDLOCK") || Siguiente().Es("NOWAIT") ||
                Siguiente().Es("TABLOCK") || Siguiente().Es("TABLOCKX") || Siguiente().Es("PAGLOCK") ||
                Siguiente().Es("READPAST") || Siguiente().Es("XLOCK"))) {
        SaltarSugerencias();
    }
    // Joins.
    for (;;) {
        QString union_;
        if (Es("JOIN") || (Es("INNER") && Siguiente().Es("JOIN"))) {
            Tomar("INNER");
            union_ = QStringLiteral(" INNER JOIN ");
        } else if ((Es("LEFT") || Es("RIGHT") || Es("FULL"))) {
            const QString lado = Actual().texto.toUpper();
            ++p_;
            Tomar("OUTER");
            union_ = QLatin1Char(' ') + lado + QLatin1String(" JOIN ");
        } else if (Es("CROSS") && Siguiente().Es("JOIN")) {
            ++p_;
            union_ = QStringLiteral(" CROSS JOIN ");
        } else {
            break;
        }
        Exigir("JOIN");
        Entrar();
        int mas = 0;
        sql += union_ + FuenteTabla(&mas, nullptr);
        Salir();
        *fuentes += mas + 1;
        if (!union_.startsWith(QLatin1String(" CROSS"))) {
            Exigir("ON");
            sql += QLatin1String(" ON ") + Expresion().sql;
        }
    }
    return sql;
}

QString Traductor::ListaFrom(InfoConsulta* info) {
    int fuentes = 0;
    QString unica;
    QString sql = FuenteTabla(&fuentes, &unica);
    while (TomarSimbolo(",")) {
        sql += QLatin1String(", ") + FuenteTabla(&fuentes, nullptr);
        fuentes += 1;
    }
    if (info) info->tablaUnica = fuentes == 1 ? unica : QString();
    return sql;
}

void Traductor::ComprobarAgrupado(const Agrupacion& g, const QString& sql,
                                  const std::vector<Referencia>& refs, Clausula clausula) {
    if (!g.agrupada) return;
    if (g.expresiones.contains(sql.toLower())) return;
    const bool ordenar = clausula == Clausula::Orden;
    if (ordenar && (g.alias.contains(sql.toLower()) ||
                    QRegularExpression(QStringLiteral("^\\d+$")).match(sql).hasMatch())) {
        return;
    }
    for (const Referencia& r : refs) {
        if (g.columnas.contains(r.nombre)) continue;
        QString nombre = r.escrita;
        if (!nombre.contains(QLatin1Char('.')) && !g.tabla.isEmpty())
            nombre = g.tabla + QLatin1Char('.') + nombre;
        if (ordenar)
            throw ErrorTSQL(mensajes::kNoAgrupadaOrden, mensajes::NoAgrupadaOrden(nombre), Actual().linea);
        if (clausula == Clausula::Having)
            throw ErrorTSQL(mensajes::kNoAgrupadaHaving, mensajes::NoAgrupadaHaving(nombre), Actual().linea);
        throw ErrorTSQL(mensajes::kNoAgrupadaSeleccion, mensajes::NoAgrupadaSeleccion(nombre),
                        Actual().linea);
    }
}

QString Traductor::OrdenarPor(const Agrupacion* agrupacion) {
    QStringList items;
    do {
        std::vector<Referencia> refs;
        ambitos_.push_back(Ambito{0, false, &refs});
        Expr e = Expresion();
        ambitos_.pop_back();
        if (agrupacion) ComprobarAgrupado(*agrupacion, e.sql, refs, Clausula::Orden);
        QString item = e.columna || e.tipo == TipoValor::Numero ? e.sql : Colacionar(e);
        if (Tomar("DESC")) {
            item += QLatin1String(" DESC");
        } else if (Tomar("ASC")) {
            item += QLatin1String(" ASC");
        }
        items << item;
    } while (TomarSimbolo(","));
    return QLatin1String(" ORDER BY ") + items.join(QLatin1String(", "));
}

QString Traductor::NucleoSelect(InfoConsulta* info, QString* limite, Agrupacion* agrupacion) {
    Exigir("SELECT");
    struct Quitar {
        std::vector<Ambito>& pila;
        ~Quitar() { pila.pop_back(); }
    } quitar{ambitos_};
    ambitos_.push_back(Ambito{});
    Agrupacion propia;
    Agrupacion& g = agrupacion ? *agrupacion : propia;
    std::vector<std::vector<Referencia>> referencias;
    QStringList sqlItems;
    bool hayAsterisco = false;
    QString sql = QStringLiteral("SELECT ");
    bool distinto = false;
    if (Tomar("DISTINCT")) {
        distinto = true;
        sql += QLatin1String("DISTINCT ");
    } else {
        Tomar("ALL");
    }
    if (Tomar("TOP")) {
        QString cuanto;
        if (EsSimbolo("(")) {
            cuanto = Primaria().sql;
        } else if (!Fin() && (Actual().tipo == TipoToken::Numero || Actual().tipo == TipoToken::Variable ||
                              Actual().tipo == TipoToken::Parametro)) {
            cuanto = Primaria().sql;
        } else {
            Fallar();
        }
        if (Tomar("PERCENT")) {
            bool ok = false;
            const double porcentaje = cuanto.toDouble(&ok);
            if (ok && porcentaje >= 100) {
                cuanto.clear();
            } else {
                cuanto = QLatin1String("-") + cuanto;  // resolved by the caller, which knows the query
            }
        }
        if (Es("WITH") && Siguiente().Es("TIES")) p_ += 2;
        *limite = cuanto.isEmpty() ? QStringLiteral("+") : cuanto;
    }
    QStringList items;
    do {
        const int inicio = p_;
        if (EsSimbolo("*")) {
            ++p_;
            items << QStringLiteral("*");
            hayAsterisco = true;
            continue;
        }
        if (EsIdentificador(Actual()) && Siguiente().EsSimbolo(".") && Siguiente(2).EsSimbolo("*")) {
            const QString tabla = Identificador();
            p_ += 2;
            items << CitarNombre(tabla) + QLatin1String(".*");
            hayAsterisco = true;
            continue;
        }
        QString alias;
        bool conAlias = false;
        if ((EsIdentificador(Actual()) || Actual().tipo == TipoToken::Cadena) && Siguiente().EsSimbolo("=") &&
            !Fin()) {
            alias = t_[p_].tipo == TipoToken::Cadena ? t_[p_].Valor() : t_[p_].Nombre();
            p_ += 2;
            conAlias = true;
        }
        const int inicioExpr = p_;
        referencias.emplace_back();
        ambitos_.back().destino = &referencias.back();
        Expr e = Expresion();
        ambitos_.back().destino = nullptr;
        sqlItems << e.sql;
        const int finExpr = p_;
        if (!conAlias) {
            if (Tomar("AS")) {
                if (Fin()) Fallar();
                if (Actual().tipo == TipoToken::Cadena) {
                    alias = t_[p_++].Valor();
                } else {
                    alias = Identificador();
                }
                conAlias = true;
            } else if (!Fin() && (EsIdentificador(Actual()) || Actual().tipo == TipoToken::Cadena)) {
                alias = Actual().tipo == TipoToken::Cadena ? t_[p_].Valor() : t_[p_].Nombre();
                ++p_;
                conAlias = true;
            }
        }
        // Text results that others will compare (DISTINCT, the columns of a view or of a
        // derived table) carry the collation themselves: SQLite gives expressions none.
        const bool colacionar = (distinto || colacionarColumnas_ > 0) && !e.columna &&
                                e.tipo != TipoValor::Numero && e.tipo != TipoValor::Nulo;
        QString item = colacionar ? Colacionar(e) : e.sql;
        if (!conAlias) {
            // Columns are named as the statement writes them: SQLite would use
            // the declared name of a column and the translated text of an expression.
            if (e.columna) {
                alias = t_[finExpr - 1].Nombre();
            } else {
                alias = TextoOriginal(inicioExpr, finExpr);
            }
            conAlias = true;
        }
        if (conAlias) item += QLatin1String(" AS ") + CitarNombre(alias);
        g.alias.insert(alias.toLower());
        Q_UNUSED(inicio);
        items << item;
    } while (TomarSimbolo(","));
    sql += items.join(QLatin1String(", "));
    if (Es("INTO")) Fallar();
    if (Tomar("FROM")) sql += QLatin1String(" FROM ") + ListaFrom(info);
    if (Tomar("WHERE")) sql += QLatin1String(" WHERE ") + Expresion().sql;
    if (Es("GROUP")) {
        ++p_;
        Exigir("BY");
        QStringList grupos;
        g.agrupada = true;
        do {
            const int inicioGrupo = p_;
            Expr e = Expresion();
            grupos << (e.columna || e.tipo == TipoValor::Numero ? e.sql : Colacionar(e));
            g.expresiones << e.sql.toLower();
            if (e.columna) g.columnas.insert(t_[p_ - 1].Nombre().toLower());
            Q_UNUSED(inicioGrupo);
        } while (TomarSimbolo(","));
        sql += QLatin1String(" GROUP BY ") + grupos.join(QLatin1String(", "));
    }
    if (ambitos_.back().usaAgregados) g.agrupada = true;
    if (info) g.tabla = info->tablaUnica;
    if (Tomar("HAVING")) {
        // HAVING filters groups: it may name grouped columns and aggregates only,
        // or SQLite would test the value of some arbitrary row of each group.
        std::vector<Referencia> refs;
        ambitos_.push_back(Ambito{0, false, &refs});
        const Expr e = Expresion();
        ambitos_.pop_back();
        g.agrupada = true;
        ComprobarAgrupado(g, e.sql, refs, Clausula::Having);
        sql += QLatin1String(" HAVING ") + e.sql;
    }
    // A grouped query names in its select list only grouped columns, or columns inside aggregates.
    if (g.agrupada && !hayAsterisco) {
        for (size_t k = 0; k < referencias.size(); ++k)
            ComprobarAgrupado(g, sqlItems[static_cast<int>(k)], referencias[k], Clausula::Seleccion);
    }
    return sql;
}

QString Traductor::Consulta(InfoConsulta* info) {
    QString limite;
    InfoConsulta propia;
    Agrupacion agrupacion;
    QString sql = NucleoSelect(info ? info : &propia, &limite, &agrupacion);
    bool compuesta = false;
    auto conLimite = [](const QString& s, const QString& lim) -> QString {
        if (lim.isEmpty() || lim == QLatin1String("+")) return s;
        if (lim.startsWith(QLatin1Char('-'))) {
            const QString porcentaje = lim.mid(1);
            return s + QLatin1String(" LIMIT (SELECT CAST(count(*) * ") + porcentaje +
                   QLatin1String(" / 100.0 + 0.999999999 AS INTEGER) FROM (") + s + QLatin1String("))");
        }
        return s + QLatin1String(" LIMIT ") + lim;
    };
    while (Es("UNION") || Es("EXCEPT") || Es("INTERSECT")) {
        QString conector = QLatin1Char(' ') + Actual().texto.toUpper();
        ++p_;
        if (Tomar("ALL")) conector += QLatin1String(" ALL");
        if (!compuesta && !limite.isEmpty() && limite != QLatin1String("+")) {
            sql = QLatin1String("SELECT * FROM (") + conLimite(sql, limite) + QLatin1Char(')');
        }
        compuesta = true;
        QString limiteBrazo;
        InfoConsulta otra;
        QString brazo = NucleoSelect(&otra, &limiteBrazo, nullptr);
        if (!limiteBrazo.isEmpty() && limiteBrazo != QLatin1String("+")) {
            brazo = QLatin1String("SELECT * FROM (") + conLimite(brazo, limiteBrazo) + QLatin1Char(')');
        }
        sql += conector + QLatin1Char(' ') + brazo;
        if (info) info->tablaUnica.clear();
    }
    if (Es("ORDER")) {
        ++p_;
        Exigir("BY");
        Entrar();
        sql += OrdenarPor(compuesta ? nullptr : &agrupacion);
        Salir();
    }
    if (!compuesta) sql = conLimite(sql, limite);
    return sql;
}

// ------------------------------------------------------------------ statements

Sentencia Traductor::Nueva(int clase) const {
    Sentencia s;
    s.clase = static_cast<Clase>(clase);
    s.linea = t_[desde_].linea;
    s.original = TextoOriginal(desde_, fin_);
    return s;
}

void Traductor::Insertar(Sentencia& s) {
    Exigir("INSERT");
    Tomar("INTO");
    QString simple;
    const QString tabla = NombreObjeto(&simple);
    s.tabla = simple;
    if (Es("WITH") && Siguiente().EsSimbolo("(")) {
        ++p_;
        SaltarSugerencias();
    }
    QString sql = QLatin1String("INSERT INTO ") + tabla;
    if (EsSimbolo("(") && !Siguiente().Es("SELECT")) {
        ++p_;
        QStringList columnas;
        do {
            columnas << CitarNombre(Identificador());
        } while (TomarSimbolo(","));
        ExigirSimbolo(")");
        sql += QLatin1String(" (") + columnas.join(QLatin1String(", ")) + QLatin1Char(')');
    }
    if (Tomar("VALUES")) {
        QStringList filas;
        do {
            ExigirSimbolo("(");
            QStringList valores;
            do {
                if (Tomar("DEFAULT")) Fallar();
                valores << Expresion().sql;
            } while (TomarSimbolo(","));
            ExigirSimbolo(")");
            filas << QLatin1Char('(') + valores.join(QLatin1String(", ")) + QLatin1Char(')');
        } while (TomarSimbolo(","));
        sql += QLatin1String(" VALUES ") + filas.join(QLatin1String(", "));
    } else if (Es("SELECT") || (EsSimbolo("(") && Siguiente().Es("SELECT"))) {
        sql += QLatin1Char(' ') + (TomarSimbolo("(") ? [&] {
            QString c = Consulta();
            ExigirSimbolo(")");
            return c;
        }()
                                                     : Consulta());
    } else if (Tomar("DEFAULT")) {
        Exigir("VALUES");
        sql += QLatin1String(" DEFAULT VALUES");
    } else {
        Fallar();
    }
    s.sql = sql;
}

void Traductor::Actualizar(Sentencia& s) {
    Exigir("UPDATE");
    QString simple;
    const QString tabla = NombreObjeto(&simple);
    s.tabla = simple;
    if (Es("WITH") && Siguiente().EsSimbolo("(")) {
        ++p_;
        SaltarSugerencias();
    }
    Exigir("SET");
    QStringList asignaciones;
    do {
        QStringList partes;
        partes << Identificador();
        while (TomarSimbolo(".")) partes << Identificador();
        const QString columna = CitarNombre(partes.last());
        if (Fin() || Actual().tipo != TipoToken::Simbolo) Fallar();
        const QString op = t_[p_].texto;
        static const QStringList compuestos = {QStringLiteral("+="), QStringLiteral("-="),
                                               QStringLiteral("*="), QStringLiteral("/="),
                                               QStringLiteral("%=")};
        if (op == QLatin1String("=")) {
            ++p_;
            asignaciones << columna + QLatin1String(" = ") + Expresion().sql;
        } else if (compuestos.contains(op)) {
            ++p_;
            Expr e = Expresion();
            QString valor;
            const QChar o = op[0];
            if (o == QLatin1Char('/')) {
                valor = QLatin1String("kv_div(") + columna + QLatin1String(", ") + e.sql + QLatin1Char(')');
            } else if (o == QLatin1Char('%')) {
                valor = QLatin1String("kv_mod(") + columna + QLatin1String(", ") + e.sql + QLatin1Char(')');
            } else if (o == QLatin1Char('+') && e.tipo != TipoValor::Numero) {
                valor = QLatin1String("kv_suma(") + columna + QLatin1String(", ") + e.sql + QLatin1Char(')');
            } else {
                valor = columna + QLatin1Char(' ') + o + QLatin1String(" (") + e.sql + QLatin1Char(')');
            }
            asignaciones << columna + QLatin1String(" = ") + valor;
        } else {
            Fallar();
        }
    } while (TomarSimbolo(","));
    QString sql =
        QLatin1String("UPDATE ") + tabla + QLatin1String(" SET ") + asignaciones.join(QLatin1String(", "));
    if (Tomar("FROM")) sql += QLatin1String(" FROM ") + ListaFrom(nullptr);
    if (Tomar("WHERE")) sql += QLatin1String(" WHERE ") + Expresion().sql;
    s.sql = sql;
}

void Traductor::Borrar(Sentencia& s) {
    Exigir("DELETE");
    Tomar("FROM");
    QString simple;
    const QString tabla = NombreObjeto(&simple);
    s.tabla = simple;
    if (Es("WITH") && Siguiente().EsSimbolo("(")) {
        ++p_;
        SaltarSugerencias();
    }
    QString sql = QLatin1String("DELETE FROM ") + tabla;
    if (Tomar("WHERE")) sql += QLatin1String(" WHERE ") + Expresion().sql;
    s.sql = sql;
}

void Traductor::SaltarOpcionesAlmacenamiento() {
    // ON [PRIMARY], TEXTIMAGE_ON [PRIMARY], WITH FILLFACTOR = n, WITH (PAD_INDEX = OFF, ...):
    // storage details SQLite has no use for.
    for (;;) {
        if (Tomar("ON") || Tomar("TEXTIMAGE_ON")) {
            if (Fin()) Fallar();
            if (EsIdentificador(Actual()) || Actual().Es("PRIMARY") || Actual().Es("DEFAULT")) {
                ++p_;
                if (TomarSimbolo("(")) {
                    Identificador();
                    ExigirSimbolo(")");
                }
            } else {
                Fallar();
            }
        } else if (Es("WITH")) {
            ++p_;
            if (EsSimbolo("(")) {
                SaltarSugerencias();
            } else {
                Exigir("FILLFACTOR");
                ExigirSimbolo("=");
                if (Fin() || Actual().tipo != TipoToken::Numero) Fallar();
                ++p_;
            }
        } else {
            return;
        }
    }
}

QStringList Traductor::ListaColumnasClave() {
    ExigirSimbolo("(");
    QStringList columnas;
    do {
        columnas << Identificador();
        if (!Tomar("ASC")) Tomar("DESC");
    } while (TomarSimbolo(","));
    ExigirSimbolo(")");
    return columnas;
}

void Traductor::RestriccionTabla(Sentencia& s, const QString& nombre) {
    if (Tomar("PRIMARY")) {
        Exigir("KEY");
        if (!Tomar("CLUSTERED")) Tomar("NONCLUSTERED");
        s.clavePrimaria = ListaColumnasClave();
        s.nombreClave = nombre;
        SaltarOpcionesAlmacenamiento();
    } else if (Tomar("UNIQUE")) {
        if (!Tomar("CLUSTERED")) Tomar("NONCLUSTERED");
        s.clavesUnicas.push_back(ListaColumnasClave());
        SaltarOpcionesAlmacenamiento();
    } else if (Tomar("FOREIGN")) {
        Exigir("KEY");
        ListaColumnasClave();
        Exigir("REFERENCES");
        NombreObjeto();
        if (EsSimbolo("(")) ListaColumnasClave();
        while (Es("ON") && (Siguiente().Es("DELETE") || Siguiente().Es("UPDATE"))) {
            p_ += 2;
            if (Tomar("NO")) {
                Exigir("ACTION");
            } else if (Tomar("SET")) {
                if (!Tomar("NULL")) Exigir("DEFAULT");
            } else {
                Exigir("CASCADE");
            }
        }
    } else if (Tomar("CHECK")) {
        ExigirSimbolo("(");
        Expresion();
        ExigirSimbolo(")");
    } else if (Tomar("DEFAULT")) {
        DefectoAgregado d;
        d.nombre = nombre;
        d.expresion = Unaria().sql;
        Exigir("FOR");
        d.columna = Identificador();
        s.defectos.push_back(d);
    } else {
        Fallar();
    }
}

bool Traductor::DefinicionColumna(ColumnaDeclarada& c, Sentencia& s) {
    c.nombre = Identificador();
    if (Es("AS")) Fallar();  // computed columns are not kept
    const Tipo tipo = LeerTipo();
    c.tipo = tipo.nombre;
    c.longitud = tipo.longitud;
    c.precision = tipo.precision;
    c.escala = tipo.escala;
    QString restriccion;
    for (;;) {
        if (Tomar("IDENTITY")) {
            c.identidad = true;
            if (TomarSimbolo("(")) {
                auto entero = [&]() {
                    bool negativo = false;
                    if (TomarSimbolo("-")) negativo = true;
                    if (Fin() || Actual().tipo != TipoToken::Numero) Fallar();
                    bool ok = false;
                    const qint64 v = t_[p_++].texto.toLongLong(&ok);
                    if (!ok) Fallar();
                    return negativo ? -v : v;
                };
                c.semilla = entero();
                ExigirSimbolo(",");
                c.incremento = entero();
                ExigirSimbolo(")");
            }
        } else if (Es("NOT") && Siguiente().Es("NULL")) {
            p_ += 2;
            c.nulos = false;
        } else if (Es("NOT") && Siguiente().Es("FOR")) {
            p_ += 2;
            Exigir("REPLICATION");
        } else if (Tomar("NULL")) {
            c.nulos = true;
        } else if (Tomar("COLLATE")) {
            Identificador();
        } else if (Tomar("CONSTRAINT")) {
            restriccion = Identificador();
            continue;
        } else if (Tomar("DEFAULT")) {
            c.defecto = Unaria().sql;
            c.nombreDefecto = restriccion;
        } else if (Tomar("PRIMARY")) {
            Exigir("KEY");
            if (!Tomar("CLUSTERED")) Tomar("NONCLUSTERED");
            s.clavePrimaria = QStringList{c.nombre};
            s.nombreClave = restriccion;
            SaltarOpcionesAlmacenamiento();
        } else if (Tomar("UNIQUE")) {
            if (!Tomar("CLUSTERED")) Tomar("NONCLUSTERED");
            s.clavesUnicas.push_back(QStringList{c.nombre});
            SaltarOpcionesAlmacenamiento();
        } else if (Tomar("REFERENCES")) {
            NombreObjeto();
            if (EsSimbolo("(")) ListaColumnasClave();
        } else if (Tomar("CHECK")) {
            ExigirSimbolo("(");
            Expresion();
            ExigirSimbolo(")");
        } else if (Tomar("ROWGUIDCOL") || Tomar("SPARSE")) {
        } else {
            break;
        }
        restriccion.clear();
    }
    return true;
}

void Traductor::CrearTabla(Sentencia& s) {
    // CREATE TABLE taken.
    QString simple;
    NombreObjeto(&simple);
    s.tabla = simple;
    ExigirSimbolo("(");
    do {
        if (EsSimbolo(")")) break;  // a trailing comma is accepted, as SQL Server does
        if (Tomar("CONSTRAINT")) {
            const QString nombre = Identificador();
            RestriccionTabla(s, nombre);
        } else if (Es("PRIMARY") || Es("UNIQUE") || Es("FOREIGN") || Es("CHECK")) {
            RestriccionTabla(s, QString());
        } else {
            ColumnaDeclarada c;
            DefinicionColumna(c, s);
            s.columnas.push_back(c);
        }
    } while (TomarSimbolo(","));
    ExigirSimbolo(")");
    SaltarOpcionesAlmacenamiento();
    if (s.columnas.empty()) Fallar();
}

void Traductor::Alterar(Sentencia& s) {
    Exigir("ALTER");
    Exigir("TABLE");
    QString simple;
    const QString tabla = NombreObjeto(&simple);
    s.tabla = simple;
    if (Es("WITH") && (Siguiente().Es("NOCHECK") || Siguiente().Es("CHECK"))) p_ += 2;
    if (Tomar("ADD")) {
        bool hayColumnas = false;
        do {
            if (Tomar("CONSTRAINT")) {
                const QString nombre = Identificador();
                RestriccionTabla(s, nombre);
            } else if (Es("PRIMARY") || Es("UNIQUE") || Es("FOREIGN") || Es("CHECK")) {
                RestriccionTabla(s, QString());
            } else {
                ColumnaDeclarada c;
                DefinicionColumna(c, s);
                s.columnas.push_back(c);
                hayColumnas = true;
            }
        } while (TomarSimbolo(","));
        s.clase = hayColumnas ? Clase::AgregarColumna : Clase::AgregarRestricciones;
        return;
    }
    if (Tomar("DROP")) {
        Exigir("COLUMN");
        const QString columna = Identificador();
        s.clase = Clase::Modificacion;
        s.sql = QLatin1String("ALTER TABLE ") + tabla + QLatin1String(" DROP COLUMN ") + CitarNombre(columna);
        return;
    }
    Fallar();
}

void Traductor::Crear(std::vector<Sentencia>& salida, Sentencia s) {
    Exigir("CREATE");
    if (Tomar("TABLE")) {
        s.clase = Clase::CrearTabla;
        CrearTabla(s);
    } else if (Tomar("DATABASE")) {
        s.clase = Clase::CrearBase;
        s.objeto = Identificador();
        // File placement and the like: nothing to keep.
        while (!Fin()) ++p_;
    } else if (Tomar("VIEW")) {
        QString simple;
        const QString vista = NombreObjeto(&simple);
        s.tabla = simple;
        QString columnas;
        if (EsSimbolo("(")) {
            ++p_;
            QStringList nombres;
            do {
                nombres << CitarNombre(Identificador());
            } while (TomarSimbolo(","));
            ExigirSimbolo(")");
            columnas = QLatin1String(" (") + nombres.join(QLatin1String(", ")) + QLatin1Char(')');
        }
        Exigir("AS");
        s.clase = Clase::Modificacion;
        ++colacionarColumnas_;
        s.sql = QLatin1String("CREATE VIEW ") + vista + columnas + QLatin1String(" AS ") + Consulta();
        --colacionarColumnas_;
    } else {
        const bool unico = Tomar("UNIQUE");
        if (!Tomar("CLUSTERED")) Tomar("NONCLUSTERED");
        Exigir("INDEX");
        const QString indice = CitarNombre(Identificador());
        Exigir("ON");
        QString simple;
        const QString tabla = NombreObjeto(&simple);
        s.tabla = simple;
        ExigirSimbolo("(");
        QStringList columnas;
        do {
            QString col = CitarNombre(Identificador());
            if (Tomar("DESC")) {
                col += QLatin1String(" DESC");
            } else {
                Tomar("ASC");
            }
            columnas << col;
        } while (TomarSimbolo(","));
        ExigirSimbolo(")");
        if (Tomar("INCLUDE")) ListaColumnasClave();
        SaltarOpcionesAlmacenamiento();
        s.clase = Clase::Modificacion;
        s.sql = QLatin1String("CREATE ") + (unico ? QLatin1String("UNIQUE ") : QLatin1String("")) +
                QLatin1String("INDEX ") + indice + QLatin1String(" ON ") + tabla + QLatin1String(" (") +
                columnas.join(QLatin1String(", ")) + QLatin1Char(')');
    }
    salida.push_back(s);
}

void Traductor::Quitar(std::vector<Sentencia>& salida, const Sentencia& base) {
    Exigir("DROP");
    if (Tomar("DATABASE")) {
        do {
            Sentencia s = base;
            s.clase = Clase::BorrarBase;
            s.objeto = Identificador();
            salida.push_back(s);
        } while (TomarSimbolo(","));
        return;
    }
    QString clase;
    if (Tomar("TABLE")) {
        clase = QStringLiteral("TABLE");
    } else if (Tomar("VIEW")) {
        clase = QStringLiteral("VIEW");
    } else if (Tomar("INDEX")) {
        clase = QStringLiteral("INDEX");
    } else {
        Fallar();
    }
    bool siExiste = false;
    if (Es("IF") && Siguiente().Es("EXISTS")) {
        p_ += 2;
        siExiste = true;
    }
    do {
        Sentencia s = base;
        s.clase = Clase::Modificacion;
        QString simple;
        QString nombre = NombreObjeto(&simple);
        if (clase == QLatin1String("INDEX")) {
            // DROP INDEX tabla.indice or DROP INDEX indice ON tabla.
            nombre = CitarNombre(simple);
            if (Tomar("ON")) {
                QString tabla;
                NombreObjeto(&tabla);
                s.tabla = tabla;
            }
        } else {
            s.tabla = simple;
        }
        s.sql = QLatin1String("DROP ") + clase +
                (siExiste ? QLatin1String(" IF EXISTS ") : QLatin1String(" ")) + nombre;
        salida.push_back(s);
    } while (TomarSimbolo(","));
}

void Traductor::Ejecutar(Sentencia& s) {
    if (!Tomar("EXEC")) Tomar("EXECUTE");
    if (EsSimbolo("(")) Fallar();  // dynamic SQL is not run
    if (!Fin() && Actual().tipo == TipoToken::Variable && Siguiente().EsSimbolo("=")) p_ += 2;
    QString simple;
    QStringList partes;
    partes << Identificador();
    while (TomarSimbolo(".")) {
        if (EsSimbolo(".")) {
            partes << QString();
            continue;
        }
        partes << Identificador();
    }
    QStringList quedan;
    for (int i = 0; i < partes.size(); ++i) {
        if (i < partes.size() - 1 &&
            (partes[i].isEmpty() || partes[i].compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0))
            continue;
        quedan << partes[i];
    }
    s.clase = Clase::Ejecutar;
    s.objeto = quedan.join(QLatin1Char('.'));
    if (Fin()) return;
    do {
        Argumento a;
        if (!Fin() && Actual().tipo == TipoToken::Variable && Siguiente().EsSimbolo("=")) {
            a.nombre = Actual().texto;
            p_ += 2;
        }
        if (Fin()) Fallar();
        const Token& v = Actual();
        if (v.tipo == TipoToken::Cadena) {
            a.valor = v.Valor();
            ++p_;
        } else if (v.tipo == TipoToken::Numero || v.EsSimbolo("-") || v.EsSimbolo("+")) {
            QString texto;
            if (v.EsSimbolo("-") || v.EsSimbolo("+")) {
                texto = v.texto;
                ++p_;
                if (Fin() || Actual().tipo != TipoToken::Numero) Fallar();
            }
            texto += t_[p_++].texto;
            bool ok = false;
            const qlonglong entero = texto.toLongLong(&ok);
            if (ok) {
                a.valor = entero;
            } else {
                const double real = texto.toDouble(&ok);
                if (!ok) Fallar();
                a.valor = real;
            }
        } else if (v.Es("NULL")) {
            a.valor = QVariant();
            ++p_;
        } else if (v.tipo == TipoToken::Palabra || v.tipo == TipoToken::Corchete ||
                   v.tipo == TipoToken::Comillas || v.tipo == TipoToken::Variable) {
            a.valor = v.Nombre();
            ++p_;
        } else {
            Fallar();
        }
        if (!Tomar("OUTPUT")) Tomar("OUT");
        s.argumentos.push_back(a);
    } while (TomarSimbolo(","));
}

void Traductor::Traducir(std::vector<Sentencia>& salida, bool primeraDelLote) {
    const Token& cabeza = Actual();
    Sentencia s = Nueva(static_cast<int>(Clase::Nada));
    if (cabeza.Es("SELECT") || (cabeza.EsSimbolo("(") && Siguiente().Es("SELECT"))) {
        InfoConsulta info;
        if (TomarSimbolo("(")) {
            s.sql = Consulta(&info);
            ExigirSimbolo(")");
        } else {
            s.sql = Consulta(&info);
        }
        s.clase = Clase::Consulta;
        s.tabla = info.tablaUnica;
    } else if (cabeza.Es("INSERT")) {
        s.clase = Clase::Modificacion;
        Insertar(s);
    } else if (cabeza.Es("UPDATE")) {
        s.clase = Clase::Modificacion;
        Actualizar(s);
    } else if (cabeza.Es("DELETE")) {
        s.clase = Clase::Modificacion;
        Borrar(s);
    } else if (cabeza.Es("TRUNCATE")) {
        ++p_;
        Exigir("TABLE");
        QString simple;
        s.sql = QLatin1String("DELETE FROM ") + NombreObjeto(&simple);
        s.tabla = simple;
        s.clase = Clase::Modificacion;
    } else if (cabeza.Es("CREATE")) {
        Crear(salida, s);
        if (!Fin()) Fallar();
        return;
    } else if (cabeza.Es("ALTER")) {
        Alterar(s);
    } else if (cabeza.Es("DROP")) {
        Quitar(salida, s);
        if (!Fin()) Fallar();
        return;
    } else if (cabeza.Es("USE")) {
        ++p_;
        s.clase = Clase::Usar;
        s.objeto = Identificador();
    } else if (cabeza.Es("EXEC") || cabeza.Es("EXECUTE")) {
        Ejecutar(s);
    } else if (cabeza.Es("BEGIN")) {
        ++p_;
        Tomar("DISTRIBUTED");
        if (!Tomar("TRAN")) Exigir("TRANSACTION");
        if (!Fin() && (EsIdentificador(Actual()) || Actual().tipo == TipoToken::Variable)) ++p_;
        if (Es("WITH") && Siguiente().Es("MARK")) {
            p_ += 2;
            if (!Fin() && Actual().tipo == TipoToken::Cadena) ++p_;
        }
        s.clase = Clase::IniciarTransaccion;
    } else if (cabeza.Es("COMMIT") || cabeza.Es("ROLLBACK")) {
        ++p_;
        if (!Tomar("TRAN") && !Tomar("TRANSACTION")) Tomar("WORK");
        if (!Fin() && (EsIdentificador(Actual()) || Actual().tipo == TipoToken::Variable)) ++p_;
        s.clase = cabeza.Es("COMMIT") ? Clase::ConfirmarTransaccion : Clase::DeshacerTransaccion;
    } else if (cabeza.Es("SET")) {
        ++p_;
        // Session options (NOCOUNT, DATEFORMAT, ANSI_..., TRANSACTION ISOLATION LEVEL ...) change nothing
        // here.
        if (Fin() || Actual().tipo != TipoToken::Palabra) Fallar();
        while (!Fin()) {
            if (Actual().tipo != TipoToken::Palabra && Actual().tipo != TipoToken::Numero &&
                !EsSimbolo(",") && !EsSimbolo("=") && Actual().tipo != TipoToken::Cadena)
                Fallar();
            ++p_;
        }
        s.clase = Clase::Nada;
    } else if (primeraDelLote && EsIdentificador(cabeza) && !EsInicioDeSentencia(cabeza) &&
               !cabeza.Es("GO")) {
        // A procedure name alone at the head of a batch runs it.
        Ejecutar(s);
    } else {
        Fallar();
    }
    if (!Fin()) Fallar();
    salida.push_back(s);
}

}  // namespace

std::vector<Sentencia> TraducirLote(const QString& lote) {
    FalloLexico fallo;
    const std::vector<Token> todos = Tokenizar(lote, &fallo);
    if (fallo.numero != 0) throw ErrorTSQL(fallo.numero, fallo.mensaje, fallo.linea);
    std::vector<Token> significativos;
    significativos.reserve(todos.size());
    for (const Token& t : todos)
        if (t.Significativo()) significativos.push_back(t);
    std::vector<Sentencia> salida;
    bool primera = true;
    for (const TramoSentencia& tramo : DividirSentencias(significativos)) {
        Traductor traductor(significativos, lote, tramo.desde, tramo.hasta);
        traductor.Traducir(salida, primera);
        primera = false;
    }
    return salida;
}

}  // namespace kv::local
