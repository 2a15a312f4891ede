#pragma once
// The second chart: every group of the grid recordset summed over the chosen
// company (all of them, or one), the named grouping columns as the categories
// (one line per level), the ticked totals as clustered columns. Its toolbar
// offers the chart type, the company and copying the picture.

#include <QWidget>
#include <memory>

#include "ui/DatosGrafico.h"
#include "ui/DatosGrilla.h"
#include "ui/TablaDinamica.h"

class QAction;
class QComboBox;
class QLabel;
class QScrollArea;
class QFrame;

namespace kv::ui {

class PanelGraficos;

class GraficoEmpresas : public QWidget {
    Q_OBJECT
  public:
    explicit GraficoEmpresas(QWidget* padre = nullptr);

    void Vincular(std::shared_ptr<const DatosGrilla> datos, const QString& titulo = QString());
    void Limpiar();
    // Shows or hides the toolbar.
    void setDisplayToolbar(bool mostrar);
    bool DisplayToolbar() const;

    // "" shows every company.
    void ElegirEmpresa(const QString& empresa);
    QString Empresa() const;
    void ElegirTipo(int tipo);
    int Tipo() const;

    const TablaDinamica& Tabla() const { return tabla_; }
    PanelGraficos* Panel() const { return panel_; }
    QFrame* Barra() const { return barra_; }
    QComboBox* SelectorEmpresa() const { return empresa_; }
    QComboBox* SelectorTipo() const { return tipo_; }
    QAction* AccionCopiar() const { return copiar_; }

    // Categories are shown a page at a time, so every label stays readable.
    static constexpr int kCategoriasPorPagina = 30;
    int Pagina() const { return pagina_; }
    int Paginas() const;
    void IrAPagina(int pagina);
    const DatosGrafico& DatosCompletos() const { return completos_; }

    QImage Imagen();
    void CopiarImagen();
    void Redibujar();

  signals:
    void ActividadRaton();

  private:
    TablaDinamica tabla_;
    QString titulo_;
    QFrame* barra_;
    QComboBox* tipo_;
    QComboBox* empresa_;
    QAction* copiar_;
    QAction* anterior_;
    QAction* siguiente_;
    QLabel* rango_;
    int pagina_ = 0;
    DatosGrafico completos_;
    QScrollArea* desplazamiento_;
    PanelGraficos* panel_;
};

}  // namespace kv::ui
