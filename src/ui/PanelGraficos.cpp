#include "ui/PanelGraficos.h"

#include <QApplication>
#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QGraphicsSimpleTextItem>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QScatterSeries>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "ui/TiposGrafico.h"

namespace kv::ui {

namespace {

constexpr int kMaxLineasEtiqueta = 3;

QString Escapar(const QString& texto) { return texto.toHtmlEscaped(); }

// Text of the value axis marks: whole numbers unless the range is small.
QString TextoMarca(double valor, Familia familia, double paso) {
    const int decimales = paso >= 1 ? 0 : std::min(4, static_cast<int>(std::ceil(-std::log10(paso))));
    QString texto = TextoNumero(valor, decimales);
    if (familia == Familia::Porcentajes) texto += QStringLiteral(" %");
    return texto;
}

// Room the value axis labels take.
int AnchoEjeValores(const QFontMetrics& m, const std::vector<double>& marcas, Familia familia) {
    const double paso = marcas.size() > 1 ? marcas[1] - marcas[0] : 1;
    int ancho = 0;
    for (double v : marcas) ancho = std::max(ancho, m.horizontalAdvance(TextoMarca(v, familia, paso)));
    return ancho + 24;
}

// Writes each bar's and point's value beside it, in the locale's marks, where
// the text fits in the room of its bar; placed again whenever the plot moves.
void PonerValores(QChart* grafico, const DatosGrafico& datos) {
    std::vector<QGraphicsSimpleTextItem*> textos;
    const auto colocar = [grafico, datos, textos]() mutable {
        for (auto* t : textos) delete t;
        textos.clear();
        const QFont fuente = QApplication::font();
        const QFontMetrics metricas(fuente);
        const auto escribir = [&](const QString& texto, QPointF punto, bool derecha, double hueco) {
            if (hueco > 0 && metricas.horizontalAdvance(texto) > hueco) return;
            auto* item = new QGraphicsSimpleTextItem(texto, grafico);
            item->setFont(fuente);
            item->setZValue(10);
            const QRectF caja = item->boundingRect();
            if (derecha)
                item->setPos(punto.x() + 4, punto.y() - caja.height() / 2);
            else
                item->setPos(punto.x() - caja.width() / 2, punto.y() - caja.height() - 2);
            textos.push_back(item);
        };
        const QRectF area = grafico->plotArea();
        for (QAbstractSeries* serie : grafico->series()) {
            if (auto* barras = qobject_cast<QAbstractBarSeries*>(serie)) {
                const bool horizontal = qobject_cast<QHorizontalBarSeries*>(barras) != nullptr;
                const auto conjuntos = barras->barSets();
                const int m = static_cast<int>(conjuntos.size());
                for (int k = 0; k < m; ++k) {
                    const QBarSet* conjunto = conjuntos[k];
                    const SerieGrafico* fuente_ = nullptr;
                    for (const SerieGrafico& s : datos.series)
                        if (s.nombre == conjunto->label()) fuente_ = &s;
                    if (!fuente_) continue;
                    const int n = static_cast<int>(conjunto->count());
                    const double desplazamiento = (k - (m - 1) / 2.0) * barras->barWidth() / std::max(1, m);
                    const double hueco = horizontal ? 0
                                                    : area.width() / std::max(1, n) * barras->barWidth() /
                                                          std::max(1, m) * 1.9;
                    for (int i = 0; i < n; ++i) {
                        const double v = conjunto->at(i);
                        const QString texto = datos.TextoValor(*fuente_, v);
                        if (horizontal)
                            escribir(
                                texto,
                                grafico->mapToPosition(QPointF(std::max(0.0, v), i + desplazamiento), serie),
                                true,
                                area.right() -
                                    grafico->mapToPosition(QPointF(std::max(0.0, v), 0), serie).x() + 40);
                        else
                            escribir(
                                texto,
                                grafico->mapToPosition(QPointF(i + desplazamiento, std::max(0.0, v)), serie),
                                false, hueco);
                    }
                }
            } else if (qobject_cast<QXYSeries*>(serie) || qobject_cast<QAreaSeries*>(serie)) {
                // Lines and points at each point; an area at the top of its edge.
                const SerieGrafico* fuente_ = nullptr;
                for (const SerieGrafico& s : datos.series)
                    if (s.nombre == serie->name()) fuente_ = &s;
                const bool conPuntos = qobject_cast<QLineSeries*>(serie) != nullptr ||
                                       qobject_cast<QScatterSeries*>(serie) != nullptr ||
                                       qobject_cast<QAreaSeries*>(serie) != nullptr;
                if (!fuente_ || !conPuntos) continue;
                const int n = static_cast<int>(fuente_->valores.size());
                const double hueco = area.width() / std::max(1, n) * 1.8;
                for (int c = 0; c < n; ++c) {
                    const double v = fuente_->valores[static_cast<size_t>(c)];
                    escribir(datos.TextoValor(*fuente_, v), grafico->mapToPosition(QPointF(c, v), serie),
                             false, hueco);
                }
            }
        }
    };
    QObject::connect(grafico, &QChart::plotAreaChanged, grafico, colocar);
}

}  // namespace

std::optional<QString> EnvolverEtiqueta(const QStringList& partes, const QFontMetrics& metricas, int ancho,
                                        int maxLineas) {
    QStringList lineas;
    for (const QString& parte : partes) {
        const QStringList palabras = parte.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QString linea;
        for (const QString& palabra : palabras) {
            if (metricas.horizontalAdvance(palabra) > ancho) return std::nullopt;
            const QString prueba = linea.isEmpty() ? palabra : linea + QLatin1Char(' ') + palabra;
            if (metricas.horizontalAdvance(prueba) <= ancho) {
                linea = prueba;
            } else {
                lineas << linea;
                linea = palabra;
            }
        }
        if (!linea.isEmpty() || palabras.isEmpty()) lineas << linea;
    }
    if (maxLineas > 0 && lineas.size() > maxLineas) return std::nullopt;
    QStringList escapadas;
    for (const QString& l : lineas) escapadas << Escapar(l);
    return escapadas.join(QStringLiteral("<br>"));
}

std::vector<double> MarcasEje(double minimo, double maximo, int marcas) {
    if (!std::isfinite(minimo) || !std::isfinite(maximo)) return {0, 1};
    minimo = std::min(minimo, 0.0);
    maximo = std::max(maximo, 0.0);
    if (maximo - minimo < 1e-9) maximo = minimo + 1;
    const double bruto = (maximo - minimo) / std::max(1, marcas);
    const double potencia = std::pow(10.0, std::floor(std::log10(bruto)));
    double paso = potencia;
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * potencia >= bruto) {
            paso = m * potencia;
            break;
        }
    std::vector<double> valores;
    const double inicio = std::floor(minimo / paso) * paso;
    for (double v = inicio; v < maximo + paso * 0.999; v += paso)
        valores.push_back(std::fabs(v) < paso * 1e-9 ? 0 : v);
    return valores;
}

PanelGraficos::PanelGraficos(QWidget* padre) : QWidget(padre), capa_(new QVBoxLayout(this)) {
    capa_->setContentsMargins(0, 0, 0, 0);
    capa_->setSpacing(2);
}

void PanelGraficos::Dibujar(const DatosGrafico& datos, int tipo) {
    datos_ = datos;
    tipo_ = Equivalente2D(tipo);
    Redibujar();
}

void PanelGraficos::PonerNota(const QString& nota) { nota_ = nota; }

void PanelGraficos::Redibujar() {
    for (QChartView* vista : vistas_) {
        capa_->removeWidget(vista);
        delete vista;
    }
    vistas_.clear();
    delete resto_;
    resto_ = nullptr;
    mostradas_.clear();
    horizontal_ = false;
    std::vector<Familia> familias = datos_.Familias();
    // A remainder that dwarfs the top groups is written beside the chart with
    // its values, and the chart draws the top groups at their own scale. The
    // remainder is the last category, so the others keep their numbers.
    const DatosGrafico completos = datos_;
    if (RestoFueraDeEscala(datos_) && tipo_ != tipo_grafico::Torta2D) {
        resto_ = CrearRestoAparte(datos_, this);
        resto_->installEventFilter(this);
        capa_->addWidget(resto_, 0);
        datos_ = SinResto(datos_);
    }
    const int ancho = std::max(AnchoDisponible(), 200);
    anchoMinimo_ = 0;
    if (familias.empty()) {
        auto* grafico = new QChart();
        grafico->setTitle(Escapar(datos_.titulo));
        auto* vista = new QChartView(grafico, this);
        vistas_.push_back(vista);
        capa_->addWidget(vista, 1);
        vista->show();
    }
    forzarHorizontal_ = false;
    if (tipo_ == tipo_grafico::Barras2D && familias.size() > 1) {
        // One family with horizontal bars turns them all, so the charts read alike.
        for (Familia f : familias) {
            delete CrearGrafico(f, ancho, false);
            if (horizontal_) break;
        }
        forzarHorizontal_ = horizontal_;
        horizontal_ = false;
    }
    for (size_t i = 0; i < familias.size(); ++i) {
        altoMinimo_ = 0;
        QChart* grafico = CrearGrafico(familias[i], ancho, i == 0);
        if (tipo_ != tipo_grafico::Torta2D) PonerValores(grafico, datos_);
        auto* vista = new QChartView(grafico, this);
        vista->setMinimumHeight(altoMinimo_);
        vista->setRenderHint(QPainter::Antialiasing);
        vista->setMouseTracking(true);
        vista->viewport()->installEventFilter(this);
        vista->setObjectName(QStringLiteral("grafico") + NombreFamilia(familias[i]));
        vistas_.push_back(vista);
        capa_->addWidget(vista, 1);
        vista->show();
    }
    setMinimumWidth(anchoMinimo_);
    anchoDibujado_ = ancho;
    datos_ = completos;
}

int PanelGraficos::AnchoDisponible() const {
    // Inside a scroll area the viewport's width counts, not the (maybe widened) panel's.
    if (parentWidget() && parentWidget()->objectName() == QLatin1String("qt_scrollarea_viewport"))
        return parentWidget()->width();
    return width();
}

QChart* PanelGraficos::CrearGrafico(Familia familia, int ancho, bool conTitulo) {
    using namespace tipo_grafico;
    auto* grafico = new QChart();
    grafico->setAnimationOptions(QChart::NoAnimation);
    grafico->legend()->setAlignment(Qt::AlignTop);
    QString titulo;
    if (conTitulo && !datos_.titulo.isEmpty())
        titulo = QStringLiteral("<b>") + Escapar(datos_.titulo) + QStringLiteral("</b>");
    if (conTitulo && !datos_.subtitulo.isEmpty())
        titulo += (titulo.isEmpty() ? QString() : QStringLiteral("<br>")) + Escapar(datos_.subtitulo);
    if (conTitulo && !nota_.isEmpty())
        titulo += (titulo.isEmpty() ? QString() : QStringLiteral("<br>")) + QStringLiteral("<i>") +
                  Escapar(nota_) + QStringLiteral("</i>");
    const QString nombreFamilia = NombreFamilia(familia);
    grafico->setTitle(titulo.isEmpty() ? nombreFamilia : titulo + QStringLiteral("<br>") + nombreFamilia);

    std::vector<const SerieGrafico*> series;
    for (const SerieGrafico& s : datos_.series)
        if (s.familia == familia) series.push_back(&s);
    const int n = datos_.Categorias();

    if (tipo_ == Torta2D) {
        // One pie per kind (its first total), each slice labelled with its
        // group and value; the others' totals are in the tooltips.
        if (!series.empty()) {
            const SerieGrafico& s = *series.front();
            auto* torta = new QPieSeries(grafico);
            torta->setName(s.nombre);
            double total = 0;
            for (double v : s.valores) total += std::fabs(v);
            for (int c = 0; c < n; ++c) {
                const double v = s.valores[static_cast<size_t>(c)];
                auto* porcion = torta->append(datos_.etiquetas.value(c), std::fabs(v));
                porcion->setLabel(datos_.etiquetas.value(c) + QStringLiteral(": ") + datos_.TextoValor(s, v));
                // Slices too thin for a label of their own keep it in the tooltip.
                porcion->setLabelVisible(total > 0 && std::fabs(v) / total >= 0.02);
                connect(porcion, &QPieSlice::hovered, this, [this, c, porcion](bool dentro) {
                    porcion->setExploded(dentro);
                    if (dentro) MostrarDescripcion(c);
                });
                connect(porcion, &QPieSlice::doubleClicked, this, [this, c] { emit DobleClicCategoria(c); });
            }
            torta->setPieSize(0.6);
            grafico->addSeries(torta);
        }
        grafico->legend()->setVisible(n <= 12);
        grafico->legend()->setAlignment(Qt::AlignRight);
        mostradas_ = datos_.etiquetas;
        return grafico;
    }

    // Value range and marks.
    double minimo = 0, maximo = 0;
    for (const SerieGrafico* s : series)
        for (double v : s->valores) {
            minimo = std::min(minimo, v);
            maximo = std::max(maximo, v);
        }
    std::vector<double> marcas = MarcasEje(minimo, maximo * 1.02, 6);
    const QFont fuente = QApplication::font();
    const QFontMetrics metricas(fuente);
    const int ejeValores = AnchoEjeValores(metricas, marcas, familia);
    const int anchoIzquierda = std::max(80, ancho * 2 / 5);

    // Category labels: wrapped under the bars when they fit, otherwise horizontal bars.
    const bool esBarra = tipo_ == Barras2D;
    // Qt keeps some room around each label: measure with a margin.
    const int anchoCelda = std::max(10, (ancho - ejeValores - 80) * 9 / 10 / std::max(1, n)) - 14;
    QStringList etiquetas;
    bool caben = !(forzarHorizontal_ && tipo_ == Barras2D);
    for (int c = 0; caben && c < n; ++c) {
        const auto envuelta = EnvolverEtiqueta(datos_.niveles.value(c, {datos_.etiquetas.value(c)}), metricas,
                                               anchoCelda, kMaxLineasEtiqueta);
        if (!envuelta) {
            caben = false;
            break;
        }
        etiquetas << *envuelta;
    }
    bool horizontal = false;
    if (!caben) {
        etiquetas.clear();
        // Horizontal bars take the labels on the left, up to 40 % of the width; other
        // types keep the labels under the points and the chart grows wider (scrolled).
        horizontal = esBarra;
        int anchoMinimo = 0;
        for (int c = 0; c < n; ++c) {
            const QStringList partes = datos_.niveles.value(c, {datos_.etiquetas.value(c)});
            int w = horizontal ? anchoIzquierda : 60;
            std::optional<QString> envuelta;
            while (!(envuelta = EnvolverEtiqueta(partes, metricas, w, horizontal ? 0 : kMaxLineasEtiqueta)))
                w += 20;
            anchoMinimo = std::max(anchoMinimo, w);
            etiquetas << *envuelta;
        }
        if (!horizontal) anchoMinimo_ = std::min(32000, n * (anchoMinimo + 12) + ejeValores + 60);
    }
    // Two groups whose labels read alike are still two categories.
    for (int c = 0; c < etiquetas.size(); ++c) {
        int repetidas = 0;
        for (int d = 0; d < c; ++d)
            if (etiquetas[d].remove(QChar(0x200B)) == QString(etiquetas[c]).remove(QChar(0x200B)))
                ++repetidas;
        if (repetidas) etiquetas[c] += QString(repetidas, QChar(0x200B));
    }
    horizontal_ = horizontal_ || horizontal;
    mostradas_ = etiquetas;
    if (horizontal) {
        // Marks along the bottom need their text's width each: fewer marks when narrow.
        const int marcasQueCaben = std::max(2, (ancho - anchoIzquierda - 80) / std::max(1, ejeValores));
        if (marcasQueCaben < 6) marcas = MarcasEje(minimo, maximo * 1.02, marcasQueCaben);
    }
    const double paso = marcas.size() > 1 ? marcas[1] - marcas[0] : 1;

    auto* ejeCategorias = new QBarCategoryAxis(grafico);
    auto* ejeNumeros = new QCategoryAxis(grafico);
    // The labels were measured with this font.
    ejeCategorias->setLabelsFont(fuente);
    ejeNumeros->setLabelsFont(fuente);
    ejeNumeros->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    ejeNumeros->setRange(marcas.front(), marcas.back());
    for (double v : marcas) ejeNumeros->append(TextoMarca(v, familia, paso), v);
    ejeNumeros->setStartValue(marcas.front());

    if (horizontal) {
        // The first group on top: the axis counts from the bottom.
        QStringList invertidas = etiquetas;
        std::reverse(invertidas.begin(), invertidas.end());
        ejeCategorias->append(invertidas);
        grafico->addAxis(ejeCategorias, Qt::AlignLeft);
        grafico->addAxis(ejeNumeros, Qt::AlignBottom);
        auto* barras = new QHorizontalBarSeries(grafico);
        for (const SerieGrafico* s : series) {
            auto* conjunto = new QBarSet(s->nombre);
            for (int c = n - 1; c >= 0; --c) *conjunto << s->valores[static_cast<size_t>(c)];
            connect(conjunto, &QBarSet::hovered, this, [this, n](bool dentro, int i) {
                if (dentro) MostrarDescripcion(n - 1 - i);
            });
            connect(conjunto, &QBarSet::doubleClicked, this,
                    [this, n](int i) { emit DobleClicCategoria(n - 1 - i); });
            barras->append(conjunto);
        }
        grafico->addSeries(barras);
        barras->attachAxis(ejeCategorias);
        barras->attachAxis(ejeNumeros);
        // Every bar keeps room for its label: a long list grows taller and scrolls.
        int lineas = 1;
        for (const QString& e : etiquetas)
            lineas = std::max(lineas, static_cast<int>(e.count(QStringLiteral("<br>"))) + 1);
        const int porCategoria =
            std::max(lineas * metricas.height() + 8, static_cast<int>(series.size()) * 8 + 10);
        altoMinimo_ = std::min(32000, n * porCategoria + 160);
        return grafico;
    }

    ejeCategorias->append(etiquetas);
    grafico->addAxis(ejeCategorias, Qt::AlignBottom);
    grafico->addAxis(ejeNumeros, Qt::AlignLeft);

    auto conectarXY = [this](QXYSeries* serie) {
        connect(serie, &QXYSeries::hovered, this, [this](const QPointF& punto, bool dentro) {
            if (dentro) MostrarDescripcion(static_cast<int>(std::lround(punto.x())));
        });
        connect(serie, &QXYSeries::doubleClicked, this, [this](const QPointF& punto) {
            emit DobleClicCategoria(static_cast<int>(std::lround(punto.x())));
        });
    };
    auto agregarXY = [&](QXYSeries* serie) {
        grafico->addSeries(serie);
        serie->attachAxis(ejeCategorias);
        serie->attachAxis(ejeNumeros);
        conectarXY(serie);
    };

    for (size_t k = 0; k < series.size(); ++k) {
        const SerieGrafico& s = *series[k];
        const bool comoBarra = tipo_ == Barras2D || (tipo_ == Combinado2D && k == 0);
        if (comoBarra) {
            auto* barras = new QBarSeries(grafico);
            auto* conjunto = new QBarSet(s.nombre);
            for (double v : s.valores) *conjunto << v;
            connect(conjunto, &QBarSet::hovered, this, [this](bool dentro, int i) {
                if (dentro) MostrarDescripcion(i);
            });
            connect(conjunto, &QBarSet::doubleClicked, this, [this](int i) { emit DobleClicCategoria(i); });
            if (tipo_ == Barras2D) {
                // All totals of a kind side by side in one bar series.
                for (size_t j = k + 1; j < series.size(); ++j) {
                    auto* otro = new QBarSet(series[j]->nombre);
                    for (double v : series[j]->valores) *otro << v;
                    connect(otro, &QBarSet::hovered, this, [this](bool dentro, int i) {
                        if (dentro) MostrarDescripcion(i);
                    });
                    connect(otro, &QBarSet::doubleClicked, this,
                            [this](int i) { emit DobleClicCategoria(i); });
                    barras->append(otro);
                }
                barras->insert(0, conjunto);
            } else {
                barras->append(conjunto);
            }
            grafico->addSeries(barras);
            barras->attachAxis(ejeCategorias);
            barras->attachAxis(ejeNumeros);
            if (tipo_ == Barras2D) break;
            continue;
        }
        if (tipo_ == Area2D) {
            auto* superior = new QLineSeries(grafico);
            auto* inferior = new QLineSeries(grafico);
            for (int c = 0; c < n; ++c) {
                superior->append(c, s.valores[static_cast<size_t>(c)]);
                inferior->append(c, 0);
            }
            auto* area = new QAreaSeries(superior, inferior);
            area->setName(s.nombre);
            area->setOpacity(0.75);
            grafico->addSeries(area);
            area->attachAxis(ejeCategorias);
            area->attachAxis(ejeNumeros);
            connect(area, &QAreaSeries::hovered, this, [this](const QPointF& punto, bool dentro) {
                if (dentro) MostrarDescripcion(static_cast<int>(std::lround(punto.x())));
            });
            connect(area, &QAreaSeries::doubleClicked, this, [this](const QPointF& punto) {
                emit DobleClicCategoria(static_cast<int>(std::lround(punto.x())));
            });
            continue;
        }
        if (tipo_ == XY2D) {
            auto* puntos = new QScatterSeries(grafico);
            puntos->setName(s.nombre);
            puntos->setMarkerSize(11);
            for (int c = 0; c < n; ++c) puntos->append(c, s.valores[static_cast<size_t>(c)]);
            agregarXY(puntos);
            continue;
        }
        auto* linea = new QLineSeries(grafico);
        linea->setName(s.nombre);
        if (tipo_ == Pasos2D) {
            for (int c = 0; c < n; ++c) {
                linea->append(c - 0.5, s.valores[static_cast<size_t>(c)]);
                linea->append(c + 0.5, s.valores[static_cast<size_t>(c)]);
            }
        } else {
            for (int c = 0; c < n; ++c) linea->append(c, s.valores[static_cast<size_t>(c)]);
            linea->setPointsVisible(true);
        }
        agregarXY(linea);
        QPen pluma = linea->pen();  // the theme's colour, given when added
        pluma.setWidth(3);
        linea->setPen(pluma);
    }
    return grafico;
}

void PanelGraficos::MostrarDescripcion(int categoria) {
    if (categoria < 0 || categoria >= datos_.Categorias()) return;
    QToolTip::showText(QCursor::pos(), datos_.Descripcion(categoria), this);
}

QImage PanelGraficos::Imagen() {
    if (vistas_.empty()) return grab().toImage();
    return grab().toImage();
}

void PanelGraficos::resizeEvent(QResizeEvent* evento) {
    QWidget::resizeEvent(evento);
    // Label wrapping depends on the width: draw again when it changed noticeably.
    if (anchoDibujado_ >= 0 && std::abs(AnchoDisponible() - anchoDibujado_) > 40 && !datos_.series.empty())
        Redibujar();
}

bool PanelGraficos::eventFilter(QObject* objeto, QEvent* evento) {
    if (objeto == resto_ && evento->type() == QEvent::MouseButtonDblClick) {
        emit DobleClicCategoria(datos_.filaResto);
        return true;
    }
    if (evento->type() == QEvent::MouseMove || evento->type() == QEvent::MouseButtonPress)
        emit ActividadRaton();
    return QWidget::eventFilter(objeto, evento);
}

}  // namespace kv::ui
