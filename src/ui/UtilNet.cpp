#include "ui/UtilNet.h"

#include <QAction>
#include <QHBoxLayout>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "util/UtilIni.h"
#include "util/UtilRutas.h"
#include "util/UtilSistema.h"

namespace kv::ui {

int CodigoTecla(int teclaQt) {
    switch (teclaQt) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return tecla::Enter;
        case Qt::Key_Escape:
            return tecla::Escape;
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Tab:
            return 9;
        default:
            break;
    }
    if (teclaQt >= Qt::Key_F1 && teclaQt <= Qt::Key_F24) return 112 + (teclaQt - Qt::Key_F1);
    if ((teclaQt >= Qt::Key_0 && teclaQt <= Qt::Key_9) || (teclaQt >= Qt::Key_A && teclaQt <= Qt::Key_Z))
        return teclaQt;
    return 0;
}

const std::array<BotonUtilNet, 8>& BotonesUtilNet() {
    static const std::array<BotonUtilNet, 8> botones{{
        {1, 1, "Nuevo", "NUEVO"},
        {2, 2, "Borrar", "BORRAR"},
        {3, 3, " Reporte", "REPORTE"},
        {4, 6, " Consultar", "CONSULTAR"},
        {5, 7, "  Planilla", "PLANILLA"},
        {6, 8, "Cancelar", "CANCELAR"},
        {7, 4, "Grabar", "GRABAR"},
        {8, 5, "   Cerrar", "CERRAR"},
    }};
    return botones;
}

UtilNet::UtilNet(QWidget* padre) : QWidget(padre) {
    setObjectName(QStringLiteral("UtilNet1"));
    auto* capa = new QHBoxLayout(this);
    capa->setContentsMargins(0, 0, 0, 0);
    barra_ = new QToolBar(QStringLiteral("Standard"), this);
    barra_->setObjectName(QStringLiteral("Standard"));
    barra_->setMovable(false);
    barra_->setFloatable(false);
    capa->addWidget(barra_);
    Inicializar();
}

QAction* UtilNet::Accion(int id) const {
    for (size_t i = 0; i < acciones_.size(); ++i)
        if (BotonesUtilNet()[i].id == id) return acciones_[i];
    return nullptr;
}

QString UtilNet::ArchivoTira(const QString& estilo) {
    const QString v = estilo.trimmed();
    if (v == QLatin1String("1")) return QStringLiteral("ABM2021B.bmp");
    if (v == QLatin1String("2")) return QStringLiteral("ABM2021M.bmp");
    if (v == QLatin1String("3")) return QStringLiteral("ABM2021V.bmp");
    if (v == QLatin1String("4")) return QStringLiteral("ABM2021i.bmp");
    return QStringLiteral("ABM2021.bmp");
}

std::vector<QIcon> UtilNet::CortarTira(const QImage& tira) {
    std::vector<QIcon> iconos;
    if (tira.isNull() || tira.height() <= 0) return iconos;
    const int lado = tira.height();
    QImage fuente = tira.convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x + lado <= fuente.width(); x += lado) {
        QImage pieza = fuente.copy(x, 0, lado, lado);
        for (int fy = 0; fy < lado; ++fy) {
            auto* fila = reinterpret_cast<QRgb*>(pieza.scanLine(fy));
            for (int fx = 0; fx < lado; ++fx)
                if ((fila[fx] & 0x00FFFFFFu) == 0x00FF00FFu) fila[fx] = 0;
        }
        iconos.emplace_back(QPixmap::fromImage(pieza));
    }
    return iconos;
}

void UtilNet::Inicializar() {
    ConTitulo_ = true;
    enabled_ = true;
    NuevoVisible_ = BorrarVisible_ = ReporteVisible_ = consultarVisible_ = PlanillaVisible_ =
        CancelarVisible_ = GrabarVisible_ = CerrarVisible_ = true;
    NuevoEnabled(true);
    BorrarEnabled(true);
    ReporteEnabled(true);
    ConsultaEnabled(true);
    PlanillaEnabled(true);
    CancelarEnabled(true);
    GrabarEnabled(true);
    CerrarEnabled(true);

    barra_->clear();
    acciones_ = {};
    const auto& botones = BotonesUtilNet();
    for (size_t i = 0; i < botones.size(); ++i) {
        QAction* accion = barra_->addAction(QString::fromUtf8(botones[i].titulo));
        accion->setData(botones[i].id);
        accion->setObjectName(QString::fromLatin1(botones[i].clave));
        accion->setToolTip(QString::fromUtf8(botones[i].titulo).trimmed());
        connect(accion, &QAction::triggered, this, [this, accion] { Ejecutar(accion); });
        acciones_[i] = accion;
    }
    barra_->setToolButtonStyle(ConTitulo_ ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    barra_->setIconSize(QSize(32, 32));
    for (QAction* accion : acciones_) {
        if (auto* boton = qobject_cast<QToolButton*>(barra_->widgetForAction(accion))) {
            boton->setObjectName(QStringLiteral("boton") + accion->objectName());
            // At least the design's 35 by 42; wider when the caption needs it,
            // so no caption is ever cut.
            boton->setMinimumSize(35, 42);
        }
    }

    // The strip follows the skin setting of the workstation and user.
    const QString seccion = kv::UtilSistema::NombreUsuario().toUpper() + QStringLiteral("Styles");
    const QString estilo = kv::UtilIni::LeerIni(QStringLiteral("cn000pr.ini"), seccion,
                                                QStringLiteral("Styles"), QStringLiteral("1"));
    tira_ = ArchivoTira(estilo);
    QImage imagen(kv::UtilRutas::CarpetaEjecutable() + tira_);
    if (imagen.isNull()) imagen = QImage(kv::UtilRutas::CarpetaEjecutable() + QStringLiteral("ABM2021.bmp"));
    const std::vector<QIcon> iconos = CortarTira(imagen);
    // Images in strip order go to the ids 1, 2, 3, 6, 7, 8, 4, 5: the button order.
    for (size_t i = 0; i < acciones_.size() && i < iconos.size(); ++i) acciones_[i]->setIcon(iconos[i]);
    Actualizar();
}

void UtilNet::ActualizarBotones() { Inicializar(); }

void UtilNet::Enabled(bool valor) {
    enabled_ = valor;
    Cambio();
}

void UtilNet::Cambio() {
    if (actualizacionPendiente_ || !barra_) return;
    actualizacionPendiente_ = true;
    QTimer::singleShot(0, this, [this] {
        if (actualizacionPendiente_) Actualizar();
    });
}

bool UtilNet::Habilitado(int id) const {
    switch (id) {
        case 1:
            return NuevoEnabled_;
        case 2:
            return BorrarEnabled_;
        case 3:
            return ReporteEnabled_;
        case 4:
            return GrabarEnabled_;
        case 5:
            return CerrarEnabled_;
        case 6:
            return ConsultaEnabled_;
        case 7:
            return PlanillaEnabled_;
        case 8:
            return CancelarEnabled_;
        default:
            return false;
    }
}

bool UtilNet::Visible(int id) const {
    switch (id) {
        case 1:
            return NuevoVisible_;
        case 2:
            return BorrarVisible_;
        case 3:
            return ReporteVisible_;
        case 4:
            return GrabarVisible_;
        case 5:
            return CerrarVisible_;
        case 6:
            return consultarVisible_;
        case 7:
            return PlanillaVisible_;
        case 8:
            return CancelarVisible_;
        default:
            return false;
    }
}

void UtilNet::Actualizar() {
    actualizacionPendiente_ = false;
    barra_->setToolButtonStyle(ConTitulo_ ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    for (QAction* accion : acciones_) {
        if (!accion) continue;
        const int id = accion->data().toInt();
        if (id < 1 || id > 8) continue;
        accion->setEnabled(Habilitado(id) && enabled_);
        accion->setVisible(Visible(id));
    }
}

void UtilNet::Ejecutar(QAction* accion) {
    const QString clave = accion->text().trimmed().toUpper();
    if (clave == QLatin1String("NUEVO"))
        BorrarEnabled(false);
    else if (clave == QLatin1String("GRABAR") || clave == QLatin1String("CERRAR"))
        BorrarEnabled(true);
    emit click(clave);
}

void UtilNet::KeyAnalisis(int codigoTecla) {
    QString orden;
    switch (codigoTecla) {
        case tecla::Escape:
            if (CancelarEnabled_)
                orden = QStringLiteral("CANCELAR");
            else if (CerrarEnabled_)
                orden = QStringLiteral("CERRAR");
            break;
        case tecla::F2:
            if (GrabarEnabled_) orden = QStringLiteral("GRABAR");
            break;
        case tecla::F3:
            if (NuevoEnabled_) orden = QStringLiteral("NUEVO");
            break;
        case tecla::F4:
            if (ReporteEnabled_) orden = QStringLiteral("REPORTE");
            break;
        case tecla::F5:
            if (ConsultaEnabled_) orden = QStringLiteral("CONSULTAR");
            break;
        case tecla::F6:
            if (PlanillaEnabled_) orden = QStringLiteral("PLANILLA");
            break;
        case tecla::F10:
            if (BorrarEnabled_) orden = QStringLiteral("BORRAR");
            break;
        default:
            break;
    }
    orden = orden.trimmed().toUpper();
    if (!orden.isEmpty()) emit click(orden);
}

void UtilNet::resizeEvent(QResizeEvent*) {
    // Along the top when wider than tall, else along the left edge.
    barra_->setOrientation(width() >= height() ? Qt::Horizontal : Qt::Vertical);
}

}  // namespace kv::ui
