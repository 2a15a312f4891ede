#include "VentanaPrueba.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "EntornoEstadisticas.h"
#include "db/DB_Dll.h"
#include "soporte/PuertoGuionado.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Reconstruccion.h"
#include "ui/frmKv_EstV.h"

namespace kv::pruebas {

using namespace kv::stats;

void GrabarDefinicion(EntornoEstadisticas& e, const QString& nombre, const QStringList& codigos,
                      const QString& top) {
    PuertoGuionado puerto;
    puerto.PermitirInesperados();
    Definicion d;
    for (const QString& codigo : codigos) d.grupos[static_cast<size_t>(IndiceCatalogo(codigo))] = true;
    d.top = top;
    EstadoDefinicion estado;
    estado.nombre = nombre;
    estado.modo = ModoGrabacion::Nuevo;
    kv::db::DB_Dll empresa;
    GrabarEstadistica(e.Almacen(), d, estado,
                      [&](const QString& t) { ReconstruirEstadistica(e.Almacen(), t, empresa); });
}

void Mostrar(kv::ui::frmKv_EstV& ventana) {
    ventana.show();
    ventana.activateWindow();
    (void)QTest::qWaitForWindowActive(&ventana, 2000);
}

void EscribirNombre(kv::ui::frmKv_EstV& ventana, const QString& nombre) {
    if (!ventana.isActiveWindow()) Mostrar(ventana);
    QLineEdit* campo = ventana.Campo(QStringLiteral("NOMBRE"));
    campo->setFocus();
    campo->selectAll();
    QTest::keyClicks(campo, nombre);
    QTest::keyClick(campo, Qt::Key_Return);
}

}  // namespace kv::pruebas
