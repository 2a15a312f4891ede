#include "ui/VistaTablaDinamica.h"

#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QTreeView>
#include <QVBoxLayout>

#include "ui/Grilla.h"

namespace kv::ui {

void AnchoSegunTextos(QComboBox* lista) {
    int ancho = 0;
    for (int i = 0; i < lista->count(); ++i)
        ancho = std::max(ancho, lista->fontMetrics().horizontalAdvance(lista->itemText(i)));
    lista->setMinimumWidth(ancho + 40);
}

ModeloTablaDinamica::ModeloTablaDinamica(QObject* padre) : QAbstractItemModel(padre) {}

void ModeloTablaDinamica::Vincular(std::shared_ptr<const DatosGrilla> datos) {
    beginResetModel();
    tabla_.Vincular(std::move(datos));
    endResetModel();
}

void ModeloTablaDinamica::Filtrar(const QStringList& valores) {
    beginResetModel();
    tabla_.Filtrar(valores);
    endResetModel();
}

const TablaDinamica::Nodo* ModeloTablaDinamica::Nodo(const QModelIndex& indice) const {
    if (!indice.isValid()) return nullptr;
    return static_cast<const TablaDinamica::Nodo*>(indice.internalPointer());
}

QModelIndex ModeloTablaDinamica::IndiceTotal() const { return index(rowCount() - 1, 0); }

QModelIndex ModeloTablaDinamica::index(int fila, int columna, const QModelIndex& padre) const {
    if (fila < 0 || columna < 0 || columna >= columnCount()) return QModelIndex();
    const TablaDinamica::Nodo* nodoPadre = Nodo(padre);
    if (!nodoPadre) {
        const auto& raiz = tabla_.Raiz();
        const int hijos = static_cast<int>(raiz.hijos.size());
        if (fila < hijos) return createIndex(fila, columna, raiz.hijos[static_cast<size_t>(fila)].get());
        if (fila == hijos) return createIndex(fila, columna, const_cast<TablaDinamica::Nodo*>(&raiz));
        return QModelIndex();
    }
    if (nodoPadre->nivel < 0 || fila >= static_cast<int>(nodoPadre->hijos.size())) return QModelIndex();
    return createIndex(fila, columna, nodoPadre->hijos[static_cast<size_t>(fila)].get());
}

QModelIndex ModeloTablaDinamica::parent(const QModelIndex& indice) const {
    const TablaDinamica::Nodo* nodo = Nodo(indice);
    if (!nodo || nodo->nivel <= 0 || !nodo->padre) return QModelIndex();
    return createIndex(nodo->padre->Fila(), 0, nodo->padre);
}

int ModeloTablaDinamica::rowCount(const QModelIndex& padre) const {
    if (padre.column() > 0) return 0;
    const TablaDinamica::Nodo* nodo = Nodo(padre);
    if (!nodo) return tabla_.Datos() ? static_cast<int>(tabla_.Raiz().hijos.size()) + 1 : 0;
    if (nodo->nivel < 0) return 0;  // the grand total row has no children of its own
    return static_cast<int>(nodo->hijos.size());
}

int ModeloTablaDinamica::columnCount(const QModelIndex&) const { return 1 + tabla_.CantidadDatos(); }

QVariant ModeloTablaDinamica::data(const QModelIndex& indice, int rol) const {
    const TablaDinamica::Nodo* nodo = Nodo(indice);
    if (!nodo) return QVariant();
    const int columna = indice.column();
    switch (rol) {
        case Qt::DisplayRole:
        case kRolTextoExportado:
            if (columna == 0) return nodo->etiqueta;
            return tabla_.Texto(*nodo, columna - 1);
        case Qt::ToolTipRole: {
            QString texto = nodo->etiqueta;
            for (const TablaDinamica::Nodo* p = nodo->padre; p && p->nivel >= 0; p = p->padre)
                texto = p->etiqueta + QStringLiteral(" › ") + texto;
            if (columna > 0)
                texto += QStringLiteral("\n") + tabla_.TitulosDatos().value(columna - 1) +
                         QStringLiteral(": ") + tabla_.Texto(*nodo, columna - 1);
            return texto;
        }
        case kRolNumero:
            return columna > 0 ? QVariant(tabla_.Valor(*nodo, columna - 1)) : QVariant();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(columna == 0 ? (Qt::AlignLeft | Qt::AlignVCenter)
                                                    : (Qt::AlignRight | Qt::AlignVCenter));
        case Qt::FontRole:
            if (nodo->nivel < 0 || !nodo->hijos.empty()) {
                QFont negrita;
                negrita.setBold(true);
                return negrita;
            }
            return QVariant();
        default:
            return QVariant();
    }
}

QVariant ModeloTablaDinamica::headerData(int seccion, Qt::Orientation orientacion, int rol) const {
    if (orientacion != Qt::Horizontal || (rol != Qt::DisplayRole && rol != kRolTextoExportado))
        return QVariant();
    if (seccion == 0) {
        const QStringList campos = tabla_.CamposFila();
        return campos.isEmpty() ? QStringLiteral("Grupos") : campos.join(QStringLiteral(" › "));
    }
    return tabla_.TitulosDatos().value(seccion - 1);
}

void ModeloTablaDinamica::sort(int columna, Qt::SortOrder orden) {
    beginResetModel();
    tabla_.Ordenar(columna, orden == Qt::AscendingOrder);
    endResetModel();
}

VistaTablaDinamica::VistaTablaDinamica(QWidget* padre)
    : QWidget(padre),
      modelo_(new ModeloTablaDinamica(this)),
      etiquetaFiltro_(new QLabel(QStringLiteral("BASE:"), this)),
      filtro_(new QComboBox(this)),
      nivel_(new QComboBox(this)),
      arbol_(new QTreeView(this)) {
    setObjectName(QStringLiteral("PivotTable1"));
    filtro_->setObjectName(QStringLiteral("cboFiltroPivot"));
    filtro_->setToolTip(QStringLiteral("Empresa (campo de filtro)"));
    filtro_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    nivel_->setObjectName(QStringLiteral("cboNivelPivot"));
    nivel_->setToolTip(QStringLiteral("Niveles abiertos"));
    nivel_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    arbol_->setObjectName(QStringLiteral("arbolPivot"));
    arbol_->setModel(modelo_);
    arbol_->setSortingEnabled(true);
    arbol_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    arbol_->header()->setSectionsClickable(true);
    arbol_->setAlternatingRowColors(true);
    arbol_->setUniformRowHeights(true);
    arbol_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    arbol_->setSelectionBehavior(QAbstractItemView::SelectRows);
    arbol_->header()->setStretchLastSection(false);

    auto* barra = new QHBoxLayout;
    barra->addWidget(etiquetaFiltro_);
    barra->addWidget(filtro_);
    barra->addSpacing(16);
    barra->addWidget(new QLabel(QStringLiteral("Mostrar:"), this));
    barra->addWidget(nivel_);
    barra->addStretch(1);
    auto* capa = new QVBoxLayout(this);
    capa->setContentsMargins(0, 0, 0, 0);
    capa->addLayout(barra);
    capa->addWidget(arbol_, 1);

    connect(filtro_, &QComboBox::currentIndexChanged, this, [this] { AlCambiarFiltro(); });
    connect(nivel_, &QComboBox::activated, this,
            [this](int i) { ExpandirHastaNivel(nivel_->itemData(i).toInt()); });
    connect(arbol_->header(), &QHeaderView::sortIndicatorChanged, this,
            [this] { ExpandirHastaNivel(nivel_->currentData().toInt()); });
}

void VistaTablaDinamica::Vincular(std::shared_ptr<const DatosGrilla> datos) {
    modelo_->Vincular(std::move(datos));
    const TablaDinamica& tabla = modelo_->Tabla();
    const QSignalBlocker bloqueo(filtro_);
    filtro_->clear();
    filtro_->addItem(QString::fromUtf8(kTodasLasEmpresas));
    for (const QString& valor : tabla.ValoresFiltro()) filtro_->addItem(valor, valor);
    etiquetaFiltro_->setText(tabla.CampoFiltro() + QLatin1Char(':'));
    AnchoSegunTextos(filtro_);
    arbol_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    ActualizarBotonesNivel();
    ExpandirHastaNivel(0);
}

void VistaTablaDinamica::ActualizarBotonesNivel() {
    nivel_->clear();
    const QStringList campos = modelo_->Tabla().CamposFila();
    for (int i = 0; i < campos.size(); ++i) nivel_->addItem(QStringLiteral("hasta ") + campos[i], i);
    nivel_->setEnabled(campos.size() > 1);
    AnchoSegunTextos(nivel_);
}

void VistaTablaDinamica::ExpandirHastaNivel(int nivel) {
    arbol_->collapseAll();
    if (nivel > 0) arbol_->expandToDepth(nivel - 1);
    const int i = nivel_->findData(nivel);
    if (i >= 0) nivel_->setCurrentIndex(i);
    AjustarColumnas();
}

void VistaTablaDinamica::AjustarColumnas() {
    for (int c = 0; c < modelo_->columnCount(); ++c) arbol_->resizeColumnToContents(c);
}

void VistaTablaDinamica::AlCambiarFiltro() {
    const QString valor = filtro_->currentData().toString();
    const int nivel = nivel_->currentData().toInt();
    modelo_->Filtrar(valor.isEmpty() ? QStringList() : QStringList{valor});
    ExpandirHastaNivel(nivel);
}

QImage VistaTablaDinamica::Imagen() { return grab().toImage(); }

}  // namespace kv::ui
