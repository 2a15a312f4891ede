#include "stats/ResumenFiltros.h"

namespace kv::stats {

QStringList FiltrosActivos(const EntradaCarga& entrada, const QString& empresaActual) {
    QStringList filtros;
    for (int nivel = 0; nivel < kNiveles; ++nivel) {
        if (!NivelAsignado(entrada.titulos, nivel)) continue;
        const QString titulo = entrada.titulos[static_cast<size_t>(nivel)].trimmed();
        const FiltroNivel& f = entrada.filtros[static_cast<size_t>(nivel)];
        if (!f.valores.trimmed().isEmpty()) filtros << titulo + QStringLiteral(": ") + f.valores.trimmed();
        const QString desde = f.desde.trimmed(), hasta = f.hasta.trimmed();
        if (!desde.isEmpty() && !hasta.isEmpty())
            filtros << titulo + QStringLiteral(" desde ") + desde + QStringLiteral(" hasta ") + hasta;
        else if (!desde.isEmpty())
            filtros << titulo + QStringLiteral(" desde ") + desde;
        else if (!hasta.isEmpty())
            filtros << titulo + QStringLiteral(" hasta ") + hasta;
    }
    const bool soloActual = entrada.empresas.size() == 1 &&
                            entrada.empresas.first().trimmed().compare(empresaActual.trimmed(),
                                                                       Qt::CaseInsensitive) == 0;
    if (!soloActual) {
        filtros << QStringLiteral("Empresas: ") +
                       (entrada.empresas.isEmpty() ? QStringLiteral("ninguna")
                                                   : entrada.empresas.join(QStringLiteral(", ")));
    }
    return filtros;
}

QString SubtituloFiltros(const QStringList& filtros) {
    if (filtros.isEmpty()) return QString();
    return QStringLiteral("Filtros: ") + filtros.join(QStringLiteral("; "));
}

}  // namespace kv::stats
