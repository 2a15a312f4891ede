#pragma once
// The chart types of the chart-type list: caption, type code and the chart's
// type number, and the list rows (caption, 80 blanks, code).

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace kv::ui {

struct TipoGrafico {
    const char* titulo;  // UTF-8
    const char* codigo;
    int valor;
};

inline constexpr int kTiposGrafico = 12;
const std::array<TipoGrafico, kTiposGrafico>& TiposGrafico();

// Chart type numbers.
namespace tipo_grafico {
inline constexpr int Barras3D = 0;
inline constexpr int Barras2D = 1;
inline constexpr int Lineas3D = 2;
inline constexpr int Lineas2D = 3;
inline constexpr int Area3D = 4;
inline constexpr int Area2D = 5;
inline constexpr int Pasos3D = 6;
inline constexpr int Pasos2D = 7;
inline constexpr int Combinado3D = 8;
inline constexpr int Combinado2D = 9;
inline constexpr int Torta2D = 14;
inline constexpr int XY2D = 16;
}  // namespace tipo_grafico

// The list row of a type: caption, 80 blanks, code.
QString FilaTipoGrafico(const TipoGrafico& tipo);
QStringList FilasTiposGrafico();
// Type number of a code (the row's text from position 80 on, trimmed); nullopt when unknown.
std::optional<int> ValorDeCodigo(const QString& codigo);
bool EsTipo3D(int valor);
// Caption of a type number ("Gráfico de Barras 2D"); empty when unknown.
QString TituloDeTipo(int valor);
// The 2D type drawn for a 3D type where there is no OpenGL (a 2D type gives itself).
int Equivalente2D(int valor);
// Row selected after the list is filled: "Gráfico de Barras 2D".
inline constexpr int kFilaTipoInicial = 1;

}  // namespace kv::ui
