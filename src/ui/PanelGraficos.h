#pragma once
// The 2D drawing of a chart with Qt Charts. Units, money and percentages never
// share an axis: each kind present gets a chart of its own, one above the other,
// over the same categories. Category labels are never cut: they wrap by words
// and the bars turn horizontal when the labels do not fit under them. Axis
// marks and tooltips use the user's locale with thousands grouping; every bar,
// point and slice shows its full label and values in a tooltip.

#include <QFontMetrics>
#include <QWidget>
#include <optional>
#include <vector>

#include "ui/DatosGrafico.h"

class QChartView;
class QChart;
class QVBoxLayout;
class QLabel;

namespace kv::ui {

class PanelGraficos : public QWidget {
    Q_OBJECT
  public:
    explicit PanelGraficos(QWidget* padre = nullptr);

    // `tipo` is a 2D chart type number (a 3D number draws its 2D equivalent).
    void Dibujar(const DatosGrafico& datos, int tipo);
    void Redibujar();
    const DatosGrafico& Datos() const { return datos_; }
    int Tipo() const { return tipo_; }
    // An extra line under the title (for instance why a 3D type is drawn flat).
    void PonerNota(const QString& nota);

    std::vector<QChartView*> Vistas() const { return vistas_; }
    // Whether the bars are drawn horizontally (the labels did not fit below).
    bool Horizontal() const { return horizontal_; }
    // The category labels as the axis shows them (with their line breaks).
    QStringList EtiquetasMostradas() const { return mostradas_; }
    // The remainder written beside the chart when it dwarfs the top groups (null when drawn to scale).
    QLabel* RestoAparte() const { return resto_; }
    QImage Imagen();

  signals:
    void DobleClicCategoria(int categoria);
    void ActividadRaton();

  protected:
    void resizeEvent(QResizeEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

  private:
    QChart* CrearGrafico(Familia familia, int anchoDisponible, bool conTitulo);
    void MostrarDescripcion(int categoria);
    int AnchoDisponible() const;

    DatosGrafico datos_;
    int tipo_ = 1;
    QString nota_;
    bool horizontal_ = false;
    QStringList mostradas_;
    int anchoDibujado_ = -1;
    int anchoMinimo_ = 0;
    int altoMinimo_ = 0;
    bool forzarHorizontal_ = false;
    QVBoxLayout* capa_;
    QLabel* resto_ = nullptr;
    std::vector<QChartView*> vistas_;
};

// Labels wrapped by words to `ancho` pixels with `metricas`; nullopt when a
// word alone is wider or more than `maxLineas` lines are needed.
std::optional<QString> EnvolverEtiqueta(const QStringList& partes, const QFontMetrics& metricas, int ancho,
                                        int maxLineas);
// Round tick values from `minimo` to `maximo`, about `marcas` of them.
std::vector<double> MarcasEje(double minimo, double maximo, int marcas);

}  // namespace kv::ui
