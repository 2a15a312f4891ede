// The statistics store made on the embedded server, twice: the first time every
// statement works, the second time each one fails as SQL Server fails it (or
// changes nothing) and the store stays as it was.

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ServidorPrueba.h"

namespace kv::pruebas {
namespace {

using kv::db::Conexion;

class AlmacenTest : public ServidorPrueba {};

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
    const std::vector<int> segunda = CorrerCreacion(*c);
    // Database, login and user exist; role memberships are no-ops; tables exist.
    const std::vector<int> esperado = {1801, 0, 15025, 0, 0, 0, 0, 0, 0, 0, 15023, 0, 0, 0, 0, 0, 0, 0, 2714, 2714, 2714};
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
