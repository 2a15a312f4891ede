// Qt's own dialogs opened for real (the print dialog, the non-native file
// dialog through the window port) read in Spanish: the texts a user sees on
// their buttons and lists come from Qt's Spanish translations. CTest runs these
// once more with LANG=es_AR.UTF-8, as at the users' sites.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLocale>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <memory>

#include "soporte/CarpetasTemporales.h"
#include "soporte/PuertoGuionado.h"
#include "ui/Idioma.h"
#include "ui/Impresion.h"
#include "util/InteraccionQt.h"

using namespace kv::ui;

namespace {

// Runs `accion` once a modal dialog of type D is up, then closes it; one that
// never comes is waited for a while only, and whatever modal window is left is
// closed, so a failing test never hangs.
template <typename D>
std::shared_ptr<bool> AlAbrirDialogo(std::function<void(D*)> accion) {
    auto visto = std::make_shared<bool>(false);
    auto* reloj = new QTimer;
    reloj->setInterval(10);
    auto vueltas = std::make_shared<int>(0);
    QObject::connect(reloj, &QTimer::timeout, [reloj, accion, vueltas, visto] {
        auto* dialogo = qobject_cast<D*>(QApplication::activeModalWidget());
        if (dialogo && dialogo->isVisible()) {
            reloj->stop();
            reloj->deleteLater();
            *visto = true;
            QApplication::processEvents();
            accion(dialogo);
            if (QApplication::activeModalWidget() == dialogo) dialogo->reject();
            return;
        }
        if (++*vueltas > 1500) {
            reloj->stop();
            reloj->deleteLater();
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
        }
    });
    reloj->start();
    return visto;
}

// The captions of the visible buttons, without their shortcut marks.
QStringList Botones(QWidget* ventana) {
    QStringList textos;
    for (QAbstractButton* b : ventana->findChildren<QAbstractButton*>())
        if (b->isVisibleTo(ventana) && !b->text().isEmpty()) textos << QString(b->text()).remove('&');
    return textos;
}

class DialogosReales : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(PrepararIdioma(*QCoreApplication::instance())); }
};

}  // namespace

TEST_F(DialogosReales, ElDialogoDeImpresionEnCastellano) {
    if (qgetenv("LANG").startsWith("es_AR")) {
        EXPECT_EQ(QLocale::system().name(), "es_AR");
    }
    // The real dialog, not the tests' PDF chooser; nothing goes through the message port.
    const ElectorImpresora anterior = EstablecerElectorImpresora({});
    kv::pruebas::PuertoGuionado puerto;
    QStringList botones;
    QString titulo;
    const auto visto = AlAbrirDialogo<QPrintDialog>([&](QPrintDialog* d) {
        titulo = d->windowTitle();
        botones = Botones(d);
    });
    QPrinter impresora;
    EXPECT_FALSE(ElegirImpresora(impresora));  // closed without printing
    EstablecerElectorImpresora(anterior);
    ASSERT_TRUE(*visto) << "no se abrió el diálogo de impresión";
    EXPECT_EQ(titulo, QString::fromUtf8("Imprimir gráfico"));
    EXPECT_TRUE(botones.contains("Imprimir")) << botones.join(" | ").toStdString();
    EXPECT_TRUE(botones.contains("Cancelar")) << botones.join(" | ").toStdString();
    EXPECT_FALSE(botones.contains("Print")) << botones.join(" | ").toStdString();
    EXPECT_FALSE(botones.contains("Cancel")) << botones.join(" | ").toStdString();
}

TEST_F(DialogosReales, ElDialogoDeArchivosDeLaVentanaEnCastellano) {
    kv::pruebas::CarpetasTemporales carpetas;
    auto anterior = kv::EstablecerInteraccion(std::make_unique<kv::InteraccionQt>());
    QStringList botones, columnas;
    QString titulo;
    const auto visto = AlAbrirDialogo<QFileDialog>([&](QFileDialog* d) {
        titulo = d->windowTitle();
        botones = Botones(d);
        // The list's column captions are Qt's own texts.
        for (QTreeView* lista : d->findChildren<QTreeView*>())
            if (lista->isVisibleTo(d) && lista->model())
                for (int c = 0; c < lista->model()->columnCount(); ++c)
                    columnas << lista->model()->headerData(c, Qt::Horizontal).toString();
    });
    const QString elegido = kv::interaccion().ElegirArchivo(QString::fromUtf8("Planilla de cálculo|*.xlsx"),
                                                            "Guardar planilla", true, carpetas.raiz());
    kv::EstablecerInteraccion(std::move(anterior));
    ASSERT_TRUE(*visto) << "no se abrió el diálogo de archivos";
    EXPECT_TRUE(elegido.isEmpty());
    EXPECT_EQ(titulo, "Guardar planilla");
    EXPECT_TRUE(botones.contains("Guardar")) << botones.join(" | ").toStdString();
    EXPECT_TRUE(botones.contains("Cancelar")) << botones.join(" | ").toStdString();
    EXPECT_TRUE(columnas.contains("Nombre")) << columnas.join(" | ").toStdString();
    EXPECT_TRUE(columnas.contains(QString::fromUtf8("Tamaño"))) << columnas.join(" | ").toStdString();
    EXPECT_FALSE(columnas.contains("Name")) << columnas.join(" | ").toStdString();
}
