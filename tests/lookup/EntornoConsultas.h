#pragma once
// A fresh embedded server with one demo company for one lookup test: its own
// folders, the company NORTE with the ERP schema and the demo's catalogs, the
// ERP connection on the main DB_Dll instance, the default query definitions in
// the program folder, and a fresh shared lookup request.

#include <QApplication>
#include <QWidget>
#include <ostream>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

#include "db/Conexion.h"
#include "soporte/CarpetasTemporales.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& texto, std::ostream* salida) { *salida << '"' << texto.toStdString() << '"'; }

namespace kv::pruebas {

class EntornoConsultas {
  public:
    explicit EntornoConsultas(int lineasVenta = 20);
    ~EntornoConsultas();

    void Ejecutar(const QString& sql) const;
    QVariant Valor(const QString& sql) const;
    std::vector<std::vector<QVariant>> Filas(const QString& sql) const;
    // A configuration key of the company.
    void Configurar(const QString& clave, const QString& valor) const;

    const CarpetasTemporales& carpetas() const { return carpetas_; }

  private:
    CarpetasTemporales carpetas_;
    std::unique_ptr<kv::db::Conexion> administrador_;
};

// Runs `accion` on the modal window of type V once it is shown and has its
// rows; the action must close it. A window left open is closed after a while
// so that a failing test does not hang.
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
            // An action that failed half way leaves the window open: close it.
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
