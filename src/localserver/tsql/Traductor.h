#pragma once
// Inside the T-SQL front end: the recursive-descent translator that every pass
// shares. Each pass (expressions, types, functions, queries, definitions,
// statements) lives in its own file and adds its members to this class.

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "localserver/tsql/Lexico.h"
#include "localserver/tsql/Mensajes.h"
#include "localserver/tsql/Traduccion.h"

namespace kv::local {
struct DefinicionRutina;
}

namespace kv::local::traduccion {

// Deepest nesting of parentheses and subqueries a statement may have; deeper
// text is refused instead of exhausting the stack.
inline constexpr int kAnidamientoMaximo = 160;
// OR and AND chains longer than this are grouped into a balanced tree so that
// SQLite's expression depth limit is never reached.
inline constexpr int kCadenaMaxima = 32;
// Longer chains of operators that must keep their left-to-right order are
// refused; SQLite's parser gives up far sooner anyway (191).
inline constexpr int kCadenaAnidadaMaxima = 1000;
// Most terms one chain of operators may have (8631 past it).
inline constexpr int kTerminosMaximos = 262144;
// SQL Server nests CASE expressions ten deep at most.
inline constexpr int kCasosAnidadosMaximo = 10;

inline const QString kColacion = QStringLiteral(" COLLATE KV");

// Words that never stand for a column, alias or table name.
const QSet<QString>& Reservadas();
bool EsReservada(const Token& t);
bool EsIdentificador(const Token& t);
// An identifier as SQLite reads it with the same meaning.
QString CitarNombre(const QString& nombre);
QString LiteralTexto(const QString& valor);

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
    QString tipoSql;  // SQL Server type of the value when known ("int", "money", "float"...), lower case
    // An exact decimal (tipoSql "decimal"): its decimal(precision, escala); 0 when not known.
    int precision = 0;
    int escala = 0;
};

QString Colacionar(const Expr& e);
// Text comparison must follow the server's collation. A bare column already
// has it; so does a literal compared with a column. Numbers compare as numbers.
bool NecesitaColacion(const Expr& izq, const Expr& der);
QString Balancear(const QStringList& terminos, const QString& conector, int desde, int hasta);

// Catalog views (CatalogoVistas.cpp).
// The server's tables and SQLite's: no user statement may name them.
bool EsNombreInterno(const QString& nombre);
// The query that stands for a catalog view named by its written parts
// ("INFORMATION_SCHEMA", "TABLES"), in parentheses; nothing for other names.
// With three parts ("NORTE", "sys", "tables") the view is that database's.
std::optional<QString> VistaDelCatalogo(const QStringList& partes);

// Result types (Tipos.cpp).
// Rank of a numeric type in SQL Server's conversion order; 0 for other types.
int Rango(const QString& tipo);
bool EsTipoEntero(const QString& tipo);
bool EsTipoDinero(const QString& tipo);
// Type of "a op b" for two numeric types; empty when either is unknown.
QString TipoDeOperacion(const QString& a, const QString& b);
// Place of a type in SQL Server's data type precedence (higher wins when two
// types meet); 0 for an unknown type.
int Precedencia(const QString& tipo);
// An arithmetic result checked and rounded as its type requires (int and bigint
// overflow fail with 8115, money keeps four decimals).
QString AjustarAlTipo(const QString& sql, const QString& tipo);
QString TipoDeLiteral(const QString& textoNumero);
// "a op b" (+ - * /) worked as exact decimals when both have a known
// decimal(p, s) (money is decimal(19, 4), a literal its own digits) and the
// result is decimal; nothing otherwise.
std::optional<Expr> OperacionDecimal(const Expr& a, const QString& op, const Expr& b);
// The type a select item announces: "decimal(p,s)" for an exact decimal.
QString TipoAnunciado(const Expr& e);
// The type name of an announced type ("decimal" for "decimal(22,5)").
QString TipoBase(const QString& anunciado);
// The number a translated literal writes ("-12.5" for "(-12.5)"); empty when the
// expression is no plain number.
QString NumeroEscrito(const QString& sql);
// A literal of more digits than a REAL keeps, written as its text so that the
// column it goes into reads it exactly; any other expression as it is.
QString LiteralExacto(const QString& sql);

struct Tipo {
    QString nombre;  // lower case
    int longitud = 0;
    int precision = 0;
    int escala = 0;
};

// A variable declared in the batch: the SQLite parameter that carries it and its type.
struct Variable {
    QString parametro;  // "@kv_v1"
    Tipo tipo;
};

// What the statements of one batch share while they are translated.
struct ContextoLote {
    TiposColumnas* tipos = nullptr;      // declared column types; null when unknown
    QHash<QString, Variable> variables;  // lower-case name ("@total") -> variable
    int bucles = 0;                      // WHILE loops open around the statement being read
    bool enRutina = false;               // the body of a procedure: RETURN n is allowed, USE is not
    // Other databases named by the statement being read (see Sentencia::bases).
    QStringList bases;
    QStringList objetosExternos;
    QStringList tablasVariables;  // table variables named by the statement being read
};


class Traductor {
  public:
    Traductor(const std::vector<Token>& t, const QString& fuente, int desde, int hasta, ContextoLote& lote)
        : t_(t), fuente_(fuente), p_(desde), desde_(desde), fin_(hasta), lote_(lote) {}

    void Traducir(std::vector<Sentencia>& salida, bool primeraDelLote);
    // CREATE [OR ALTER] | ALTER PROCEDURE name [params] [WITH ...] AS: reads the header,
    // declares the parameters as the batch's first variables and leaves the position
    // at the first token of the body (Rutinas.cpp). `tipos` receives each parameter's type.
    int CabeceraRutina(kv::local::DefinicionRutina& def, std::vector<Tipo>& tipos);
    // "SELECT <value of `parametro` converted to the type>", for a parameter's incoming value.
    QString ConversionDeParametro(const Tipo& tipo, const QString& parametro);
    // IF and WHILE: the condition after the keyword (ControlFlujo.cpp).
    void Condicion(Sentencia& s);

  private:
    const std::vector<Token>& t_;
    const QString& fuente_;
    int p_;
    int desde_;
    int fin_;
    ContextoLote& lote_;
    int anidamiento_ = 0;
    int casos_ = 0;               // CASE expressions open around the current token
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
    // SELECT ... INTO: where the statement's own SELECT puts the target's name; null
    // where INTO is not allowed.
    QString* destinoInto_ = nullptr;
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
    QString NombreObjeto(QString* simple = nullptr, QStringList* partesEscritas = nullptr);
    QString ParteSinEsquema(const QStringList& partes, QString* simple);

    // ---- expressions ----
    Expr Expresion();
    Expr O();
    Expr Y();
    Expr No();
    Expr Predicado();
    Expr Aditiva();
    Expr Multiplicativa();
    Expr Sumar(const Expr& a, const QString& op, const Expr& b);
    Expr Multiplicar(const Expr& a, const QString& op, const Expr& b);
    static bool ComparaComoDinero(const Expr& a, const Expr& b);
    static QString ClaveDinero(const Expr& e);
    Expr Agrupar(const std::vector<Expr>& terminos, const QString& op, size_t desde, size_t hasta);
    Expr EncadenarTerminos(const std::vector<Expr>& terminos, const std::vector<QString>& operadores,
                           bool multiplicativa);
    void ContarTerminos(size_t terminos) const;
    Expr Unaria();
    Expr Primaria();
    Expr Funcion(const QString& nombre, const QString& nombreSalida);
    // OBJECT_ID, DB_ID, DB_NAME, SUSER_SNAME, USER_NAME, SCOPE_IDENTITY: false for other names.
    bool FuncionDelSistema(const QString& n, const std::vector<Expr>& argumentos, Expr& r);
    Expr Caso();
    // The values a CASE, COALESCE, IIF or CHOOSE may give: the result takes the
    // type of highest precedence among them, and a text under money is read as money.
    static Expr TipoDeRamas(std::vector<Expr>& ramas);
    Expr Convertir(const Tipo& tipo, const Expr& valor, const QString& estilo);
    Expr ConvertirSinTipo(const Tipo& tipo, const Expr& valor, const QString& estilo);

    // The tables of each SELECT level, read ahead of its select list so that the
    // columns it names have their declared types.
    struct Fuente {
        QString alias;  // lower case
        QString tabla;  // empty for a derived table
    };
    std::vector<std::vector<Fuente>> fuentes_;
    // The tables the FROM of an UPDATE or DELETE names at its own level, with the
    // alias each was written with: where the statement's target is one of them, the
    // statement changes that table's rows its FROM finds.
    struct FuenteEscrita {
        QString sql;     // SQLite text of the table
        QString nombre;  // its last part
        QString alias;   // as written; empty without one
    };
    std::vector<FuenteEscrita>* fuentesEscritas_ = nullptr;
    const FuenteEscrita* FuenteDelDestino(const std::vector<FuenteEscrita>& fuentes, const QString& destino) const;
    // UPDATE's or DELETE's own FROM (empty without one), and the tables it names.
    QString FromDeEscritura(std::vector<FuenteEscrita>& escritas);
    std::vector<Fuente> LeerFuentesAdelante() const;
    QString TipoDeColumna(const QStringList& partes) const;
    Tipo LeerTipo();
    QString ListaOSubconsulta();

    // ---- SELECT ----
    struct InfoConsulta {
        QString tablaUnica;
        std::vector<QString> tipos;  // SQL Server type of each select-list item, empty when unknown
        bool asterisco = false;      // the list has a * (then `tipos` says nothing)
        QStringList asignaciones;    // SELECT @v = ...: the variables' parameters, in order
        bool agregada = false;       // GROUP BY, HAVING or aggregates
        bool distinta = false;       // SELECT DISTINCT
        bool compuesta = false;      // UNION, EXCEPT or INTERSECT
        int fuentes = 0;             // sources of the FROM list (0: no FROM)
        QString filtro;              // the WHERE as translated: which rows of its table a view shows
    };
    // What ORDER BY needs to know of the SELECT level it sorts.
    struct Agrupacion {
        bool agrupada = false;    // GROUP BY or aggregates in the select list
        QStringList expresiones;  // GROUP BY expressions, lower case
        QSet<QString> columnas;   // grouped bare columns, lower case
        QSet<QString> alias;      // select list names, lower case
        QSet<QString> propios;    // those that name a bare column by its own name
        QHash<QString, QString> dinero;  // names of money items, lower case: the item as translated
        std::vector<Fuente> fuentes;     // the FROM list, for the types of ORDER BY's columns
        QString tabla;            // the only table, for messages
        QStringList desempate;    // GROUP BY expressions as translated, to order equal rows by
    };
    // Where a column of a grouped query is named: each place has its own error.
    enum class Clausula { Seleccion, Orden, Having };
    void ComprobarAgrupado(const Agrupacion& g, const QString& sql, const std::vector<Referencia>& refs,
                           Clausula clausula);
    // `principal`: the statement's own SELECT, whose rows reach the client.
    QString Consulta(InfoConsulta* info = nullptr, bool principal = false);
    QString NucleoSelect(InfoConsulta* info, QString* limite, Agrupacion* agrupacion);
    QString ListaFrom(InfoConsulta* info);
    QString FuenteTabla(int* fuentes, QString* unica);
    void SaltarSugerencias();
    QString OrdenarPor(const Agrupacion* agrupacion);

    // ---- statements ----
    Sentencia Nueva(int clase) const;
    // The table or view a statement is about: its SQLite text, the last part kept in `s.tabla`.
    QString ObjetoDeSentencia(Sentencia& s);
    // The table a definition makes, changes or drops. Written base.dbo.t, it lives in
    // that database: `s.baseObjeto` keeps its name and the text names the table as
    // that database's own, since the session runs the statement there.
    QString ObjetoDefinido(Sentencia& s);
    // The same for the table INSERT, UPDATE and DELETE write, past its WITH (...) hints.
    QString TablaEscrita(Sentencia& s);
    void Insertar(Sentencia& s);
    void Actualizar(Sentencia& s);
    void Borrar(Sentencia& s);
    void Crear(std::vector<Sentencia>& salida, Sentencia s);
    void CrearTabla(Sentencia& s);
    // One item of a table's body or of ALTER TABLE ADD: a constraint or a column. True for a column.
    bool ElementoTabla(Sentencia& s);
    bool DefinicionColumna(ColumnaDeclarada& c, Sentencia& s);
    void RestriccionTabla(Sentencia& s, const QString& nombre);
    QStringList ListaColumnasClave();
    // "(a, b)" naming columns, as the SQLite text " (a, b)" with each name quoted.
    QString ColumnasNombradas();
    void Alterar(Sentencia& s);
    void Quitar(std::vector<Sentencia>& salida, const Sentencia& base);
    void Ejecutar(Sentencia& s);
    void Conceder(Sentencia& s);
    // CREATE/ALTER/DROP LOGIN, CREATE/DROP USER, ALTER [SERVER] ROLE (Seguridad.cpp);
    // false when the statement is none of them.
    bool Seguridad(Sentencia& s);
    void SaltarOpcionesAlmacenamiento();

    // ---- control flow and variables (ControlFlujo.cpp) ----
    Expr LeerVariable();
    const Variable& VariableDeclarada(const Token& tk) const;
    QString ValorParaVariable(const Variable& v, const QString& op);
    void Declarar(std::vector<Sentencia>& salida, const Sentencia& base);
    bool AsignarConSet(Sentencia& s);
    void Imprimir(Sentencia& s);
    void Elevar(Sentencia& s);
    void Esperar(Sentencia& s);
    void Retornar(Sentencia& s);
    void Lanzar(Sentencia& s);
    void OpcionDeSesion(Sentencia& s);
    // The SQLite parameter of a variable given to a procedure (137 when not declared).
    QString ParametroDeVariable(const Token& tk) const;
    void QuitarProcedimiento(Sentencia& s);
    QVariant ConstanteDeParametro();
};

}  // namespace kv::local::traduccion
