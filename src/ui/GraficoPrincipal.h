#pragma once
// The column chart of a load: the chart rows drawn as any of the twelve chart
// types. The 3D types are drawn in real 3D (Qt Data Visualization) where an
// OpenGL context can be made; otherwise, and under the offscreen platform, the
// same type is drawn flat, with a note saying so. Nothing here can fail a load.

#include <QRectF>
#include <QWidget>
#include <optional>
#include <vector>

#include "ui/DatosGrafico.h"

class QLabel;
class QScrollArea;
class QStackedLayout;
class QVBoxLayout;
class QWindow;

namespace kv::ui {

class PanelGraficos;

inline constexpr const char* kNotaSin3D = "Vista 2D: este equipo no ofrece OpenGL para el gráfico 3D";

// Where the values written over 3D bars go so that none covers another. Each
// label is a box on the graph's front face: x in columns, y in the value axis's
// units, its bottom at the top of its bar. In order, each one keeps its place
// or is raised until it covers neither a label placed before it nor any of
// `fijas` (the bars); one that would pass `techo` finds no room and gets
// nullopt (its value stays in the picked bar's label). The answer is how much
// each one is raised.
std::vector<std::optional<double>> ColocarSinSolaparse(const std::vector<QRectF>& cajas, double techo,
                                                       const std::vector<QRectF>& fijas = {});

class GraficoPrincipal : public QWidget {
    Q_OBJECT
  public:
    explicit GraficoPrincipal(QWidget* padre = nullptr);
    ~GraficoPrincipal() override;

    // `subtitulo`, under the title, names the filters the load applied.
    void Vincular(const kv::stats::ModeloGrafico& modelo, const QString& titulo,
                  const QString& subtitulo = QString());
    void EstablecerDatos(const DatosGrafico& datos);
    const DatosGrafico& Datos() const { return datos_; }

    // The chart type number, as the chart-type list sets it.
    void setChartType(int tipo);
    int chartType() const { return tipo_; }
    void Redibujar();

    // Whether this process can draw the 3D types.
    static bool Hay3D();
    bool Mostrando3D() const { return !graficos3D_.empty(); }
    PanelGraficos* Panel2D() const { return panel_; }
    // The 3D graphs shown (QWindow objects), empty in 2D.
    std::vector<QWindow*> Graficos3D() const { return graficos3D_; }
    // The remainder written above the 3D graphs when it dwarfs the top groups (null otherwise).
    QLabel* RestoAparte3D() const { return resto3D_; }

    // The chart as a picture, for the clipboard, printing and screenshots.
    QImage Imagen();

  signals:
    // Double click on the remainder row's bar, slice or point.
    void DobleClicResto();
    void ActividadRaton();

  protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

  private:
    void Limpiar3D();
    bool Dibujar3D();

    DatosGrafico datos_;
    int tipo_ = 1;
    QStackedLayout* pila_;
    QScrollArea* desplazamiento_;
    PanelGraficos* panel_;
    QScrollArea* desplazamiento3D_;
    QWidget* pagina3D_;
    QVBoxLayout* capa3D_;
    std::vector<QWindow*> graficos3D_;
    std::vector<QWidget*> contenedores3D_;
    QLabel* resto3D_ = nullptr;
    int ultimaCategoria_ = -1;  // selected in 3D
};

}  // namespace kv::ui
