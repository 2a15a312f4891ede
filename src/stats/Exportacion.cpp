#include "stats/Exportacion.h"

#include <QFile>
#include <cmath>

#include "db/Proveedor.h"
#include "db/Recordset.h"

namespace kv::stats {

QString TextoCeldaGrilla(const QVariant& valor, int tipoADO) {
    if (valor.isNull() || !valor.isValid()) return QString();
    const bool numero = valor.typeId() == QMetaType::Double || valor.typeId() == QMetaType::Float;
    if (tipoADO == kv::db::tipo::Currency || (numero && tipoADO == kv::db::tipo::Numeric)) {
        // Currency keeps four decimals; trailing zeros are not shown.
        QString texto = QString::number(valor.toDouble(), 'f', 4);
        while (texto.endsWith(QLatin1Char('0'))) texto.chop(1);
        if (texto.endsWith(QLatin1Char('.'))) texto.chop(1);
        if (texto == QLatin1String("-0")) texto = QStringLiteral("0");
        return texto;
    }
    if (numero) {
        const double d = valor.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15)
            return QString::number(static_cast<qint64>(d));
        return QString::number(d, 'g', 15);
    }
    return valor.toString();
}

std::vector<QStringList> FilasGrilla(const kv::db::Recordset& registros) {
    std::vector<QStringList> filas;
    if (registros.State() == 0) return filas;
    const auto& resultado = registros.Resultado();
    QStringList cabecera;
    for (const auto& columna : resultado.columnas) cabecera << columna.nombre;
    filas.push_back(cabecera);
    for (const auto& fila : resultado.filas) {
        QStringList celdas;
        for (size_t i = 0; i < fila.size(); ++i) {
            const int tipo =
                i < resultado.columnas.size() ? resultado.columnas[i].tipo : kv::db::tipo::VarWChar;
            celdas << TextoCeldaGrilla(fila[i], tipo);
        }
        filas.push_back(celdas);
    }
    return filas;
}

QString LineaExportacion(const QStringList& celdas) {
    QString linea;
    for (const QString& celda : celdas) {
        const QString recortada = celda.trimmed();
        linea += (recortada.isEmpty() ? QStringLiteral(" ") : recortada) + QLatin1Char('\t');
    }
    return linea;
}

QString NombreArchivoExportacion(const QString& nombre) {
    const int punto = nombre.indexOf(QLatin1Char('.'));
    return (punto < 0 ? nombre : nombre.left(punto)) + QStringLiteral(".xls");
}

bool GrabarGrillaTexto(const QString& archivo, const std::vector<QStringList>& filas) {
    QFile salida(archivo);
    if (!salida.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    for (const QStringList& fila : filas) {
        if (salida.write((LineaExportacion(fila) + QStringLiteral("\r\n")).toUtf8()) < 0) return false;
    }
    return true;
}

}  // namespace kv::stats
