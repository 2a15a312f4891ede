#include "stats/frmKv_EstV.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "stats/Empresas.h"
#include "stats/Exportacion.h"
#include "util/Interaccion.h"

namespace kv::stats {

using kv::db::DB_Dll;

frmKv_EstV::frmKv_EstV(DB_Dll& principal, QWidget* padre)
    : QMainWindow(padre),
      principal_(principal),
      almacen_(std::make_unique<DB_Dll>()),
      grilla_(std::make_unique<kv::db::Recordset>()) {
    setWindowTitle(QString::fromUtf8(kTituloVentana));
    auto* central = new QWidget(this);
    auto* vertical = new QVBoxLayout(central);

    auto* datos = new QGroupBox(QStringLiteral("Datos Principales"), central);
    auto* formulario = new QHBoxLayout(datos);
    nombre_ = new QComboBox(datos);
    nombre_->setEditable(true);
    nombre_->setMinimumWidth(260);
    desde_ = new QLineEdit(datos);
    desde_->setMaxLength(7);
    desde_->setPlaceholderText(QStringLiteral("M/AAAA"));
    hasta_ = new QLineEdit(datos);
    hasta_->setMaxLength(7);
    hasta_->setPlaceholderText(QStringLiteral("M/AAAA"));
    cargar_ = new QPushButton(QString::fromUtf8(kTextoBotonCargar), datos);
    formulario->addWidget(new QLabel(QStringLiteral("Estadistica........:"), datos));
    formulario->addWidget(nombre_, 1);
    formulario->addWidget(new QLabel(QStringLiteral("Mes Desde....:"), datos));
    formulario->addWidget(desde_);
    formulario->addWidget(new QLabel(QStringLiteral("Mes Hasta"), datos));
    formulario->addWidget(hasta_);
    formulario->addWidget(cargar_);
    vertical->addWidget(datos);

    auto* division = new QSplitter(central);
    auto* panelEmpresas = new QGroupBox(QStringLiteral(" Empresas"), division);
    auto* capaEmpresas = new QVBoxLayout(panelEmpresas);
    empresas_ = new QListWidget(panelEmpresas);
    capaEmpresas->addWidget(empresas_);
    pestanas_ = new QTabWidget(division);
    vistaGrafico_ = new QChartView(pestanas_);
    vistaGrafico_->setRenderHint(QPainter::Antialiasing);
    tablaGrilla_ = new QTableView(pestanas_);
    modeloGrilla_ = new QStandardItemModel(this);
    tablaGrilla_->setModel(modeloGrilla_);
    pestanas_->addTab(vistaGrafico_, QString::fromUtf8("Gráfico"));
    pestanas_->addTab(tablaGrilla_, QStringLiteral("Datos"));
    division->addWidget(panelEmpresas);
    division->addWidget(pestanas_);
    division->setStretchFactor(1, 1);
    vertical->addWidget(division, 1);
    setCentralWidget(central);
    resize(1100, 700);

    connect(cargar_, &QPushButton::clicked, this, [this] { CargarEstadistica(); });
    auto* f9 = new QShortcut(QKeySequence(Qt::Key_F9), this);
    connect(f9, &QShortcut::activated, this, [this] { CargarEstadistica(); });
    connect(nombre_, &QComboBox::textActivated, this,
            [this](const QString& texto) { ElegirEstadistica(texto); });

    PrepararEstadisticas(principal_, *almacen_);
    CargarNombres();
    CargarEmpresas();
}

frmKv_EstV::~frmKv_EstV() {
    if (grilla_ && grilla_->State() != kv::db::ado::Cerrado) almacen_->CierraRecordset(*grilla_);
}

void frmKv_EstV::CargarNombres() {
    const QString actual = nombre_->currentText();
    nombre_->clear();
    nombre_->addItems(kv::stats::NombresEstadisticas(*almacen_));
    nombre_->setCurrentText(actual);
}

void frmKv_EstV::CargarEmpresas() {
    empresas_->clear();
    for (const EntradaEmpresa& empresa : kv::stats::ListaEmpresas(*almacen_, principal_.gDBName)) {
        auto* item = new QListWidgetItem(empresa.base, empresas_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(empresa.marcada ? Qt::Checked : Qt::Unchecked);
    }
}

bool frmKv_EstV::ElegirEstadistica(const QString& nombre) {
    definicion_ = Definicion{};
    estado_ = EstadoDefinicion{};
    nombre_->setCurrentText(nombre);
    return BuscarDefinicion(*almacen_, nombre, definicion_, estado_);
}

void frmKv_EstV::CargarEstadistica() {
    if (estado_.nombre.trimmed().compare(nombre_->currentText().trimmed(), Qt::CaseInsensitive) != 0 ||
        estado_.modo != ModoGrabacion::Existente) {
        if (!ElegirEstadistica(nombre_->currentText())) {
            interaccion().Mensaje(
                QStringLiteral("No existe la estadística \"%1\".").arg(nombre_->currentText().trimmed()),
                estilo::Informacion, QString::fromUtf8(kTituloAvisoCarga));
            return;
        }
    }
    EntradaCarga entrada;
    entrada.tabla = estado_.tabla;
    entrada.titulos = estado_.titulos;
    entrada.top = definicion_.top;
    entrada.topOtros = definicion_.topOtros;
    for (int i = 0; i < empresas_->count(); ++i)
        if (empresas_->item(i)->checkState() == Qt::Checked) entrada.empresas << empresas_->item(i)->text();
    entrada.mesDesde = desde_->text().trimmed();
    entrada.mesHasta = hasta_->text().trimmed();
    entrada.orden = definicion_.orden;
    entrada.ascendente = definicion_.ascendente;
    entrada.totales = definicion_.totales;
    entrada.decimales = DecimalesConfigurados();
    const ResultadoCarga resultado = kv::stats::CargarEstadistica(*almacen_, entrada, grafico_, *grilla_);
    if (resultado.rechazada) return;
    DibujarGrafico();
    modeloGrilla_->clear();
    const auto filas = FilasGrilla(*grilla_);
    if (!filas.empty()) {
        modeloGrilla_->setHorizontalHeaderLabels(filas.front());
        for (size_t i = 1; i < filas.size(); ++i) {
            QList<QStandardItem*> celdas;
            for (const QString& texto : filas[i]) celdas << new QStandardItem(texto);
            modeloGrilla_->appendRow(celdas);
        }
    }
}

void frmKv_EstV::DibujarGrafico() {
    auto* grafico = new QChart();
    auto* serie = new QBarSeries(grafico);
    for (int columna = 0; columna < grafico_.Columnas(); ++columna) {
        auto* conjunto = new QBarSet(grafico_.columnas[columna]);
        for (int fila = 0; fila < grafico_.Filas(); ++fila)
            *conjunto << grafico_.valores[static_cast<size_t>(fila)][static_cast<size_t>(columna)];
        serie->append(conjunto);
    }
    grafico->addSeries(serie);
    auto* categorias = new QBarCategoryAxis(grafico);
    QStringList etiquetas;
    for (const QString& e : grafico_.etiquetas) etiquetas << e.trimmed();
    categorias->append(etiquetas);
    grafico->addAxis(categorias, Qt::AlignBottom);
    serie->attachAxis(categorias);
    auto* valores = new QValueAxis(grafico);
    grafico->addAxis(valores, Qt::AlignLeft);
    serie->attachAxis(valores);
    grafico->setTitle(estado_.nombre.trimmed());
    QChart* anterior = vistaGrafico_->chart();
    vistaGrafico_->setChart(grafico);
    delete anterior;
}

}  // namespace kv::stats
