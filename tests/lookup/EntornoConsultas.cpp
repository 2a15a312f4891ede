#include "EntornoConsultas.h"

#include <QDate>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include "core/Ajustes.h"
#include "core/Sentencias.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/demo/DatosDemo.h"
#include "localserver/erp/EsquemaERP.h"
#include "lookup/Lib_ClsCons3.h"
#include "lookup/Lib_FrmCons3.h"
#include "lookup/ModeloConsulta.h"
#include "util/UtilRutas.h"

namespace kv::pruebas {

namespace {
QString Cadena(const QString& base, const QString& usuario, const QString& clave) {
    return "PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =" + base + ";UId=" + usuario + ";Pwd=" + clave + ";";
}
}  // namespace

EntornoConsultas::EntornoConsultas(int lineasVenta, const QString& servidor) {
    kv::local::RegistrarServidorEmbebido();
    kv::local::demo::RegistrarProcedimientoDemo();
    kv::db::DB_Dll::DescartarPrincipal();
    administrador_ = std::make_unique<kv::db::Conexion>();
    administrador_->Open(Cadena("master", "Korvane", "pelumbo"));
    administrador_->Execute("CREATE DATABASE NORTE");
    administrador_->Execute("USE NORTE");
    kv::local::CrearEsquemaERP(*administrador_);
    const QDate hoy = QDate::currentDate();
    administrador_->Execute(QStringLiteral("EXEC KV_DEMO_LLENAR 7, %1, 0, '%2/%3'")
                                .arg(lineasVenta)
                                .arg(hoy.month())
                                .arg(hoy.year()));

    kv::db::DB_Dll& erp = kv::db::DB_Dll::Principal();
    erp.gServidor = servidor;
    erp.gDBName = "NORTE";
    erp.gUsuario = "Korvane";
    erp.gUserPassWord = "pelumbo";
    erp.OpenServerADODB(false, 3, QString(), false, false);
    erp.gCnn.SetDefaultDatabase(erp.gDBName);

    kv::UtilRutas::Carpeta(carpetas_.aplicacion());
    kv::core::AjustesConsulta& consultas = kv::core::AjustesConsultas();
    consultas.gConnString = erp.gConnString;
    consultas.gUsarMascarasConsultas = true;
    consultas.gRutaMascaraConsultas =
        carpetas_.aplicacion() + QString::fromLatin1(kv::core::kArchivoConsultas);
    kv::core::GrabarConsultasBase();
    kv::lookup::Lib_ClsCons3::DescartarCompartida();
}

EntornoConsultas::~EntornoConsultas() {
    kv::lookup::Lib_ClsCons3::DescartarCompartida();
    kv::core::AjustesConsultas() = kv::core::AjustesConsulta();
    kv::db::DB_Dll::DescartarPrincipal();
    kv::UtilRutas::Carpeta(QString());
    try {
        if (administrador_ && administrador_->State() != 0) administrador_->Close();
    } catch (...) {
    }
}

void EntornoConsultas::Ejecutar(const QString& sql) const { administrador_->Execute(sql); }

QVariant EntornoConsultas::Valor(const QString& sql) const {
    auto rs = administrador_->Execute(sql);
    if (!rs || rs->EOF_()) return QVariant();
    return rs->Valor(0);
}

std::vector<std::vector<QVariant>> EntornoConsultas::Filas(const QString& sql) const {
    auto rs = administrador_->Execute(sql);
    if (!rs) return {};
    return rs->Resultado().filas;
}

void EntornoConsultas::Configurar(const QString& clave, const QString& valor) const {
    Ejecutar("DELETE FROM TA_CONFIGURACION WHERE Clave = '" + clave + "'");
    Ejecutar("INSERT INTO TA_CONFIGURACION (Clave, Valor) VALUES ('" + clave + "', '" + valor + "')");
}

QString EntornoConsultas::InformarFaltanteConF12(const QString& descripcion) const {
    const QString id =
        Valor("SELECT TOP 1 IdArticulo FROM MA_ARTICULOS WHERE Suspendido = 0 ORDER BY Descripcion")
            .toString()
            .trimmed();
    QString literal = descripcion;
    Ejecutar("UPDATE MA_ARTICULOS SET Descripcion = '" + literal.replace("'", "''") + "' WHERE IdArticulo = '" +
             id + "'");
    AlAbrir<kv::lookup::Lib_FrmCons3>([&](kv::lookup::Lib_FrmCons3* v) {
        const int fila = v->Busqueda(1, id);
        ASSERT_GE(fila, 0);
        v->Lista()->setCurrentIndex(v->Modelo()->index(fila, 0));
        v->Lista()->setFocus();
        QTest::keyClick(v->Lista(), Qt::Key_F12);
        v->findChild<QPushButton*>("CmdCancelar")->click();
    });
    kv::lookup::Lib_ClsCons3::Compartida().ConsultaSearch("V_MA_ARTICULOS");
    return id;
}

}  // namespace kv::pruebas
