#include "ui/SelectorLista.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv::ui {

SelectorLista::SelectorLista(const QString& titulo, const QStringList& valores, bool multiple, QWidget* padre)
    : QDialog(padre), multiple_(multiple) {
    setObjectName(QStringLiteral("SelectorLista"));
    setWindowTitle(titulo);
    auto* capa = new QVBoxLayout(this);
    capa->addWidget(new QLabel(QStringLiteral("Buscar:"), this));
    filtro_ = new QLineEdit(this);
    filtro_->setObjectName(QStringLiteral("txtBuscar"));
    capa->addWidget(filtro_);
    lista_ = new QListWidget(this);
    lista_->setObjectName(QStringLiteral("lstValores"));
    for (const QString& v : valores) {
        auto* item = new QListWidgetItem(v, lista_);
        item->setToolTip(v);
        if (multiple_) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
    }
    if (lista_->count() > 0) lista_->setCurrentRow(0);
    capa->addWidget(lista_, 1);
    auto* botones = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    botones->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Aceptar"));
    botones->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    capa->addWidget(botones);
    connect(botones, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(botones, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(lista_, &QListWidget::itemDoubleClicked, this, [this] {
        if (!multiple_) accept();
    });
    connect(filtro_, &QLineEdit::textChanged, this, [this](const QString& t) { Filtrar(t); });
    resize(360, 420);
}

void SelectorLista::Filtrar(const QString& texto) {
    QListWidgetItem* primero = nullptr;
    for (int i = 0; i < lista_->count(); ++i) {
        QListWidgetItem* item = lista_->item(i);
        const bool ver = item->text().contains(texto, Qt::CaseInsensitive);
        item->setHidden(!ver);
        if (ver && !primero) primero = item;
    }
    if (primero) lista_->setCurrentItem(primero);
}

QString SelectorLista::Elegido() const {
    const QListWidgetItem* item = lista_->currentItem();
    return item && !item->isHidden() ? item->text() : QString();
}

QStringList SelectorLista::Marcados() const {
    QStringList marcados;
    for (int i = 0; i < lista_->count(); ++i)
        if (lista_->item(i)->checkState() == Qt::Checked) marcados << lista_->item(i)->text();
    return marcados;
}

}  // namespace kv::ui
