#include "ui/GraficoPrincipal.h"

#include <QCursor>
#include <QEvent>
#include <QFontMetricsF>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPainter>
#include <QScrollArea>
#include <QStackedLayout>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "ui/PanelGraficos.h"
#include "ui/TiposGrafico.h"

#ifdef KV_CON_3D
#include <QtDataVisualization/Q3DBars>
#include <QtDataVisualization/Q3DCamera>
#include <QtDataVisualization/Q3DScene>
#include <QtDataVisualization/QCustom3DLabel>
#include <QtDataVisualization/Q3DSurface>
#include <QtDataVisualization/Q3DTheme>
#include <QtDataVisualization/QBar3DSeries>
#include <QtDataVisualization/QBarDataProxy>
#include <QtDataVisualization/QCategory3DAxis>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtDataVisualization/QSurfaceDataProxy>
#include <QtDataVisualization/QValue3DAxis>
#include <QtDataVisualization/QValue3DAxisFormatter>
#endif

namespace kv::ui {

std::vector<std::optional<double>> ColocarSinSolaparse(const std::vector<QRectF>& cajas, double techo,
                                                       const std::vector<QRectF>& fijas) {
    std::vector<std::optional<double>> alzas(cajas.size());
    std::vector<QRectF> puestas = fijas;
    for (size_t i = 0; i < cajas.size(); ++i) {
        QRectF caja = cajas[i];
        // Raised just above whatever it covers, until it covers nothing.
        for (bool movida = true; movida && caja.bottom() <= techo;) {
            movida = false;
            for (const QRectF& otra : puestas)
                if (caja.intersects(otra)) {
                    caja.moveTop(otra.bottom());
                    movida = true;
                }
        }
        if (caja.bottom() > techo) continue;
        alzas[i] = caja.top() - cajas[i].top();
        puestas.push_back(caja);
    }
    return alzas;
}

#ifdef KV_CON_3D
namespace {

// Value marks of a 3D axis with the locale's grouping; on a category axis drawn
// as numbers (surfaces), the category's label.
class FormatoEje3D : public QValue3DAxisFormatter {
  public:
    FormatoEje3D(Familia familia = Familia::Importes, QStringList categorias = {})
        : familia_(familia), categorias_(std::move(categorias)) {}

  protected:
    QValue3DAxisFormatter* createNewInstance() const override {
        return new FormatoEje3D(familia_, categorias_);
    }
    void populateCopy(QValue3DAxisFormatter& copia) const override {
        QValue3DAxisFormatter::populateCopy(copia);
        auto& otra = static_cast<FormatoEje3D&>(copia);
        otra.familia_ = familia_;
        otra.categorias_ = categorias_;
    }
    QString stringForValue(qreal valor, const QString&) const override {
        if (!categorias_.isEmpty()) {
            const long i = std::lround(valor);
            return std::fabs(valor - static_cast<double>(i)) < 1e-6 ? categorias_.value(static_cast<int>(i))
                                                                    : QString();
        }
        QString texto = TextoNumero(valor, 0);
        if (familia_ == Familia::Porcentajes) texto += QStringLiteral(" %");
        return texto;
    }

  private:
    Familia familia_;
    QStringList categorias_;
};

QString TextoEtiqueta3D(const QString& texto) {
    // Item labels read "@" as the start of a tag.
    QString t = texto;
    return t.replace(QLatin1Char('\n'), QStringLiteral(" · "))
        .replace(QLatin1Char('@'), QStringLiteral("(at)"));
}

// Bars and points get their value written above them while the graph stays
// readable; beyond this many the values are read by picking a bar.
constexpr int kMaxValores3D = 60;

QFont FuenteValor3D() {
    QFont fuente = QApplication::font();
    fuente.setPointSize(28);
    fuente.setBold(true);
    return fuente;
}

// With the camera the graphs use, a value label stands this high on screen for
// a graph whose row of bars is one unit wide (measured: 17 pixels over 312 for
// the default font), with a margin; the value axis's range stands 0.54 units high.
constexpr double kAltoEtiquetaFrente = 0.062;
constexpr double kAltoRangoFrente = 0.54;
// Room left above the tallest bar, in label heights, for the values raised.
constexpr double kFilasSobreBarras = 2.2;

// A label's width over its height on screen: the text's own proportion, of
// which the label shows 0.65 (measured), with a margin.
double ProporcionEtiqueta3D(const QString& texto) {
    const QFontMetricsF m(FuenteValor3D());
    return m.horizontalAdvance(texto) / m.height() * 0.7;
}

// The value written above a bar or point, always turned to the camera.
QCustom3DLabel* EtiquetaValor3D(const QString& texto, const QVector3D& posicion) {
    auto* etiqueta = new QCustom3DLabel;
    etiqueta->setText(TextoEtiqueta3D(texto));
    etiqueta->setFont(FuenteValor3D());
    etiqueta->setPosition(posicion);
    etiqueta->setFacingCamera(true);
    etiqueta->setBackgroundEnabled(true);
    etiqueta->setBackgroundColor(QColor(255, 255, 255, 220));
    etiqueta->setBorderEnabled(false);
    etiqueta->setTextColor(Qt::black);
    etiqueta->setScaling(QVector3D(1.0f, 1.0f, 1.0f));
    return etiqueta;
}

}  // namespace
#endif

GraficoPrincipal::GraficoPrincipal(QWidget* padre)
    : QWidget(padre),
      pila_(new QStackedLayout(this)),
      desplazamiento_(new QScrollArea(this)),
      panel_(new PanelGraficos),
      desplazamiento3D_(new QScrollArea(this)),
      pagina3D_(new QWidget),
      capa3D_(new QVBoxLayout(pagina3D_)) {
    setObjectName(QStringLiteral("Chart1"));
    setAccessibleName(QString::fromUtf8("Gráfico de la carga"));
    desplazamiento_->setWidgetResizable(true);
    desplazamiento_->setFrameShape(QFrame::NoFrame);
    desplazamiento_->setWidget(panel_);
    capa3D_->setContentsMargins(0, 0, 0, 0);
    capa3D_->setSpacing(2);
    // Each 3D graph keeps a height where its labels read; several scroll.
    desplazamiento3D_->setWidgetResizable(true);
    desplazamiento3D_->setFrameShape(QFrame::NoFrame);
    desplazamiento3D_->setWidget(pagina3D_);
    pila_->addWidget(desplazamiento_);
    pila_->addWidget(desplazamiento3D_);
    connect(panel_, &PanelGraficos::ActividadRaton, this, &GraficoPrincipal::ActividadRaton);
    connect(panel_, &PanelGraficos::DobleClicCategoria, this, [this](int categoria) {
        if (categoria >= 0 && categoria == datos_.filaResto) emit DobleClicResto();
    });
    pagina3D_->installEventFilter(this);
}

GraficoPrincipal::~GraficoPrincipal() = default;

void GraficoPrincipal::Vincular(const kv::stats::ModeloGrafico& modelo, const QString& titulo,
                                const QString& subtitulo) {
    DatosGrafico datos = DatosDeModelo(modelo, titulo);
    datos.subtitulo = subtitulo;
    EstablecerDatos(datos);
}

void GraficoPrincipal::EstablecerDatos(const DatosGrafico& datos) {
    datos_ = datos;
    Redibujar();
}

void GraficoPrincipal::setChartType(int tipo) { tipo_ = tipo; }

bool GraficoPrincipal::Hay3D() {
#ifdef KV_CON_3D
    static const bool hay = [] {
        const QString plataforma = QGuiApplication::platformName();
        // Qt Data Visualization crashes without a real GL surface.
        if (plataforma == QLatin1String("offscreen") || plataforma == QLatin1String("minimal")) return false;
        if (qEnvironmentVariableIsSet("KVESTV_SIN_3D")) return false;
        QOpenGLContext contexto;
        if (!contexto.create()) return false;
        QOffscreenSurface superficie;
        superficie.setFormat(contexto.format());
        superficie.create();
        if (!superficie.isValid() || !contexto.makeCurrent(&superficie)) return false;
        contexto.doneCurrent();
        return true;
    }();
    return hay;
#else
    return false;
#endif
}

void GraficoPrincipal::Limpiar3D() {
    for (QWidget* contenedor : contenedores3D_) {
        capa3D_->removeWidget(contenedor);
        delete contenedor;  // takes its graph with it
    }
    contenedores3D_.clear();
    graficos3D_.clear();
    delete resto3D_;
    resto3D_ = nullptr;
}

void GraficoPrincipal::Redibujar() {
    Limpiar3D();
    // Screen readers (and the walk with real input) read the type drawn.
    if (EsTipo3D(tipo_) && Hay3D() && Dibujar3D()) {
        setAccessibleDescription(TituloDeTipo(tipo_));
        pila_->setCurrentWidget(desplazamiento3D_);
        return;
    }
    panel_->PonerNota(EsTipo3D(tipo_) ? QString::fromUtf8(kNotaSin3D) : QString());
    panel_->Dibujar(datos_, Equivalente2D(tipo_));
    setAccessibleDescription(TituloDeTipo(Equivalente2D(tipo_)));
    pila_->setCurrentWidget(desplazamiento_);
}

bool GraficoPrincipal::Dibujar3D() {
#ifdef KV_CON_3D
    using namespace tipo_grafico;
    const std::vector<Familia> familias = datos_.Familias();
    if (familias.empty() || datos_.Categorias() == 0) return false;
    // A remainder that dwarfs the top groups is written above the graphs, as in
    // 2D, and the graphs draw the top groups at their own scale. The remainder
    // is the last category, so the others keep their numbers.
    const bool restoAparte = RestoFueraDeEscala(datos_);
    const DatosGrafico dibujados = restoAparte ? SinResto(datos_) : datos_;
    const int n = dibujados.Categorias();
    if (restoAparte) {
        resto3D_ = CrearRestoAparte(datos_, pagina3D_);
        resto3D_->installEventFilter(this);
        capa3D_->addWidget(resto3D_, 0);
        resto3D_->show();
    }
    QStringList etiquetas;
    for (int c = 0; c < n; ++c)
        etiquetas << dibujados.niveles.value(c, {dibujados.etiquetas.value(c)}).join(QStringLiteral(" · "));
    // A picked point or bar: its category's full text as the item label and the
    // tooltip, and kept for a double click on the remainder.
    const auto alElegir = [this](QAbstract3DSeries* serie) {
        return [this, serie](const QPoint& p) {
            if (p.x() < 0 || p.y() < 0) return;
            const int c = p.y();
            serie->setItemLabelFormat(TextoEtiqueta3D(datos_.Descripcion(c)));
            QToolTip::showText(QCursor::pos(), datos_.Descripcion(c), this);
            ultimaCategoria_ = c;
        };
    };

    for (Familia familia : familias) {
        std::vector<const SerieGrafico*> series;
        for (const SerieGrafico& s : dibujados.series)
            if (s.familia == familia) series.push_back(&s);
        const bool conValores = static_cast<int>(series.size()) * n <= kMaxValores3D;
        std::vector<QCustom3DLabel*> valores;
        QAbstract3DGraph* grafico = nullptr;
        QValue3DAxis* ejeValores = new QValue3DAxis;
        ejeValores->setFormatter(new FormatoEje3D(familia));
        ejeValores->setTitle(NombreFamilia(familia));
        ejeValores->setTitleVisible(true);

        if (tipo_ == Lineas3D || tipo_ == Area3D) {
            auto* superficie = new Q3DSurface;
            auto* ejeX = new QValue3DAxis;
            ejeX->setRange(0, std::max(1, n - 1));
            ejeX->setSegmentCount(std::max(1, n - 1));
            ejeX->setFormatter(new FormatoEje3D(familia, etiquetas));
            ejeX->setLabelAutoRotation(60);
            superficie->setAxisX(ejeX);
            superficie->setAxisY(ejeValores);
            auto* ejeZ = new QValue3DAxis;
            QStringList nombres;
            for (const SerieGrafico* s : series) nombres << s->nombre;
            ejeZ->setRange(0, static_cast<float>(series.size()));
            ejeZ->setSegmentCount(static_cast<int>(series.size()));
            ejeZ->setLabelFormat(QString());
            superficie->setAxisZ(ejeZ);
            const double ancho = tipo_ == Area3D ? 0.8 : 0.2;
            for (size_t k = 0; k < series.size(); ++k) {
                auto* datos = new QSurfaceDataArray;
                for (double z : {static_cast<double>(k) + 0.1, static_cast<double>(k) + 0.1 + ancho}) {
                    auto* fila = new QSurfaceDataRow(n == 1 ? 2 : n);
                    for (int c = 0; c < fila->size(); ++c)
                        (*fila)[c].setPosition(QVector3D(
                            n == 1 ? c : c,
                            static_cast<float>(series[k]->valores[static_cast<size_t>(std::min(c, n - 1))]),
                            static_cast<float>(z)));
                    datos->append(fila);
                }
                auto* serie = new QSurface3DSeries;
                serie->setName(series[k]->nombre);
                serie->dataProxy()->resetArray(datos);
                serie->setDrawMode(tipo_ == Area3D ? QSurface3DSeries::DrawSurface
                                                   : QSurface3DSeries::DrawSurfaceAndWireframe);
                serie->setFlatShadingEnabled(tipo_ == Area3D);
                serie->setItemLabelFormat(series[k]->nombre + QStringLiteral(": @yLabel"));
                connect(serie, &QSurface3DSeries::selectedPointChanged, this, alElegir(serie));
                superficie->addSeries(serie);
                if (conValores)
                    for (int c = 0; c < n; ++c) {
                        const double v = series[k]->valores[static_cast<size_t>(c)];
                        valores.push_back(EtiquetaValor3D(
                            dibujados.TextoValor(*series[k], v),
                            QVector3D(static_cast<float>(c), static_cast<float>(v),
                                      static_cast<float>(static_cast<double>(k) + 0.1 + ancho / 2))));
                    }
            }
            grafico = superficie;
        } else {
            auto* barras = new Q3DBars;
            barras->setValueAxis(ejeValores);
            auto* ejeColumnas = new QCategory3DAxis;
            ejeColumnas->setLabels(etiquetas);
            ejeColumnas->setLabelAutoRotation(60);
            barras->setColumnAxis(ejeColumnas);
            auto* ejeFilas = new QCategory3DAxis;
            barras->setRowAxis(ejeFilas);
            const bool combinado = tipo_ == Combinado3D;
            const bool pasos = tipo_ == Pasos3D;
            // Bars and combination: one series (one colour) per total, side by side;
            // steps: the totals one behind the other, bars touching.
            const bool porSerie = !pasos;
            if (pasos) {
                barras->setBarThickness(1.0f);
                barras->setBarSpacing(QSizeF(0.0, 0.3));
            }
            const size_t grupos = porSerie ? series.size() : 1;
            // The value axis leaves room above the bars for the values raised
            // so that none covers its neighbour's.
            double menor = 0, mayor = 0;
            for (const SerieGrafico* s : series)
                for (double v : s->valores) {
                    menor = std::min(menor, v);
                    mayor = std::max(mayor, v);
                }
            if (mayor <= menor) mayor = menor + 1;
            const double rango = (mayor - menor) / (1 - kFilasSobreBarras * kAltoEtiquetaFrente / kAltoRangoFrente);
            ejeValores->setRange(static_cast<float>(menor), static_cast<float>(menor + rango));
            const double altoEtiqueta = kAltoEtiquetaFrente / kAltoRangoFrente * rango;
            std::vector<QRectF> cajas, barrasDibujadas;
            std::vector<std::pair<QString, QVector3D>> escritos;
            QStringList filas;
            for (size_t g = 0; g < grupos; ++g) {
                auto* serie = new QBar3DSeries;
                auto* arreglo = new QBarDataArray;
                const size_t desde = porSerie ? g : 0;
                const size_t hasta = porSerie ? g + 1 : series.size();
                for (size_t k = desde; k < hasta; ++k) {
                    auto* fila = new QBarDataRow(n);
                    for (int c = 0; c < n; ++c)
                        (*fila)[c].setValue(static_cast<float>(series[k]->valores[static_cast<size_t>(c)]));
                    arreglo->append(fila);
                    if (!porSerie) filas << series[k]->nombre;
                    if (!conValores) continue;
                    // Side by side totals share a column: each value over its own bar.
                    const double lado =
                        porSerie ? (static_cast<double>(g) - (static_cast<double>(grupos) - 1) / 2) /
                                       static_cast<double>(grupos) * 0.8
                                 : 0;
                    const float filaZ = porSerie ? 0.0f : static_cast<float>(k);
                    for (int c = 0; c < n; ++c) {
                        const double v = series[k]->valores[static_cast<size_t>(c)];
                        const QString texto = dibujados.TextoValor(*series[k], v);
                        // One column is 1/n of the row's width. A label past the first or
                        // last column is outside the axis and would not be drawn.
                        const double ancho = kAltoEtiquetaFrente * ProporcionEtiqueta3D(texto) * n;
                        const double x = std::clamp(c + lado, 0.0, static_cast<double>(n - 1));
                        cajas.emplace_back(x - ancho / 2, std::max(0.0, v), ancho, altoEtiqueta);
                        // The bar itself: a value written behind a taller bar would be hidden by it.
                        const double grueso = porSerie ? 0.8 / static_cast<double>(grupos) : 0.8;
                        barrasDibujadas.emplace_back(c + lado - grueso / 2, std::min(0.0, v), grueso, std::fabs(v));
                        escritos.emplace_back(texto, QVector3D(static_cast<float>(x), 0.0f, filaZ));
                    }
                }
                serie->dataProxy()->resetArray(arreglo);
                serie->setName(series[desde]->nombre);
                serie->setMesh(pasos ? QAbstract3DSeries::MeshBar
                                     : (combinado && g > 0 ? QAbstract3DSeries::MeshCylinder
                                                           : QAbstract3DSeries::MeshBevelBar));
                connect(serie, &QBar3DSeries::selectedBarChanged, this, alElegir(serie));
                barras->addSeries(serie);
            }
            // Where none covers another or hides behind a bar, the tallest bars' values
            // first; a value with no room is read by picking its bar.
            std::vector<size_t> orden(cajas.size());
            for (size_t i = 0; i < orden.size(); ++i) orden[i] = i;
            std::stable_sort(orden.begin(), orden.end(),
                             [&](size_t a, size_t b) { return cajas[a].top() > cajas[b].top(); });
            std::vector<QRectF> ordenadas;
            for (size_t i : orden) ordenadas.push_back(cajas[i]);
            const std::vector<std::optional<double>> alzas =
                ColocarSinSolaparse(ordenadas, menor + rango, barrasDibujadas);
            for (size_t k = 0; k < orden.size(); ++k) {
                if (!alzas[k]) continue;
                QVector3D posicion = escritos[orden[k]].second;
                posicion.setY(static_cast<float>(ordenadas[k].center().y() + *alzas[k]));
                valores.push_back(EtiquetaValor3D(escritos[orden[k]].first, posicion));
            }
            if (porSerie) filas << QString();
            ejeFilas->setLabels(filas);
            barras->setMultiSeriesUniform(porSerie);
            grafico = barras;
        }
        grafico->activeTheme()->setType(Q3DTheme::ThemeQt);
        grafico->activeTheme()->setLabelBackgroundEnabled(true);
        grafico->activeTheme()->setBackgroundEnabled(false);
        // Seen from the front and a little above: the labels and values read level.
        grafico->scene()->activeCamera()->setCameraPosition(-12.0f, 14.0f, 95.0f);
        for (QCustom3DLabel* etiqueta : valores) grafico->addCustomItem(etiqueta);
        grafico->setShadowQuality(QAbstract3DGraph::ShadowQualityNone);
        grafico->setSelectionMode(QAbstract3DGraph::SelectionItem);
        grafico->setTitle(datos_.subtitulo.isEmpty() ? datos_.titulo
                                                     : datos_.titulo + QStringLiteral(" — ") + datos_.subtitulo);
        grafico->installEventFilter(this);
        QWidget* contenedor = QWidget::createWindowContainer(grafico, pagina3D_);
        contenedor->setMinimumSize(200, 340);
        contenedor->setToolTip(datos_.titulo.isEmpty()
                                   ? NombreFamilia(familia)
                                   : datos_.titulo + QStringLiteral(" — ") + NombreFamilia(familia));
        capa3D_->addWidget(contenedor, 1);
        contenedor->show();
        contenedores3D_.push_back(contenedor);
        graficos3D_.push_back(grafico);
    }
    return true;
#else
    return false;
#endif
}

QImage GraficoPrincipal::Imagen() {
#ifdef KV_CON_3D
    if (Mostrando3D()) {
        // A GL window does not draw into a widget grab: each graph renders itself.
        QImage imagen(pagina3D_->size(), QImage::Format_RGB32);
        imagen.fill(Qt::white);
        QPainter pintor(&imagen);
        if (resto3D_) pintor.drawPixmap(resto3D_->geometry().topLeft(), resto3D_->grab());
        for (size_t i = 0; i < graficos3D_.size(); ++i) {
            auto* grafico = static_cast<QAbstract3DGraph*>(graficos3D_[i]);
            const QRect zona = contenedores3D_[i]->geometry();
            pintor.drawImage(zona.topLeft(), grafico->renderToImage(0, zona.size()));
        }
        return imagen;
    }
#endif
    return panel_->grab().toImage();
}

bool GraficoPrincipal::eventFilter(QObject* objeto, QEvent* evento) {
    if (objeto == resto3D_ && evento->type() == QEvent::MouseButtonDblClick) {
        emit DobleClicResto();
        return true;
    }
    switch (evento->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
            emit ActividadRaton();
            break;
        case QEvent::MouseButtonDblClick:
            if (ultimaCategoria_ >= 0 && ultimaCategoria_ == datos_.filaResto) emit DobleClicResto();
            break;
        default:
            break;
    }
    return QWidget::eventFilter(objeto, evento);
}

}  // namespace kv::ui
