#include "lookup/SentenciasConsulta.h"

#include <cmath>

#include "db/TextoSQL.h"
#include "util/UtilGeneral.h"

namespace kv::lookup {

namespace {
bool Contiene(const QString& texto, const QString& buscado) {
    return texto.contains(buscado, Qt::CaseInsensitive);
}
bool Iguales(const QString& a, const QString& b) {
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// Splits a statement into the part before its GROUP BY / ORDER BY tail and the tail.
void PartirCola(const QString& sentencia, bool conGroupBy, QString& base, QString& cola) {
    int corte = -1;
    if (sentencia.contains(QLatin1String("order"), Qt::CaseInsensitive))
        corte = sentencia.indexOf(QLatin1String("order by"), 0, Qt::CaseInsensitive);
    if (conGroupBy) {
        const int grupo = sentencia.indexOf(QLatin1String("group by"), 0, Qt::CaseInsensitive);
        if (grupo >= 0 && (corte < 0 || grupo < corte)) corte = grupo;
    }
    base = corte >= 0 ? sentencia.left(corte) : sentencia;
    cola = corte >= 0 ? sentencia.mid(corte) : QString();
}
}  // namespace

QString EnvolverWhere(const QString& where) {
    if (where.trimmed().size() > 1 && !where.startsWith(QLatin1Char('(')))
        return QStringLiteral(" (") + where + QStringLiteral(") ");
    return where;
}

int LimiteFilas(const QString& valorTopConsArt) {
    const double n = kv::UtilGeneral::TextoANumero(valorTopConsArt);
    // TOP takes a whole positive number; anything else falls back to the default.
    if (!(n >= 1) || n > 2147483647.0) return kTopPorDefecto;
    return static_cast<int>(std::floor(n));
}

QString SentenciaPreparada(const QString& sentencia, const QString& where) {
    QString resultado = sentencia;
    if (Contiene(resultado, QStringLiteral("V_MA_ARTICULOS")))
        resultado.replace(QStringLiteral("V_MA_ARTICULOS"), QStringLiteral("VT_MA_ARTICULOS"),
                          Qt::CaseInsensitive);
    QString condicion = where;
    if (!condicion.trimmed().isEmpty()) {
        if (!Contiene(condicion, QStringLiteral("WHERE"))) condicion = QStringLiteral(" WHERE ") + condicion;
        resultado += condicion;
    }
    return resultado;
}

bool SentenciaDesdeDefinicion(const DefinicionConsulta& definicion, const QString& where, int limite,
                              const QString& campoDevuelto, QString& campoBusqueda, QString& sentencia) {
    QString tabla = definicion.nombre.trimmed();
    QString columnas =
        kv::UtilGeneral::CambiarSeparador(definicion.columnas, QStringLiteral("|"), QStringLiteral(","))
            .trimmed();
    if (columnas.startsWith(QLatin1Char(','))) columnas.remove(0, 1);
    if (columnas.endsWith(QLatin1Char(','))) columnas.chop(1);
    columnas = columnas.trimmed();
    if (columnas.isEmpty()) columnas = QStringLiteral("*");

    if (campoBusqueda.isEmpty()) {
        if (!columnas.contains(QLatin1Char(','))) return false;
        campoBusqueda = columnas.left(columnas.indexOf(QLatin1Char(','))).trimmed();
    }
    // The pick returns a column of the row: a definition that does not show it
    // would hand back nothing, so it is read as well.
    if (!campoDevuelto.trimmed().isEmpty() && columnas != QLatin1String("*")) {
        bool esta = false;
        for (const QString& columna : columnas.split(QLatin1Char(',')))
            if (Iguales(columna, campoDevuelto)) esta = true;
        if (!esta) columnas += QLatin1Char(',') + campoDevuelto.trimmed();
    }

    QString condicion = definicion.condicion.trimmed();
    if (condicion.isEmpty() && !where.trimmed().isEmpty()) condicion = where;
    if (Iguales(tabla, QStringLiteral("VT_PROVEEDORES")) || Iguales(tabla, QStringLiteral("VT_CLIENTES"))) {
        if (condicion.trimmed().isEmpty()) condicion = QStringLiteral("Dada_De_Baja = 0");
    } else if (Iguales(tabla, QStringLiteral("V_MA_ARTICULOS"))) {
        tabla = QStringLiteral("VT_MA_ARTICULOS");
        if (condicion.trimmed().isEmpty()) condicion = QStringLiteral("SUSPENDIDO = 0");
    }
    sentencia = QStringLiteral("SELECT TOP ") + QString::number(limite) + QLatin1Char(' ') + columnas +
                QStringLiteral(" FROM ") + tabla + QStringLiteral("  with(nolock) ") +
                (condicion.trimmed().isEmpty() ? QString() : QStringLiteral(" WHERE ")) + condicion +
                QStringLiteral(" ORDER BY ") + campoBusqueda;
    return true;
}

ColumnasTabla ColumnasDeCampos(const QString& tabla, const QStringList& campos) {
    ColumnasTabla r;
    QString lista;
    const bool tomaId =
        Iguales(tabla, QStringLiteral("v_mv_mutuales")) || Iguales(tabla, QStringLiteral("V_MV_TROPA_STOCK"));
    for (const QString& campo : campos) {
        const bool sistema = Iguales(campo, QStringLiteral("id")) ||
                             Iguales(campo, QStringLiteral("FECHAHORA_MODIFICACION")) ||
                             Iguales(campo, QStringLiteral("FECHAHORA_GRABACION"));
        if (sistema) {
            if (!tomaId) continue;
            r.campoBusqueda = campo;
        } else if (Iguales(campo, QStringLiteral("DESCRIPCION")) ||
                   Iguales(campo, QStringLiteral("NOMBRE")) || Iguales(campo, QStringLiteral("DETALLE"))) {
            r.campoBusqueda = campo;
        } else if (lista.isEmpty()) {
            r.campoBusqueda = campo;
        }
        lista = campo + QLatin1Char(',') + lista;
    }
    r.columnas = lista.trimmed().isEmpty() ? QStringLiteral(" * ") : lista.left(lista.size() - 1);
    return r;
}

QString SentenciaDesdeColumnas(const QString& tabla, const QString& columnas, const QString& where,
                               int limite, const QString& campoBusqueda) {
    const QString condicion = QLatin1Char(' ') + where;
    QString sentencia = QStringLiteral("SELECT TOP ") + QString::number(limite) + QLatin1Char(' ') +
                        columnas + QStringLiteral(" FROM ") + tabla +
                        (condicion.trimmed().isEmpty() ? QString() : QStringLiteral(" WHERE ")) + condicion;
    // A table of system fields only has no column to order by; "ORDER BY" alone
    // would not even run.
    if (!campoBusqueda.trimmed().isEmpty()) sentencia += QStringLiteral(" ORDER BY ") + campoBusqueda;
    return sentencia;
}

QString SentenciaCamposTabla(const QString& tabla) { return QStringLiteral("select top 1 * from ") + tabla; }

QString PatronBusqueda(const QString& texto, bool blancosComoComodin) {
    QString patron = kv::db::DuplicarApostrofes(texto);
    if (blancosComoComodin)
        patron.replace(QLatin1Char(' '), QLatin1Char('%'));
    else
        patron.replace(QLatin1Char('*'), QLatin1Char('%'));
    return patron;
}

QString SentenciaBusquedaLista(const QString& sentencia, const QString& columna, const QString& texto,
                               bool usaLike) {
    QString base, cola;
    PartirCola(sentencia, true, base, cola);
    QString prefijo;
    if (Contiene(base, QStringLiteral("stk_ma_articulos"))) prefijo = QStringLiteral("stk_ma_articulos.");
    if (Contiene(base, QStringLiteral("v_ma_articulos"))) prefijo = QStringLiteral("v_ma_articulos.");
    const QString union_ =
        Contiene(sentencia, QStringLiteral("where")) ? QStringLiteral(" and ") : QStringLiteral(" where ");
    if (usaLike)
        return base + union_ + prefijo + columna + QStringLiteral(" like '%") + PatronBusqueda(texto, true) +
               QStringLiteral("%' ") + cola;
    return base + union_ + prefijo + columna + QStringLiteral(" like '") + PatronBusqueda(texto, false) +
           QStringLiteral("%' ") + cola;
}

QString SentenciaBusquedaArbol(const QString& sentencia, const QString& texto) {
    QString base, cola;
    PartirCola(sentencia, false, base, cola);
    const QString union_ =
        Contiene(sentencia, QStringLiteral("where")) ? QStringLiteral(" and ") : QStringLiteral(" where ");
    return base + union_ + CondicionBusquedaArbol(texto) + QLatin1Char(' ') + cola;
}

QString CondicionBusquedaArbol(const QString& texto) {
    return QStringLiteral("Descripcion like '%") + kv::db::DuplicarApostrofes(texto) + QStringLiteral("%'");
}

QString SentenciaArbolFamilias(const QString& filtro) {
    return QStringLiteral("SELECT     TOP 100 PERCENT IdFamilia, Descripcion, ") +
           QStringLiteral("(SELECT     TOP 1 idfamilia FROM @Admin_v_ta_familias a  ") +
           QStringLiteral(
               " Where a.IdFamilia < b.IdFamilia And (Len(LTrim(RTrim(a.IdFamilia))) < "
               "Len(LTrim(RTrim(b.IdFamilia)))) ") +
           QStringLiteral(
               " ORDER BY idfamilia DESC) AS [relative] FROM dbo.V_TA_FAMILIAS b Where IdFamilia<>''") +
           (filtro.isEmpty() ? QString() : QStringLiteral(" and ") + filtro) +
           QStringLiteral(" ORDER BY IdFamilia");
}

QString TablaDeSentencia(const QString& sentencia) {
    const int desde = sentencia.indexOf(QLatin1String("from"), 0, Qt::CaseInsensitive);
    if (desde < 0) return QString();
    const QString resto = sentencia.mid(desde + 4);
    int i = 0;
    while (i < resto.size() && resto.at(i) == QLatin1Char(' ')) ++i;
    const int blanco = resto.indexOf(QLatin1Char(' '), i);
    return (blanco < 0 ? resto.mid(i) : resto.mid(i, blanco - i)).trimmed();
}

QString SentenciaFaltante(const QString& fechaHora, const QString& idArticulo, const QString& descripcion,
                          const QString& usuario) {
    using kv::db::DuplicarApostrofes;
    return QStringLiteral("INSERT INTO V_MV_FALTANTES (FechaHora,IdArticulo,Descripcion,Usuario) values('") +
           DuplicarApostrofes(fechaHora) + QStringLiteral("','") +
           DuplicarApostrofes(kv::UtilGeneral::TextoVisible(idArticulo, 25)) + QStringLiteral("','") +
           DuplicarApostrofes(descripcion.trimmed()) + QStringLiteral("','") + DuplicarApostrofes(usuario) +
           QStringLiteral("')");
}

}  // namespace kv::lookup
