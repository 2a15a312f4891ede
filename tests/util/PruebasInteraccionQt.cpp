#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "util/InteraccionQt.h"

using namespace kv;

namespace {

// Waits (through the event loop of the dialog under test) for a visible modal
// dialog of type T and acts on it.
// A dialog that is still showing after the action (a file dialog still reading
// its folder may ignore the first accept) gets the action again, a few times;
// one that never goes away is closed, so no test is left hanging.
template <typename T>
void AlAparecer(std::function<void(T*)> accion) {
    auto* temporizador = new QTimer;
    temporizador->setInterval(10);
    auto veces = std::make_shared<int>(0);
    auto acciones = std::make_shared<int>(0);
    auto tratado = std::make_shared<QPointer<T>>();
    QObject::connect(temporizador, &QTimer::timeout, [temporizador, accion, veces, acciones, tratado] {
        auto terminar = [temporizador] {
            temporizador->stop();
            temporizador->deleteLater();
        };
        if (*acciones > 0) {
            T* d = tratado->data();
            if (!d || !d->isVisible()) return terminar();
            if (*acciones < 500) {
                ++*acciones;
                accion(d);
            } else {
                terminar();
                d->close();
            }
            return;
        }
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<T*>(w); d && d->isVisible()) {
                *tratado = d;
                ++*acciones;
                accion(d);
                return;
            }
        }
        if (++*veces > 500) {  // never leave a test hanging on a box nobody found
            terminar();
            if (QWidget* m = QApplication::activeModalWidget()) m->close();
        }
    });
    temporizador->start();
}

QStringList Botones(QMessageBox* caja) {
    QStringList textos;
    for (QAbstractButton* b : caja->buttons()) textos << b->text();
    return textos;
}

QAbstractButton* Boton(QWidget* padre, const QString& texto) {
    for (QAbstractButton* b : padre->findChildren<QAbstractButton*>())
        if (b->text() == texto) return b;
    return nullptr;
}

struct CajaVista {
    QStringList botones;
    QString texto, titulo, porDefecto;
    QMessageBox::Icon icono = QMessageBox::NoIcon;
};

int Responder(int estiloCaja, const QString& boton, CajaVista& vista, const QString& texto = "Texto",
              const QString& titulo = "Título") {
    AlAparecer<QMessageBox>([&vista, boton](QMessageBox* caja) {
        vista.botones = Botones(caja);
        vista.texto = caja->text();
        vista.titulo = caja->windowTitle();
        vista.icono = caja->icon();
        vista.porDefecto = caja->defaultButton() ? caja->defaultButton()->text() : QString();
        if (boton == "Escape")
            caja->reject();
        else if (QAbstractButton* b = Boton(caja, boton))
            b->click();
        else
            caja->reject();
    });
    InteraccionQt qt;
    return qt.Mensaje(texto, estiloCaja, titulo);
}

}  // namespace

TEST(InteraccionQt, BotonesEnEspanolYCodigosOriginales) {
    struct Caso {
        int estilo;
        QStringList botones;
        QString pulsado;
        int respuesta;
    };
    const QList<Caso> casos = {
        {0, {"Aceptar"}, "Aceptar", 1},
        {1, {"Aceptar", "Cancelar"}, "Cancelar", 2},
        {1, {"Aceptar", "Cancelar"}, "Aceptar", 1},
        {2, {"Anular", "Reintentar", "Omitir"}, "Anular", 3},
        {2, {"Anular", "Reintentar", "Omitir"}, "Reintentar", 4},
        {2, {"Anular", "Reintentar", "Omitir"}, "Omitir", 5},
        {3, {"Sí", "No", "Cancelar"}, "Sí", 6},
        {3, {"Sí", "No", "Cancelar"}, "No", 7},
        {3, {"Sí", "No", "Cancelar"}, "Cancelar", 2},
        {4, {"Sí", "No"}, "Sí", 6},
        {4, {"Sí", "No"}, "No", 7},
        {5, {"Reintentar", "Cancelar"}, "Reintentar", 4},
        {5, {"Reintentar", "Cancelar"}, "Cancelar", 2},
    };
    for (const Caso& c : casos) {
        CajaVista vista;
        EXPECT_EQ(Responder(c.estilo, c.pulsado, vista), c.respuesta)
            << c.estilo << " " << c.pulsado.toStdString();
        QStringList vistos = vista.botones;
        QStringList esperados = c.botones;
        vistos.sort();
        esperados.sort();
        EXPECT_EQ(vistos, esperados) << c.estilo;
        EXPECT_EQ(vista.titulo, "Título");
    }
}

TEST(InteraccionQt, EscapeIconoBotonPorDefectoYTexto) {
    CajaVista vista;
    EXPECT_EQ(Responder(estilo::SiNo + estilo::Pregunta, "Escape", vista), respuesta::No);
    EXPECT_EQ(vista.icono, QMessageBox::Question);
    EXPECT_EQ(vista.porDefecto, "Sí");
    EXPECT_EQ(Responder(estilo::AnularReintentarOmitir + estilo::Critico, "Escape", vista),
              respuesta::Anular);
    EXPECT_EQ(vista.icono, QMessageBox::Critical);
    EXPECT_EQ(Responder(estilo::SoloAceptar + estilo::Exclamacion, "Escape", vista), respuesta::Aceptar);
    EXPECT_EQ(vista.icono, QMessageBox::Warning);
    EXPECT_EQ(Responder(estilo::SiNo + estilo::SegundoBoton + estilo::Informacion, "Sí", vista),
              respuesta::Si);
    EXPECT_EQ(vista.porDefecto, "No");
    EXPECT_EQ(vista.icono, QMessageBox::Information);
    // CR LF shown as a line break; markup shown as typed.
    Responder(0, "Aceptar", vista, "Desea informar el articulo 1 <b>x</b>\r\ncomo un faltante de stock?");
    EXPECT_EQ(vista.texto, "Desea informar el articulo 1 <b>x</b>\ncomo un faltante de stock?");
}

TEST(InteraccionQt, MostrarErrorRespondeTresCuatroCinco) {
    for (const auto& [boton, codigo] :
         QList<std::pair<QString, int>>{{"Anular", 3}, {"Reintentar", 4}, {"Omitir", 5}, {"Escape", 3}}) {
        QString texto, titulo;
        AlAparecer<QMessageBox>([&, b = boton](QMessageBox* caja) {
            texto = caja->text();
            titulo = caja->windowTitle();
            if (b == "Escape")
                caja->reject();
            else
                Boton(caja, b)->click();
        });
        InteraccionQt qt;
        EXPECT_EQ(qt.MostrarError(KvError{94, "Uso no válido de Null", "KV_ESTV"}, "unload"), codigo);
        EXPECT_EQ(titulo, "Error");
        EXPECT_EQ(texto, TextoMostrarError(KvError{94, "Uso no válido de Null", "KV_ESTV"}, "unload"));
    }
}

TEST(InteraccionQt, EntradaYFecha) {
    InteraccionQt qt;
    AlAparecer<QInputDialog>([](QInputDialog* d) {
        EXPECT_EQ(d->labelText(), "Contraseña de la base");
        EXPECT_NE(Boton(d, "Aceptar"), nullptr);
        EXPECT_NE(Boton(d, "Cancelar"), nullptr);
        d->setTextValue("secreta");
        d->accept();
    });
    EXPECT_EQ(qt.Entrada("Contraseña de la base", "Base Access"), std::optional<QString>("secreta"));
    AlAparecer<QInputDialog>([](QInputDialog* d) { d->reject(); });
    EXPECT_EQ(qt.Entrada("Contraseña", "Base Access"), std::nullopt);

    AlAparecer<QDialog>([](QDialog* d) {
        auto* calendario = d->findChild<QCalendarWidget*>();
        ASSERT_NE(calendario, nullptr);
        EXPECT_EQ(calendario->selectedDate(), QDate(2026, 2, 14));
        calendario->setSelectedDate(QDate(2026, 3, 5));
        Boton(d, "Aceptar")->click();
    });
    QString fecha = "14/02/2026";
    EXPECT_TRUE(qt.ElegirFecha(fecha));
    EXPECT_EQ(fecha, "05/03/2026");
    EXPECT_EQ(fecha.mid(3), "03/2026");  // the month fields read from the fourth character on

    AlAparecer<QDialog>([](QDialog* d) { Boton(d, "Cancelar")->click(); });
    EXPECT_FALSE(qt.ElegirFecha(fecha));
    EXPECT_EQ(fecha, "05/03/2026");
}

TEST(InteraccionQt, FiltrosDelDialogoDeArchivos) {
    EXPECT_EQ(FiltrosDeDialogo("Ingrese un nombre|*.xls"), QStringList({"Ingrese un nombre (*.xls *.XLS)"}));
    EXPECT_EQ(FiltrosDeDialogo("Base de Access (*.mdb)|*.MDB|Todos|*.*"),
              QStringList({"Base de Access [*.mdb] (*.MDB *.mdb)", "Todos (*.*)"}));
    EXPECT_EQ(FiltrosDeDialogo("Imágenes|*.bmp;*.gif"), QStringList({"Imágenes (*.bmp *.BMP *.gif *.GIF)"}));
    EXPECT_EQ(FiltrosDeDialogo("Textos (*.txt);;Todos (*)"), QStringList({"Textos (*.txt)", "Todos (*)"}));
    EXPECT_EQ(FiltrosDeDialogo(""), QStringList({"Todos los archivos (*)"}));
    EXPECT_EQ(ExtensionPorDefecto("Ingrese un nombre|*.xls"), "xls");
    EXPECT_EQ(ExtensionPorDefecto("Todos|*.*"), "");
}

TEST(InteraccionQt, VentanaDeProgreso) {
    InteraccionQt qt;
    qt.ProgresoIniciar("Cargando estadística", true);
    QDialog* ventana = qt.VentanaProgreso();
    ASSERT_NE(ventana, nullptr);
    EXPECT_TRUE(ventana->isVisible());
    EXPECT_EQ(ventana->windowTitle(), "Cargando estadística");
    // The first update shows at once.
    EXPECT_FALSE(qt.ProgresoActualizar("", "Artículo 1", "1 de 20000"));
    const auto etiquetas = ventana->findChildren<QLabel*>();
    QStringList textos;
    for (QLabel* l : etiquetas) textos << l->text();
    EXPECT_TRUE(textos.contains("Artículo 1"));
    EXPECT_TRUE(textos.contains("1 de 20000"));

    // Thousands of updates repaint only a few times per second.
    QElapsedTimer reloj;
    reloj.start();
    for (int i = 2; i <= 20000; ++i)
        qt.ProgresoActualizar("", QString("Artículo %1").arg(i), QString("%1 de 20000").arg(i));
    const qint64 ms = reloj.elapsed();
    EXPECT_LE(qt.PintadasProgreso(), 2 + ms / InteraccionQt::kIntervaloPintado + 1);

    // Cancelar asks to cancel; the window stays until closed.
    Boton(ventana, "Cancelar")->click();
    EXPECT_TRUE(qt.ProgresoActualizar("", "x", "y"));
    ventana->close();
    EXPECT_NE(qt.VentanaProgreso(), nullptr);
    qt.ProgresoCerrar();
    EXPECT_EQ(qt.VentanaProgreso(), nullptr);

    // Without cancelling allowed there is no button and closing asks nothing.
    qt.ProgresoIniciar("Configurando empresas", false);
    ventana = qt.VentanaProgreso();
    ASSERT_NE(ventana, nullptr);
    EXPECT_FALSE(Boton(ventana, "Cancelar")->isVisible());
    ventana->close();
    EXPECT_FALSE(qt.ProgresoActualizar("Configurando empresas", "Empresa 1", "1/2"));
    EXPECT_TRUE(ventana->isVisible());
    qt.ProgresoCerrar();
}

TEST(InteraccionQt, DialogoDeArchivos) {
    QTemporaryDir dir;
    InteraccionQt qt;
    QString filtros, titulo;
    AlAparecer<QFileDialog>([&](QFileDialog* d) {
        filtros = d->nameFilters().join(";;");
        titulo = d->windowTitle();
        // Typed into the name field, as a user would: selectFile() alone can be
        // undone by the folder's contents arriving after it.
        if (auto* nombre = d->findChild<QLineEdit*>("fileNameEdit"))
            nombre->setText("informe");
        else
            d->selectFile("informe");
        static_cast<QDialog*>(d)->accept();
    });
    const QString elegido = qt.ElegirArchivo("Ingrese un nombre|*.xls", "Buscar Archivos", true, dir.path());
    EXPECT_EQ(elegido, QDir(dir.path()).filePath("informe.xls"));  // the filter's extension is added
    EXPECT_EQ(filtros, "Ingrese un nombre (*.xls *.XLS)");
    EXPECT_EQ(titulo, "Buscar Archivos");

    AlAparecer<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_EQ(qt.ElegirArchivo("Base de datos|*.mdb", "Buscar", false, dir.path()), "");
}
