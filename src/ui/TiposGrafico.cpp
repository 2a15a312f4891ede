#include "ui/TiposGrafico.h"

namespace kv::ui {

const std::array<TipoGrafico, kTiposGrafico>& TiposGrafico() {
    static const std::array<TipoGrafico, kTiposGrafico> tipos{{
        {"Gráfico de Área 2D", "VtChChartType2dArea", 5},
        {"Gráfico de Barras 2D", "VtChChartType2dBar", 1},
        {"Gráfico Combinado 2D", "VtChChartType2dCombination", 9},
        {"Gráfico de Líneas 2D", "VtChChartType2dLine", 3},
        {"Gráfico de Torta 2D", "VtChChartType2dPie", 14},
        {"Gráfico de Pasos 2D", "VtChChartType2dStep", 7},
        {"Gráfico de XY 2D", "VtChChartType2dXY", 16},
        {"Gráfico de Área 3D", "VtChChartType3dArea", 4},
        {"Gráfico de Barras 3D", "VtChChartType3dBar", 0},
        {"Gráfico Combinado 3D", "VtChChartType3dCombination", 8},
        {"Gráfico de Líneas 3D", "VtChChartType3dLine", 2},
        {"Gráfico de Pasos 3D", "VtChChartType3dStep", 6},
    }};
    return tipos;
}

QString FilaTipoGrafico(const TipoGrafico& tipo) {
    return QString::fromUtf8(tipo.titulo) + QString(80, QLatin1Char(' ')) + QString::fromLatin1(tipo.codigo);
}

QStringList FilasTiposGrafico() {
    QStringList filas;
    for (const TipoGrafico& tipo : TiposGrafico()) filas << FilaTipoGrafico(tipo);
    return filas;
}

std::optional<int> ValorDeCodigo(const QString& codigo) {
    const QString buscado = codigo.trimmed();
    for (const TipoGrafico& tipo : TiposGrafico())
        if (buscado == QLatin1String(tipo.codigo)) return tipo.valor;
    return std::nullopt;
}

QString TituloDeTipo(int valor) {
    for (const TipoGrafico& tipo : TiposGrafico())
        if (tipo.valor == valor) return QString::fromUtf8(tipo.titulo);
    return QString();
}

bool EsTipo3D(int valor) {
    using namespace tipo_grafico;
    return valor == Barras3D || valor == Lineas3D || valor == Area3D || valor == Pasos3D ||
           valor == Combinado3D;
}

int Equivalente2D(int valor) {
    using namespace tipo_grafico;
    switch (valor) {
        case Barras3D:
            return Barras2D;
        case Lineas3D:
            return Lineas2D;
        case Area3D:
            return Area2D;
        case Pasos3D:
            return Pasos2D;
        case Combinado3D:
            return Combinado2D;
        default:
            return valor;
    }
}

}  // namespace kv::ui
