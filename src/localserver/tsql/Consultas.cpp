// Query pass: SELECT, its FROM list and joins, grouping rules, ORDER BY, TOP and
// compound queries.

#include "localserver/tsql/Traductor.h"

#include <QRegularExpression>
#include <utility>

#include "localserver/tsql/Mensajes.h"

namespace kv::local::traduccion {

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
    QStringList partes;
    sql = NombreObjeto(&simple, &partes);
    ++*fuentes;
    if (unica) *unica = simple;
    const auto vista = VistaDelCatalogo(partes);
    if (vista) {
        sql = *vista;
        if (unica) unica->clear();
    }
    if (fuentesEscritas_ && !vista) fuentesEscritas_->push_back({sql, simple, QString()});
    if (Tomar("AS") || (!Fin() && EsIdentificador(Actual()))) {
        const QString alias = Identificador();
        if (fuentesEscritas_ && !vista) fuentesEscritas_->back().alias = alias;
        sql += QLatin1Char(' ') + CitarNombre(alias);
    } else if (vista) {
        sql += QLatin1Char(' ') + CitarNombre(simple);  // columns may be named after the view
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
    if (info) {
        info->tablaUnica = fuentes == 1 ? unica : QString();
        info->fuentes = fuentes;
    }
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
    // ORDER BY reads the columns of the query's own FROM list.
    fuentes_.push_back(agrupacion ? agrupacion->fuentes : std::vector<Fuente>{});
    struct QuitarFuentes {
        std::vector<std::vector<Fuente>>& pila;
        ~QuitarFuentes() { pila.pop_back(); }
    } quitarFuentes{fuentes_};
    QStringList items;
    do {
        std::vector<Referencia> refs;
        ambitos_.push_back(Ambito{0, false, &refs});
        Expr e = Expresion();
        ambitos_.pop_back();
        if (agrupacion) ComprobarAgrupado(*agrupacion, e.sql, refs, Clausula::Orden);
        QString item = e.columna || e.tipo == TipoValor::Numero ? e.sql : Colacionar(e);
        // Amounts order as numbers, an exact text past a double's reach too. A
        // bare name that is the alias of another select item is left to the
        // engine, which takes the alias for it.
        // A bare name that is the alias of a money item orders by that item
        // (the engine would read a column of that name inside a function).
        if (agrupacion) {
            const QString nombre = e.columna && refs.size() == 1 ? refs.front().nombre : e.sql.toLower();
            const bool alias = (e.columna || refs.empty()) && agrupacion->alias.contains(nombre) &&
                               !agrupacion->propios.contains(nombre);
            if (alias && agrupacion->dinero.contains(nombre)) {
                Expr elemento;
                elemento.sql = agrupacion->dinero.value(nombre);
                item = ClaveDinero(elemento);
            } else if (!alias && EsTipoDinero(e.tipoSql)) {
                item = ClaveDinero(e);
            }
        }
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
    fuentes_.push_back(LeerFuentesAdelante());
    struct QuitarFuentes {
        std::vector<std::vector<Fuente>>& pila;
        ~QuitarFuentes() { pila.pop_back(); }
    } quitarFuentes{fuentes_};
    Agrupacion propia;
    Agrupacion& g = agrupacion ? *agrupacion : propia;
    g.fuentes = fuentes_.back();
    std::vector<std::vector<Referencia>> referencias;
    QStringList sqlItems;
    bool hayAsterisco = false;
    QString sql = QStringLiteral("SELECT ");
    bool distinto = false;
    if (Tomar("DISTINCT")) {
        distinto = true;
        if (info) info->distinta = true;
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
            if (info) info->asterisco = true;
            continue;
        }
        if (EsIdentificador(Actual()) && Siguiente().EsSimbolo(".") && Siguiente(2).EsSimbolo("*")) {
            const QString tabla = Identificador();
            p_ += 2;
            items << CitarNombre(tabla) + QLatin1String(".*");
            hayAsterisco = true;
            if (info) info->asterisco = true;
            continue;
        }
        QString alias;
        bool conAlias = false;
        static const QStringList asignadores = {QStringLiteral("="),  QStringLiteral("+="),
                                                QStringLiteral("-="), QStringLiteral("*="),
                                                QStringLiteral("/="), QStringLiteral("%=")};
        if (!Fin() && Actual().tipo == TipoToken::Variable &&
            !Actual().texto.startsWith(QLatin1String("@@")) && Siguiente().tipo == TipoToken::Simbolo &&
            asignadores.contains(Siguiente().texto)) {
            // SELECT @v = expresión: the value goes to the variable, converted to its type.
            const Variable& v = VariableDeclarada(Actual());
            const QString op = Siguiente().texto;
            if (!info || (items.size() > static_cast<int>(info->asignaciones.size())))
                throw ErrorTSQL(mensajes::kAsignacionMezclada, mensajes::AsignacionMezclada(),
                                Actual().linea);
            p_ += 2;
            referencias.emplace_back();
            ambitos_.back().destino = &referencias.back();
            const QString valor = ValorParaVariable(v, op);
            ambitos_.back().destino = nullptr;
            sqlItems << valor;
            info->asignaciones << v.parametro;
            items << valor + QLatin1String(" AS ") + CitarNombre(v.parametro.mid(1));
            continue;
        }
        if (info && !info->asignaciones.isEmpty())
            throw ErrorTSQL(mensajes::kAsignacionMezclada, mensajes::AsignacionMezclada(), Actual().linea);
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
        if (info) info->tipos.push_back(TipoAnunciado(e));
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
        if (e.columna && alias.compare(t_[finExpr - 1].Nombre(), Qt::CaseInsensitive) == 0)
            g.propios.insert(alias.toLower());
        if (EsTipoDinero(e.tipoSql)) g.dinero.insert(alias.toLower(), e.sql);
        Q_UNUSED(inicio);
        items << item;
    } while (TomarSimbolo(","));
    sql += items.join(QLatin1String(", "));
    if (Es("INTO")) {
        // SELECT ... INTO t: only the statement's own SELECT makes a table.
        if (!destinoInto_ || !destinoInto_->isEmpty()) Fallar();
        ++p_;
        const int antes = static_cast<int>(lote_.bases.size());
        QString destino;
        NombreObjeto(&destino);
        if (static_cast<int>(lote_.bases.size()) != antes || destino.startsWith(QLatin1Char('@'))) Fallar();
        *destinoInto_ = destino;
        destinoInto_ = nullptr;
    }
    if (Tomar("FROM")) sql += QLatin1String(" FROM ") + ListaFrom(info);
    if (Tomar("WHERE")) {
        const QString filtro = Expresion().sql;
        sql += QLatin1String(" WHERE ") + filtro;
        if (info) info->filtro = filtro;
    }
    if (Es("GROUP")) {
        ++p_;
        Exigir("BY");
        QStringList grupos;
        g.agrupada = true;
        do {
            const int inicioGrupo = p_;
            Expr e = Expresion();
            grupos << (e.columna || e.tipo == TipoValor::Numero ? e.sql : Colacionar(e));
            // A unary plus keeps the collation and is no bare name, so a select-list
            // alias of the same name cannot stand in for the group key.
            g.desempate << QLatin1String("+(") + grupos.back() + QLatin1Char(')');
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
    if (info && g.agrupada) info->agregada = true;
    // A grouped query names in its select list only grouped columns, or columns inside aggregates.
    if (g.agrupada && !hayAsterisco) {
        for (size_t k = 0; k < referencias.size(); ++k)
            ComprobarAgrupado(g, sqlItems[static_cast<int>(k)], referencias[k], Clausula::Seleccion);
    }
    return sql;
}

QString Traductor::Consulta(InfoConsulta* info, bool principal) {
    // The tables of a query inside an UPDATE's or DELETE's FROM are not its own.
    struct SinFuentesEscritas {
        std::vector<FuenteEscrita>*& fuentes;
        std::vector<FuenteEscrita>* guardadas;
        ~SinFuentesEscritas() { fuentes = guardadas; }
    } sinFuentesEscritas{fuentesEscritas_, std::exchange(fuentesEscritas_, nullptr)};
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
        if (info) {
            info->tablaUnica.clear();
            info->compuesta = true;
        }
    }
    // Groups equal on every ORDER BY term (all of them, without ORDER BY) come in
    // the order of their group keys: what the client sees, and which groups a TOP
    // keeps, never depends on how the engine happened to read the rows.
    const QStringList desempate = principal && !compuesta ? agrupacion.desempate : QStringList();
    if (Es("ORDER")) {
        ++p_;
        Exigir("BY");
        Entrar();
        sql += OrdenarPor(compuesta ? nullptr : &agrupacion);
        Salir();
        if (!desempate.isEmpty()) sql += QLatin1String(", ") + desempate.join(QLatin1String(", "));
    } else if (!desempate.isEmpty()) {
        sql += QLatin1String(" ORDER BY ") + desempate.join(QLatin1String(", "));
    }
    if (!compuesta) sql = conLimite(sql, limite);
    return sql;
}

}  // namespace kv::local::traduccion
