#include "stats/ConsultaCarga.h"

#include <QRegularExpression>
#include <cmath>

#include "core/Numeros.h"
#include "db/TextoSQL.h"

namespace kv::stats {

using kv::db::DuplicarApostrofes;

std::optional<Mes> LeerMes(const QString& texto) {
    static const QRegularExpression forma(QStringLiteral("^\\s*(\\d{1,2})\\s*/\\s*(\\d{2}|\\d{4})\\s*$"));
    const auto m = forma.match(texto);
    if (!m.hasMatch()) return std::nullopt;
    const int mes = m.captured(1).toInt();
    int anio = m.captured(2).toInt();
    if (m.captured(2).size() == 2) anio += anio < 30 ? 2000 : 1900;  // two-digit years as dates read them
    if (mes < 1 || mes > 12 || anio < 1753) return std::nullopt;
    return Mes{mes, anio};
}

QString TextoMes(const Mes& mes) { return QStringLiteral("%1/%2").arg(mes.mes).arg(mes.anio); }

QString MensajeMesInvalido(const QString& texto) {
    return QStringLiteral("El mes \"%1\" no es válido: escríbalo como mes/año, por ejemplo 3/2024.")
        .arg(texto);
}

QString MensajeRangoInvertido(const QString& desde, const QString& hasta) {
    return QStringLiteral("El mes desde (%1) es posterior al mes hasta (%2): no se cargaron datos.")
        .arg(desde, hasta);
}

QStringList ListaMeses(const QString& mesDesde, const QString& mesHasta, const QDate& hoy, QString& error) {
    error.clear();
    const QDate fecha = hoy.isValid() ? hoy : QDate::currentDate();
    const QString textoDesde = mesDesde.trimmed().isEmpty() ? QStringLiteral("1/1990") : mesDesde.trimmed();
    const QString textoHasta =
        mesHasta.trimmed().isEmpty() ? TextoMes(Mes{fecha.month(), fecha.year()}) : mesHasta.trimmed();
    const auto desde = LeerMes(textoDesde);
    if (!desde) {
        error = MensajeMesInvalido(textoDesde);
        return {};
    }
    const auto hasta = LeerMes(textoHasta);
    if (!hasta) {
        error = MensajeMesInvalido(textoHasta);
        return {};
    }
    const int primero = desde->anio * 12 + desde->mes - 1;
    const int ultimo = hasta->anio * 12 + hasta->mes - 1;
    // A reversed range would never reach its last month.
    if (primero > ultimo) {
        error = MensajeRangoInvertido(textoDesde, textoHasta);
        return {};
    }
    QStringList meses;
    for (int i = primero; i <= ultimo; ++i) meses << TextoMes(Mes{i % 12 + 1, i / 12});
    return meses;
}

QString ClausulaEmpresas(const QStringList& empresas) {
    if (empresas.isEmpty()) return QStringLiteral(" WHERE BASE = '' ");
    if (empresas.size() == 1)
        return QStringLiteral(" Where BASE ='") + DuplicarApostrofes(empresas[0]) + QStringLiteral("' ");
    QStringList condiciones;
    for (const QString& empresa : empresas)
        condiciones << QStringLiteral("BASE ='") + DuplicarApostrofes(empresa) + QStringLiteral("'");
    return QStringLiteral(" Where (") + condiciones.join(QStringLiteral(" OR ")) + QStringLiteral(") ");
}

QString ClausulaMeses(const QStringList& meses) {
    QString texto;
    for (int i = 0; i < meses.size(); ++i) {
        texto += (i == 0 ? QStringLiteral(" AND (FECHA ='") : QStringLiteral(" OR FECHA ='")) + meses[i] +
                 QStringLiteral("' ");
    }
    texto += QStringLiteral(") ");
    return texto;
}

bool NivelFecha(const QString& titulo) {
    return titulo.trimmed().compare(QLatin1String("Fecha"), Qt::CaseInsensitive) == 0;
}

QString MesComoSeGuarda(const QString& texto) {
    const auto mes = LeerMes(texto);
    return mes ? TextoMes(*mes) : texto.trimmed();
}

namespace {

// The months of a Fecha level's range, in calendar order: from its lower bound
// (or the load's first month) to its upper bound (or the load's last month).
// Texts compare "10/2023" before "3/2023", so the range is sent as the list of
// its months. A bound past the load's months leaves that bound alone in the
// list, which no loaded row carries.
QStringList MesesDelRango(const FiltroNivel& filtro, const QStringList& meses, QString& error) {
    const bool conDesde = !filtro.desde.trimmed().isEmpty();
    const bool conHasta = !filtro.hasta.trimmed().isEmpty();
    std::optional<Mes> desde, hasta;
    if (conDesde) {
        desde = LeerMes(filtro.desde);
        if (!desde) {
            error = MensajeMesInvalido(filtro.desde.trimmed());
            return {};
        }
    } else if (!meses.isEmpty()) {
        desde = LeerMes(meses.first());
    }
    if (conHasta) {
        hasta = LeerMes(filtro.hasta);
        if (!hasta) {
            error = MensajeMesInvalido(filtro.hasta.trimmed());
            return {};
        }
    } else if (!meses.isEmpty()) {
        hasta = LeerMes(meses.last());
    }
    if (!desde || !hasta) return {TextoMes(desde ? *desde : *hasta)};
    const int primero = desde->anio * 12 + desde->mes - 1;
    const int ultimo = hasta->anio * 12 + hasta->mes - 1;
    if (primero > ultimo) {
        if (conDesde && conHasta) {
            error = MensajeRangoInvertido(TextoMes(*desde), TextoMes(*hasta));
            return {};
        }
        return {TextoMes(conDesde ? *desde : *hasta)};
    }
    QStringList lista;
    for (int m = primero; m <= ultimo; ++m) lista << TextoMes(Mes{m % 12 + 1, m / 12});
    return lista;
}

QString ListaEnSQL(const QStringList& valores) {
    QStringList citados;
    for (const QString& v : valores) citados << QStringLiteral("'") + DuplicarApostrofes(v) + QStringLiteral("'");
    return citados.join(QLatin1Char(','));
}

}  // namespace

QString ClausulaFiltros(const std::array<QString, kNiveles>& titulos,
                        const std::array<FiltroNivel, kNiveles>& filtros, const QStringList& meses,
                        QString* error) {
    QString texto;
    QString fallo;
    for (int nivel = 0; nivel < kNiveles; ++nivel) {
        if (!NivelAsignado(titulos, nivel)) continue;
        const FiltroNivel& filtro = filtros[static_cast<size_t>(nivel)];
        const QString columna = QStringLiteral("GRUPO%1").arg(nivel + 1);
        const bool fecha = NivelFecha(titulos[static_cast<size_t>(nivel)]);
        if (!filtro.valores.trimmed().isEmpty()) {
            QString lista;
            if (fecha) {
                // A month typed or picked as "03/2024" is stored as "3/2024".
                QStringList valores;
                for (const QString& v : filtro.valores.split(QLatin1Char(','))) valores << MesComoSeGuarda(v);
                lista = ListaEnSQL(valores);
            } else {
                lista = QStringLiteral("'") + DuplicarApostrofes(filtro.valores).replace(QLatin1Char(','),
                                                                                         QStringLiteral("','")) +
                        QStringLiteral("'");
            }
            texto += QStringLiteral(" and ltrim(") + columna + QStringLiteral(") in (") + lista +
                     QStringLiteral(") ");
        }
        const bool conDesde = !filtro.desde.trimmed().isEmpty();
        const bool conHasta = !filtro.hasta.trimmed().isEmpty();
        if (fecha && (conDesde || conHasta)) {
            const QStringList rango = MesesDelRango(filtro, meses, fallo);
            if (!fallo.isEmpty()) break;
            texto += QStringLiteral(" and ltrim(") + columna + QStringLiteral(") in (") + ListaEnSQL(rango) +
                     QStringLiteral(") ");
            continue;
        }
        if (conDesde) {
            texto += QStringLiteral(" and ltrim(") + columna + QStringLiteral(") >='") +
                     DuplicarApostrofes(filtro.desde) + QStringLiteral("' ");
        }
        if (conHasta) {
            texto += QStringLiteral(" and ltrim(") + columna + QStringLiteral(") <='") +
                     DuplicarApostrofes(filtro.hasta) + QStringLiteral("' ");
        }
    }
    if (error) *error = fallo;
    return fallo.isEmpty() ? texto : QString();
}

QString ClausulaWhere(const EntradaCarga& entrada, QString& error) {
    const QStringList meses = ListaMeses(entrada.mesDesde, entrada.mesHasta, entrada.hoy, error);
    if (!error.isEmpty()) return QString();
    const QString filtros = ClausulaFiltros(entrada.titulos, entrada.filtros, meses, &error);
    if (!error.isEmpty()) return QString();
    return ClausulaEmpresas(entrada.empresas) + ClausulaMeses(meses) + filtros;
}

QString ExpresionOrden(int indice) {
    // The profit percentages divide by a sum that can be 0; such a group sorts
    // as 100, the value the load shows for it.
    if (indice == 4) {
        return QStringLiteral(
            "(CASE WHEN SUM(ValorCosto)=0 THEN 100 ELSE (((SUM(ValorVenta) "
            "-SUM(ValorCosto))/SUM(ValorCosto))*100) END)");
    }
    if (indice == 5) {
        return QStringLiteral(
            "(CASE WHEN SUM(ValorVenta)=0 THEN 100 ELSE (((SUM(ValorVenta) - "
            "SUM(ValorCosto))/SUM(ValorVenta))*100) END)");
    }
    // Quantities, costs and sales are stored as stock movements, negative for a
    // sale. The user reads them with the sign turned (the grid's "*-1"), so these
    // criteria sort on the turned sum: descending puts the biggest sellers first
    // and a TOP keeps them, net returns last. The sums are written out: SQL Server
    // takes a select-list alias in ORDER BY only on its own, not inside an expression.
    switch (indice) {
        case 1:
            return QStringLiteral("(SUM(CONSUMO)*-1)");
        case 2:
            return QStringLiteral("(SUM(VALORCOSTO)*-1)");
        case 3:
            return QStringLiteral("(SUM(VALORVENTA)*-1)");
        case 6:
            return QStringLiteral("((SUM(ValorVenta) - SUM(ValorCosto))*-1)");
        default:
            break;
    }
    return CasillasOrden()[static_cast<size_t>(indice)].etiqueta;
}

QString ClausulaOrderBy(const EstadoOrden& orden, bool ascendente) {
    QString texto;
    for (int k = kCasillasOrden; k >= 1; --k) {
        for (int i = 0; i < kCasillasOrden; ++i) {
            if (ValorPosicion(orden[static_cast<size_t>(i)].posicion) != k) continue;
            if (i != 0) {
                texto += texto.isEmpty() ? QStringLiteral(" ORDER BY ") : QStringLiteral(", ");
                texto += ExpresionOrden(i) + (ascendente ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
            }
            break;
        }
    }
    return texto;
}

QString ConsultaGrafico(const QString& tabla, const QString& where, const QString& orderBy) {
    return QStringLiteral(
               "SELECT SUM(CONSUMO) AS CONSUMO, SUM(VALORCOSTO) AS VALORCOSTO, SUM(VALORVENTA) AS "
               "VALORVENTA,grupo1,grupo2,grupo3 FROM ") +
           tabla + QStringLiteral(" ") + where + QStringLiteral(" GROUP BY GRUPO1, GRUPO2, GRUPO3 ") +
           orderBy;
}

QString ConsultaGrilla(const QString& tabla, const std::array<QString, kNiveles>& titulos,
                       const QString& where) {
    return QStringLiteral("SELECT BASE,grupo1 AS [") + titulos[0] + QStringLiteral("] ,grupo2 AS [") +
           titulos[1] + QStringLiteral("],grupo3 AS [") + titulos[2] + QStringLiteral("],") +
           QStringLiteral("SUM(convert(money,CONSUMO)*-1) AS CONSUMO, ") +
           QStringLiteral("SUM(VALORCOSTO*-1) AS VALORCOSTO, ") +
           QStringLiteral("SUM(VALORVENTA*-1) AS VALORVENTA ,") +
           QStringLiteral(
               "case when SUM(valorcosto)=0 then 100 else "
               "(((SUM(VALORVENTA*-1)-SUM(VALORCOSTO*-1))/SUM(VALORCOSTO*-1))*100) end AS UTL_COSTOPorc, ") +
           QStringLiteral(
               "case when SUM(valorventa)=0 then 100 else "
               "(((SUM(VALORVENTA*-1)-SUM(VALORCOSTO*-1))/SUM(VALORVENTA*-1))*100) end AS UTL_VENTAPorc, ") +
           QStringLiteral("SUM(((VALORVENTA*-1)-(VALORCOSTO*-1))) AS UTILIDAD") + QStringLiteral(" FROM ") +
           tabla + QStringLiteral(" ") + where +
           QStringLiteral(" GROUP BY BASE, GRUPO1, GRUPO2, GRUPO3 ORDER BY  GRUPO1, GRUPO2,GRUPO3");
}

std::optional<int> CantidadTop(const QString& texto) {
    if (texto.trimmed().isEmpty()) return 0;
    const double valor = std::nearbyint(kv::core::TextoANumero(texto));
    if (valor < 0 || valor > 32767) return std::nullopt;
    return static_cast<int>(valor);
}

}  // namespace kv::stats
