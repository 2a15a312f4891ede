#include "ui/GraficoEmpresas.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/PanelGraficos.h"
#include "ui/TiposGrafico.h"
#include "ui/VistaTablaDinamica.h"

namespace kv::ui {

GraficoEmpresas::GraficoEmpresas(QWidget* padre)
    : QWidget(padre),
      barra_(new QFrame(this)),
      tipo_(new QComboBox(barra_)),
      empresa_(new QComboBox(barra_)),
      copiar_(new QAction(QStringLiteral("Copiar imagen"), this)),
      anterior_(new QAction(QStringLiteral("◀"), this)),
      siguiente_(new QAction(QStringLiteral("▶"), this)),
      rango_(new QLabel(barra_)),
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
    AnchoSegunTextos(tipo_);
    empresa_->setObjectName(QStringLiteral("cboEmpresaGrafico2"));
    empresa_->setToolTip(QStringLiteral("Empresa (campo de filtro BASE)"));
    empresa_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    copiar_->setObjectName(QStringLiteral("accionCopiarImagen"));
    copiar_->setToolTip(QStringLiteral("Copiar el gráfico al portapapeles como imagen"));
    copiar_->setShortcut(QKeySequence::Copy);
    copiar_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(copiar_);
    // A plain row of controls: a QToolBar that holds widgets can crash when a
    // styled window is destroyed.
    barra_->setFrameShape(QFrame::StyledPanel);
    auto* fila = new QHBoxLayout(barra_);
    fila->setContentsMargins(4, 2, 4, 2);
    const auto boton = [this](QAction* accion) {
        auto* b = new QToolButton(barra_);
        b->setDefaultAction(accion);
        b->setAutoRaise(true);
        return b;
    };
    fila->addWidget(new QLabel(QStringLiteral("Tipo:"), barra_));
    fila->addWidget(tipo_);
    fila->addSpacing(12);
    fila->addWidget(new QLabel(QStringLiteral("BASE:"), barra_));
    fila->addWidget(empresa_);
    fila->addSpacing(12);
    fila->addWidget(boton(copiar_));
    fila->addSpacing(12);
    anterior_->setToolTip(QStringLiteral("Grupos anteriores"));
    siguiente_->setToolTip(QStringLiteral("Grupos siguientes"));
    anterior_->setObjectName(QStringLiteral("accionGruposAnteriores"));
    siguiente_->setObjectName(QStringLiteral("accionGruposSiguientes"));
    rango_->setObjectName(QStringLiteral("lblRangoGrupos"));
    fila->addWidget(boton(anterior_));
    fila->addWidget(rango_);
    fila->addWidget(boton(siguiente_));
    fila->addStretch(1);
    connect(anterior_, &QAction::triggered, this, [this] { IrAPagina(pagina_ - 1); });
    connect(siguiente_, &QAction::triggered, this, [this] { IrAPagina(pagina_ + 1); });

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
        pagina_ = 0;
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
        AnchoSegunTextos(empresa_);
    }
    pagina_ = 0;
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
    completos_ = DatosDeTabla(tabla_, tabla_.Datos() ? titulo : QString());
    if (tabla_.Datos() && !tabla_.Datos()->ordenCarga.isEmpty() && tabla_.Niveles() > 0) {
        // The groups in the order the load sorted them (the definition's criteria).
        const auto hojas = tabla_.Hojas();
        std::vector<int> orden(hojas.size());
        std::vector<int> posicion(hojas.size());
        for (size_t i = 0; i < hojas.size(); ++i) {
            QStringList codigos;
            for (const auto* n = hojas[i]; n && n->nivel >= 0; n = n->padre) codigos.prepend(n->codigo);
            posicion[i] = tabla_.Datos()->ordenCarga.value(DatosGrilla::ClaveGrupo(codigos), 1 << 30);
            orden[i] = static_cast<int>(i);
        }
        if (static_cast<int>(hojas.size()) == completos_.Categorias()) {
            std::stable_sort(orden.begin(), orden.end(),
                             [&](int a, int b) { return posicion[a] < posicion[b]; });
            DatosGrafico ordenados = completos_;
            for (size_t i = 0; i < orden.size(); ++i) {
                ordenados.etiquetas[static_cast<int>(i)] = completos_.etiquetas[orden[i]];
                ordenados.niveles[static_cast<int>(i)] = completos_.niveles[orden[i]];
                for (size_t s = 0; s < ordenados.series.size(); ++s)
                    ordenados.series[s].valores[i] =
                        completos_.series[s].valores[static_cast<size_t>(orden[i])];
            }
            completos_ = std::move(ordenados);
        }
    }
    const int total = completos_.Categorias();
    pagina_ = std::clamp(pagina_, 0, std::max(0, Paginas() - 1));
    const int desde = pagina_ * kCategoriasPorPagina;
    const int hasta = std::min(total, desde + kCategoriasPorPagina);
    DatosGrafico parte = completos_;
    if (total > kCategoriasPorPagina) {
        parte.etiquetas = completos_.etiquetas.mid(desde, hasta - desde);
        parte.niveles = completos_.niveles.mid(desde, hasta - desde);
        for (size_t i = 0; i < parte.series.size(); ++i) {
            const auto& todos = completos_.series[i].valores;
            parte.series[i].valores.assign(todos.begin() + desde, todos.begin() + hasta);
        }
    }
    rango_->setText(total == 0
                        ? QStringLiteral(" Sin grupos ")
                        : QStringLiteral(" Grupos %1–%2 de %3 ")
                              .arg(TextoNumero(desde + 1, 0), TextoNumero(hasta, 0), TextoNumero(total, 0)));
    anterior_->setEnabled(pagina_ > 0);
    siguiente_->setEnabled(hasta < total);
    panel_->Dibujar(parte, Tipo());
}

int GraficoEmpresas::Paginas() const {
    return (completos_.Categorias() + kCategoriasPorPagina - 1) / kCategoriasPorPagina;
}

void GraficoEmpresas::IrAPagina(int pagina) {
    pagina_ = pagina;
    Redibujar();
}

QImage GraficoEmpresas::Imagen() { return panel_->grab().toImage(); }

void GraficoEmpresas::CopiarImagen() { QApplication::clipboard()->setImage(Imagen()); }

}  // namespace kv::ui
