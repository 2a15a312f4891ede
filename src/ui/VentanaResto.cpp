#include "ui/VentanaResto.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <cmath>

#include "stats/NombresGrupos.h"
#include "ui/ExportacionGrilla.h"
#include "ui/Formatos.h"
#include "ui/Grilla.h"

namespace kv::ui {

namespace {

QStandardItem* Celda(const QString& texto, const QString& exportado, double numero, bool numerica) {
    auto* celda = new QStandardItem(texto);
    celda->setData(exportado, kRolTextoExportado);
    celda->setToolTip(texto);
    if (numerica) {
        celda->setData(numero, kRolNumero);
        celda->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    celda->setEditable(false);
    return celda;
}

}  // namespace

QStandardItemModel* ModeloResto(const kv::stats::ModeloGrafico& modelo, const QStringList& titulosNiveles,
                                QObject* padre) {
    auto* resultado = new QStandardItemModel(padre);
    const int niveles = static_cast<int>(titulosNiveles.size());
    // The share is of the first total that adds up (not a percentage).
    int columnaBase = -1;
    for (int c = 0; c < modelo.Columnas() && columnaBase < 0; ++c)
        if (FamiliaDeTitulo(modelo.columnas[c]) != Familia::Porcentajes) columnaBase = c;
    double total = 0;
    if (columnaBase >= 0)
        for (const auto& g : modelo.plegados) total += g.valores.at(static_cast<size_t>(columnaBase));
    QStringList cabecera = titulosNiveles;
    cabecera << modelo.columnas;
    if (columnaBase >= 0) cabecera << QStringLiteral("% del resto (%1)").arg(modelo.columnas[columnaBase]);
    resultado->setHorizontalHeaderLabels(cabecera);
    for (const auto& grupo : modelo.plegados) {
        QList<QStandardItem*> fila;
        for (int n = 0; n < niveles; ++n) {
            const QString codigo = grupo.grupos[static_cast<size_t>(n)].trimmed();
            const QString texto = modelo.nombres ? modelo.nombres->Etiqueta(n, codigo) : codigo;
            fila << Celda(texto, texto, 0, false);
        }
        for (int c = 0; c < modelo.Columnas(); ++c) {
            const double v = grupo.valores.at(static_cast<size_t>(c));
            const Familia f = FamiliaDeTitulo(modelo.columnas[c]);
            fila << Celda(TextoSegunFamilia(v, f, modelo.decimales),
                          QString::number(v, 'f', std::max(0, modelo.decimales)), v, true);
        }
        if (columnaBase >= 0) {
            const double v = grupo.valores.at(static_cast<size_t>(columnaBase));
            const double parte = total == 0 ? 0 : v / total * 100;
            fila << Celda(TextoNumero(parte, 2) + QStringLiteral(" %"), QString::number(parte, 'f', 2), parte,
                          true);
        }
        resultado->appendRow(fila);
    }
    return resultado;
}

VentanaResto::VentanaResto(const kv::stats::ModeloGrafico& modelo, const QStringList& titulosNiveles,
                           QWidget* padre)
    : QDialog(padre), modelo_(ModeloResto(modelo, titulosNiveles, this)), tabla_(new QTableView(this)) {
    setObjectName(QStringLiteral("VentanaResto"));
    const QString etiqueta =
        modelo.filaResto >= 0 ? modelo.etiquetas.value(modelo.filaResto).trimmed() : QString();
    setWindowTitle(QString::fromUtf8(kTituloResto).arg(etiqueta));
    tabla_->setObjectName(QStringLiteral("tablaResto"));
    tabla_->setModel(modelo_);
    tabla_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabla_->setSortingEnabled(false);
    tabla_->setAlternatingRowColors(true);
    tabla_->resizeColumnsToContents();
    auto* botones = new QDialogButtonBox(this);
    auto* copiar = botones->addButton(QStringLiteral("&Copiar"), QDialogButtonBox::ActionRole);
    auto* exportar = botones->addButton(QStringLiteral("&Exportar..."), QDialogButtonBox::ActionRole);
    botones->addButton(QStringLiteral("C&errar"), QDialogButtonBox::RejectRole);
    connect(copiar, &QPushButton::clicked, this, [this] { Copiar(); });
    connect(exportar, &QPushButton::clicked, this, [this] { Exportar(); });
    connect(botones, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Esc closes the window from wherever its focus is, the list included.
    auto* cerrar = new QAction(QStringLiteral("Cerrar"), this);
    cerrar->setObjectName(QStringLiteral("accionCerrarResto"));
    cerrar->setShortcut(QKeySequence(Qt::Key_Escape));
    cerrar->setShortcutContext(Qt::WindowShortcut);
    connect(cerrar, &QAction::triggered, this, &QWidget::close);
    addAction(cerrar);
    auto* capa = new QVBoxLayout(this);
    capa->addWidget(
        new QLabel(QStringLiteral("%1 grupos, en el orden de la carga.").arg(modelo_->rowCount()), this));
    capa->addWidget(tabla_, 1);
    capa->addWidget(botones);
    resize(900, 500);
}

void VentanaResto::Copiar() {
    QString texto;
    for (const QStringList& fila : FilasDeModelo(*modelo_))
        texto += fila.join(QLatin1Char('\t')) + QLatin1Char('\n');
    QApplication::clipboard()->setText(texto);
}

void VentanaResto::Exportar() { ExportarGrilla(*modelo_); }

}  // namespace kv::ui
