#pragma once
// Drives a modal window that the code under test opens and waits on: the
// action runs once the window of type V is the active modal window and says it
// is ready (Cargada()); a window the action leaves open is cancelled, and one
// that never gets ready is closed after a while, so a failing test never hangs.

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace kv::pruebas {

template <typename V>
void AlAbrir(std::function<void(V*)> accion) {
    auto* reloj = new QTimer;
    reloj->setInterval(5);
    auto vueltas = std::make_shared<int>(0);
    QObject::connect(reloj, &QTimer::timeout, [reloj, accion, vueltas] {
        auto* ventana = qobject_cast<V*>(QApplication::activeModalWidget());
        if (ventana && ventana->Cargada()) {
            reloj->stop();
            reloj->deleteLater();
            accion(ventana);
            if (QApplication::activeModalWidget() == ventana) ventana->reject();
            return;
        }
        if (++*vueltas > 4000) {
            reloj->stop();
            reloj->deleteLater();
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
        }
    });
    reloj->start();
}

}  // namespace kv::pruebas
