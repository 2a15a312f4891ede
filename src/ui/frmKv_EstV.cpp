#include "ui/frmKv_EstV.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/Inicio.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "lookup/Lib_ClsCons3.h"
#include "stats/Catalogo.h"
#include "stats/Empresas.h"
#include "ui/SuperficieDibujo.h"
#include "ui/UtilNet.h"
#include "util/UtilFormulario.h"
#include "util/UtilGeneral.h"

namespace kv::ui {

using kv::db::DB_Dll;
namespace UF = kv::UtilFormulario;

namespace {

struct CampoDiseno {
    int indice;
    const char* clave;
    const char* etiqueta;
    int largo;
    const char* nombre;  // what a screen reader says of the field
};

// txtFields: index, key, tag and maximum length of the design.
constexpr CampoDiseno kCampos[] = {
    {0, "NOMBRE", "CAB_ESTV", 200, "Estadistica"},
    {1, "FechaD", "MES", 7, "Mes Desde"},
    {2, "FechaH", "MES", 7, "Mes Hasta"},
    {3, "Grupo1", " ", 1000, "Grupo 1 Selectivo"},
    {4, "G1Desde", " ", 50, "Grupo 1 Desde"},
    {5, "G1Hasta", " ", 50, "Grupo 1 Hasta"},
    {6, "G2Hasta", " ", 50, "Grupo 2 Hasta"},
    {7, "G2Desde", " ", 50, "Grupo 2 Desde"},
    {8, "Grupo2", " ", 1000, "Grupo 2 Selectivo"},
    {9, "G3Hasta", " ", 50, "Grupo 3 Hasta"},
    {10, "G3Desde", " ", 50, "Grupo 3 Desde"},
    {11, "Grupo3", " ", 1000, "Grupo 3 Selectivo"},
    {12, "TOP", " ", 50, "TOP"},
    {13, "TOPOtros", " ", 50, "Incluir restantes con el nombre de"},
};

QLabel* Etiqueta(const QString& nombre, const QString& texto, QWidget* padre) {
    auto* l = new QLabel(texto, padre);
    l->setObjectName(nombre);
    return l;
}

// A title label drawn like a frame caption.
QLabel* Titulo(const QString& nombre, const QString& texto, QWidget* padre) {
    QLabel* l = Etiqueta(nombre, texto, padre);
    l->setAutoFillBackground(true);
    l->setStyleSheet(
        QStringLiteral("QLabel { background: palette(dark); color: palette(bright-text); "
                       "font-weight: bold; padding: 2px; }"));
    return l;
}

// A box of the order or totals list: its caption, its index among its
// siblings, and the key and tag of the criterion it stands for.
QCheckBox* Casilla(const kv::stats::DefinicionCasilla& definicion, const QString& nombre, int indice,
                   QWidget* padre) {
    auto* casilla = new QCheckBox(definicion.titulo, padre);
    casilla->setObjectName(nombre);
    casilla->setProperty("Index", indice);
    UF::PonerClave(casilla, definicion.clave);
    UF::PonerEtiqueta(casilla, definicion.etiqueta);
    return casilla;
}

// The catalog rows carry their code after the blanks: the list shows the caption only.
class DelegadoTitulo : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* opcion, const QModelIndex& indice) const override {
        QStyledItemDelegate::initStyleOption(opcion, indice);
        opcion->text = kv::stats::TituloDeEntrada(opcion->text);
    }
};

}  // namespace

frmKv_EstV::frmKv_EstV(DB_Dll& principal, QWidget* padre)
    : QWidget(padre),
      principal_(principal),
      almacen_(std::make_unique<DB_Dll>()),
      empresa_(std::make_unique<DB_Dll>()),
      grilla_(std::make_unique<kv::db::Recordset>()) {
    setObjectName(QStringLiteral("frmKv_EstV"));
    setWindowTitle(QString::fromUtf8(kTituloVentana));
    consultor_ = [this](const PeticionConsulta& p) { return ConsultorListas(p, this); };
    CrearControles();
    CrearTeclas();
    resize(1180, 760);
    Form_Load();
}

frmKv_EstV::~frmKv_EstV() {
    // Dialogs still around go first, while the window they report to is whole.
    for (QDialog* dialogo : findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly)) delete dialogo;
    if (grilla_ && grilla_->State() != kv::db::ado::Cerrado) {
        try {
            almacen_->CierraRecordset(*grilla_);
        } catch (...) {
        }
    }
}

double frmKv_EstV::Dpi() const {
    const QScreen* pantalla = screen();
    if (!pantalla) pantalla = QGuiApplication::primaryScreen();
    return pantalla ? pantalla->logicalDotsPerInchY() : 96.0;
}
int frmKv_EstV::Twips(int pixeles) const { return PixelesATwips(pixeles, Dpi()); }
int frmKv_EstV::Pixeles(int twips) const { return TwipsAPixeles(twips, Dpi()); }

void frmKv_EstV::CrearControles() {
    // Action toolbar and the company button.
    UtilNet1 = new UtilNet(this);
    connect(UtilNet1, &UtilNet::click, this, [this](const QString& clave) { Comando(clave); });
    Toolbar2 = new QToolBar(this);
    Toolbar2->setObjectName(QStringLiteral("Toolbar2"));
    Toolbar2->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar2->setIconSize(QSize(32, 32));
    QAction* empresa =
        Toolbar2->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("Empresa"));
    empresa->setObjectName(QStringLiteral("Empresa"));
    empresa->setToolTip(QString::fromUtf8("Configuración de Empresas"));
    connect(empresa, &QAction::triggered, this, [this] { AbrirConfiguracionEmpresas(); });

    // Every entry field is created first, then placed where its area is.
    for (const CampoDiseno& d : kCampos) {
        auto* campo = new QLineEdit(this);
        campo->setObjectName(QStringLiteral("txtFields"));
        campo->setProperty("Index", d.indice);
        UF::PonerClave(campo, QString::fromLatin1(d.clave));
        UF::PonerEtiqueta(campo, QString::fromLatin1(d.etiqueta));
        campo->setMaxLength(d.largo);
        campo->setAccessibleName(QString::fromLatin1(d.nombre));
        // The window handles its fields' focus, Enter, typed characters and right button.
        campo->installEventFilter(this);
        txtFields.append(campo);
    }

    // Main data.
    FrmPrincipal = new QGroupBox(QStringLiteral("Datos Principales"), this);
    FrmPrincipal->setObjectName(QStringLiteral("FrmPrincipal"));
    auto* principal = new QGridLayout(FrmPrincipal);
    principal->setContentsMargins(6, 4, 6, 4);
    principal->setVerticalSpacing(3);
    principal->addWidget(
        Etiqueta(QStringLiteral("Label2"), QStringLiteral("Estadistica........:"), FrmPrincipal), 0, 0);
    principal->addWidget(txtFields[0], 0, 1, 1, 3);
    txtFields[1]->setParent(FrmPrincipal);
    txtFields[2]->setParent(FrmPrincipal);
    principal->addWidget(Etiqueta(QStringLiteral("Label3"), QStringLiteral("Mes Desde....:"), FrmPrincipal),
                         1, 0);
    principal->addWidget(txtFields[1], 1, 1);
    principal->addWidget(Etiqueta(QStringLiteral("Label1"), QStringLiteral("Mes Hasta"), FrmPrincipal), 1, 2);
    principal->addWidget(txtFields[2], 1, 3);
    cboGraficos = new QComboBox(FrmPrincipal);
    cboGraficos->setObjectName(QStringLiteral("cboGraficos"));
    principal->addWidget(
        Etiqueta(QStringLiteral("Label4"), QString::fromUtf8("Gráfico..............:"), FrmPrincipal), 2, 0);
    principal->addWidget(cboGraficos, 2, 1, 1, 3);
    principal->setColumnStretch(1, 1);
    principal->setColumnStretch(3, 1);
    for (QLineEdit* mes : {txtFields[1], txtFields[2]}) mes->setPlaceholderText(QStringLiteral("MM/AAAA"));

    // Load and filter buttons.
    FrmFiltros = new QFrame(this);
    FrmFiltros->setObjectName(QStringLiteral("FrmFiltros"));
    FrmFiltros->setFrameShape(QFrame::StyledPanel);
    lblFiltros = Titulo(QStringLiteral("lblFiltros"), QStringLiteral(" Filtros"), FrmFiltros);
    cmdCargar = new QPushButton(QString::fromUtf8(kTextoBotonCargar), FrmFiltros);
    cmdCargar->setObjectName(QStringLiteral("cmdCargar"));
    cmdFiltrar = new QPushButton(QString::fromUtf8(kTextoBotonFiltrar), FrmFiltros);
    cmdFiltrar->setObjectName(QStringLiteral("cmdFiltrar"));
    cmdFiltrar->setToolTip(QString::fromUtf8(kAyudaBotonFiltrar));
    connect(cmdCargar, &QPushButton::clicked, this, [this] { CargarEstadistica(); });
    connect(cmdFiltrar, &QPushButton::clicked, this, [this] { cmdFiltrar_Click(); });

    // Grouping catalog.
    FrmAgr = new QFrame(this);
    FrmAgr->setObjectName(QStringLiteral("FrmAgr"));
    FrmAgr->setFrameShape(QFrame::StyledPanel);
    lblGrupos = Titulo(QStringLiteral("lblGrupos"), QStringLiteral(" Grupos"), FrmAgr);
    LstGrupos = new QListWidget(FrmAgr);
    LstGrupos->setObjectName(QStringLiteral("LstGrupos"));
    LstGrupos->setItemDelegate(new DelegadoTitulo(LstGrupos));
    connect(LstGrupos, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* fila) { LstGrupos_ItemCheck(fila); });

    // Tab strip with its four pages; the side panels lie over the pages.
    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    const char* titulos[] = {"Gráfico", "Datos", "Gráfico", "Datos"};
    for (int i = 0; i < 4; ++i) {
        paginas[static_cast<size_t>(i)] = new QWidget(SSTab1);
        paginas[static_cast<size_t>(i)]->setObjectName(QStringLiteral("SSTab1Pagina%1").arg(i));
        SSTab1->addTab(paginas[static_cast<size_t>(i)], QString::fromUtf8(titulos[i]));
    }
    connect(SSTab1, &QTabWidget::currentChanged, this, [this](int) { SSTab1_Click(); });
    CrearPaginas();
    CrearPanelFiltros();
    CrearPanelConfiguracion();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kIntervaloTimer);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });

    // Keyboard order, as the window reads: name, months, chart type, load,
    // filters, grouping; then the filter panel level by level (selective, from,
    // to) and the companies; then the configuration panel (ordering, direction,
    // totals, TOP and the remainder's name). Tab and Enter follow it.
    QList<QWidget*> orden = {txtFields[0], txtFields[1], txtFields[2], cboGraficos, cmdCargar, cmdFiltrar,
                             LstGrupos};
    for (int i : {3, 4, 5, 8, 7, 6, 11, 10, 9}) orden << txtFields[i];
    orden << lstEmp;
    for (QCheckBox* c : chkOrden) orden << c;
    orden << optAsc << optDes;
    for (QCheckBox* c : chkSum) orden << c;
    orden << txtFields[12] << txtFields[13];
    for (int i = 0; i + 1 < orden.size(); ++i) setTabOrder(orden[i], orden[i + 1]);
}

void frmKv_EstV::CrearPanelFiltros() {
    FrmFil = new QFrame(SSTab1);
    FrmFil->setObjectName(QStringLiteral("FrmFil"));
    FrmFil->setFrameShape(QFrame::Box);
    FrmFil->setAutoFillBackground(true);
    picFiltros = new SuperficieDibujo(FrmFil);
    picFiltros->setObjectName(QStringLiteral("picFiltros"));
    picFiltros->setToolTip(QStringLiteral("Filtros: pase el ratón para abrir el panel"));
    connect(picFiltros, &SuperficieDibujo::ratonMovido, this, [this] { ActivarPanel(false, true); });

    auto* desplazable = new QScrollArea(FrmFil);
    desplazable->setObjectName(QStringLiteral("FrmFilContenido"));
    desplazable->setWidgetResizable(true);
    desplazable->setFrameShape(QFrame::NoFrame);
    auto* contenido = new QWidget(desplazable);
    auto* capa = new QVBoxLayout(contenido);
    capa->setContentsMargins(4, 4, 4, 4);
    // Level frames: selective field, then the range pair (indices of the design).
    const int indices[3][3] = {{3, 4, 5}, {8, 7, 6}, {11, 10, 9}};
    for (int nivel = 0; nivel < 3; ++nivel) {
        auto* marco = new QFrame(contenido);
        marco->setObjectName(QStringLiteral("Frame%1").arg(nivel + 1));
        marco->setFrameShape(QFrame::StyledPanel);
        auto* rejilla = new QGridLayout(marco);
        rejilla->setContentsMargins(3, 3, 3, 3);
        rejilla->setVerticalSpacing(2);
        lblGrupo[static_cast<size_t>(nivel)] = Titulo(QStringLiteral("lblGrupo%1").arg(nivel + 1),
                                                      QStringLiteral(" Grupo %1 ()").arg(nivel + 1), marco);
        rejilla->addWidget(lblGrupo[static_cast<size_t>(nivel)], 0, 0, 1, 4);
        rejilla->addWidget(new QLabel(QStringLiteral("Selectivo:"), marco), 1, 0);
        QLineEdit* selectivo = txtFields[indices[nivel][0]];
        selectivo->setParent(marco);
        rejilla->addWidget(selectivo, 1, 1, 1, 3);
        rejilla->addWidget(new QLabel(QStringLiteral("Por Rangos"), marco), 2, 0, 1, 4);
        rejilla->addWidget(new QLabel(QStringLiteral("Desde:"), marco), 3, 0);
        QLineEdit* desde = txtFields[indices[nivel][1]];
        desde->setParent(marco);
        rejilla->addWidget(desde, 3, 1);
        rejilla->addWidget(new QLabel(QStringLiteral("Hasta:"), marco), 3, 2);
        QLineEdit* hasta = txtFields[indices[nivel][2]];
        hasta->setParent(marco);
        rejilla->addWidget(hasta, 3, 3);
        for (QLineEdit* c : {selectivo, desde, hasta}) {
            c->setToolTip(QStringLiteral("F5 o botón derecho: consultar los valores"));
            connect(c, &QLineEdit::textChanged, this, [this] { ActualizarBotonFiltros(); });
        }
        capa->addWidget(marco);
    }
    capa->addWidget(Titulo(QStringLiteral("lblEmpresas"), QStringLiteral(" Empresas"), contenido));
    lstEmp = new QListWidget(contenido);
    lstEmp->setObjectName(QStringLiteral("lstEmp"));
    lstEmp->setMinimumHeight(60);
    connect(lstEmp, &QListWidget::itemChanged, this, [this] { ActualizarBotonFiltros(); });
    capa->addWidget(lstEmp, 1);
    desplazable->setWidget(contenido);
}

void frmKv_EstV::CrearPanelConfiguracion() {
    FrmCfg = new QFrame(SSTab1);
    FrmCfg->setObjectName(QStringLiteral("FrmCfg"));
    FrmCfg->setFrameShape(QFrame::Box);
    FrmCfg->setAutoFillBackground(true);
    PicCfg = new SuperficieDibujo(FrmCfg);
    PicCfg->setObjectName(QStringLiteral("PicCfg"));
    PicCfg->setToolTip(QString::fromUtf8("Configuración: pase el ratón para abrir el panel"));
    connect(PicCfg, &SuperficieDibujo::ratonMovido, this, [this] { ActivarPanel(false, false); });

    auto* desplazable = new QScrollArea(FrmCfg);
    desplazable->setObjectName(QStringLiteral("FrmCfgContenido"));
    desplazable->setWidgetResizable(true);
    desplazable->setFrameShape(QFrame::NoFrame);
    auto* contenido = new QWidget(desplazable);
    auto* capa = new QVBoxLayout(contenido);
    capa->setContentsMargins(4, 4, 4, 4);

    capa->addWidget(Titulo(QStringLiteral("Label22"), QStringLiteral(" Ordenamiento"), contenido));
    auto* orden = new QGridLayout();
    orden->setVerticalSpacing(1);
    const auto& casillas = kv::stats::CasillasOrden();
    for (int i = 0; i < kv::stats::kCasillasOrden; ++i) {
        QCheckBox* casilla =
            Casilla(casillas[static_cast<size_t>(i)], QStringLiteral("chkOrden"), i, contenido);
        auto* posicion = new QLabel(QStringLiteral("x"), contenido);
        posicion->setObjectName(QStringLiteral("lblOrden"));
        posicion->setProperty("Index", i);
        posicion->setMinimumWidth(18);
        posicion->setAlignment(Qt::AlignCenter);
        posicion->setToolTip(QStringLiteral("Prioridad del criterio"));
        chkOrden.append(casilla);
        lblOrden.append(posicion);
        const int fila = i % 5, columna = (i / 5) * 2;
        orden->addWidget(posicion, fila, columna);
        orden->addWidget(casilla, fila, columna + 1);
        connect(casilla, &QCheckBox::stateChanged, this, [this, i](int) { chkOrden_Click(i); });
    }
    capa->addLayout(orden);
    auto* direccion = new QHBoxLayout();
    optAsc = new QRadioButton(QStringLiteral("Ascendente"), contenido);
    optAsc->setObjectName(QStringLiteral("optAsc"));
    optDes = new QRadioButton(QStringLiteral("Descendente"), contenido);
    optDes->setObjectName(QStringLiteral("optDes"));
    direccion->addWidget(optAsc);
    direccion->addWidget(optDes);
    capa->addLayout(direccion);

    capa->addWidget(Titulo(QStringLiteral("Label17"), QStringLiteral(" Totalizadores"), contenido));
    auto* totales = new QGridLayout();
    totales->setVerticalSpacing(1);
    const auto& sumas = kv::stats::CasillasTotal();
    for (int i = 0; i < kv::stats::kCasillasTotal; ++i) {
        QCheckBox* casilla = Casilla(sumas[static_cast<size_t>(i)], QStringLiteral("chkSum"), i, contenido);
        chkSum.append(casilla);
        totales->addWidget(casilla, i % 3, i / 3);
    }
    capa->addLayout(totales);

    capa->addWidget(Titulo(QStringLiteral("Label18"), QStringLiteral(" TOP"), contenido));
    auto* top = new QGridLayout();
    top->addWidget(Etiqueta(QStringLiteral("Label19"), QStringLiteral("TOP:"), contenido), 0, 0);
    txtFields[12]->setParent(contenido);
    top->addWidget(txtFields[12], 0, 1);
    top->addWidget(
        Etiqueta(QStringLiteral("Label20"), QStringLiteral("Incluir restantes con el nombre de:"), contenido),
        1, 0, 1, 2);
    txtFields[13]->setParent(contenido);
    top->addWidget(txtFields[13], 2, 0, 1, 2);
    capa->addLayout(top);
    capa->addStretch(1);
    desplazable->setWidget(contenido);
}

void frmKv_EstV::Form_Load() {
    // The start-up itself (settings, command line, connections) ran before the window.
    // The lookup request is made now, on the ERP connection as start-up left it:
    // its settings (stock colours, LIKE searches) come from the ERP's configuration,
    // whatever the first lookup of the session is.
    kv::lookup::Lib_ClsCons3::DescartarCompartida();
    kv::lookup::Lib_ClsCons3::Compartida();
    kv::core::AplicarEstilo(*this);
    // Whatever the skin, a control that is off looks off.
    setStyleSheet(styleSheet() + QStringLiteral("\nQWidget:disabled { color: #8c8c8c; }"));
    kv::stats::PrepararEstadisticas(principal_, *almacen_);
    logo_.DrawingObject(picFiltros);
    logo_.Caption(QString::fromUtf8(kCaptionFiltros));
    kv::UtilGeneral::PrepararVentana(this, false);
    kv::core::ConfigurarVentana(*this);
    LimpiarVentana();
    // Every page stays usable: the column chart and the grid of page 0 and 1 are
    // where TOP, the remainder, the ordering and the chart type show.
    cargado_ = true;
    Form_Resize();
}

void frmKv_EstV::PintarFranjas() {
    logo_.DrawingObject(picFiltros);
    logo_.Caption(QString::fromUtf8(kCaptionFiltros));
    logo_.Draw();
    logo_.DrawingObject(PicCfg);
    logo_.Caption(QString::fromUtf8(kCaptionConfiguracion));
    logo_.Draw();
}

void frmKv_EstV::changeEvent(QEvent* evento) {
    if (evento->type() == QEvent::ActivationChange && isActiveWindow()) PintarFranjas();
    QWidget::changeEvent(evento);
}

void frmKv_EstV::showEvent(QShowEvent* evento) {
    QWidget::showEvent(evento);
    Form_Resize();
    PintarFranjas();
}

void frmKv_EstV::resizeEvent(QResizeEvent* evento) {
    QWidget::resizeEvent(evento);
    Form_Resize();
}

void frmKv_EstV::closeEvent(QCloseEvent* evento) {
    // Closing the main window ends the program.
    Timer1->stop();
    evento->accept();
    QApplication::quit();
}

void frmKv_EstV::CrearTeclas() {
    // The window's keys are actions of the window: Qt hands each press to one
    // shortcut, which takes the key out of the event's way before the command
    // runs, whatever widget has the focus; a dialog the command opens gets the
    // keys that follow, not the same one again.
    struct TeclaComando {
        Qt::Key tecla;
        const char* nombre;
    };
    constexpr TeclaComando kTeclas[] = {
        {Qt::Key_Escape, "teclaEscape"}, {Qt::Key_F2, "teclaF2"}, {Qt::Key_F3, "teclaF3"},
        {Qt::Key_F4, "teclaF4"},         {Qt::Key_F5, "teclaF5"}, {Qt::Key_F6, "teclaF6"},
        {Qt::Key_F9, "teclaF9"},         {Qt::Key_F10, "teclaF10"},
    };
    for (const TeclaComando& t : kTeclas) {
        auto* accion = new QAction(this);
        accion->setObjectName(QString::fromLatin1(t.nombre));
        accion->setShortcut(QKeySequence(t.tecla));
        accion->setShortcutContext(Qt::WindowShortcut);
        accion->setAutoRepeat(false);
        const int codigo = CodigoTecla(t.tecla);
        connect(accion, &QAction::triggered, this, [this, codigo] { TeclaVentana(codigo); });
        addAction(accion);
    }
    // A field reached with the keyboard inside a hidden panel brings that panel in.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* ahora) {
        if (!ahora || !FrmFil || !FrmCfg || ahora->window() != this) return;
        if (FrmFil->isAncestorOf(ahora) && !FiltrosVisibles(paneles_))
            ActivarPanel(false, true);
        else if (FrmCfg->isAncestorOf(ahora) && !ConfigVisible(paneles_))
            ActivarPanel(false, false);
    });
}

QAction* frmKv_EstV::AccionTecla(int codigo) const {
    for (QAction* accion : actions())
        if (!accion->shortcut().isEmpty() && CodigoTecla(accion->shortcut()[0].key()) == codigo) return accion;
    return nullptr;
}

bool frmKv_EstV::eventFilter(QObject* objeto, QEvent* evento) {
    if (auto* campo = qobject_cast<QLineEdit*>(objeto); campo && txtFields.contains(campo))
        return EventoCampo(campo, evento);
    return QWidget::eventFilter(objeto, evento);
}

void frmKv_EstV::TeclaVentana(int codigo) {
    if (codigo == tecla::F9) {
        CargarEstadistica();
        return;
    }
    // F6 is taken and does nothing, so the toolbar's F6 never fires here.
    if (codigo == tecla::F6) return;
    if (codigo != 0) UtilNet1->KeyAnalisis(codigo);
}

bool frmKv_EstV::Capturar(const QString& archivo) {
    QApplication::processEvents();
    const QPixmap imagen = grab();
    return !imagen.isNull() && imagen.save(archivo);
}

QLineEdit* frmKv_EstV::Campo(const QString& clave) const {
    const int i = UF::IndiceControl(clave, txtFields);
    return i < 0 ? nullptr : txtFields[i];
}

QCheckBox* frmKv_EstV::CasillaOrden(const QString& clave) const {
    const int i = UF::IndiceControl(clave, chkOrden);
    return i < 0 ? nullptr : chkOrden[i];
}

QCheckBox* frmKv_EstV::CasillaTotal(const QString& clave) const {
    const int i = UF::IndiceControl(clave, chkSum);
    return i < 0 ? nullptr : chkSum[i];
}

}  // namespace kv::ui
