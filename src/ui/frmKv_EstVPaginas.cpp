// The contents of the tab pages and what a load shows on them: the column
// chart (page 0), the grid (page 1), the second chart (page 2) and the pivot
// (page 3); the chart types, the page switch, the full-screen toggle, the
// chart printing of the report command and the remainder's window.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>

#include "db/Recordset.h"
#include "stats/Catalogo.h"
#include "stats/Empresas.h"
#include "stats/Impresion.h"
#include "ui/DatosGrilla.h"
#include "ui/GraficoEmpresas.h"
#include "ui/GraficoPrincipal.h"
#include "ui/Grilla.h"
#include "ui/Impresion.h"
#include "ui/PantallaCompleta.h"
#include "ui/SuperficieDibujo.h"
#include "ui/TiposGrafico.h"
#include "ui/UtilNet.h"
#include "ui/VentanaResto.h"
#include "ui/VistaTablaDinamica.h"
#include "ui/frmKv_EstV.h"

namespace kv::ui {

namespace {

// Enter on the chart-type list moves on, as Tab would.
class EnterComoTab : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override {
        if (evento->type() == QEvent::KeyPress) {
            const int tecla = static_cast<QKeyEvent*>(evento)->key();
            auto* lista = qobject_cast<QComboBox*>(objeto);
            if (lista && (tecla == Qt::Key_Return || tecla == Qt::Key_Enter)) {
                // The next control that can take the focus, as Tab would find it.
                for (QWidget* w = lista->nextInFocusChain(); w && w != lista; w = w->nextInFocusChain())
                    if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisible() &&
                        w->window() == lista->window()) {
                        w->setFocus(Qt::TabFocusReason);
                        break;
                    }
                return true;
            }
        }
        return QObject::eventFilter(objeto, evento);
    }
};

}  // namespace

QAbstractItemModel* frmKv_EstV::ModeloGrilla() const { return MSFlexGrid1 ? MSFlexGrid1->model() : nullptr; }

void frmKv_EstV::CrearPaginas() {
    Chart1 = new GraficoPrincipal(paginas[0]);
    MSFlexGrid1 = new VistaGrilla(paginas[1]);
    ChartSpace1 = new GraficoEmpresas(paginas[2]);
    PivotTable1 = new VistaTablaDinamica(paginas[3]);
    // Moving or pressing the mouse over a chart puts the side panels away.
    connect(Chart1, &GraficoPrincipal::ActividadRaton, this, [this] { ActivarPanel(true, std::nullopt); });
    connect(ChartSpace1, &GraficoEmpresas::ActividadRaton, this,
            [this] { ActivarPanel(true, std::nullopt); });
    connect(Chart1, &GraficoPrincipal::DobleClicResto, this, [this] { AbrirResto(); });
    auto* verResto = new QAction(QStringLiteral("Ver los grupos incluidos en el resto"), Chart1);
    verResto->setObjectName(QStringLiteral("accionVerResto"));
    connect(verResto, &QAction::triggered, this, [this] { AbrirResto(); });
    Chart1->addAction(verResto);
    Chart1->setContextMenuPolicy(Qt::ActionsContextMenu);

    for (int i = 0; i < 3; ++i) {
        QWidget* pagina = paginas[static_cast<size_t>(i == 0 ? 0 : (i == 1 ? 2 : 3))];
        auto* boton = new QToolButton(pagina);
        boton->setObjectName(QStringLiteral("picpCompleta"));
        boton->setProperty("Index", i);
        boton->setIcon(style()->standardIcon(QStyle::SP_TitleBarMaxButton));
        boton->setToolTip(QString::fromUtf8(kTextoPantallaCompleta));
        boton->setAutoRaise(true);
        connect(boton, &QToolButton::clicked, this, [this, i] { picpCompleta_Click(i); });
        picpCompleta[static_cast<size_t>(i)] = boton;
    }
    cboGraficos->installEventFilter(new EnterComoTab(cboGraficos));
    connect(cboGraficos, &QComboBox::currentIndexChanged, this, [this] { cboGraficos_Click(); });
}

void frmKv_EstV::LlenarGraficos() {
    {
        const QSignalBlocker bloqueo(cboGraficos);
        cboGraficos->clear();
        // The list shows the captions; each row keeps its text with the hidden
        // code as its data, and the code is read back from there.
        for (const QString& fila : FilasTiposGrafico())
            cboGraficos->addItem(kv::stats::TituloDeEntrada(fila), fila);
        int ancho = 0;
        for (int i = 0; i < cboGraficos->count(); ++i)
            ancho = std::max(ancho, cboGraficos->fontMetrics().horizontalAdvance(cboGraficos->itemText(i)));
        cboGraficos->view()->setMinimumWidth(ancho + 40);
        cboGraficos->setCurrentIndex(-1);
    }
    cboGraficos->setCurrentIndex(kFilaTipoInicial);  // runs cboGraficos_Click: 2D bars
}

void frmKv_EstV::cboGraficos_Click() {
    try {
        const auto valor = ValorDeCodigo(kv::stats::CodigoDeEntrada(cboGraficos->currentData().toString()));
        if (valor) Chart1->setChartType(*valor);
        Chart1->Redibujar();
    } catch (...) {
        // A chart that cannot be drawn leaves the window as it was.
    }
}

void frmKv_EstV::RestablecerVistas() {
    subtituloCarga_.clear();
    Chart1->Vincular(kv::stats::ModeloGrafico{}, QString());
    datosVistas_.reset();
    MSFlexGrid1->Vincular(nullptr);
    ChartSpace1->Limpiar();
    ChartSpace1->setDisplayToolbar(true);
    PivotTable1->Vincular(nullptr);
    SSTab1->setCurrentIndex(2);
}

void frmKv_EstV::MostrarCarga() {
    const QString titulo = estado_.nombre.trimmed();
    Chart1->Vincular(grafico_, titulo, subtituloCarga_);
    {
        auto datos = std::const_pointer_cast<DatosGrilla>(DatosGrilla::DesdeRecordset(
            *grilla_, ultimaCarga_.vistas, grafico_.decimales, grafico_.nombres, estado_.titulos));
        // The load's order of the groups: its top rows, then the folded ones.
        int posicion = 0;
        const auto agregar = [&](const std::array<QString, kv::stats::kNiveles>& grupos) {
            QStringList codigos;
            for (int n = 0; n < kv::stats::kNiveles; ++n)
                if (kv::stats::NivelAsignado(estado_.titulos, n)) codigos << grupos[static_cast<size_t>(n)];
            const QString clave = DatosGrilla::ClaveGrupo(codigos);
            if (!datos->ordenCarga.contains(clave)) datos->ordenCarga.insert(clave, posicion++);
        };
        for (int f = 0; f < grafico_.Filas(); ++f)
            if (f != grafico_.filaResto && static_cast<size_t>(f) < grafico_.grupos.size())
                agregar(grafico_.grupos[static_cast<size_t>(f)]);
        for (const auto& p : grafico_.plegados) agregar(p.grupos);
        datosVistas_ = datos;
    }
    MSFlexGrid1->Vincular(datosVistas_);
    ChartSpace1->Vincular(datosVistas_, titulo);
    PivotTable1->Vincular(datosVistas_);
}

QStringList frmKv_EstV::EncabezadoImpresion() const {
    // What was loaded, not what the controls hold now.
    return kv::stats::EncabezadoImpresion(
        estado_.nombre.trimmed().isEmpty() ? Campo(QStringLiteral("NOMBRE"))->text() : estado_.nombre,
        ultimaEntrada_, QDateTime::currentDateTime());
}

void frmKv_EstV::ImprimirGrafico(int pagina) {
    if (pagina == 0)
        ImprimirGraficoPrincipal(*Chart1, EncabezadoImpresion());
    else if (pagina == 2)
        ImprimirGraficoEmpresas(*ChartSpace1, EncabezadoImpresion());
}

void frmKv_EstV::SSTab1_Click() {
    const auto paso = [](auto&& accion) {
        try {
            accion();
        } catch (...) {
        }
    };
    switch (SSTab1->currentIndex()) {
        case 0:
            paso([&] { cmdCargar->setFocus(); });
            paso([&] {
                Chart1->setVisible(true);
                FrmFil->setVisible(true);
                FrmCfg->setVisible(true);
                picpCompleta[1]->setVisible(false);
                picpCompleta[2]->setVisible(false);
                PivotTable1->setVisible(false);
                // REPORTE prints this chart.
                UtilNet1->ReporteEnabled(true);
            });
            break;
        case 1:
            paso([&] {
                picpCompleta[1]->setVisible(true);
                PivotTable1->setVisible(false);
                picpCompleta[2]->setVisible(false);
                FrmFil->setVisible(false);
                FrmCfg->setVisible(false);
                // REPORTE exports this grid.
                UtilNet1->ReporteEnabled(true);
                MSFlexGrid1->setFocus();
            });
            break;
        case 2:
            paso([&] {
                ChartSpace1->setVisible(true);
                picpCompleta[1]->setVisible(true);
                FrmFil->setVisible(true);
                FrmCfg->setVisible(true);
                Chart1->setVisible(false);
                PivotTable1->setVisible(false);
                picpCompleta[2]->setVisible(false);
                UtilNet1->ReporteEnabled(true);
            });
            break;
        case 3:
            paso([&] {
                PivotTable1->setVisible(true);
                picpCompleta[2]->setVisible(true);
                ChartSpace1->setVisible(false);
                picpCompleta[1]->setVisible(false);
                FrmFil->setVisible(false);
                FrmCfg->setVisible(false);
                UtilNet1->ReporteEnabled(false);
            });
            break;
        default:
            return;
    }
    FrmFil->raise();
    FrmCfg->raise();
}

void frmKv_EstV::picpCompleta_Click(int) {
    try {
        AplicarPantallaCompleta(!pantallaCompleta_);
        PintarFranjas();
    } catch (...) {
        // Layout errors never reach the user.
    }
}

void frmKv_EstV::AplicarPantallaCompleta(bool completa) {
    EntradaPantallaCompleta e;
    e.altoVentana = Twips(frameGeometry().height());
    e.topFrmPrincipal = Twips(FrmPrincipal->y());
    e.altoFrmPrincipal = Twips(FrmPrincipal->height());
    e.altoUtilNet = Twips(UtilNet1->height());
    e.anchoSSTab = Twips(SSTab1->width());
    e.anchoPicFiltros = Twips(picFiltros->width());
    e.anchoPicCfg = Twips(PicCfg->width());
    // The state is kept, not measured: pixels and twips need not round back.
    const int normal = AltoNormalSSTab(e);
    e.altoSSTab = completa ? normal : normal + 1;
    const PantallaCompleta r = AlternarPantallaCompleta(e);
    pantallaCompleta_ = r.completa;
    for (QToolButton* boton : picpCompleta) boton->setToolTip(r.tooltip);
    if (!r.completa) {
        // Back in its place under the top frame: the window's own layout.
        Form_Resize();
        return;
    }
    const int arribaPagina = SSTab1->tabBar()->sizeHint().height() + 2;
    SSTab1->setGeometry(SSTab1->x(), Pixeles(r.topSSTab), SSTab1->width(),
                        std::max(Pixeles(r.altoSSTab), arribaPagina + 50));
    SSTab1->raise();
    Chart1->resize(Pixeles(r.anchoChart1), Pixeles(r.altoChart1));
    MSFlexGrid1->resize(Pixeles(r.anchoGrilla), Pixeles(r.altoGrilla));
    ChartSpace1->setGeometry(Pixeles(r.chartSpace.left), Pixeles(r.chartSpace.top),
                             Pixeles(r.chartSpace.width), Pixeles(r.chartSpace.height));
    PivotTable1->setGeometry(Pixeles(r.pivot.left), Pixeles(r.pivot.top), Pixeles(r.pivot.width),
                             Pixeles(r.pivot.height));
    FrmFil->resize(FrmFil->width(), Pixeles(r.altoPaneles));
    FrmCfg->resize(FrmCfg->width(), Pixeles(r.altoPaneles));
    picFiltros->resize(picFiltros->width(), FrmFil->height());
    PicCfg->resize(PicCfg->width(), FrmCfg->height());
    const int ladoBoton = picpCompleta[0]->sizeHint().height();
    picpCompleta[0]->move(Chart1->geometry().right() - Pixeles(500), 0);
    picpCompleta[1]->move(ChartSpace1->width() - Pixeles(500), 0);
    picpCompleta[2]->move(PivotTable1->width() - Pixeles(500), 0);
    for (QToolButton* b : picpCompleta) {
        b->resize(ladoBoton, ladoBoton);
        b->raise();
    }
    FrmFil->raise();
    FrmCfg->raise();
}

void frmKv_EstV::AbrirResto() {
    if (grafico_.plegados.empty()) return;
    QStringList niveles;
    for (int n = 0; n < kv::stats::kNiveles; ++n)
        if (kv::stats::NivelAsignado(estado_.titulos, n)) niveles << estado_.titulos[static_cast<size_t>(n)];
    if (niveles.isEmpty()) niveles << QStringLiteral("Grupo");
    auto* ventana = new VentanaResto(grafico_, niveles, this);
    ventana->setAttribute(Qt::WA_DeleteOnClose);
    ventana->setWindowFlag(Qt::Window);
    ventana->show();
    // The window opened by the double click is where the user reads next: it takes the
    // keyboard, so Esc closes it, also where no window manager hands the focus over.
    ventana->raise();
    ventana->activateWindow();
    ventana->Tabla()->setFocus(Qt::ActiveWindowFocusReason);
}

bool frmKv_EstV::CapturarPaginas(const QString& archivo) {
    const QFileInfo info(archivo);
    const QString base = info.path() + QLatin1Char('/') + info.completeBaseName();
    const QString extension = info.suffix().isEmpty() ? QStringLiteral("png") : info.suffix();
    const int actual = SSTab1->currentIndex();
    std::array<bool, 4> habilitadas{};
    for (int i = 0; i < 4; ++i) habilitadas[static_cast<size_t>(i)] = SSTab1->isTabEnabled(i);
    bool bien = true;
    for (int i = 0; i < 4; ++i) {
        SSTab1->setTabEnabled(i, true);
        SSTab1->setCurrentIndex(i);
        if (i == 3) PivotTable1->ExpandirHastaNivel(1);
        QApplication::processEvents();
        bien = Capturar(QStringLiteral("%1-pagina%2.%3").arg(base).arg(i).arg(extension)) && bien;
    }
    // Page 0 drawn as 3D bars, and the remainder's window, for the README.
    SSTab1->setTabEnabled(0, true);
    SSTab1->setCurrentIndex(0);
    const int tipo = cboGraficos->currentIndex();
    for (int i = 0; i < cboGraficos->count(); ++i)
        if (kv::stats::CodigoDeEntrada(cboGraficos->itemData(i).toString()) ==
            QLatin1String("VtChChartType3dBar"))
            cboGraficos->setCurrentIndex(i);
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    bien = Chart1->Imagen().save(QStringLiteral("%1-3d.%2").arg(base, extension)) && bien;
    cboGraficos->setCurrentIndex(tipo);
    if (!grafico_.plegados.empty()) {
        QStringList niveles;
        for (int n = 0; n < kv::stats::kNiveles; ++n)
            if (kv::stats::NivelAsignado(estado_.titulos, n))
                niveles << estado_.titulos[static_cast<size_t>(n)];
        VentanaResto resto(grafico_, niveles, this);
        resto.resize(900, 500);
        resto.show();
        for (int i = 0; i < 10; ++i) QApplication::processEvents();
        bien = resto.grab().save(QStringLiteral("%1-resto.%2").arg(base, extension)) && bien;
    }
    for (int i = 0; i < 4; ++i) SSTab1->setTabEnabled(i, habilitadas[static_cast<size_t>(i)]);
    SSTab1->setCurrentIndex(actual);
    return bien;
}

}  // namespace kv::ui
