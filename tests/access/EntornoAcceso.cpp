#include "EntornoAcceso.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

namespace kv::pruebas {

void EscribirBases(const QString& carpeta, const QByteArray& contenido) {
    QFile f(carpeta + "BASES.TXT");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(contenido);
}

QByteArray LeerArchivo(const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

void Teclear(QLineEdit* caja, const QString& texto) {
    caja->setFocus();
    caja->selectAll();
    if (texto.isEmpty())
        QTest::keyClick(caja, Qt::Key_Delete);
    else
        QTest::keyClicks(caja, texto);
}

QStringList Filas(const kv::access::frmAcceso& ventana) {
    QStringList filas;
    for (int i = 0; i < ventana.lstBases->count(); ++i) filas << ventana.lstBases->item(i)->text();
    return filas;
}

GuionVentanas::GuionVentanas(std::vector<Accion> acciones) : acciones_(std::move(acciones)) {
    reloj_.setInterval(10);
    QObject::connect(&reloj_, &QTimer::timeout, [this] { Mirar(); });
    reloj_.start();
}

void GuionVentanas::Mirar() {
    auto* ventana = qobject_cast<kv::access::frmAcceso*>(QApplication::activeModalWidget());
    if (!ventana || !ventana->isVisible() || ventana->property("atendida").toBool()) return;
    ventana->setProperty("atendida", true);
    if (atendidas_ >= int(acciones_.size())) {
        ++inesperadas_;
        ventana->reject();
        return;
    }
    acciones_[size_t(atendidas_++)](*ventana);
}

}  // namespace kv::pruebas
