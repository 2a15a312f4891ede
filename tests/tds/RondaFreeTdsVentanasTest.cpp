// The viewer's windows over Debian's FreeTDS ODBC driver against the endpoint,
// and the same steps on the direct path to the embedded server: the company
// dialog adding and removing the current company (with the rebuilds it runs),
// and the lookups on the demo company (their statements, the codes and names
// they show, the stock colours, a server search and the picked code). What each
// side sees, what it leaves in the store and its SQL trace must be the same.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeView>

#include "EndpointPrueba.h"
#include "EntornoConsultas.h"
#include "EntornoEstadisticas.h"
#include "VentanaPrueba.h"
#include "db/DB_Dll.h"
#include "db/TrazaSQL.h"
#include "lookup/Lib_ClsCons3.h"
#include "lookup/Lib_FrmCons3.h"
#include "lookup/ModeloConsulta.h"
#include "soporte/PuertoGuionado.h"
#include "soporte/VariableEntorno.h"
#include "soporte/VentanaModal.h"
#include "ui/FrmEstCfgEmp.h"
#include "ui/frmKv_EstV.h"

using kv::InteraccionGuionada;
using kv::lookup::Lib_ClsCons3;
using kv::lookup::Lib_FrmCons3;
using kv::pruebas::AlAbrir;
using kv::pruebas::EndpointEnProceso;
using kv::pruebas::EntornoConsultas;
using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::PuertoGuionado;
using kv::ui::FrmEstCfgEmp;
using kv::ui::frmKv_EstV;

namespace {

const QString kDirecto = QStringLiteral("EMBEBIDO");

// What one side saw, one observation a line, and its trace.
struct Recorrido {
    QStringList vistas;
    QString traza;
};

// ---------------------------------------------------------------- the company dialog

FrmEstCfgEmp* AbrirEmpresas(frmKv_EstV& v) {
    QAction* empresa = v.Toolbar2->findChild<QAction*>(QStringLiteral("Empresa"));
    if (!empresa) empresa = v.findChild<QAction*>(QStringLiteral("Empresa"));
    if (!empresa) return nullptr;
    empresa->trigger();
    for (FrmEstCfgEmp* d : v.findChildren<FrmEstCfgEmp*>())
        if (d->isVisible()) return d;
    return nullptr;
}

QString ListaEmpresas(frmKv_EstV& v) {
    QStringList lista;
    for (int i = 0; i < v.lstEmp->count(); ++i)
        lista << v.lstEmp->item(i)->text() + (v.lstEmp->item(i)->checkState() == Qt::Checked ? "*" : "");
    return lista.join(u',');
}

QString Dialogo(const FrmEstCfgEmp& d) {
    return QStringLiteral("dialogo: %1 | %2 | %3 | quitar %4 | %5")
        .arg(d.windowTitle(), d.lblInfo->text(), d.cmdAgregar->text())
        .arg(d.cmdQuitar->isEnabled() ? 1 : 0)
        .arg(d.chkCompartida->isChecked() ? 1 : 0);
}

QString Almacen(EntornoEstadisticas& e) {
    QStringList partes;
    for (const auto& fila :
         e.Filas("KV_ESTADISTICAS", "SELECT BASE, COMPARTIDA FROM MA_EMPRESAS ORDER BY BASE"))
        partes << fila[0].toString().trimmed() + u'=' + fila[1].toString();
    for (const auto& fila :
         e.Filas("KV_ESTADISTICAS", "SELECT Base, COUNT(*) FROM DET_ESTV0000 GROUP BY Base ORDER BY Base"))
        partes << fila[0].toString().trimmed() + u':' + fila[1].toString();
    return QStringLiteral("almacen: ") + partes.join(u' ');
}

QStringList Progreso(PuertoGuionado& puerto) {
    QStringList lineas;
    for (const auto& l : puerto->Llamadas(InteraccionGuionada::Tipo::ProgresoIniciar))
        lineas << QStringLiteral("progreso: %1 estilo %2").arg(l.titulo).arg(l.estilo);
    for (const auto& l : puerto->Llamadas(InteraccionGuionada::Tipo::ProgresoActualizar))
        lineas << QStringLiteral("avance: %1 | %2").arg(l.mensaje, l.progreso);
    for (const auto& m : puerto->Mensajes())
        lineas << QStringLiteral("mensaje: %1 | %2").arg(m.titulo, m.texto);
    puerto->Olvidar();
    return lineas;
}

// SUR, where the viewer runs, is added, made not shared, and removed; NORTE is
// in the statistic from the start.
Recorrido RondaEmpresas(const QString& servidor) {
    Recorrido r;
    QTemporaryDir carpetaTraza;
    const QString traza = carpetaTraza.path() + QStringLiteral("/traza.jsonl");
    EntornoEstadisticas e({"SUR", "NORTE"}, servidor);
    e.LlenarDemo("SUR", 1, 300, QDate(2026, 6, 1));
    e.LlenarDemo("NORTE", 0, 300, QDate(2026, 6, 1));
    kv::pruebas::VariableEntorno variable(kv::db::kVariableTrazaSQL, traza);
    // Start-up: the store made by the viewer, and a statistic saved and rebuilt in each company listed.
    e.Almacen();
    e.AgregarEmpresa("NORTE", true);
    kv::pruebas::GrabarDefinicion(e, QString::fromUtf8("Artículos"), {"IdArticulo"});
    r.vistas << Almacen(e);

    PuertoGuionado puerto;
    frmKv_EstV v(e.Erp());
    kv::pruebas::Mostrar(v);
    r.vistas << QStringLiteral("empresas: ") + ListaEmpresas(v);

    FrmEstCfgEmp* dialogo = AbrirEmpresas(v);
    if (!dialogo) {
        ADD_FAILURE() << "no se abrió la configuración de empresas";
        return r;
    }
    r.vistas << Dialogo(*dialogo);
    dialogo->chkCompartida->setChecked(true);
    QTest::mouseClick(dialogo->cmdAgregar, Qt::LeftButton);
    r.vistas << QStringLiteral("visible: %1").arg(dialogo->isVisible() ? 1 : 0) << Almacen(e)
             << QStringLiteral("espera: %1").arg(e.Erp().gCnn.CommandTimeout()) << Progreso(puerto)
             << QStringLiteral("empresas: ") + ListaEmpresas(v);

    QApplication::processEvents();
    dialogo = AbrirEmpresas(v);
    if (!dialogo) {
        ADD_FAILURE() << "no se abrió la configuración de empresas por segunda vez";
        return r;
    }
    r.vistas << Dialogo(*dialogo);
    dialogo->chkCompartida->setChecked(false);
    QTest::mouseClick(dialogo->cmdAgregar, Qt::LeftButton);
    r.vistas << Almacen(e) << Progreso(puerto);

    QApplication::processEvents();
    dialogo = AbrirEmpresas(v);
    if (!dialogo) {
        ADD_FAILURE() << "no se abrió la configuración de empresas por tercera vez";
        return r;
    }
    r.vistas << Dialogo(*dialogo);
    QTest::mouseClick(dialogo->cmdQuitar, Qt::LeftButton);
    r.vistas << QStringLiteral("visible: %1").arg(dialogo->isVisible() ? 1 : 0) << Almacen(e)
             << Progreso(puerto) << QStringLiteral("empresas: ") + ListaEmpresas(v);
    v.close();
    QApplication::processEvents();
    r.traza = kv::pruebas::TrazaComparable(traza);
    return r;
}

// ---------------------------------------------------------------- the lookups

QString Fila(const kv::lookup::ModeloConsulta* modelo, int fila) {
    QStringList textos;
    for (int c = 0; c < modelo->columnCount(); ++c) {
        QString texto = modelo->Texto(fila, c);
        const QModelIndex i = modelo->index(fila, c);
        const QVariant color = modelo->data(i, Qt::ForegroundRole);
        const QVariant letra = modelo->data(i, Qt::FontRole);
        if (color.isValid()) texto += u'{' + color.value<QColor>().name() + u'}';
        if (letra.isValid() && letra.value<QFont>().bold()) texto += QStringLiteral("{negrita}");
        textos << texto;
    }
    return textos.join(u'|');
}

// The window as it shows: title, statement, headings and every row.
QStringList Lista(Lib_FrmCons3* v) {
    QStringList lineas;
    const auto* modelo = v->Modelo();
    QStringList encabezados;
    for (int c = 0; c < modelo->columnCount(); ++c)
        encabezados << modelo->headerData(c, Qt::Horizontal).toString();
    lineas << QStringLiteral("ventana: ") + v->windowTitle()
           << QStringLiteral("sentencia: ") + v->SentenciaActual()
           << QStringLiteral("columnas: ") + encabezados.join(u'|')
           << QStringLiteral("filas: %1").arg(modelo->Filas());
    for (int f = 0; f < modelo->Filas(); ++f) lineas << Fila(modelo, f);
    return lineas;
}

// The lookup's sources on the demo company, the article list with its stock
// columns painted, a server search with F5, and the code picked with Enter.
Recorrido RondaConsultas(const QString& servidor) {
    Recorrido r;
    QTemporaryDir carpetaTraza;
    const QString traza = carpetaTraza.path() + QStringLiteral("/traza.jsonl");
    kv::pruebas::VariableEntorno variable(kv::db::kVariableTrazaSQL, traza);
    EntornoConsultas e(20, servidor);
    // Five articles with a reorder point and stock of each level, and the colours of the levels.
    const auto ids = e.Filas("SELECT TOP 5 IdArticulo FROM MA_ARTICULOS ORDER BY IdArticulo");
    const int punto[] = {0, 5, 5, 5, 0};
    const char* stock[] = {"10", "20.5", "2", "5", "0"};
    QStringList codigos;
    for (size_t i = 0; i < ids.size() && i < 5; ++i) {
        codigos << ids[i][0].toString().trimmed();
        e.Ejecutar(
            QStringLiteral("UPDATE MA_ARTICULOS SET PuntoPedido = %1, Stock = %2 WHERE IdArticulo = '%3'")
                .arg(punto[i])
                .arg(QString::fromLatin1(stock[i]), codigos.back()));
    }
    e.Configurar("MostrarStockenConsultas", "SI");
    e.Configurar("Stk_Nivel1", "255");
    e.Configurar("Stk_Nivel2", "65280");
    e.Configurar("Stk_Nivel3", "16711680");
    e.Configurar("Stk_Nivel4", "33023");
    e.Ejecutar(
        QString::fromUtf8("INSERT INTO TA_VENDEDORES (IdVendedor, Nombre, Dada_De_Baja) VALUES ('V900', "
                          "N'Zoilo Zapata Ñandú', 0)"));
    Lib_ClsCons3::DescartarCompartida();

    PuertoGuionado puerto;
    Lib_ClsCons3& consulta = Lib_ClsCons3::Compartida();
    const std::pair<const char*, const char*> fuentes[] = {
        {"V_TA_VENDEDORES", "IDVENDEDOR"},
        {"V_MA_ARTICULOS", "IDARTICULO"},
        {"V_MA_ARTICULOS", "CODIGOBARRA"},
        {"SELECT IDFAMILIA,DESCRIPCION FROM V_TA_FAMILIAS ORDER BY IDFAMILIA", "IDFAMILIA"},
        {"VT_PROVEEDORES", "CODIGO"},
        {"VT_CLIENTES", "CODIGO"},
    };
    for (const auto& [fuente, devuelto] : fuentes) {
        QStringList vista;
        AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
            vista = Lista(v);
            // The last row is picked.
            v->Lista()->setFocus();
            v->Lista()->setCurrentIndex(v->Modelo()->index(v->Modelo()->Filas() - 1, 0));
            QTest::keyClick(v->Lista(), Qt::Key_Return);
        });
        consulta.CampoDevuelto = QString::fromLatin1(devuelto);
        consulta.ConsultaSearch(QString::fromLatin1(fuente));
        r.vistas
            << QStringLiteral("fuente: %1 %2").arg(QString::fromLatin1(fuente), QString::fromLatin1(devuelto))
            << vista << QStringLiteral("devuelto: ") + consulta.ValorDevuelto;
    }

    // The stock columns: each row in its level's colour.
    QStringList vista;
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) { vista = Lista(v); });
    consulta.ConsultaSearch(
        "SELECT IdArticulo, Descripcion, PuntoPedido, Stock FROM V_MA_ARTICULOS WHERE IdArticulo IN ('" +
        codigos.join("','") + "') ORDER BY IdArticulo");
    r.vistas << QStringLiteral("fuente: stock") << vista;

    // A search on the server: F5 with the typed text, an apostrophe and a non-ASCII letter in it.
    vista.clear();
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
        QLineEdit* linea = v->CajasBusqueda().at(0)->lineEdit();
        linea->setFocus();
        QTest::keyClicks(linea, QStringLiteral("zoilo zapata "));
        QTest::sendKeyEvent(QTest::Click, linea, Qt::Key_Ntilde, QString::fromUtf8("ñ"), Qt::NoModifier);
        QTest::keyClick(linea, Qt::Key_F5);
        vista = Lista(v);
        v->Lista()->setFocus();
        v->Lista()->setCurrentIndex(v->Modelo()->index(0, 0));
        QTest::keyClick(v->Lista(), Qt::Key_Return);
    });
    consulta.CampoDevuelto = QStringLiteral("IDVENDEDOR");
    consulta.ConsultaSearch(QStringLiteral("V_TA_VENDEDORES"));
    r.vistas << QStringLiteral("fuente: busqueda") << vista
             << QStringLiteral("devuelto: ") + consulta.ValorDevuelto << Progreso(puerto);
    Lib_ClsCons3::DescartarCompartida();
    r.traza = kv::pruebas::TrazaComparable(traza);
    return r;
}

// The logins that opened sessions on the endpoint, so the round is known to have gone through it.
QStringList Sesiones(const EndpointEnProceso& endpoint) {
    static const QRegularExpression sesion(QStringLiteral("^Sesión de '([^']*)' desde 127\\.0\\.0\\.1"));
    QStringList logins;
    for (const QString& linea : endpoint.Registro()) {
        const auto m = sesion.match(linea);
        if (m.hasMatch() && !logins.contains(m.captured(1))) logins << m.captured(1);
    }
    logins.sort();
    return logins;
}

// Compares two lists line by line, so a difference names its line.
void Iguales(const QStringList& porTds, const QStringList& directo) {
    for (int i = 0; i < std::max(porTds.size(), directo.size()); ++i)
        EXPECT_EQ(porTds.value(i).toStdString(), directo.value(i).toStdString()) << "línea " << i;
}

}  // namespace

TEST(RondaFreeTdsVentanas, LaConfiguracionDeEmpresasAgregaYQuitaIgualQueLaDirecta) {
    const Recorrido directo = RondaEmpresas(kDirecto);
    EndpointEnProceso endpoint;
    ASSERT_NE(endpoint.puerto(), 0);
    const Recorrido porTds = RondaEmpresas(kv::pruebas::ServidorTcp(endpoint.puerto()));
    // The viewer (on SUR, whose procedure the dialog runs), its store and NORTE's rebuild went through
    // FreeTDS.
    EXPECT_EQ(Sesiones(endpoint), (QStringList{"KV_ESTADISTICAS", "Korvane", "NORTE"}));

    // What the direct path does is what the window must do.
    ASSERT_EQ(directo.vistas.size(), 17) << directo.vistas.join(u'\n').toStdString();
    EXPECT_EQ(directo.vistas[1], "empresas: NORTE");
    EXPECT_EQ(directo.vistas[2],
              QString::fromUtf8(
                  "dialogo: Configuración de Empresas | Su empresa aún no forma parte de las "
                  "estadísticas\r\nHaga click sobre agregar para incluirla | &Agregar | quitar 0 | 0"));
    EXPECT_TRUE(directo.vistas.contains(QString::fromUtf8("progreso: Actualizando Estadísticas estilo 0")));
    EXPECT_TRUE(
        directo.vistas.contains("avance: Este proceso puede tardar varios minutos | Por favor espere"));
    EXPECT_TRUE(directo.vistas.contains("empresas: NORTE,SUR*"));
    EXPECT_TRUE(directo.vistas.contains("espera: 720"));
    EXPECT_TRUE(directo.vistas.contains(QString::fromUtf8("progreso: Quitando Estadísticas estilo 0")));
    // SUR's rows come with Agregar, the flag changes with Modificar, and both go with Quitar.
    const QRegularExpression antes(QStringLiteral("^almacen: NORTE=true NORTE:[1-9][0-9]*$"));
    EXPECT_TRUE(antes.match(directo.vistas[0]).hasMatch()) << directo.vistas[0].toStdString();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^almacen: NORTE=true SUR=true NORTE:[1-9][0-9]* SUR:[1-9][0-9]*$"))
            .match(directo.vistas[4])
            .hasMatch())
        << directo.vistas[4].toStdString();
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("^almacen: NORTE=true SUR=false NORTE:[1-9][0-9]* SUR:[1-9][0-9]*$"))
                    .match(directo.vistas[10])
                    .hasMatch())
        << directo.vistas[10].toStdString();
    EXPECT_TRUE(antes.match(directo.vistas[13]).hasMatch()) << directo.vistas[13].toStdString();
    EXPECT_EQ(directo.vistas.back(), "empresas: NORTE");
    EXPECT_TRUE(directo.traza.contains("EXEC KV_RECONS_ESTV '',''"));
    EXPECT_TRUE(directo.traza.contains("DELETE MA_EMPRESAS WHERE BASE='SUR'"));
    for (const QString& l : directo.vistas) EXPECT_FALSE(l.startsWith("mensaje:")) << l.toStdString();

    Iguales(porTds.vistas, directo.vistas);
    Iguales(porTds.traza.split(u'\n'), directo.traza.split(u'\n'));
}

TEST(RondaFreeTdsVentanas, LasConsultasMuestranLoMismoQueLaDirecta) {
    const Recorrido directo = RondaConsultas(kDirecto);
    EndpointEnProceso endpoint;
    ASSERT_NE(endpoint.puerto(), 0);
    const Recorrido porTds = RondaConsultas(kv::pruebas::ServidorTcp(endpoint.puerto()));
    EXPECT_EQ(Sesiones(endpoint), QStringList{"Korvane"});

    const QStringList& d = directo.vistas;
    ASSERT_GE(d.size(), 30) << d.join(u'\n').toStdString();
    EXPECT_EQ(d[0], "fuente: V_TA_VENDEDORES IDVENDEDOR");
    EXPECT_EQ(d[1], QString::fromUtf8("ventana: Consulta..."));
    EXPECT_EQ(
        d[2].toStdString(),
        "sentencia: SELECT TOP 1000 NOMBRE,IDVENDEDOR FROM V_TA_VENDEDORES  with(nolock)  ORDER BY NOMBRE ");
    EXPECT_EQ(d[3], "columnas: NOMBRE|IDVENDEDOR");
    EXPECT_TRUE(d.contains(QString::fromUtf8("Zoilo Zapata Ñandú|V900")));
    EXPECT_TRUE(
        d.contains("sentencia: SELECT TOP 1000 DESCRIPCION,IDARTICULO,CODIGOBARRA FROM VT_MA_ARTICULOS  "
                   "with(nolock)  WHERE "
                   "SUSPENDIDO = 0 ORDER BY DESCRIPCION "));
    EXPECT_TRUE(d.contains("columnas: IdArticulo|Descripcion|PuntoPedido|Stock"));
    // Reorder point 0 and stock; above the point; below it; equal to it; none at all.
    const qsizetype stock = d.indexOf("fuente: stock");
    ASSERT_GE(stock, 0);
    ASSERT_EQ(d.value(stock + 4), "filas: 5");
    const char* colores[] = {"{#ff0000}{negrita}", "{#00ff00}{negrita}", "{#0000ff}{negrita}",
                             "{#ff8000}{negrita}", "{#ff8000}{negrita}"};
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(d.value(stock + 5 + i).endsWith(colores[i])) << i;
    EXPECT_TRUE(d.value(stock + 6).endsWith("|5{#00ff00}{negrita}|20.5{#00ff00}{negrita}"))
        << d.value(stock + 6).toStdString();
    const qsizetype busqueda = d.indexOf("fuente: busqueda");
    ASSERT_GE(busqueda, 0);
    EXPECT_EQ(
        d.value(busqueda + 2),
        QString::fromUtf8("sentencia: SELECT TOP 1000 NOMBRE,IDVENDEDOR FROM V_TA_VENDEDORES  with(nolock)   "
                          "where NOMBRE like 'zoilo zapata ñ%' ORDER BY NOMBRE "));
    EXPECT_EQ(d.value(busqueda + 4), "filas: 1");
    EXPECT_EQ(d.value(busqueda + 6), "devuelto: V900");
    for (const QString& l : d) EXPECT_FALSE(l.startsWith("mensaje:")) << l.toStdString();

    Iguales(porTds.vistas, directo.vistas);
    Iguales(porTds.traza.split(u'\n'), directo.traza.split(u'\n'));
}
