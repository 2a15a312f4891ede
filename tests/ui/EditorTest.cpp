// The definition editor driven as a user would: names new and existing, the
// grouping catalog, the ordering labels, saving, rebuilding, deleting, the
// commands new and cancel, and the lookups of the entry fields.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "EntornoEstadisticas.h"
#include "VentanaPrueba.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "soporte/PuertoGuionado.h"
#include "stats/Carga.h"
#include "ui/UtilNet.h"
#include "ui/frmKv_EstV.h"
#include "util/UtilFormulario.h"

using namespace kv::stats;
using kv::InteraccionGuionada;
using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::EscribirNombre;
using kv::pruebas::GrabarDefinicion;
using kv::pruebas::PuertoGuionado;
using kv::ui::frmKv_EstV;

namespace {

void Marcar(frmKv_EstV& v, const QString& codigo, bool marcar = true) {
    for (int i = 0; i < v.LstGrupos->count(); ++i)
        if (CodigoDeEntrada(v.LstGrupos->item(i)->text()) == codigo)
            v.LstGrupos->item(i)->setCheckState(marcar ? Qt::Checked : Qt::Unchecked);
}

QStringList Marcados(frmKv_EstV& v) {
    QStringList codigos;
    for (int i = 0; i < v.LstGrupos->count(); ++i)
        if (v.LstGrupos->item(i)->checkState() == Qt::Checked)
            codigos << CodigoDeEntrada(v.LstGrupos->item(i)->text());
    return codigos;
}

QStringList Etiquetas(frmKv_EstV& v) {
    QStringList e;
    for (QLabel* l : v.lblOrden) e << l->text();
    return e;
}

// Runs the toolbar command as its button would.
void Orden(frmKv_EstV& v, const QString& clave) { v.Comando(clave); }

int Filas(EntornoEstadisticas& e, const QString& tabla, const QString& donde = QString()) {
    return e
        .Valor("KV_ESTADISTICAS",
               "SELECT COUNT(*) FROM " + tabla + (donde.isEmpty() ? "" : " WHERE " + donde))
        .toInt();
}

bool ExisteTabla(EntornoEstadisticas& e, const QString& tabla) {
    auto esquema = e.Almacen().gCnn.OpenSchema(kv::db::ado::EsquemaTablas);
    while (esquema && !esquema->EOF_()) {
        if (esquema->Valor("TABLE_NAME").toString().compare(tabla, Qt::CaseInsensitive) == 0) return true;
        esquema->MoveNext();
    }
    return false;
}

struct Demo {
    EntornoEstadisticas e;
    Demo() {
        e.LlenarDemo("NORTE", 0, 400, QDate::currentDate());
        e.Almacen();
        e.AgregarEmpresa("NORTE", false);
    }
};

}  // namespace

TEST(Editor, NombreExistenteCargaLaDefinicionEnCadaControl) {
    Demo d;
    {
        // A definition with two groups, two ordering criteria, descending, other totals.
        PuertoGuionado p;
        p.PermitirInesperados();
        Definicion def;
        def.grupos[static_cast<size_t>(IndiceCatalogo("IdVendedor"))] = true;
        def.grupos[static_cast<size_t>(IndiceCatalogo("IdRubro"))] = true;
        MarcarOrden(def.orden, 3, true);
        MarcarOrden(def.orden, 7, true);
        def.ascendente = false;
        def.totales = {false, false, true, false, false, true};
        def.top = "4";
        def.topOtros = "Resto";
        EstadoDefinicion estado;
        estado.nombre = "Rubros";
        estado.modo = ModoGrabacion::Nuevo;
        ASSERT_TRUE(GrabarEstadistica(d.e.Almacen(), def, estado, nullptr));
    }
    PuertoGuionado puerto;
    frmKv_EstV v(d.e.Erp());
    kv::pruebas::Mostrar(v);
    EscribirNombre(v, "  rubros ");
    EXPECT_TRUE(v.Existente());
    EXPECT_FALSE(v.Nuevo());
    EXPECT_FALSE(v.Campo("NOMBRE")->isEnabled());
    EXPECT_EQ(Marcados(v), (QStringList{"IdVendedor", "IdRubro"}));
    EXPECT_EQ(v.lblGrupo[0]->text(), " Grupo 1 (Vendedor)");
    EXPECT_EQ(v.lblGrupo[1]->text(), " Grupo 2 (Rubro)");
    EXPECT_EQ(v.lblGrupo[2]->text(), " Grupo 3 ()");
    EXPECT_EQ(kv::UtilFormulario::Etiqueta(v.Campo("G2DESDE")), "Rubro");
    EXPECT_EQ(v.Campo("grupo1")->maxLength(), 1000);
    EXPECT_EQ(v.CasillaOrden("Grupo1")->text(), "Vendedor");
    EXPECT_EQ(v.CasillaOrden("Grupo2")->text(), "Rubro");
    EXPECT_EQ(Etiquetas(v), (QStringList{"x", "x", "x", "1", "x", "x", "x", "2", "x", "x"}));
    EXPECT_TRUE(v.CasillaOrden("Venta")->isChecked());
    EXPECT_TRUE(v.optDes->isChecked());
    EXPECT_FALSE(v.CasillaTotal("Consumo")->isChecked());
    EXPECT_TRUE(v.CasillaTotal("Venta")->isChecked());
    EXPECT_TRUE(v.CasillaTotal("UtlPesos")->isChecked());
    EXPECT_EQ(v.Campo("top")->text(), "4");
    EXPECT_EQ(v.Campo("topOtros")->text(), "Resto");
    EXPECT_EQ(v.Estado().titulos[1], "Rubro");
    EXPECT_EQ(v.Estado().tabla, "DET_ESTV0000");
    // Edit mode: every field but the name, and the commands that go with it.
    EXPECT_TRUE(v.Campo("FechaD")->isEnabled());
    EXPECT_TRUE(v.cmdCargar->isEnabled());
    EXPECT_TRUE(v.UtilNet1->BorrarEnabled());
    EXPECT_TRUE(v.UtilNet1->GrabarEnabled());
    EXPECT_TRUE(v.UtilNet1->CancelarEnabled());
    EXPECT_FALSE(v.UtilNet1->NuevoEnabled());
    EXPECT_FALSE(v.UtilNet1->CerrarEnabled());
    QApplication::processEvents();  // the toolbar follows on its next update
    EXPECT_FALSE(v.UtilNet1->Accion(1)->isEnabled());
    EXPECT_TRUE(v.UtilNet1->Accion(2)->isEnabled());
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST(Editor, NombreNuevoYNombreVacio) {
    Demo d;
    PuertoGuionado puerto;
    frmKv_EstV v(d.e.Erp());
    kv::pruebas::Mostrar(v);
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    EscribirNombre(v, "   ");
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].texto, "Debe informar un Nombre");
    EXPECT_EQ(puerto->Mensajes()[0].titulo, "Aviso al operador...");
    EXPECT_EQ(puerto->Mensajes()[0].estilo, kv::estilo::Critico);
    EXPECT_TRUE(v.Cancelar());
    EXPECT_FALSE(v.Nuevo());

    EscribirNombre(v, "Nueva");
    EXPECT_TRUE(v.Nuevo());
    EXPECT_FALSE(v.Existente());
    EXPECT_TRUE(v.Campo("NOMBRE")->isEnabled() == false);
    EXPECT_FALSE(v.UtilNet1->BorrarEnabled());
    EXPECT_TRUE(v.UtilNet1->GrabarEnabled());
    // Enter moved the focus on to the next field.
    EXPECT_EQ(QApplication::focusWidget(), v.Campo("FechaD"));
}

TEST(Editor, CuartoGrupoRechazadoYEtiquetasDeOrden) {
    Demo d;
    PuertoGuionado puerto;
    frmKv_EstV v(d.e.Erp());
    EscribirNombre(v, "Nueva");
    Marcar(v, "IdArticulo");
    Marcar(v, "IdVendedor");
    Marcar(v, "Cuenta");
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    Marcar(v, "IdRubro");
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].texto,
              QString::fromUtf8("No se pueden seleccionar más de tres grupos para la estadística"));
    EXPECT_EQ(puerto->Mensajes()[0].titulo, "Aviso al Usuario");
    EXPECT_EQ(puerto->Mensajes()[0].estilo, kv::estilo::Informacion);
    EXPECT_EQ(Marcados(v), (QStringList{"IdArticulo", "IdVendedor", "Cuenta"}));
    // Unticking needs no check.
    Marcar(v, "IdVendedor", false);
    EXPECT_EQ(Marcados(v), (QStringList{"IdArticulo", "Cuenta"}));

    // Ordering: A, B, C get 1, 2, 3; unticking B closes the gap; D goes last.
    QTest::mouseClick(v.CasillaOrden("Consumo"), Qt::LeftButton);
    v.CasillaOrden("Venta")->click();
    v.CasillaOrden("Grupo1")->click();
    EXPECT_EQ(Etiquetas(v), (QStringList{"x", "1", "x", "2", "x", "x", "x", "3", "x", "x"}));
    v.CasillaOrden("Venta")->click();
    EXPECT_EQ(Etiquetas(v), (QStringList{"x", "1", "x", "x", "x", "x", "x", "2", "x", "x"}));
    v.CasillaOrden("UtlVtaPesos")->click();
    EXPECT_EQ(Etiquetas(v), (QStringList{"x", "1", "x", "x", "x", "x", "3", "2", "x", "x"}));
}

TEST(Editor, GrabarNuevaReconstruyeYSeCargaConF9) {
    Demo d;
    PuertoGuionado puerto;
    puerto.PermitirPendientes();
    frmKv_EstV v(d.e.Erp());
    kv::pruebas::Mostrar(v);
    EscribirNombre(v, "Dos grupos");
    Marcar(v, "IdVendedor");
    Marcar(v, "IdRubro");
    v.CasillaOrden("Venta")->click();
    v.optDes->setChecked(true);
    v.CasillaTotal("UtlPesos")->setChecked(true);
    v.Campo("TOP")->setText("3");
    v.Campo("TOPOtros")->setText("Los demás");
    QTest::keyClick(v.Campo("FechaD"), Qt::Key_F2);  // GRABAR through the toolbar's key
    EXPECT_FALSE(v.Cancelar());
    // Saved, rebuilt, and the window back to an empty definition.
    EXPECT_EQ(d.e.Valor("KV_ESTADISTICAS", "SELECT TABLA FROM CAB_ESTV WHERE NOMBRE='Dos grupos'").toString(),
              "DET_ESTV0000");
    EXPECT_EQ(
        d.e.Valor("KV_ESTADISTICAS", "SELECT CAMPOS FROM CAB_ESTV WHERE NOMBRE='Dos grupos'").toString(),
        "IdVendedor,IdRubro,' '");
    EXPECT_EQ(d.e.Valor("KV_ESTADISTICAS", "SELECT ORDEN FROM CAB_ESTV WHERE NOMBRE='Dos grupos'").toString(),
              "0x|0x|0x|11|0x|0x|0x|0x|0x|0x|D");
    EXPECT_EQ(d.e.Valor("KV_ESTADISTICAS", "SELECT TOTALIZADORES FROM CAB_ESTV").toString(), "111001");
    EXPECT_GT(Filas(d.e, "DET_ESTV0000", "Base='NORTE'"), 0);
    EXPECT_EQ(Filas(d.e, "DET_ESTV0000", "Grupo2=' '"), 0);
    // The reset keeps the name's text; the name field is open again.
    EXPECT_FALSE(v.Existente());
    EXPECT_TRUE(v.Campo("NOMBRE")->isEnabled());
    EXPECT_FALSE(v.Campo("FechaD")->isEnabled());
    const auto progreso = puerto->Llamadas(InteraccionGuionada::Tipo::ProgresoActualizar);
    ASSERT_FALSE(progreso.isEmpty());
    EXPECT_EQ(progreso[0].titulo, QString::fromUtf8("Actualizando Estadísticas"));
    EXPECT_EQ(progreso[1].progreso, "NORTE");

    // Loaded again with F9: the chart holds what the engine computes from the same controls.
    EscribirNombre(v, "Dos grupos");
    EXPECT_TRUE(v.Existente());
    ModeloGrafico esperado;
    kv::db::Recordset grilla;
    CargarEstadistica(v.ConexionAlmacen(), v.EntradaDeControles(), esperado, grilla);
    v.ConexionAlmacen().CierraRecordset(grilla);
    QTest::keyClick(v.Campo("TOP"), Qt::Key_F9);
    ASSERT_EQ(v.Grafico().Filas(), 4);
    EXPECT_EQ(v.Grafico().etiquetas, esperado.etiquetas);
    EXPECT_EQ(v.Grafico().valores, esperado.valores);
    EXPECT_EQ(v.Grafico().etiquetas.last(), QString::fromUtf8("Los demás"));
    EXPECT_EQ(v.Grafico().columnas.size(), 4);
    // Descendente: sales are stored negative, the biggest is the lowest sum.
    EXPECT_TRUE(v.UltimaCarga().consultaGrafico.contains(" ORDER BY ValorVenta ASC"));
}

TEST(Editor, CambiarLosGruposReconstruyeYUnGrabadoRechazadoConservaTodo) {
    Demo d;
    GrabarDefinicion(d.e, "Vendedores", {"IdVendedor"});
    ASSERT_EQ(Filas(d.e, "DET_ESTV0000", "Grupo2<>' '"), 0);
    PuertoGuionado puerto;
    puerto.PermitirPendientes();
    frmKv_EstV v(d.e.Erp());
    kv::pruebas::Mostrar(v);
    EscribirNombre(v, "Vendedores");
    ASSERT_TRUE(v.Existente());

    // A refused save (no group) keeps everything typed.
    Marcar(v, "IdVendedor", false);
    v.Campo("FechaD")->setText("1/2020");
    v.Campo("TOP")->setText("7");
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    Orden(v, "grabar");
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].texto,
              QString::fromUtf8("Debe seleccionar como mínimo un campo de agrupación"));
    EXPECT_TRUE(v.Cancelar());
    EXPECT_EQ(v.Campo("NOMBRE")->text(), "Vendedores");
    EXPECT_EQ(v.Campo("FechaD")->text(), "1/2020");
    EXPECT_EQ(v.Campo("TOP")->text(), "7");
    EXPECT_TRUE(v.Existente());

    // The grouping changed: the table is rebuilt with the second level.
    Marcar(v, "IdVendedor");
    Marcar(v, "IdArticulo");
    Orden(v, "GRABAR");
    EXPECT_FALSE(v.Cancelar());
    EXPECT_EQ(d.e.Valor("KV_ESTADISTICAS", "SELECT CAMPOS FROM CAB_ESTV").toString(),
              "IdArticulo,IdVendedor,' '");
    EXPECT_EQ(d.e.Valor("KV_ESTADISTICAS", "SELECT [TOP] FROM CAB_ESTV").toInt(), 7);
    EXPECT_GT(Filas(d.e, "DET_ESTV0000", "Grupo2<>' '"), 0);
    EXPECT_EQ(Filas(d.e, "CAB_ESTV"), 1);

    // Saved again unchanged: no rebuild.
    EscribirNombre(v, "vendedores");
    puerto->Olvidar();
    Orden(v, "GRABAR");
    EXPECT_TRUE(puerto->Llamadas(InteraccionGuionada::Tipo::ProgresoIniciar).isEmpty());
}

TEST(Editor, BorrarNuevoYCancelar) {
    Demo d;
    GrabarDefinicion(d.e, "Vendedores", {"IdVendedor"});
    PuertoGuionado puerto;
    frmKv_EstV v(d.e.Erp());
    kv::pruebas::Mostrar(v);
    EscribirNombre(v, "Vendedores");
    // Cancel asks, and No keeps the definition open.
    puerto->ResponderMensaje(kv::respuesta::No);
    QTest::keyClick(v.Campo("TOP"), Qt::Key_Escape);
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].texto, QString::fromUtf8("¿Está seguro de Cancelar la carga de datos?"));
    EXPECT_EQ(puerto->Mensajes()[0].titulo, "Atención!!!");
    EXPECT_EQ(puerto->Mensajes()[0].estilo,
              kv::estilo::SiNo + kv::estilo::Exclamacion + kv::estilo::SegundoBoton);
    EXPECT_TRUE(v.Existente());
    // Yes resets.
    puerto->ResponderMensaje(kv::respuesta::Si);
    Orden(v, "CANCELAR");
    EXPECT_FALSE(v.Existente());
    EXPECT_TRUE(v.Campo("NOMBRE")->isEnabled());
    EXPECT_EQ(v.Campo("TOP")->text(), "10");

    // Delete: no question; the row and its table go.
    EscribirNombre(v, "Vendedores");
    QTest::keyClick(v.Campo("TOP"), Qt::Key_F10);
    EXPECT_EQ(puerto->Mensajes().size(), 2);
    EXPECT_EQ(Filas(d.e, "CAB_ESTV"), 0);
    EXPECT_FALSE(ExisteTabla(d.e, "DET_ESTV0000"));
    EXPECT_TRUE(v.Campo("NOMBRE")->isEnabled());

    // New resets too, and the sheet command asks where to write the spreadsheet (cancelled here).
    EscribirNombre(v, "Otra");
    v.Campo("TOP")->setText("5");
    Orden(v, "nuevo");
    EXPECT_EQ(v.Campo("TOP")->text(), "10");
    EXPECT_FALSE(v.Nuevo());
    puerto->ResponderArchivo(QString());
    Orden(v, "PLANILLA");
    EXPECT_EQ(puerto->Mensajes().size(), 2);
    const auto archivos = puerto->Llamadas(kv::InteraccionGuionada::Tipo::Archivo);
    ASSERT_EQ(archivos.size(), 1);
    EXPECT_EQ(archivos[0].titulo, "Guardar planilla");
    EXPECT_EQ(archivos[0].texto, QString::fromUtf8("Planilla de cálculo|*.xlsx"));
    EXPECT_TRUE(puerto->Llamadas(kv::InteraccionGuionada::Tipo::Documento).isEmpty());
}

TEST(Editor, CamposDeMesYConsultas) {
    Demo d;
    GrabarDefinicion(d.e, "Vendedores", {"IdVendedor"});
    GrabarDefinicion(d.e, "Fechas", {"Fecha", "IdArticulo"});
    PuertoGuionado puerto;
    frmKv_EstV v(d.e.Erp());
    kv::pruebas::Mostrar(v);
    EscribirNombre(v, "Nueva");
    // "/" after two characters; a backspace at two adds nothing.
    QLineEdit* desde = v.Campo("FechaD");
    desde->setFocus();
    QTest::keyClicks(desde, "032");
    EXPECT_EQ(desde->text(), "03/2");
    QLineEdit* hasta = v.Campo("FechaH");
    hasta->setFocus();
    QTest::keyClicks(hasta, "12");
    QTest::keyClick(hasta, Qt::Key_Backspace);
    EXPECT_EQ(hasta->text(), "1");
    // The focused field's colour.
    EXPECT_EQ(hasta->styleSheet(), "QLineEdit { background-color: rgb(0, 255, 255); }");
    EXPECT_EQ(desde->styleSheet(), "QLineEdit { background-color: rgb(255, 255, 255); }");
    EXPECT_EQ(hasta->grab().toImage().pixelColor(hasta->width() - 4, hasta->height() / 2),
              QColor(0, 255, 255));

    // Month lookup: the date picker, month and year taken from its fourth character.
    puerto->ResponderFecha("15/04/2024");
    QTest::mouseClick(desde, Qt::RightButton);
    EXPECT_EQ(desde->text(), "04/2024");
    ASSERT_EQ(puerto->Llamadas(InteraccionGuionada::Tipo::Fecha).size(), 1);

    // Name lookup: the program-wide connection points at the store for the search only.
    Orden(v, "NUEVO");
    QString baseDurante;
    kv::ui::PeticionConsulta pedida;
    v.EstablecerConsultor([&](const kv::ui::PeticionConsulta& p) -> std::optional<kv::ui::RespuestaConsulta> {
        pedida = p;
        baseDurante = kv::db::DB_Dll::Principal().gCnn.DefaultDatabase();
        kv::ui::RespuestaConsulta r;
        r.valor = "Vendedores  ";
        return r;
    });
    v.Campo("NOMBRE")->setFocus();
    QTest::keyClick(v.Campo("NOMBRE"), Qt::Key_F5);
    EXPECT_EQ(pedida.fuente, "SELECT NOMBRE FROM CAB_ESTV ORDER BY NOMBRE");
    EXPECT_EQ(pedida.campoDevuelto, "NOMBRE");
    EXPECT_FALSE(pedida.multiple);
    EXPECT_EQ(baseDurante.toUpper(), "KV_ESTADISTICAS");
    EXPECT_EQ(kv::db::DB_Dll::Principal().gDBName, "NORTE");
    EXPECT_EQ(kv::db::DB_Dll::Principal().gCnn.DefaultDatabase().toUpper(), "NORTE");
    EXPECT_EQ(v.Campo("NOMBRE")->text(), "Vendedores");
    EXPECT_TRUE(v.Existente());  // the simulated Enter loaded it

    // Catalog lookups: several values joined for the selective field, one for a range field.
    v.EstablecerConsultor([&](const kv::ui::PeticionConsulta& p) -> std::optional<kv::ui::RespuestaConsulta> {
        pedida = p;
        kv::ui::RespuestaConsulta r;
        r.valor = " V02 ";
        r.valores = {" V01", "V03 ", "V07"};
        return r;
    });
    QLineEdit* selectivo = v.Campo("Grupo1");
    QTest::mouseClick(selectivo, Qt::RightButton);
    EXPECT_EQ(pedida.fuente, "V_TA_VENDEDORES");
    EXPECT_EQ(pedida.campoDevuelto, "IDVENDEDOR");
    EXPECT_TRUE(pedida.multiple);
    EXPECT_EQ(selectivo->text(), "V01,V03,V07");
    QLineEdit* rango = v.Campo("G1Hasta");
    QTest::mouseClick(rango, Qt::RightButton);
    EXPECT_FALSE(pedida.multiple);
    EXPECT_EQ(rango->text(), "V02");
    // A field without a tag has no lookup, and the toolbar's command is off there.
    v.Campo("TOP")->setFocus();
    EXPECT_FALSE(v.UtilNet1->ConsultaEnabled());
    pedida = {};
    QTest::mouseClick(v.Campo("TOP"), Qt::RightButton);
    EXPECT_TRUE(pedida.fuente.isEmpty());

    // A level bound to "Fecha": its three fields take 8 characters and the date picker.
    Orden(v, "NUEVO");
    EscribirNombre(v, "Fechas");
    EXPECT_EQ(v.Campo("GRUPO1")->maxLength(), 8);
    EXPECT_EQ(v.Campo("G2Desde")->maxLength(), 1000);
    puerto->ResponderFecha("01/11/2023");
    QTest::mouseClick(v.Campo("G1Desde"), Qt::RightButton);
    EXPECT_EQ(v.Campo("G1Desde")->text(), "11/2023");
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}
