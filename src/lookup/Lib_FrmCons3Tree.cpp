#include "lookup/Lib_FrmCons3Tree.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/Errores.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "lookup/ControlesConsulta.h"
#include "lookup/Lib_FrmCons3.h"
#include "lookup/SentenciasConsulta.h"
#include "util/UtilGeneral.h"

namespace kv::lookup {

namespace {
constexpr int kRolClave = Qt::UserRole + 1;

QString Clave(const QTreeWidgetItem* nodo) { return nodo ? nodo->data(0, kRolClave).toString() : QString(); }

// The rows of a statement, opened through the database object.
std::vector<std::vector<QVariant>> Filas(const QString& sentencia) {
    kv::db::DB_Dll& base = kv::db::DB_Dll::Principal();
    QString texto = sentencia;
    kv::db::Recordset rs;
    base.AbrirRecordset(texto, rs, nullptr, 0, 1);
    if (rs.State() == 0) return {};
    std::vector<std::vector<QVariant>> filas = rs.Resultado().filas;
    try {
        rs.Close();
    } catch (const KvExcepcion&) {
    }
    return filas;
}

QString Texto(const std::vector<QVariant>& fila, size_t c) {
    return c < fila.size() ? kv::UtilGeneral::SinNulo(fila[c]).trimmed() : QString();
}

// A node shows its code and its description.
QString TextoNodo(const std::vector<QVariant>& fila) {
    return Texto(fila, 0) + QStringLiteral(" - ") + Texto(fila, 1);
}
}  // namespace

Lib_FrmCons3Tree::Lib_FrmCons3Tree(QWidget* padre) : QDialog(padre) {
    setObjectName(QStringLiteral("Lib_FrmCons3Tree"));
    setWindowTitle(QString::fromUtf8(kCaptionConsulta));
    setModal(true);
    resize(560, 520);
    auto* disposicion = new QVBoxLayout(this);

    picFields_ = new QWidget(this);
    picFields_->setObjectName(QStringLiteral("picFields"));
    auto* campos = new QVBoxLayout(picFields_);
    campos->setContentsMargins(0, 0, 0, 0);
    etiqueta_ = new QLabel(QStringLiteral("Código o descripción"), picFields_);
    etiqueta_->setObjectName(QStringLiteral("lblFieldName"));
    caja_ = CrearCajaBusqueda(picFields_, 0, this);
    campos->addWidget(etiqueta_);
    campos->addWidget(caja_);
    disposicion->addWidget(picFields_);

    arbol_ = new QTreeWidget(this);
    arbol_->setObjectName(QStringLiteral("TreeV"));
    arbol_->setHeaderHidden(true);
    arbol_->setRootIsDecorated(true);
    arbol_->setUniformRowHeights(true);
    arbol_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    disposicion->addWidget(arbol_, 1);

    QHBoxLayout* botones = nullptr;
    frame1_ = CrearMarcoBotones(this, botones);
    aceptar_ = AgregarBoton(botones, "CmdAceptar", "&Aceptar");
    cancelar_ = AgregarBoton(botones, "CmdCancelar", "&Cancelar");
    nueva_ = AgregarBoton(botones, "CmdNueva", "&Nueva Busqueda");
    botones->addStretch(1);
    disposicion->addWidget(frame1_);

    menu_ = CrearMenuEmergente(this);

    connect(aceptar_, &QPushButton::clicked, this, &Lib_FrmCons3Tree::Aceptar);
    connect(cancelar_, &QPushButton::clicked, this, &Lib_FrmCons3Tree::Cancelar);
    connect(nueva_, &QPushButton::clicked, this, &Lib_FrmCons3Tree::NuevaBusqueda);
    connect(arbol_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem*, int) { Aceptar(); });
    connect(arbol_, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* nodo, int) { CopiarMarca(nodo); });
    connect(caja_, &QComboBox::editTextChanged, this, [this](const QString& texto) {
        if (QTreeWidgetItem* nodo = Buscar(texto)) {
            arbol_->setCurrentItem(nodo);
            arbol_->scrollToItem(nodo);
        }
    });
}

Lib_FrmCons3Tree::~Lib_FrmCons3Tree() = default;

void Lib_FrmCons3Tree::Vaciar() {
    const QSignalBlocker silencio(arbol_);
    arbol_->clear();
    nodos_.clear();
}

QTreeWidgetItem* Lib_FrmCons3Tree::Agregar(const QString& clavePadre, const QString& clave,
                                           const QString& texto) {
    QTreeWidgetItem* padre = nodos_.value(clavePadre);
    // A node whose parent is not in the tree (a narrowed search) hangs from the root.
    if (!padre && !clavePadre.isEmpty()) padre = nodos_.value(QString::fromLatin1(kClaveRaiz));
    const QSignalBlocker silencio(arbol_);
    auto* nodo = padre ? new QTreeWidgetItem(padre) : new QTreeWidgetItem(arbol_);
    nodo->setText(0, texto);
    nodo->setToolTip(0, texto);
    nodo->setData(0, kRolClave, clave);
    if (Checks) {
        nodo->setFlags(nodo->flags() | Qt::ItemIsUserCheckable);
        nodo->setCheckState(0, Qt::Unchecked);
    }
    nodos_.insert(clave, nodo);
    return nodo;
}

void Lib_FrmCons3Tree::AgregarRaiz() {
    Agregar(QString(), QString::fromLatin1(kClaveRaiz), QString::fromUtf8(kCaptionConsulta))
        ->setExpanded(true);
}

void Lib_FrmCons3Tree::Cargar() {
    cargada_ = true;
    Valores.clear();
    if (sentencia_.isEmpty()) sentencia_ = SQL;
    kv::EjecutarPasos({[&] { Armar(); }}, kv::core::ManejadorRutina(QStringLiteral("FORM_LOAD")));
}

void Lib_FrmCons3Tree::Armar() {
    if (SQL.contains(QLatin1String("v_ta_familias"), Qt::CaseInsensitive))
        ArmarTreeVFamilias(filtroFamilias_);
    else
        ArmarTreeVAutomatico(sentencia_);
}

void Lib_FrmCons3Tree::ArmarTreeVFamilias(const QString& filtro) {
    std::vector<std::vector<QVariant>> filas;
    kv::EjecutarPasos({
                          [&] { Vaciar(); },
                          [&] { AgregarRaiz(); },
                          [&] { filas = Filas(SentenciaArbolFamilias(filtro)); },
                          [&] {
                              const QString raiz = QString::fromLatin1(kClaveRaiz);
                              for (const auto& fila : filas) {
                                  const QString codigo = Texto(fila, 0);
                                  const bool sinPadre =
                                      fila.size() < 3 || !fila[2].isValid() || fila[2].isNull();
                                  const QString padre = sinPadre ? raiz : raiz + Texto(fila, 2);
                                  Agregar(padre, raiz + codigo, TextoNodo(fila));
                              }
                          },
                      },
                      kv::core::ManejadorRutina(QStringLiteral("ArmarTreeVFamilias")));
}

void Lib_FrmCons3Tree::ArmarTreeVAutomatico(const QString& sentencia) {
    std::vector<std::vector<QVariant>> filas;
    kv::EjecutarPasos({
                          [&] { Vaciar(); },
                          [&] { AgregarRaiz(); },
                          [&] { filas = Filas(sentencia); },
                          [&] {
                              const QString raiz = QString::fromLatin1(kClaveRaiz);
                              QStringList claves;  // added so far, in order
                              for (const auto& fila : filas) {
                                  const QString codigo = Texto(fila, 0);
                                  const QString clave = raiz + codigo;
                                  QString padre = raiz;
                                  for (const QString& otra : claves)
                                      if (otra.size() > padre.size() && otra.size() < clave.size() &&
                                          clave.startsWith(otra))
                                          padre = otra;
                                  if (nodos_.contains(clave))
                                      continue;  // a repeated code keeps its first node
                                  Agregar(padre, clave, TextoNodo(fila));
                                  claves << clave;
                              }
                          },
                      },
                      kv::core::ManejadorRutina(QStringLiteral("ArmarTreeVAutomatico")));
}

QTreeWidgetItem* Lib_FrmCons3Tree::Buscar(const QString& texto) const {
    const QString buscado = texto.trimmed();
    if (buscado.isEmpty()) return nullptr;
    for (QTreeWidgetItemIterator it(arbol_); *it; ++it) {
        const QString nodo = (*it)->text(0);
        const int guion = nodo.indexOf(QLatin1Char('-'));
        const QString codigo = (guion < 0 ? nodo : nodo.left(guion)).trimmed();
        const QString descripcion = guion < 0 ? QString() : nodo.mid(guion + 1).trimmed();
        if (codigo.startsWith(buscado, Qt::CaseInsensitive) ||
            descripcion.startsWith(buscado, Qt::CaseInsensitive))
            return *it;
    }
    return nullptr;
}

void Lib_FrmCons3Tree::BuscarEnServidor() {
    const QString texto = caja_->currentText();
    if (SQL.contains(QLatin1String("v_ta_familias"), Qt::CaseInsensitive)) {
        // The family tree has its own statement: the search narrows that one.
        filtroFamilias_ = texto.trimmed().isEmpty() ? QString() : CondicionBusquedaArbol(texto);
    } else {
        sentencia_ = SentenciaBusquedaArbol(sentencia_, texto);
    }
    Armar();
}

void Lib_FrmCons3Tree::CopiarMarca(QTreeWidgetItem* nodo) {
    if (copiando_ || !nodo || !Checks) return;
    copiando_ = true;
    const Qt::CheckState marca = nodo->checkState(0);
    std::vector<QTreeWidgetItem*> pendientes;
    for (int i = 0; i < nodo->childCount(); ++i) pendientes.push_back(nodo->child(i));
    while (!pendientes.empty()) {
        QTreeWidgetItem* hijo = pendientes.back();
        pendientes.pop_back();
        hijo->setCheckState(0, marca);
        for (int i = 0; i < hijo->childCount(); ++i) pendientes.push_back(hijo->child(i));
    }
    copiando_ = false;
}

bool Lib_FrmCons3Tree::Verificar(const QString& codigo) {
    if (codigo.trimmed().isEmpty()) return false;
    kv::db::DB_Dll& base = kv::db::DB_Dll::Principal();
    const QString campo = CampoDevuelto.trimmed();
    if (campo.compare(QLatin1String("IDFAMILIA"), Qt::CaseInsensitive) == 0)
        return base.ExisteEnTabla(base.SS_TSinonimos(QStringLiteral("@admin_V_TA_FAMILIAS")), codigo,
                                  QStringLiteral("IDFAMILIA"));
    if (campo.compare(QLatin1String("IDPOSICION"), Qt::CaseInsensitive) == 0)
        return base.ExisteEnTabla(QStringLiteral("MA_POSICIONES"), codigo, QStringLiteral("IDPOSICION"));
    if (campo.compare(QLatin1String("CODIGO"), Qt::CaseInsensitive) == 0) {
        // Cost centres when the tree shows them, accounts otherwise.
        const QString tabla = SQL.contains(QLatin1String("CCOSTO"), Qt::CaseInsensitive)
                                  ? QStringLiteral("TA_CCOSTO")
                                  : QStringLiteral("MA_CUENTAS");
        return base.ExisteEnTabla(base.SS_TSinonimos(tabla), codigo, QStringLiteral("CODIGO"));
    }
    return true;
}

void Lib_FrmCons3Tree::Aceptar() {
    const auto manejador = kv::core::ManejadorRutina(QStringLiteral("CmdAceptar_Click"));
    if (!Checks) {
        QTreeWidgetItem* nodo = arbol_->currentItem();
        const QString codigo = Clave(nodo).mid(1);
        kv::EjecutarPasos({[&] { ValorDevuelto = nodo && Verificar(codigo) ? codigo : QString(); }},
                          manejador);
    } else {
        for (QTreeWidgetItemIterator it(arbol_); *it; ++it) {
            if ((*it)->checkState(0) != Qt::Checked) continue;
            const QString codigo = Clave(*it).mid(1);
            kv::EjecutarPasos({[&] {
                                  if (Verificar(codigo)) Valores << codigo;
                              }},
                              manejador);
        }
    }
    accept();
}

void Lib_FrmCons3Tree::Cancelar() {
    ValorDevuelto.clear();
    Valores.clear();
    QDialog::reject();
}

void Lib_FrmCons3Tree::reject() { Cancelar(); }

void Lib_FrmCons3Tree::NuevaBusqueda() {
    sentencia_ = SQL;
    filtroFamilias_.clear();
    Armar();
}

bool Lib_FrmCons3Tree::eventFilter(QObject* objeto, QEvent* evento) {
    if ((objeto == caja_ || objeto == caja_->lineEdit()) && evento->type() == QEvent::KeyPress) {
        auto* tecla = static_cast<QKeyEvent*>(evento);
        switch (tecla->key()) {
            case Qt::Key_F5:
                BuscarEnServidor();
                return true;
            case Qt::Key_Down:
            case Qt::Key_Up:
            case Qt::Key_PageDown:
            case Qt::Key_PageUp:
                arbol_->setFocus();
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                Aceptar();
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(objeto, evento);
}

void Lib_FrmCons3Tree::showEvent(QShowEvent* evento) {
    QDialog::showEvent(evento);
    if (!cargada_) Cargar();
    caja_->setFocus();
}

}  // namespace kv::lookup
