// The contents of the tab pages and what a load shows on them: the column
// chart (page 0), the grid (page 1), the second chart (page 2) and the pivot
// (page 3). Kept apart so the views can grow without touching the editor.
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHeaderView>
#include <QLegend>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QValueAxis>

#include "db/Recordset.h"
#include "stats/Exportacion.h"
#include "ui/UtilNet.h"
#include "ui/frmKv_EstV.h"

namespace kv::ui {

namespace {

// A column chart of the chart rows: one series per ticked total, labels as tooltips.
QChart* GraficoDeColumnas(const kv::stats::ModeloGrafico& modelo, const QString& titulo) {
    auto* grafico = new QChart();
    auto* serie = new QBarSeries(grafico);
    for (int columna = 0; columna < modelo.Columnas(); ++columna) {
        auto* conjunto = new QBarSet(modelo.columnas[columna]);
        for (int fila = 0; fila < modelo.Filas(); ++fila)
            *conjunto << modelo.valores[static_cast<size_t>(fila)][static_cast<size_t>(columna)];
        serie->append(conjunto);
    }
    grafico->addSeries(serie);
    auto* categorias = new QBarCategoryAxis(grafico);
    QStringList etiquetas;
    for (const QString& e : modelo.etiquetas) etiquetas << e.trimmed();
    categorias->append(etiquetas);
    grafico->addAxis(categorias, Qt::AlignBottom);
    serie->attachAxis(categorias);
    auto* valores = new QValueAxis(grafico);
    valores->setLabelFormat(QStringLiteral("%.0f"));
    grafico->addAxis(valores, Qt::AlignLeft);
    serie->attachAxis(valores);
    grafico->setTitle(titulo);
    grafico->legend()->setAlignment(Qt::AlignBottom);
    return grafico;
}

void PonerGrafico(QChartView* vista, QChart* grafico) {
    QChart* anterior = vista->chart();
    vista->setChart(grafico);
    delete anterior;
}

}  // namespace

void frmKv_EstV::CrearPaginas() {
    Chart1 = new QChartView(paginas[0]);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setRenderHint(QPainter::Antialiasing);
    MSFlexGrid1 = new QTableView(paginas[1]);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    modeloGrilla_ = new QStandardItemModel(this);
    MSFlexGrid1->setModel(modeloGrilla_);
    ChartSpace1 = new QChartView(paginas[2]);
    ChartSpace1->setObjectName(QStringLiteral("ChartSpace1"));
    ChartSpace1->setRenderHint(QPainter::Antialiasing);
    PivotTable1 = new QTableView(paginas[3]);
    PivotTable1->setObjectName(QStringLiteral("PivotTable1"));
    PivotTable1->setModel(modeloGrilla_);
    for (QChartView* vista : {Chart1, ChartSpace1}) {
        vista->setMouseTracking(true);
        vista->viewport()->setMouseTracking(true);
        vista->viewport()->installEventFilter(this);
    }
    for (int i = 0; i < 3; ++i) {
        QWidget* pagina = paginas[static_cast<size_t>(i == 0 ? 0 : (i == 1 ? 2 : 3))];
        auto* boton = new QToolButton(pagina);
        boton->setObjectName(QStringLiteral("picpCompleta"));
        boton->setProperty("Index", i);
        boton->setText(QStringLiteral("⛶"));
        boton->setToolTip(QStringLiteral("Pantalla Completa"));
        picpCompleta[static_cast<size_t>(i)] = boton;
    }
}

void frmKv_EstV::LlenarGraficos() {
    cboGraficos->clear();
    cboGraficos->addItem(QString::fromUtf8("Gráfico de Barras 2D") + QString(80, QLatin1Char(' ')) +
                         QStringLiteral("VtChChartType2dBar"));
    cboGraficos->setCurrentIndex(0);
}

void frmKv_EstV::RestablecerVistas() { SSTab1->setCurrentIndex(2); }

void frmKv_EstV::MostrarCarga() {
    const QString titulo = estado_.nombre.trimmed();
    PonerGrafico(Chart1, GraficoDeColumnas(grafico_, titulo));
    PonerGrafico(ChartSpace1, GraficoDeColumnas(grafico_, titulo));
    modeloGrilla_->clear();
    const auto filas = kv::stats::FilasGrilla(*grilla_);
    if (!filas.empty()) {
        modeloGrilla_->setHorizontalHeaderLabels(filas.front());
        for (size_t i = 1; i < filas.size(); ++i) {
            QList<QStandardItem*> celdas;
            for (const QString& texto : filas[i]) {
                auto* celda = new QStandardItem(texto);
                celda->setToolTip(texto);
                celdas << celda;
            }
            modeloGrilla_->appendRow(celdas);
        }
    }
}

void frmKv_EstV::ImprimirGrafico(int) {
    // Printing the charts comes with the presentation of the views.
}

void frmKv_EstV::SSTab1_Click() {
    switch (SSTab1->currentIndex()) {
        case 0:
            FrmFil->setVisible(true);
            FrmCfg->setVisible(true);
            break;
        case 1:
            FrmFil->setVisible(false);
            FrmCfg->setVisible(false);
            break;
        case 2:
            FrmFil->setVisible(true);
            FrmCfg->setVisible(true);
            UtilNet1->ReporteEnabled(true);
            break;
        case 3:
            FrmFil->setVisible(false);
            FrmCfg->setVisible(false);
            UtilNet1->ReporteEnabled(false);
            break;
        default:
            break;
    }
    FrmFil->raise();
    FrmCfg->raise();
}

}  // namespace kv::ui
