#include "lookup/Lib_FrmCons3.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <cmath>

#include "core/Ajustes.h"
#include "core/Configuracion.h"
#include "core/Errores.h"
#include "core/Sentencias.h"
#include "db/DB_Dll.h"
#include "lookup/ArchivosConsulta.h"
#include "lookup/ControlesConsulta.h"
#include "lookup/ModeloConsulta.h"
#include "lookup/SentenciasConsulta.h"
#include "util/Interaccion.h"
#include "util/UtilGeneral.h"
#include "util/UtilRutas.h"

namespace kv::lookup {

namespace {
constexpr int kColorFoco = 16776960;  // the search box with the focus
constexpr int kColorBlanco = 16777215;

// A colour number of the configuration (blue, green, red from the high byte down).
QColor ColorDeNumero(const QVariant& valor) {
    const auto n = static_cast<qint64>(kv::UtilGeneral::TextoANumero(valor.toString()));
    return QColor(static_cast<int>(n & 0xFF), static_cast<int>((n >> 8) & 0xFF),
                  static_cast<int>((n >> 16) & 0xFF));
}

void PintarCaja(QComboBox* caja, int color) {
    const QColor c = ColorDeNumero(QString::number(color));
    caja->setStyleSheet(QStringLiteral("QComboBox { background-color: %1; }").arg(c.name()));
}

// The suite's maintenance program of each master table.
struct Mantenimiento {
    const char* tabla;
    const char* programa;
};
constexpr Mantenimiento kMantenimientos[] = {
    {"VT_MA_ARTICULOS", "SHELL:KV_ARTICULOS"},  {"VT_CLIENTES", "SHELL:KV_CLIENTES"},
    {"VT_PROVEEDORES", "SHELL:KV_PROVEEDORES"}, {"V_TA_VENDEDORES", "SHELL:KV_VENDEDORES"},
    {"V_TA_RUBROS", "SHELL:KV_RUBROS"},         {"V_TA_TIPOARTICULO", "SHELL:KV_MARCAS"},
    {"V_TA_FAMILIAS", "SHELL:KV_FAMILIAS"},
};
}  // namespace

QString PreguntaFaltante(const QString& idArticulo, const QString& descripcion) {
    return QStringLiteral("Desea informar el articulo ") + idArticulo + QLatin1Char(' ') + descripcion +
           QStringLiteral("\r\ncomo un faltante de stock?");
}

int TwipsAPixeles(double twips, const QWidget* ventana) {
    const double dpi = ventana ? ventana->logicalDpiX() : 96.0;
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

double PixelesATwips(int pixeles, const QWidget* ventana) {
    const double dpi = ventana ? ventana->logicalDpiX() : 96.0;
    return std::round(pixeles * 1440.0 / dpi);
}

Lib_FrmCons3::Lib_FrmCons3(QWidget* padre) : QDialog(padre) {
    setObjectName(QStringLiteral("Lib_FrmCons3"));
    setWindowTitle(QString::fromUtf8(kCaptionConsulta));
    setModal(true);
    resize(720, 480);

    auto* disposicion = new QVBoxLayout(this);
    titulo_ = new QLabel(QStringLiteral("CONSULTA"), this);
    titulo_->setObjectName(QStringLiteral("Label1"));
    QFont grande = titulo_->font();
    grande.setBold(true);
    grande.setPointSizeF(grande.pointSizeF() * 1.3);
    titulo_->setFont(grande);
    disposicion->addWidget(titulo_);

    marcoCampos_ = new QWidget(this);
    picFields_ = new QWidget(marcoCampos_);
    picFields_->setObjectName(QStringLiteral("picFields"));
    disposicion->addWidget(marcoCampos_);
    hscroll_ = new QScrollBar(Qt::Horizontal, this);
    hscroll_->setObjectName(QStringLiteral("HScroll1"));
    disposicion->addWidget(hscroll_);

    modelo_ = new ModeloConsulta(this);
    lista_ = new QTreeView(this);
    lista_->setObjectName(QStringLiteral("ListView1"));
    lista_->setRootIsDecorated(false);
    lista_->setUniformRowHeights(true);
    lista_->setAllColumnsShowFocus(true);
    lista_->setSelectionMode(QAbstractItemView::SingleSelection);
    lista_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lista_->setEditTriggers(QAbstractItemView::NoEditTriggers);  // no editing in place
    lista_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    lista_->setModel(modelo_);
    lista_->setSortingEnabled(false);
    lista_->header()->setSectionsClickable(true);
    lista_->header()->setSortIndicatorShown(true);
    lista_->header()->setStretchLastSection(false);
    lista_->installEventFilter(this);
    disposicion->addWidget(lista_, 1);

    QHBoxLayout* botones = nullptr;
    frame1_ = CrearMarcoBotones(this, botones);
    aceptar_ = AgregarBoton(botones, "CmdAceptar", "&Aceptar");
    cancelar_ = AgregarBoton(botones, "CmdCancelar", "&Cancelar");
    nueva_ = AgregarBoton(botones, "CmdNueva", "&Nueva Busqueda");
    nuevo_ = AgregarBoton(botones, "CmdNuevo", "N&uevo");
    todos_ = AgregarBoton(botones, "CmdTodos", "&Marcar");
    botones->addStretch(1);
    disposicion->addWidget(frame1_);

    menu_ = CrearMenuEmergente(this);

    connect(aceptar_, &QPushButton::clicked, this, &Lib_FrmCons3::Aceptar);
    connect(cancelar_, &QPushButton::clicked, this, &Lib_FrmCons3::Cancelar);
    connect(nueva_, &QPushButton::clicked, this, &Lib_FrmCons3::NuevaBusqueda);
    connect(nuevo_, &QPushButton::clicked, this, &Lib_FrmCons3::Nuevo);
    connect(todos_, &QPushButton::clicked, this, &Lib_FrmCons3::InvertirMarcas);
    connect(lista_, &QTreeView::doubleClicked, this, [this](const QModelIndex&) { Aceptar(); });

    // A click sorts by the column; the header itself reverses the order on each further click.
    lista_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    connect(lista_->header(), &QHeaderView::sortIndicatorChanged, this,
            [this](int columna, Qt::SortOrder orden) { modelo_->sort(columna, orden); });
    connect(lista_->header(), &QHeaderView::sectionResized, this, [this] { UbicarCajas(); });
    connect(lista_->header(), &QHeaderView::sectionMoved, this, [this] { UbicarCajas(); });

    // The boxes follow the list's columns when it scrolls sideways.
    QScrollBar* barraLista = lista_->horizontalScrollBar();
    connect(barraLista, &QScrollBar::rangeChanged, hscroll_, &QScrollBar::setRange);
    connect(barraLista, &QScrollBar::valueChanged, hscroll_, &QScrollBar::setValue);
    connect(hscroll_, &QScrollBar::valueChanged, this, [this, barraLista](int valor) {
        barraLista->setValue(valor);
        picFields_->move(-valor, 0);
    });
}

Lib_FrmCons3::~Lib_FrmCons3() = default;

void Lib_FrmCons3::Cargar() {
    cargada_ = true;
    cargando_ = true;
    const auto manejador = kv::core::ManejadorRutina(QStringLiteral("FORM_LOAD"));
    std::optional<DatosConsulta> datos;
    kv::EjecutarPasos({
                          [&] { articulos_ = SQL.contains(QLatin1String("articulos"), Qt::CaseInsensitive); },
                          [&] { modelo_->Vaciar(); },
                          [&] {
                              if (SQL.trimmed().isEmpty()) return;
                              // One blank at the end, not one more at every new search.
                              if (!SQL.endsWith(QLatin1Char(' '))) SQL += QLatin1Char(' ');
                              tabla_ = TablaDeSentencia(SQL);
                              if (primera_.isEmpty()) primera_ = SQL;
                              sentencia_ = SQL;
                          },
                          [&] {
                              if (!SQL.trimmed().isEmpty()) {
                                  kv::db::DB_Dll& base =
                                      UsarUDBC ? kv::core::BaseEstadisticas() : kv::db::DB_Dll::Principal();
                                  datos = LeerConsulta(base, SQL);
                              } else {
                                  DatosConsulta fijos;
                                  fijos.columnas.push_back({TituloFilas, 0, 0, false});
                                  for (const QString& fila : FilasFijas)
                                      fijos.filas.push_back({{fila}, {}, {}});
                                  datos = std::move(fijos);
                              }
                          },
                          [&] { modelo_->Poner(datos ? std::move(*datos) : DatosConsulta{}, CheckBoxes); },
                          [&] { Encolumnar(); },
                          [&] { Leer(); },
                          [&] {
                              if (OrdenarPorLwv && modelo_->Columnas() > 0) {
                                  lista_->header()->setSortIndicator(0, Qt::AscendingOrder);
                                  modelo_->sort(0, Qt::AscendingOrder);
                              } else {
                                  const QSignalBlocker silencio(lista_->header());
                                  lista_->header()->setSortIndicator(-1, Qt::AscendingOrder);
                              }
                          },
                          [&] {
                              if (!FiltroInicial.trimmed().isEmpty() && !cajas_.isEmpty())
                                  cajas_.first()->setEditText(FiltroInicial);
                          },
                          [&] { CalcularAncho(); },
                          [&] { kv::UtilGeneral::PrepararVentana(this, false); },
                      },
                      manejador);
    cargando_ = false;
}

void Lib_FrmCons3::Encolumnar() {
    QStringList campos;
    for (int c = 0; c < modelo_->Columnas(); ++c) campos << modelo_->Columna(c).nombre;
    // In article lists the price columns carry the configured class names.
    if (articulos_) {
        for (int c = 0; c < campos.size(); ++c) {
            for (int p = 1; p <= 8; ++p) {
                if (campos[c].compare(QStringLiteral("PRECIO%1").arg(p), Qt::CaseInsensitive) != 0) continue;
                const QString nombre = kv::core::Cfg(QStringLiteral("NOM_PCLASE%1").arg(p)).trimmed();
                if (!nombre.isEmpty()) modelo_->setHeaderData(c, Qt::Horizontal, nombre);
            }
        }
    }
    // The boxes stay when a new search brings the same columns (F5 runs from inside one of them).
    if (camposCajas_ == campos) return;
    for (QComboBox* caja : cajas_) {
        caja->hide();
        caja->removeEventFilter(this);
        caja->deleteLater();
    }
    for (QLabel* etiqueta : etiquetas_) etiqueta->deleteLater();
    cajas_.clear();
    etiquetas_.clear();
    camposCajas_ = campos;
    for (int c = 0; c < campos.size(); ++c) {
        auto* etiqueta = new QLabel(modelo_->headerData(c, Qt::Horizontal).toString(), picFields_);
        etiqueta->setObjectName(QStringLiteral("lblFieldName"));
        etiqueta->setProperty("Index", c);
        etiqueta->setToolTip(etiqueta->text());
        QComboBox* caja = CrearCajaBusqueda(picFields_, c, this);
        caja->setProperty("Campo", campos[c]);
        PintarCaja(caja, kColorBlanco);
        connect(caja, &QComboBox::editTextChanged, this,
                [this, c](const QString& texto) { BuscarLocal(c, texto); });
        etiqueta->show();
        caja->show();
        etiquetas_ << etiqueta;
        cajas_ << caja;
    }
    const int alto = (cajas_.isEmpty() ? 0
                                       : etiquetas_.first()->sizeHint().height() +
                                             cajas_.first()->sizeHint().height() + 2);
    marcoCampos_->setFixedHeight(alto);
}

void Lib_FrmCons3::Leer() {
    // Pre-ticked rows.
    if (CheckBoxes && !ValoresDefault.trimmed().isEmpty()) {
        const int columna = CampoDevuelto.trimmed().isEmpty() ? 1 : IndiceColumna(CampoDevuelto);
        QStringList valores;
        for (const QString& v : ValoresDefault.split(QLatin1Char(','))) valores << v.trimmed().toCaseFolded();
        if (columna > 0)
            for (int f = 0; f < modelo_->Filas(); ++f)
                if (valores.contains(modelo_->Texto(f, columna - 1).trimmed().toCaseFolded()))
                    modelo_->Marcar(f, true);
    }
    // Stock levels of article lists, where the statement returns the stock: a
    // list without that column says nothing about stock, so it is not painted.
    if (articulos_ && MuestraStock.trimmed().compare(QLatin1String("SI"), Qt::CaseInsensitive) == 0) {
        for (int f = 0; f < modelo_->Filas(); ++f) {
            const FilaConsulta& fila = modelo_->Fila(f);
            if (!fila.stock) continue;
            const double punto = fila.puntoPedido.value_or(0), stock = *fila.stock;
            QVariant nivel;
            if (punto == 0 && stock > 0)
                nivel = StkNivel1;
            else if (punto > 0 && stock > punto)
                nivel = StkNivel2;
            else if (punto > 0 && stock < punto)
                nivel = StkNivel3;
            else
                nivel = StkNivel4;
            modelo_->PonerColor(f, ColorDeNumero(nivel));
        }
    }
}

void Lib_FrmCons3::CalcularAncho() {
    const QFontMetrics medida(lista_->font());
    const QList<double> guardados = LeerAnchos(kv::UtilRutas::Carpeta(), tabla_);
    for (int c = 0; c < modelo_->Columnas(); ++c) {
        const ColumnaConsulta& columna = modelo_->Columna(c);
        int ancho = 0;
        if (c < guardados.size() && guardados[c] > 0 && guardados[c] < 1e6) {
            ancho = TwipsAPixeles(guardados[c], this);
        } else {
            // A run of "X" as long as the field (numbers need fewer), never under the title.
            int letras = columna.numerica ? 10 : (columna.tamano > 0 ? columna.tamano : 15);
            letras = std::clamp(letras, 4, 40);
            letras = std::max(letras, static_cast<int>(columna.nombre.size()));
            if (!FilasFijas.isEmpty() && SQL.trimmed().isEmpty())
                for (const QString& fila : FilasFijas)
                    letras = std::max(letras, static_cast<int>(fila.size()));
            ancho = medida.horizontalAdvance(QString(letras, QLatin1Char('X')));
            ancho = std::max(ancho, medida.horizontalAdvance(columna.nombre) + 24);
        }
        lista_->header()->resizeSection(c, ancho);
    }
    UbicarCajas();
}

void Lib_FrmCons3::UbicarCajas() {
    QHeaderView* h = lista_->header();
    const int margen = lista_->frameWidth();
    int alto = 0;
    for (int c = 0; c < cajas_.size(); ++c) {
        const int x = margen + h->sectionPosition(c);
        const int w = h->sectionSize(c);
        QLabel* etiqueta = etiquetas_[c];
        QComboBox* caja = cajas_[c];
        const int altoEtiqueta = etiqueta->sizeHint().height();
        etiqueta->setGeometry(x, 0, w, altoEtiqueta);
        caja->setGeometry(x, altoEtiqueta + 1, w, caja->sizeHint().height());
        alto = altoEtiqueta + 1 + caja->sizeHint().height();
    }
    picFields_->resize(margen * 2 + h->length(), alto);
    picFields_->move(-hscroll_->value(), 0);
}

int Lib_FrmCons3::IndiceColumna(const QString& nombre) const {
    for (int c = 0; c < modelo_->Columnas(); ++c)
        if (modelo_->headerData(c, Qt::Horizontal)
                .toString()
                .trimmed()
                .compare(nombre.trimmed(), Qt::CaseInsensitive) == 0)
            return c + 1;
    return 0;
}

int Lib_FrmCons3::Busqueda(int columna, const QString& valor) const {
    return modelo_->Buscar(columna, valor);
}

void Lib_FrmCons3::BuscarLocal(int indice, const QString& texto) {
    try {
        const int fila = Busqueda(indice, texto);
        if (fila < 0) return;
        modelo_->Exponer(fila);
        const QModelIndex i = modelo_->index(fila, 0);
        lista_->setCurrentIndex(i);
        lista_->scrollTo(i, QAbstractItemView::PositionAtCenter);
    } catch (...) {
    }
}

void Lib_FrmCons3::BuscarEnServidor(int indice) {
    if (indice < 0 || indice >= cajas_.size()) return;
    QComboBox* caja = cajas_[indice];
    QString texto = caja->currentText();
    if (!UsaConsultaLike) {
        texto.replace(QLatin1Char('*'), QLatin1Char('%'));
        const QSignalBlocker silencio(caja);
        caja->setEditText(texto);
    }
    const QString nueva =
        SentenciaBusquedaLista(sentencia_, camposCajas_.value(indice), texto, UsaConsultaLike);
    {
        const QSignalBlocker silencio(caja);
        caja->setEditText(QString());
    }
    SQL = nueva;
    Cargar();
}

void Lib_FrmCons3::NuevaBusqueda() {
    SQL = primera_;
    Cargar();
    if (!cajas_.isEmpty()) cajas_.first()->setFocus();
}

void Lib_FrmCons3::InvertirMarcas() { modelo_->InvertirMarcas(); }

QString Lib_FrmCons3::ValorDeColumna(int fila, const QString& columna) const {
    const int c = IndiceColumna(columna);
    if (c <= 0) return QString();
    return modelo_->Texto(fila, c - 1);
}

void Lib_FrmCons3::Aceptar() {
    const auto manejador = kv::core::ManejadorRutina(QStringLiteral("CmdAceptar_Click"));
    if (CheckBoxes) {
        kv::EjecutarPasos({
                              [&] {
                                  if (CampoDevuelto.isEmpty())
                                      CampoDevuelto = modelo_->headerData(0, Qt::Horizontal).toString();
                              },
                              [&] {
                                  for (int f = 0; f < modelo_->Filas(); ++f)
                                      if (modelo_->Marcada(f)) Valores << ValorDeColumna(f, CampoDevuelto);
                              },
                          },
                          manejador);
    } else {
        const QModelIndex actual = lista_->currentIndex();
        if (actual.isValid()) {
            const int fila = actual.row();
            kv::EjecutarPasos({
                                  [&] {
                                      for (const QString& columna : CmpsDevueltos)
                                          Valores << ValorDeColumna(fila, columna);
                                  },
                                  [&] {
                                      if (!CampoDevuelto.trimmed().isEmpty())
                                          ValorDevuelto = ValorDeColumna(fila, CampoDevuelto);
                                  },
                              },
                              manejador);
        }
    }
    accept();
}

void Lib_FrmCons3::Cancelar() {
    ValorDevuelto.clear();
    Valores.clear();
    Cantidades.clear();
    QDialog::reject();
}

void Lib_FrmCons3::reject() { Cancelar(); }

QString Lib_FrmCons3::ProgramaMantenimiento() const {
    const QString tabla = TablaAnchos(tabla_);
    for (const Mantenimiento& m : kMantenimientos) {
        const QString nombre = QString::fromLatin1(m.tabla);
        if (tabla.compare(nombre, Qt::CaseInsensitive) == 0) return QString::fromLatin1(m.programa);
        // The articles are looked up under either name.
        if (nombre == QLatin1String("VT_MA_ARTICULOS") &&
            tabla.compare(QLatin1String("V_MA_ARTICULOS"), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(m.programa);
    }
    return QString();
}

void Lib_FrmCons3::Nuevo() {
    const QString programa = ProgramaMantenimiento();
    if (programa.isEmpty()) return;
    QString parametro = kv::core::Ajustes().parametroAdicional;
    qint64 proceso = 0;
    kv::core::MenuExes(programa, parametro, proceso);
}

void Lib_FrmCons3::InformarFaltante() {
    if (!articulos_) return;
    const QModelIndex actual = lista_->currentIndex();
    if (!actual.isValid()) return;
    const QString id = ValorDeColumna(actual.row(), QStringLiteral("idarticulo"));
    const QString descripcion = ValorDeColumna(actual.row(), QStringLiteral("Descripcion"));
    const int r =
        kv::interaccion().Mensaje(PreguntaFaltante(id, descripcion), kv::estilo::Pregunta + kv::estilo::SiNo,
                                  QString::fromUtf8(kTituloFaltante));
    if (r != kv::respuesta::Si) return;
    kv::db::DB_Dll& base = kv::db::DB_Dll::Principal();
    // The date as the server reads it whatever its date language: yyyymmdd.
    QString sentencia =
        SentenciaFaltante(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd HH:mm:ss")), id,
                          descripcion, base.gUsuario);
    qint32 afectados = 0;
    base.EjecutaConsultaSQL(sentencia, afectados);
}

void Lib_FrmCons3::CambiarCantidad(int fila, int tecla, bool mayusculas) {
    const int columna = IndiceColumna(QString::fromLatin1(kColumnaCantidad));
    if (columna <= 0 || fila < 0) return;
    const int c = columna - 1;
    if (tecla == Qt::Key_Insert && mayusculas) {
        const std::optional<QString> respuesta = kv::interaccion().Entrada(
            QString::fromLatin1(kPreguntaCantidad), QString::fromLatin1(kTituloCantidad));
        if (!respuesta) return;
        const double cantidad = kv::UtilGeneral::TextoANumero(*respuesta);
        if (cantidad == 0) return;
        modelo_->PonerTexto(fila, c, QString::number(cantidad, 'f', 2));
        modelo_->Marcar(fila, true);
    } else if (tecla == Qt::Key_Insert) {
        const double cantidad = kv::UtilGeneral::TextoANumero(modelo_->Texto(fila, c)) + 1;
        modelo_->PonerTexto(fila, c, QString::number(cantidad, 'f', 1));
        modelo_->Marcar(fila, true);
    } else if (tecla == Qt::Key_Delete) {
        const double cantidad = kv::UtilGeneral::TextoANumero(modelo_->Texto(fila, c)) - 1;
        if (cantidad > 0) {
            modelo_->PonerTexto(fila, c, QString::number(cantidad, 'f', 1));
        } else {
            modelo_->Marcar(fila, false);
            modelo_->PonerTexto(fila, c, QStringLiteral("0.00"));
        }
    }
}

bool Lib_FrmCons3::TeclaLista(QKeyEvent* tecla) {
    const int codigo = tecla->key();
    const bool mayusculas = tecla->modifiers() & Qt::ShiftModifier;
    bool tratada = false;
    kv::EjecutarPasos(
        {[&] {
            const QModelIndex actual = lista_->currentIndex();
            if (codigo == Qt::Key_Return || codigo == Qt::Key_Enter) {
                Aceptar();
                tratada = true;
            } else if (codigo == Qt::Key_Space) {
                tratada = false;  // the list toggles the tick itself
            } else if ((codigo == Qt::Key_Insert || codigo == Qt::Key_Delete) && UsaCantidades) {
                if (actual.isValid()) CambiarCantidad(actual.row(), codigo, mayusculas);
                tratada = true;
            } else if (codigo == Qt::Key_F12) {
                InformarFaltante();
                tratada = true;
            } else if (!tecla->text().isEmpty() && tecla->text().at(0).isPrint() &&
                       tecla->text() != QLatin1String(" ") &&
                       !(tecla->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                // Typing in the list searches in the last search box used.
                if (cajaActiva_ >= 0 && cajaActiva_ < cajas_.size()) {
                    QComboBox* caja = cajas_[cajaActiva_];
                    caja->setEditText(caja->currentText() + tecla->text());
                    tratada = true;
                }
            }
        }},
        kv::core::ManejadorRutina(QStringLiteral("ListView1_KeyDown")));
    return tratada;
}

bool Lib_FrmCons3::eventFilter(QObject* objeto, QEvent* evento) {
    if (objeto == lista_ && evento->type() == QEvent::KeyPress)
        return TeclaLista(static_cast<QKeyEvent*>(evento));
    for (int i = 0; i < cajas_.size(); ++i) {
        QComboBox* caja = cajas_[i];
        if (objeto != caja && objeto != caja->lineEdit()) continue;
        if (evento->type() == QEvent::FocusIn) {
            cajaActiva_ = i;
            PintarCaja(caja, kColorFoco);
        } else if (evento->type() == QEvent::FocusOut) {
            PintarCaja(caja, kColorBlanco);
        } else if (evento->type() == QEvent::KeyPress) {
            auto* tecla = static_cast<QKeyEvent*>(evento);
            cajaActiva_ = i;
            switch (tecla->key()) {
                case Qt::Key_F5:
                    BuscarEnServidor(i);
                    return true;
                case Qt::Key_Down:
                case Qt::Key_Up:
                case Qt::Key_PageDown:
                case Qt::Key_PageUp: {
                    lista_->setFocus();
                    QKeyEvent copia(QEvent::KeyPress, tecla->key(), tecla->modifiers());
                    QApplication::sendEvent(lista_, &copia);
                    return true;
                }
                case Qt::Key_Return:
                case Qt::Key_Enter:
                    Aceptar();
                    return true;
                default:
                    break;
            }
        }
        break;
    }
    return QDialog::eventFilter(objeto, evento);
}

void Lib_FrmCons3::showEvent(QShowEvent* evento) {
    QDialog::showEvent(evento);
    if (!cargada_) Cargar();
    if (!cajas_.isEmpty()) cajas_.first()->setFocus();
}

QList<double> Lib_FrmCons3::AnchosTwips() const {
    QList<double> anchos;
    for (int c = 0; c < modelo_->Columnas(); ++c)
        anchos << PixelesATwips(lista_->header()->sectionSize(c), this);
    return anchos;
}

void Lib_FrmCons3::Descargar() {
    if (descargada_) return;
    descargada_ = true;
    UsarUDBC = false;
    try {
        if (GrabarCfg && !tabla_.isEmpty()) GrabarAnchos(kv::UtilRutas::Carpeta(), tabla_, AnchosTwips());
    } catch (const KvExcepcion& e) {
        kv::interaccion().Mensaje(e.error().descripcion, kv::estilo::Critico,
                                  QString::fromLatin1(kTituloAvisoAlOperador));
    }
    modelo_->Vaciar();
}

void Lib_FrmCons3::closeEvent(QCloseEvent* evento) { QDialog::closeEvent(evento); }

}  // namespace kv::lookup
