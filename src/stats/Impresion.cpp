#include "stats/Impresion.h"

#include <algorithm>

#include "stats/Definicion.h"

namespace kv::stats {

QStringList EncabezadoImpresion(const QString& nombre, const EntradaCarga& entrada, const QDateTime& cuando) {
    QStringList lineas;
    lineas << QStringLiteral("Estadística: ") + nombre.trimmed();
    const QDate hoy = entrada.hoy.isValid() ? entrada.hoy : cuando.date();
    const QString desde =
        entrada.mesDesde.trimmed().isEmpty() ? QStringLiteral("1/1990") : entrada.mesDesde.trimmed();
    const QString hasta = entrada.mesHasta.trimmed().isEmpty()
                              ? QStringLiteral("%1/%2").arg(hoy.month()).arg(hoy.year())
                              : entrada.mesHasta.trimmed();
    lineas << QStringLiteral("Meses: %1 a %2").arg(desde, hasta);
    lineas << QStringLiteral("Empresas: ") + (entrada.empresas.isEmpty()
                                                  ? QStringLiteral("ninguna")
                                                  : entrada.empresas.join(QStringLiteral(", ")));
    QStringList filtros;
    for (int n = 0; n < kNiveles; ++n) {
        if (!NivelAsignado(entrada.titulos, n)) continue;
        const FiltroNivel& f = entrada.filtros[static_cast<size_t>(n)];
        QStringList partes;
        if (!f.valores.trimmed().isEmpty()) partes << f.valores.trimmed();
        if (!f.desde.trimmed().isEmpty()) partes << QStringLiteral("desde ") + f.desde.trimmed();
        if (!f.hasta.trimmed().isEmpty()) partes << QStringLiteral("hasta ") + f.hasta.trimmed();
        if (!partes.isEmpty())
            filtros << entrada.titulos[static_cast<size_t>(n)].trimmed() + QStringLiteral(": ") +
                           partes.join(QLatin1Char(' '));
    }
    lineas << QStringLiteral("Filtros: ") +
                  (filtros.isEmpty() ? QStringLiteral("ninguno") : filtros.join(QStringLiteral("; ")));
    lineas << QStringLiteral("Impreso el ") + cuando.toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    return lineas;
}

QString PiePagina(int pagina, int paginas) {
    return QStringLiteral("página %1 de %2").arg(pagina).arg(paginas);
}

int CantidadPaginas(int filas, int porPagina) {
    if (porPagina <= 0 || filas <= 0) return 1;
    return std::max(1, (filas + porPagina - 1) / porPagina);
}

}  // namespace kv::stats
