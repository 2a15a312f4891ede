#include "lookup/ControlesConsulta.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "lookup/Lib_FrmCons3.h"

namespace kv::lookup {

QComboBox* CrearCajaBusqueda(QWidget* padre, int indice, QObject* filtro) {
    auto* caja = new QComboBox(padre);
    caja->setObjectName(QStringLiteral("CmbSearch"));
    caja->setProperty("Index", indice);
    caja->setEditable(true);
    caja->setInsertPolicy(QComboBox::NoInsert);
    caja->setToolTip(QString::fromUtf8(kTooltipBusqueda));
    caja->installEventFilter(filtro);
    caja->lineEdit()->installEventFilter(filtro);
    return caja;
}

QFrame* CrearMarcoBotones(QWidget* padre, QHBoxLayout*& botones) {
    auto* marco = new QFrame(padre);
    marco->setObjectName(QStringLiteral("Frame1"));
    marco->setFrameShape(QFrame::StyledPanel);
    botones = new QHBoxLayout(marco);
    return marco;
}

QPushButton* AgregarBoton(QHBoxLayout* botones, const char* nombre, const char* texto) {
    auto* b = new QPushButton(QString::fromUtf8(texto), botones->parentWidget());
    b->setObjectName(QString::fromLatin1(nombre));
    b->setAutoDefault(false);
    botones->addWidget(b);
    return b;
}

QMenu* CrearMenuEmergente(QWidget* padre) {
    auto* menu = new QMenu(padre);
    menu->setObjectName(QStringLiteral("MNU_Emergente"));
    menu->addAction(QStringLiteral("Llenar Con Posibles Valores"))
        ->setObjectName(QStringLiteral("MNU_Llena"));
    menu->addSeparator()->setObjectName(QStringLiteral("MNU_Separador"));
    menu->addAction(QStringLiteral("Cancelar"))->setObjectName(QStringLiteral("MNU_Cancelar"));
    return menu;
}

}  // namespace kv::lookup
