#include "ui/FrmEstCfgEmp.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "db/DB_Dll.h"
#include "stats/ConfiguracionEmpresas.h"

namespace kv::ui {

using namespace kv::stats;

FrmEstCfgEmp::FrmEstCfgEmp(kv::db::DB_Dll& erp, kv::db::DB_Dll& almacen, std::function<void()> cargarEmpresas,
                           QWidget* padre)
    : QDialog(padre), erp_(erp), almacen_(almacen), cargarEmpresas_(std::move(cargarEmpresas)) {
    setObjectName(QStringLiteral("FrmEstCfgEmp"));
    setWindowTitle(QString::fromUtf8(kTituloConfigEmpresas));
    setModal(false);
    auto* capa = new QVBoxLayout(this);
    lblInfo = new QLabel(QStringLiteral("..."), this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    lblInfo->setMinimumWidth(420);
    chkCompartida = new QCheckBox(QString::fromUtf8(kTextoCompartida), this);
    chkCompartida->setObjectName(QStringLiteral("chkCompartida"));
    cmdAgregar = new QPushButton(QStringLiteral("&Agregar"), this);
    cmdAgregar->setObjectName(QStringLiteral("cmdAgregar"));
    cmdQuitar = new QPushButton(QStringLiteral("&Quitar"), this);
    cmdQuitar->setObjectName(QStringLiteral("cmdQuitar"));
    cmdCancelar = new QPushButton(QStringLiteral("&Cancelar"), this);
    cmdCancelar->setObjectName(QStringLiteral("cmdCancelar"));
    capa->addWidget(lblInfo);
    capa->addWidget(chkCompartida);
    auto* botones = new QHBoxLayout();
    botones->addStretch(1);
    botones->addWidget(cmdAgregar);
    botones->addWidget(cmdQuitar);
    botones->addWidget(cmdCancelar);
    capa->addLayout(botones);
    connect(cmdAgregar, &QPushButton::clicked, this, [this] { cmdAgregar_Click(); });
    connect(cmdQuitar, &QPushButton::clicked, this, [this] { cmdQuitar_Click(); });
    connect(cmdCancelar, &QPushButton::clicked, this, [this] { cmdCancelar_Click(); });
    Form_Load();
}

void FrmEstCfgEmp::Form_Load() {
    const std::optional<bool> fila = LeerEmpresa(almacen_, erp_.gDBName);
    if (!fila) {
        lblInfo->setText(QString::fromUtf8(kInfoNoIncluida));
        cmdQuitar->setEnabled(false);
    } else {
        lblInfo->setText(QString::fromUtf8(kInfoIncluida));
        cmdAgregar->setText(QStringLiteral("&Modificar"));
        chkCompartida->setChecked(*fila);
    }
}

void FrmEstCfgEmp::cmdAgregar_Click() {
    if (cmdAgregar->text() != QLatin1String("&Agregar"))
        CompartirEmpresa(erp_, almacen_, chkCompartida->isChecked());
    else
        AgregarEmpresa(erp_, almacen_, chkCompartida->isChecked());
    Terminar();
}

void FrmEstCfgEmp::cmdQuitar_Click() {
    QuitarEmpresa(erp_, almacen_);
    Terminar();
}

void FrmEstCfgEmp::cmdCancelar_Click() { hide(); }

void FrmEstCfgEmp::Terminar() {
    hide();
    if (cargarEmpresas_) cargarEmpresas_();
}

void FrmEstCfgEmp::hideEvent(QHideEvent* evento) {
    QDialog::hideEvent(evento);
    // It lives while it is shown.
    if (testAttribute(Qt::WA_DeleteOnClose)) QTimer::singleShot(0, this, &QObject::deleteLater);
}

}  // namespace kv::ui
