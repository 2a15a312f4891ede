// The statistics store made on the embedded server, twice: the first time every
// statement works, the second time each one fails as SQL Server fails it (or
// changes nothing) and the store stays as it was.

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include "ServidorPrueba.h"

namespace kv::pruebas {
namespace {

using kv::db::Conexion;

class AlmacenTest : public ServidorPrueba {};

// Everything the server keeps about the store and its login, as one text.
QString Foto(const QString& carpeta) {
    QString foto;
    for (const auto& [fichero, consulta] :
         {std::pair<const char*, const char*>{"KV_ESTADISTICAS.db",
                                              "SELECT type || name || ifnull(sql, '') FROM sqlite_master ORDER BY name"},
          {"KV_ESTADISTICAS.db", "SELECT tabla || columna || tipo || ifnull(defecto, '') FROM kv_sys_columnas ORDER BY 1"},
          {"KV_ESTADISTICAS.db", "SELECT nombre || tabla || tipo || columnas FROM kv_sys_restricciones ORDER BY 1"},
          {"MASTER.db", "SELECT nombre || clave || base_defecto FROM kv_sys_logins ORDER BY 1"},
          {"MASTER.db", "SELECT login || rol FROM kv_sys_roles_servidor ORDER BY 1"},
          {"MASTER.db", "SELECT base || usuario || ifnull(login, '') FROM kv_sys_usuarios ORDER BY 1"},
          {"MASTER.db", "SELECT base || usuario || rol FROM kv_sys_roles_base ORDER BY 1"}}) {
        sqlite3* db = nullptr;
        sqlite3_open_v2((carpeta + QString::fromLatin1(fichero)).toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, consulta, -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW)
                foto += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) + QLatin1Char('\n');
        } else {
            foto += QStringLiteral("(falla: %1)\n").arg(QString::fromLatin1(consulta));
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    return foto;
}

std::vector<int> CorrerCreacion(Conexion& c) {
    std::vector<int> errores;
    for (const QString& lote : LotesCreacionAlmacen()) {
        int numero = 0;
        try {
            for (const auto& r : c.EjecutarLote(lote))
                if (r.error && numero == 0) numero = r.error->errorNativo;
        } catch (const kv::KvExcepcion&) {
            numero = c.Errors().Count() ? c.Errors().Item(0).errorNativo : -1;
        }
        errores.push_back(numero);
    }
    return errores;
}

TEST_F(AlmacenTest, PrimeraCreacionSinErroresYSegundaConLosNumerosDelServidor) {
    auto c = Conectar();
    const std::vector<int> primera = CorrerCreacion(*c);
    for (size_t i = 0; i < primera.size(); ++i) EXPECT_EQ(primera[i], 0) << "lote " << i;

    c->EjecutarLote(QStringLiteral("INSERT INTO MA_EMPRESAS (Base) VALUES ('EMPRESA1')"));
    c->EjecutarLote(QStringLiteral("USE master"));
    const QString antes = Foto(carpetas_.datos());
    const std::vector<int> segunda = CorrerCreacion(*c);
    EXPECT_EQ(Foto(carpetas_.datos()), antes);
    // The store's login owns its store and holds no server role.
    EXPECT_FALSE(antes.contains(QStringLiteral("KV_ESTADISTICASsysadmin")));
    EXPECT_TRUE(antes.contains(QStringLiteral("KV_ESTADISTICASKV_ESTADISTICASdb_owner")));
    // Database, login and user exist; role memberships are no-ops; tables exist.
    const std::vector<int> esperado = {1801, 0, 15025, 15023, 0, 0, 0, 0, 0, 0, 0, 2714, 2714, 2714};
    EXPECT_EQ(segunda, esperado);

    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT count(*) FROM MA_EMPRESAS")).toInt(), 1);
    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT Compartida FROM MA_EMPRESAS")).toBool(), false);
    EXPECT_EQ(c->ClavePrimaria(QStringLiteral("CAB_ESTV")), QStringList{QStringLiteral("Codigo")});
    EXPECT_EQ(c->ClavePrimaria(QStringLiteral("TA_CONFIGURACION")),
              (QStringList{QStringLiteral("GRUPO"), QStringLiteral("CLAVE")}));
}

TEST_F(AlmacenTest, FicherosEnLaCarpetaDelServidorSoloParaSuDueno) {
    auto c = Conectar();
    CorrerCreacion(*c);
    const QString ruta = carpetas_.datos() + QStringLiteral("KV_ESTADISTICAS.db");
    ASSERT_TRUE(QFile::exists(ruta));
    EXPECT_TRUE(QFile::exists(carpetas_.datos() + QStringLiteral("MASTER.db")));
    const auto permisos = QFileInfo(ruta).permissions();
    EXPECT_TRUE(permisos.testFlag(QFileDevice::ReadOwner));
    EXPECT_FALSE(permisos.testFlag(QFileDevice::ReadGroup));
    EXPECT_FALSE(permisos.testFlag(QFileDevice::ReadOther));
}

TEST_F(AlmacenTest, CarpetaNuevaSeCreaConPermisosDelDueno) {
    const QString carpeta = carpetas_.raiz() + QStringLiteral("nueva/servidor");
    qputenv("KVESTV_DATOS", carpeta.toUtf8());
    auto c = Conectar();
    ASSERT_TRUE(QDir(carpeta).exists());
    const auto permisos = QFileInfo(carpeta).permissions();
    EXPECT_TRUE(permisos.testFlag(QFileDevice::ExeOwner));
    EXPECT_FALSE(permisos.testFlag(QFileDevice::ReadOther));
    EXPECT_FALSE(permisos.testFlag(QFileDevice::ReadGroup));
}

TEST_F(AlmacenTest, ElLoginDelAlmacenLeeYEscribeSusTablas) {
    {
        auto c = Conectar();
        CorrerCreacion(*c);
    }
    auto c = Conectar(QString(), QStringLiteral("KV_ESTADISTICAS"), QStringLiteral("QZ_TABLEROVENTA"));
    EXPECT_EQ(c->DefaultDatabase(), QStringLiteral("KV_ESTADISTICAS"));
    Lote(*c, QStringLiteral("INSERT INTO CAB_ESTV (NOMBRE,TABLA,CAMPOS,ORDEN,TOTALIZADORES,[TOP],TOPOTROS) "
                            "VALUES('Ventas','DET_ESTV0000','IdArticulo,'' '','' ''','0x|A','100000',10,'Otros')"));
    Lote(*c, QStringLiteral("INSERT INTO CAB_ESTV (NOMBRE) VALUES('Segunda')"));
    const auto filas = Filas(*c, QStringLiteral("SELECT Codigo, Nombre, Campos, [TOP] FROM CAB_ESTV ORDER BY Codigo"));
    ASSERT_EQ(filas.size(), 2u);
    EXPECT_EQ(filas[0][0].toInt(), 1);
    EXPECT_EQ(filas[1][0].toInt(), 2);
    EXPECT_EQ(filas[0][2].toString(), QStringLiteral("IdArticulo,' ',' '"));
    EXPECT_EQ(filas[0][3].toInt(), 10);
}

}  // namespace
}  // namespace kv::pruebas

namespace kv::pruebas {
namespace {

// The statements a definition's save, update and delete send, with their effect.
TEST_F(AlmacenTest, GrabarActualizarYBorrarUnaDefinicion) {
    auto c = Conectar();
    CorrerCreacion(*c);
    auto a = Conectar(QString(), QStringLiteral("KV_ESTADISTICAS"), QStringLiteral("QZ_TABLEROVENTA"));
    qint32 afectadas = 0;
    a->Execute(QStringLiteral("INSERT INTO CAB_ESTV (NOMBRE,TABLA,CAMPOS,ORDEN,TOTALIZADORES,[TOP],TOPOTROS) "
                              "VALUES('Ventas por artículo','DET_ESTV0000','IdArticulo,'' '','' ''',"
                              "'0x|0x|0x|0x|0x|0x|0x|11|0x|0x|A','111000',10,'Otros')"),
               &afectadas);
    EXPECT_EQ(afectadas, 1);
    const QString crear = QStringList{
        "CREATE TABLE [dbo].[DET_ESTV0000] (", " [Base] [nvarchar] (50) NOT NULL , ", " [Fecha] [nvarchar] (7) NOT NULL ,",
        " [Grupo1] [nvarchar] (25) NOT NULL ,", " [Grupo2] [nvarchar] (25) NOT NULL ,", " [Grupo3] [nvarchar] (25) NOT NULL ,",
        " [Consumo] [float] NULL ,", " [ValorCosto] [money] NULL ,", " [ValorVenta] [money] NULL", " ) ON [PRIMARY]",
        "ALTER TABLE [dbo].[DET_ESTV0000] WITH NOCHECK ADD", " CONSTRAINT [PK_DET_ESTV0000] PRIMARY KEY  NONCLUSTERED",
        " (", " [Base],", " [Fecha],", " [Grupo1],", " [Grupo2],", " [Grupo3]", " )  ON [PRIMARY]"}
                              .join(QStringLiteral("\r\n"));
    Lote(*a, crear);
    // The table-schema listing that names the next statistic table sees it.
    auto tablas = a->OpenSchema(kv::db::ado::EsquemaTablas);
    QStringList det;
    while (!tablas->EOF_()) {
        if (tablas->Valor(QStringLiteral("Table_Type")).toString() == QLatin1String("TABLE") &&
            tablas->Valor(QStringLiteral("TABLE_NAME")).toString().contains(QLatin1String("DET_ESTV"), Qt::CaseInsensitive))
            det << tablas->Valor(QStringLiteral("TABLE_NAME")).toString();
        tablas->MoveNext();
    }
    EXPECT_EQ(det, QStringList{QStringLiteral("DET_ESTV0000")});

    a->Execute(QStringLiteral("UPDATE CAB_ESTV SET CAMPOS ='IdArticulo,IdVendedor,'' ''', ORDEN='0x|A', "
                              "TOTALIZADORES='100000', [TOP]=5, TOPOTROS='Resto' WHERE NOMBRE='Ventas por artículo'"),
               &afectadas);
    EXPECT_EQ(afectadas, 1);
    const auto f = Filas(*a, QStringLiteral("SELECT Campos, [TOP], TopOtros FROM CAB_ESTV WHERE Nombre = 'VENTAS POR ARTÍCULO'"));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0][0].toString(), QStringLiteral("IdArticulo,IdVendedor,' '"));
    EXPECT_EQ(f[0][1].toInt(), 5);
    a->Execute(QStringLiteral("DELETE CAB_ESTV WHERE NOMBRE='Ventas por artículo'"), &afectadas);
    EXPECT_EQ(afectadas, 1);
    Lote(*a, QStringLiteral("DROP TABLE DET_ESTV0000"));
    EXPECT_EQ(Valor(*a, QStringLiteral("SELECT count(*) FROM CAB_ESTV")).toInt(), 0);
    EXPECT_EQ(PrimerError(*a, QStringLiteral("SELECT * FROM DET_ESTV0000")), 208);
    // The name is free again, with a clean catalog.
    Lote(*a, crear);
    EXPECT_EQ(a->ClavePrimaria(QStringLiteral("DET_ESTV0000")).size(), 5);
}

}  // namespace
}  // namespace kv::pruebas
