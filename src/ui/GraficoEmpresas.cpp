#include "ui/GraficoEmpresas.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QScrollArea>
#include <QToolBar>
#include <QVBoxLayout>

#include "ui/PanelGraficos.h"
#include "ui/TiposGrafico.h"
#include "ui/VistaTablaDinamica.h"

namespace kv::ui {

GraficoEmpresas::GraficoEmpresas(QWidget* padre)
    : QWidget(padre),
      barra_(new QToolBar(this)),
      tipo_(new QComboBox(barra_)),
      empresa_(new QComboBox(barra_)),
      copiar_(new QAction(QStringLiteral("Copiar imagen"), this)),
      desplazamiento_(new QScrollArea(this)),
      panel_(new PanelGraficos) {
    setObjectName(QStringLiteral("ChartSpace1"));
    barra_->setObjectName(QStringLiteral("DisplayToolbar"));
    tipo_->setObjectName(QStringLiteral("cboTipoGrafico2"));
    tipo_->setToolTip(QStringLiteral("Tipo de gráfico"));
    using namespace tipo_grafico;
    tipo_->addItem(QStringLiteral("Columnas agrupadas"), Barras2D);
    tipo_->addItem(QStringLiteral("Columnas y líneas"), Combinado2D);
    tipo_->addItem(QStringLiteral("Líneas"), Lineas2D);
    tipo_->addItem(QStringLiteral("Áreas"), Area2D);
    tipo_->addItem(QStringLiteral("Pasos"), Pasos2D);
    tipo_->addItem(QStringLiteral("Puntos"), XY2D);
    tipo_->addItem(QStringLiteral("Torta"), Torta2D);
    empresa_->setObjectName(QStringLiteral("cboEmpresaGrafico2"));
    empresa_->setToolTip(QStringLiteral("Empresa (campo de filtro BASE)"));
    empresa_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    copiar_->setObjectName(QStringLiteral("accionCopiarImagen"));
    copiar_->setToolTip(QStringLiteral("Copiar el gráfico al portapapeles como imagen"));
    copiar_->setShortcut(QKeySequence::Copy);
    copiar_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(copiar_);
    barra_->addWidget(new QLabel(QStringLiteral(" Tipo: "), barra_));
    barra_->addWidget(tipo_);
    barra_->addSeparator();
    barra_->addWidget(new QLabel(QStringLiteral(" BASE: "), barra_));
    barra_->addWidget(empresa_);
    barra_->addSeparator();
    barra_->addAction(copiar_);

    desplazamiento_->setWidgetResizable(true);
    desplazamiento_->setFrameShape(QFrame::NoFrame);
    desplazamiento_->setWidget(panel_);
    auto* capa = new QVBoxLayout(this);
    capa->setContentsMargins(0, 0, 0, 0);
    capa->setSpacing(0);
    capa->addWidget(barra_);
    capa->addWidget(desplazamiento_, 1);

    connect(tipo_, &QComboBox::currentIndexChanged, this, [this] { Redibujar(); });
    connect(empresa_, &QComboBox::currentIndexChanged, this, [this] {
        const QString valor = empresa_->currentData().toString();
        tabla_.Filtrar(valor.isEmpty() ? QStringList() : QStringList{valor});
        Redibujar();
    });
    connect(copiar_, &QAction::triggered, this, [this] { CopiarImagen(); });
    connect(panel_, &PanelGraficos::ActividadRaton, this, &GraficoEmpresas::ActividadRaton);
    Limpiar();
}

void GraficoEmpresas::Limpiar() { Vincular(nullptr); }

void GraficoEmpresas::Vincular(std::shared_ptr<const DatosGrilla> datos, const QString& titulo) {
    titulo_ = titulo;
    tabla_.Vincular(std::move(datos));
    {
        const QSignalBlocker bloqueo(empresa_);
        empresa_->clear();
        empresa_->addItem(QString::fromUtf8(kTodasLasEmpresas));
        for (const QString& valor : tabla_.ValoresFiltro()) empresa_->addItem(valor, valor);
    }
    Redibujar();
}

void GraficoEmpresas::setDisplayToolbar(bool mostrar) { barra_->setVisible(mostrar); }

bool GraficoEmpresas::DisplayToolbar() const { return !barra_->isHidden(); }

void GraficoEmpresas::ElegirEmpresa(const QString& empresa) {
    const int i = empresa.isEmpty() ? 0 : empresa_->findData(empresa, Qt::UserRole, Qt::MatchFixedString);
    if (i >= 0) empresa_->setCurrentIndex(i);
}

QString GraficoEmpresas::Empresa() const { return empresa_->currentData().toString(); }

void GraficoEmpresas::ElegirTipo(int tipo) {
    const int i = tipo_->findData(tipo);
    if (i >= 0) tipo_->setCurrentIndex(i);
}

int GraficoEmpresas::Tipo() const { return tipo_->currentData().toInt(); }

void GraficoEmpresas::Redibujar() {
    QString titulo = titulo_;
    const QString empresa = Empresa();
    const QString ambito =
        empresa.isEmpty() ? QStringLiteral("Todas las empresas") : QStringLiteral("Empresa ") + empresa;
    titulo = titulo.isEmpty() ? ambito : titulo + QStringLiteral(" — ") + ambito;
    panel_->Dibujar(DatosDeTabla(tabla_, tabla_.Datos() ? titulo : QString()), Tipo());
}

QImage GraficoEmpresas::Imagen() { return panel_->grab().toImage(); }

void GraficoEmpresas::CopiarImagen() { QApplication::clipboard()->setImage(Imagen()); }

}  // namespace kv::ui
