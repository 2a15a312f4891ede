// The list lookup on the demo company, driven through its real widgets: local
// search, single pick, ticks, the quantity keys, the server search with
// hostile text, the widths file and the missing-stock report.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "EntornoConsultas.h"
#include "lookup/ArchivosConsulta.h"
#include "lookup/Lib_ClsCons3.h"
#include "lookup/Lib_FrmCons3.h"
#include "lookup/ModeloConsulta.h"
#include "soporte/PuertoGuionado.h"
#include "util/UtilRutas.h"

using kv::lookup::Lib_ClsCons3;
using kv::lookup::Lib_FrmCons3;
using kv::pruebas::AlAbrir;
using kv::pruebas::EntornoConsultas;
using kv::pruebas::PuertoGuionado;

namespace {
QString TextoFila(Lib_FrmCons3* v, int columna) {
    return v->Modelo()->Texto(v->Lista()->currentIndex().row(), columna);
}

void Escribir(Lib_FrmCons3* v, int caja, const QString& texto) {
    QLineEdit* linea = v->CajasBusqueda().at(caja)->lineEdit();
    linea->setFocus();
    QTest::keyClicks(linea, texto);
}

void Vendedor(EntornoConsultas& e, const QString& id, const QString& nombre) {
    e.Ejecutar("INSERT INTO TA_VENDEDORES (IdVendedor, Nombre, Dada_De_Baja) VALUES ('" + id + "', '" +
               QString(nombre).replace("'", "''") + "', 0)");
}
}  // namespace

TEST(Lista, LaBusquedaLocalEligeLaFilaYEnterDevuelveSuCodigo) {
    EntornoConsultas e;
    Vendedor(e, "V900", "Zoilo Zapata");
    PuertoGuionado puerto;
    Lib_ClsCons3& consulta = Lib_ClsCons3::Compartida();
    QString visto;
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
        EXPECT_EQ(v->windowTitle(), "Consulta...");
        EXPECT_EQ(v->findChild<QLabel*>("Label1")->text(), "CONSULTA");
        ASSERT_EQ(v->CajasBusqueda().size(), 2);
        EXPECT_EQ(v->CajasBusqueda()[0]->toolTip(), "F5 realiza nueva busqueda");
        EXPECT_EQ(v->Modelo()->headerData(0, Qt::Horizontal).toString(), "NOMBRE");
        EXPECT_EQ(v->findChild<QPushButton*>("CmdNueva")->text(), "&Nueva Busqueda");
        EXPECT_EQ(v->findChild<QPushButton*>("CmdNuevo")->text(), "N&uevo");
        EXPECT_EQ(v->findChild<QPushButton*>("CmdTodos")->text(), "&Marcar");
        Escribir(v, 0, "zoi");
        visto = TextoFila(v, 0);
        QTest::keyClick(v->Lista(), Qt::Key_Return);
    });
    consulta.CampoDevuelto = "IDVENDEDOR";
    consulta.ConsultaSearch("V_TA_VENDEDORES");
    EXPECT_EQ(visto, "Zoilo Zapata");
    EXPECT_EQ(consulta.ValorDevuelto, "V900");
    EXPECT_TRUE(consulta.CampoDevuelto.isEmpty());
    EXPECT_FALSE(consulta.Checks);
}

TEST(Lista, LasMarcasDevuelvenLosCodigosYCancelarNoDevuelveNada) {
    EntornoConsultas e;
    PuertoGuionado puerto;
    Lib_ClsCons3& consulta = Lib_ClsCons3::Compartida();
    QStringList esperados;
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
        QTreeView* lista = v->Lista();
        lista->setFocus();
        for (const int fila : {0, 2}) {
            lista->setCurrentIndex(v->Modelo()->index(fila, 0));
            QTest::keyClick(lista, Qt::Key_Space);
            esperados << v->Modelo()->Texto(fila, 1);
        }
        EXPECT_TRUE(v->Modelo()->Marcada(0));
        EXPECT_FALSE(v->Modelo()->Marcada(1));
        v->findChild<QPushButton*>("CmdAceptar")->click();
    });
    consulta.CampoDevuelto = "IDVENDEDOR";
    consulta.Checks = true;
    consulta.ConsultaSearch("V_TA_VENDEDORES");
    EXPECT_EQ(consulta.Valores, esperados);
    EXPECT_FALSE(consulta.Checks);

    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
        v->Lista()->setCurrentIndex(v->Modelo()->index(1, 0));
        v->findChild<QPushButton*>("CmdCancelar")->click();
    });
    consulta.CampoDevuelto = "IDVENDEDOR";
    consulta.ConsultaSearch("V_TA_VENDEDORES");
    EXPECT_TRUE(consulta.ValorDevuelto.isEmpty());
    EXPECT_TRUE(consulta.Valores.isEmpty());
}

TEST(Lista, ElF5ConTextoHostilSoloBuscaYNoCambiaNada) {
    EntornoConsultas e;
    Vendedor(e, "V901", "O'Brien [50%]_x");
    Vendedor(e, "V902", "OBrien");
    Vendedor(e, "V903", "Ana'); DELETE FROM TA_VENDEDORES; --");
    const int antes = e.Valor("SELECT COUNT(*) FROM TA_VENDEDORES").toInt();
    PuertoGuionado puerto;
    struct Busqueda {
        QString texto;
        QStringList filas;
        bool comprobarFilas = true;
    };
    const QList<Busqueda> busquedas = {
        {"O'Brien", {"O'Brien [50%]_x"}},
        {"O*Brien", {"O'Brien [50%]_x", "OBrien"}},  // "*" is the list's wildcard
        {"O%Brien", {"O'Brien [50%]_x", "OBrien"}},  // a typed LIKE wildcard stays one
        {"O_Brien", {"O'Brien [50%]_x"}},
        {"Ana'); DELETE", {"Ana'); DELETE FROM TA_VENDEDORES; --"}},
        {"O'Brien [", {}, false},  // which rows an open bracket matches is the server's business
    };
    QStringList sentencias;
    QList<QStringList> vistas;
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
        for (const Busqueda& b : busquedas) {
            Escribir(v, 0, b.texto);
            QTest::keyClick(v->CajasBusqueda()[0]->lineEdit(), Qt::Key_F5);
            EXPECT_TRUE(v->CajasBusqueda()[0]->currentText().isEmpty());
            sentencias << v->SentenciaActual();
            QStringList filas;
            for (int f = 0; f < v->Modelo()->Filas(); ++f) filas << v->Modelo()->Texto(f, 0);
            vistas << filas;
            v->NuevaBusqueda();
        }
        v->findChild<QPushButton*>("CmdCancelar")->click();
    });
    Lib_ClsCons3::Compartida().ConsultaSearch("V_TA_VENDEDORES");
    ASSERT_EQ(vistas.size(), busquedas.size());
    for (int i = 0; i < busquedas.size(); ++i) {
        if (busquedas[i].comprobarFilas) {
            EXPECT_EQ(vistas[i], busquedas[i].filas) << i;
        }
    }
    EXPECT_EQ(sentencias[0],
              "SELECT TOP 1000 NOMBRE,IDVENDEDOR FROM V_TA_VENDEDORES  with(nolock)   where NOMBRE like "
              "'O''Brien%' ORDER BY NOMBRE ");
    EXPECT_EQ(sentencias[1],
              "SELECT TOP 1000 NOMBRE,IDVENDEDOR FROM V_TA_VENDEDORES  with(nolock)   where NOMBRE like "
              "'O%Brien%' ORDER BY NOMBRE ");
    EXPECT_TRUE(puerto->Llamadas().isEmpty()) << "no error dialog";
    EXPECT_EQ(e.Valor("SELECT COUNT(*) FROM TA_VENDEDORES").toInt(), antes);
}

TEST(Lista, ConBusquedaLikeLosBlancosSeparanPalabras) {
    EntornoConsultas e;
    e.Configurar("UsaConsultaLike", "SI");
    Vendedor(e, "V904", "Pedro Gomez Alvarez");
    Vendedor(e, "V905", "Alvarez Gomez");
    PuertoGuionado puerto;
    QStringList filas;
    QString sentencia;
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
        Escribir(v, 0, "gomez alv");
        QTest::keyClick(v->CajasBusqueda()[0]->lineEdit(), Qt::Key_F5);
        sentencia = v->SentenciaActual();
        for (int f = 0; f < v->Modelo()->Filas(); ++f) filas << v->Modelo()->Texto(f, 0);
        v->findChild<QPushButton*>("CmdCancelar")->click();
    });
    Lib_ClsCons3::Compartida().ConsultaSearch("V_TA_VENDEDORES");
    EXPECT_EQ(sentencia,
              "SELECT TOP 1000 NOMBRE,IDVENDEDOR FROM V_TA_VENDEDORES  with(nolock)   where NOMBRE like "
              "'%gomez%alv%' ORDER BY NOMBRE ");
    EXPECT_EQ(filas, QStringList{"Pedro Gomez Alvarez"});
}

TEST(Lista, LasTeclasDeCantidadEscribenLaColumnaYMarcanLaFila) {
    EntornoConsultas e;
    PuertoGuionado puerto;
    puerto->ResponderEntrada("5");
    Lib_ClsCons3& consulta = Lib_ClsCons3::Compartida();
    QStringList textos;
    QList<bool> marcas;
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
        QTreeView* lista = v->Lista();
        lista->setFocus();
        lista->setCurrentIndex(v->Modelo()->index(0, 0));
        const int c = v->IndiceColumna(" **cantidad** ") - 1;
        ASSERT_EQ(c, 2);
        const auto anotar = [&] {
            textos << v->Modelo()->Texto(0, c);
            marcas << v->Modelo()->Marcada(0);
        };
        QTest::keyClick(lista, Qt::Key_Insert);
        anotar();
        QTest::keyClick(lista, Qt::Key_Insert);
        anotar();
        QTest::keyClick(lista, Qt::Key_Delete);
        anotar();
        QTest::keyClick(lista, Qt::Key_Delete);
        anotar();
        QTest::keyClick(lista, Qt::Key_Insert, Qt::ShiftModifier);
        anotar();
        v->findChild<QPushButton*>("CmdCancelar")->click();
    });
    consulta.Checks = true;
    consulta.UsaCantidades = true;
    consulta.CampoDevuelto = "IdArticulo";
    consulta.ConsultaSearch("SELECT TOP 20 IdArticulo, Descripcion, 0 AS [**Cantidad**] FROM V_MA_ARTICULOS");
    EXPECT_EQ(textos, (QStringList{"1.0", "2.0", "1.0", "0.00", "5.00"}));
    EXPECT_EQ(marcas, (QList<bool>{true, true, true, false, true}));
    const auto entradas = puerto->Llamadas(kv::InteraccionGuionada::Tipo::Entrada);
    ASSERT_EQ(entradas.size(), 1);
    EXPECT_EQ(entradas[0].texto, "Ingrese la Cantidad del Articulo...");
    EXPECT_EQ(entradas[0].titulo, "Carga de Datos");
}

TEST(Lista, LosAnchosSeGuardanEnUnPasoYSeLeenAlAbrir) {
    EntornoConsultas e;
    PuertoGuionado puerto;
    const QString ruta = e.carpetas().aplicacion() + "CONSULTASLEN.KRV";
    {
        QFile previo(ruta);
        ASSERT_TRUE(previo.open(QIODevice::WriteOnly));
        previo.write(
            "\"VT_CLIENTES\",\" 3000| 1500|\"\r\nbasura sin comillas\r\n\"V_TA_VENDEDORES\",\" 10|\"\r\n");
    }
    {
        Lib_FrmCons3 v;
        v.SQL = "SELECT TOP 1000 NOMBRE,IDVENDEDOR FROM V_TA_VENDEDORES  with(nolock)  ORDER BY NOMBRE";
        v.GrabarCfg = true;
        v.Cargar();
        v.Lista()->header()->resizeSection(0, kv::lookup::TwipsAPixeles(2880, &v));
        v.Lista()->header()->resizeSection(1, kv::lookup::TwipsAPixeles(1440, &v));
        v.Descargar();
    }
    QFile archivo(ruta);
    ASSERT_TRUE(archivo.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLatin1(archivo.readAll()),
              "\"VT_CLIENTES\",\" 3000| 1500|\"\r\n\"V_TA_VENDEDORES\",\" 2880| 1440|\"\r\n");
    EXPECT_FALSE(QFile::exists(e.carpetas().aplicacion() + "CONSULTASLEN.AUX"));

    Lib_FrmCons3 otra;
    otra.SQL = "SELECT TOP 1000 NOMBRE,IDVENDEDOR FROM V_TA_VENDEDORES  with(nolock)  ORDER BY NOMBRE";
    otra.Cargar();
    EXPECT_EQ(otra.Lista()->header()->sectionSize(0), kv::lookup::TwipsAPixeles(2880, &otra));
    EXPECT_EQ(otra.AnchosTwips(), (QList<double>{2880, 1440}));
    EXPECT_EQ(otra.CajasBusqueda()[1]->width(), otra.Lista()->header()->sectionSize(1));
}

TEST(Lista, F12InformaElFaltanteDelArticuloElegido) {
    EntornoConsultas e;
    PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Si);
    // First in the list, with an apostrophe in its description.
    const QString id = e.InformarFaltanteConF12(QString::fromUtf8("0 Té D'Alba"));
    const auto mensajes = puerto->Mensajes();
    ASSERT_EQ(mensajes.size(), 1);
    EXPECT_EQ(mensajes[0].texto, "Desea informar el articulo " + id +
                                     QString::fromUtf8(" 0 Té D'Alba\r\ncomo un faltante de stock?"));
    EXPECT_EQ(mensajes[0].titulo, QString::fromUtf8("Atención!"));
    EXPECT_EQ(mensajes[0].estilo, 36);
    const auto filas = e.Filas("SELECT IdArticulo, Descripcion, Usuario FROM V_MV_FALTANTES");
    ASSERT_EQ(filas.size(), 1u);
    EXPECT_EQ(filas[0][0].toString(), id);
    EXPECT_EQ(filas[0][1].toString(), QString::fromUtf8("0 Té D'Alba"));
    EXPECT_EQ(filas[0][2].toString(), "Korvane");
}

TEST(Lista, OpcionesConMarcasYMenu) {
    EntornoConsultas e;
    PuertoGuionado puerto;
    Lib_ClsCons3& consulta = Lib_ClsCons3::Compartida();
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
        EXPECT_EQ(v->windowTitle(), "Meses");
        EXPECT_FALSE(v->findChild<QPushButton*>("CmdNueva")->isVisible());
        EXPECT_EQ(v->Modelo()->headerData(0, Qt::Horizontal).toString(), "Meses");
        EXPECT_TRUE(v->Modelo()->Marcada(0));
        EXPECT_FALSE(v->Modelo()->Marcada(1));
        v->findChild<QPushButton*>("CmdTodos")->click();  // inverts every tick
        v->findChild<QPushButton*>("CmdAceptar")->click();
    });
    consulta.CheckOpciones("Meses", nullptr, {"1Enero", "0Febrero", "1Marzo"});
    EXPECT_EQ(consulta.Valores, QStringList{"Febrero"});

    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
        Escribir(v, 0, "ab");  // prefix, letter case ignored: "Abc", not "xab"
        QTest::keyClick(v->Lista(), Qt::Key_Return);
    });
    consulta.MenuOpciones("Letras", nullptr, {"xab", "Abc"});
    EXPECT_EQ(consulta.ValorDevuelto, "Abc");

    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    consulta.ConsultaDesdeArchivo("Tareas", e.carpetas().aplicacion() + "NOESTA.TXT", ",");
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].texto, "No existe el archivo " + e.carpetas().aplicacion() +
                                               "NOESTA.TXT que desea consultar consulta ");
}

TEST(Lista, ElEncabezadoOrdenaYOtroClicInvierte) {
    EntornoConsultas e;
    PuertoGuionado puerto;
    QStringList primeras;
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
        QHeaderView* h = v->Lista()->header();
        const int filas = v->Modelo()->Filas();
        const auto clic = [&](int columna) {
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                              QPoint(h->sectionViewportPosition(columna) + 5, 5));
            primeras << v->Modelo()->Texto(0, 1) + "|" + v->Modelo()->Texto(filas - 1, 1);
        };
        clic(1);
        clic(1);
        v->findChild<QPushButton*>("CmdCancelar")->click();
    });
    Lib_ClsCons3::Compartida().ConsultaSearch("V_TA_VENDEDORES");
    ASSERT_EQ(primeras.size(), 2);
    const QStringList asc = primeras[0].split('|'), des = primeras[1].split('|');
    EXPECT_LT(asc[0], asc[1]);
    EXPECT_EQ(des[0], asc[1]);
    EXPECT_EQ(des[1], asc[0]);
}

TEST(Lista, UnaTablaQueNoExisteAvisaYMuestraLaListaVacia) {
    EntornoConsultas e;
    PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Anular);
    int filas = -1;
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
        filas = v->Modelo()->Filas();
        v->findChild<QPushButton*>("CmdCancelar")->click();
    });
    Lib_ClsCons3& consulta = Lib_ClsCons3::Compartida();
    consulta.CampoDevuelto = "CODIGO";
    consulta.ConsultaSearch("NO_EXISTE");
    EXPECT_EQ(filas, 0);
    EXPECT_TRUE(consulta.ValorDevuelto.isEmpty());
    // The server's refusal, once, through the database object's own error routine.
    const auto mensajes = puerto->Mensajes();
    ASSERT_EQ(mensajes.size(), 1);
    EXPECT_TRUE(mensajes[0].texto.contains("'NO_EXISTE'")) << mensajes[0].texto.toStdString();
    EXPECT_TRUE(mensajes[0].titulo.contains("AbrirRecordset")) << mensajes[0].titulo.toStdString();
}
