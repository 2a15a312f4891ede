// Definition pass: CREATE / ALTER / DROP of tables, views, indexes and databases.

#include "localserver/tsql/Traductor.h"

#include "localserver/tsql/Mensajes.h"

namespace kv::local::traduccion {

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

QString Traductor::ColumnasNombradas() {
    ExigirSimbolo("(");
    QStringList nombres;
    do {
        nombres << CitarNombre(Identificador());
    } while (TomarSimbolo(","));
    ExigirSimbolo(")");
    return QLatin1String(" (") + nombres.join(QLatin1String(", ")) + QLatin1Char(')');
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

bool Traductor::ElementoTabla(Sentencia& s) {
    if (Tomar("CONSTRAINT")) {
        const QString nombre = Identificador();
        RestriccionTabla(s, nombre);
        return false;
    }
    if (Es("PRIMARY") || Es("UNIQUE") || Es("FOREIGN") || Es("CHECK")) {
        RestriccionTabla(s, QString());
        return false;
    }
    ColumnaDeclarada c;
    DefinicionColumna(c, s);
    s.columnas.push_back(c);
    return true;
}

void Traductor::CrearTabla(Sentencia& s) {
    // CREATE TABLE taken.
    ObjetoDefinido(s);
    ExigirSimbolo("(");
    do {
        if (EsSimbolo(")")) break;  // a trailing comma is accepted, as SQL Server does
        ElementoTabla(s);
    } while (TomarSimbolo(","));
    ExigirSimbolo(")");
    SaltarOpcionesAlmacenamiento();
    if (s.columnas.empty()) Fallar();
}

void Traductor::Alterar(Sentencia& s) {
    Exigir("ALTER");
    Exigir("TABLE");
    const QString tabla = ObjetoDefinido(s);
    if (Es("WITH") && (Siguiente().Es("NOCHECK") || Siguiente().Es("CHECK"))) p_ += 2;
    if (Tomar("ADD")) {
        bool hayColumnas = false;
        do {
            if (ElementoTabla(s)) hayColumnas = true;
        } while (TomarSimbolo(","));
        s.clase = hayColumnas ? Clase::AgregarColumna : Clase::AgregarRestricciones;
        return;
    }
    if (Tomar("DROP")) {
        Exigir("COLUMN");
        s.objeto = Identificador();
        s.clase = Clase::QuitarColumna;
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
        const QString vista = ObjetoDefinido(s);
        if (!s.baseObjeto.isEmpty())
            throw ErrorTSQL(mensajes::kPrefijoDeBase, mensajes::PrefijoDeBase(QStringLiteral("CREATE VIEW")), s.linea);
        const QString columnas = EsSimbolo("(") ? ColumnasNombradas() : QString();
        Exigir("AS");
        s.clase = Clase::Modificacion;
        ++colacionarColumnas_;
        InfoConsulta info;
        s.sql = QLatin1String("CREATE VIEW ") + vista + columnas + QLatin1String(" AS ") + Consulta(&info);
        // The types of the view's columns, for the queries that read it.
        if (!info.asterisco) s.tiposColumnas = info.tipos;
        if (info.agregada || info.distinta) {
            s.vistaNoActualizable = 4403;
        } else if (!info.tablaUnica.isEmpty()) {
            s.tablaVista = info.tablaUnica;
            s.filtroVista = info.filtro;
        } else {
            s.vistaNoActualizable = info.compuesta || info.fuentes > 0 ? 4405 : 4406;
        }
        --colacionarColumnas_;
    } else {
        const bool unico = Tomar("UNIQUE");
        if (!Tomar("CLUSTERED")) Tomar("NONCLUSTERED");
        Exigir("INDEX");
        s.indice = Identificador();
        const QString indice = CitarNombre(s.indice);
        Exigir("ON");
        const QString tabla = ObjetoDefinido(s);
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
        QString nombre;
        if (clase == QLatin1String("INDEX")) {
            // DROP INDEX indice ON [base.dbo.]tabla, or the older [base.dbo.]tabla.indice.
            const int linea = Actual().linea;
            QStringList partes{Identificador()};
            while (TomarSimbolo(".")) partes << (EsSimbolo(".") ? QString() : Identificador());
            if (partes.last().isEmpty()) Fallar();
            s.indice = partes.last();
            if (Tomar("ON")) {
                if (partes.size() > 1) Fallar();
                ObjetoDefinido(s);
            } else {
                if (partes.size() < 2 || partes.size() > 4 || partes[partes.size() - 2].isEmpty())
                    throw ErrorTSQL(mensajes::kIndiceSinTabla, mensajes::IndiceSinTabla(), linea);
                s.tabla = partes[partes.size() - 2];
                if (partes.size() == 4) s.baseObjeto = partes[0];
                if (EsNombreInterno(s.tabla))
                    throw ErrorTSQL(mensajes::kObjetoInvalido, mensajes::ObjetoInvalido(s.tabla), linea);
            }
            nombre = CitarNombre(s.indice);
        } else {
            nombre = ObjetoDefinido(s);
            if (clase == QLatin1String("VIEW") && !s.baseObjeto.isEmpty())
                throw ErrorTSQL(mensajes::kPrefijoDeBase, mensajes::PrefijoDeBase(QStringLiteral("DROP VIEW")),
                                s.linea);
        }
        s.sql = QLatin1String("DROP ") + clase +
                (siExiste ? QLatin1String(" IF EXISTS ") : QLatin1String(" ")) + nombre;
        salida.push_back(s);
    } while (TomarSimbolo(","));
}

}  // namespace kv::local::traduccion
