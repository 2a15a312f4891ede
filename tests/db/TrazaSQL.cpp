// The SQL trace: one JSON object per statement when KVESTV_TRAZA_SQL names a file.

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "db/Conexion.h"
#include "db/Recordset.h"
#include "db/TrazaSQL.h"
#include "soporte/CarpetasTemporales.h"

using namespace kv::db;

namespace {

// Sets the trace variable for one test and puts back what was there.
class VariableTraza {
public:
    explicit VariableTraza(const QString& valor) : habia_(qEnvironmentVariableIsSet(kVariableTrazaSQL)), antes_(qgetenv(kVariableTrazaSQL)) {
        if (valor.isNull()) qunsetenv(kVariableTrazaSQL); else qputenv(kVariableTrazaSQL, valor.toUtf8());
    }
    ~VariableTraza() {
        if (habia_) qputenv(kVariableTrazaSQL, antes_); else qunsetenv(kVariableTrazaSQL);
    }

private:
    bool habia_;
    QByteArray antes_;
};

std::vector<QJsonObject> Lineas(const QString& archivo) {
    std::vector<QJsonObject> lineas;
    QFile f(archivo);
    if (!f.open(QIODevice::ReadOnly)) return lineas;
    for (const QByteArray& linea : f.readAll().split('\n')) {
        if (linea.isEmpty()) continue;
        QJsonParseError error;
        const QJsonDocument d = QJsonDocument::fromJson(linea, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << linea.toStdString();
        lineas.push_back(d.object());
    }
    return lineas;
}

TEST(TrazaSQL, UnaLineaPorSentenciaConElTextoExacto) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString traza = carpetas.raiz() + "traza.jsonl";
    const QString base = carpetas.raiz() + "t.db";
    VariableTraza variable(traza);
    Conexion cn;
    cn.Open("DRIVER=SQLite3;Database=" + base);
    const QString crear = "CREATE TABLE T (A INTEGER, B VARCHAR(10))";
    const QString raro = "SELECT A, 'dice \"hola\"\r\n' AS B\tFROM T";
    cn.Execute(crear);
    cn.Execute("INSERT INTO T VALUES (1, 'x')");
    cn.Execute("INSERT INTO T VALUES (2, 'y')");
    cn.Execute(raro);
    cn.EjecutarConParametros("UPDATE T SET B = ? WHERE A = ?", {"z", 1});
    Recordset rs;
    rs.Open("SELECT * FROM T", &cn);
    EXPECT_THROW(cn.Execute("SELECT * FROM NO_HAY"), kv::KvExcepcion);
    ASSERT_EQ(cn.Errors().Count(), 1);
    const ErrorBD fallo = cn.Errors().Item(0);
    cn.EjecutarLote("SELECT 1");

    const auto lineas = Lineas(traza);
    ASSERT_EQ(lineas.size(), 8u);
    const QRegularExpression iso(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)");
    for (const QJsonObject& o : lineas) {
        for (const char* clave : {"hora", "servidor", "base", "sql", "ms", "filas", "error"})
            EXPECT_TRUE(o.contains(clave)) << clave;
        EXPECT_TRUE(iso.match(o["hora"].toString()).hasMatch()) << o["hora"].toString().toStdString();
        EXPECT_TRUE(o["ms"].isDouble());
        EXPECT_GE(o["ms"].toDouble(), 0.0);
    }
    EXPECT_EQ(lineas[0]["sql"].toString(), crear);
    EXPECT_EQ(lineas[0]["base"].toString(), cn.DefaultDatabase());
    EXPECT_EQ(lineas[0]["servidor"].toString(), cn.Servidor());
    EXPECT_TRUE(lineas[0]["error"].isNull());
    EXPECT_EQ(lineas[1]["filas"].toInt(), 1);
    EXPECT_EQ(lineas[3]["sql"].toString(), raro);
    EXPECT_EQ(lineas[3]["filas"].toInt(), 2);  // rows returned
    EXPECT_EQ(lineas[4]["sql"].toString(), "UPDATE T SET B = ? WHERE A = ?");
    EXPECT_EQ(lineas[4]["operacion"].toString(), "EjecutarConParametros");
    EXPECT_EQ(lineas[5]["sql"].toString(), "SELECT * FROM T");
    EXPECT_EQ(lineas[5]["operacion"].toString(), "Open");
    EXPECT_EQ(lineas[6]["sql"].toString(), "SELECT * FROM NO_HAY");
    ASSERT_TRUE(lineas[6]["error"].isDouble());
    EXPECT_EQ(lineas[6]["error"].toInt(), fallo.errorNativo);
    EXPECT_NE(lineas[6]["error"].toInt(), 0);
    EXPECT_EQ(lineas[6]["numero"].toInt(), fallo.numero);
    EXPECT_EQ(lineas[7]["operacion"].toString(), "EjecutarLote");
}

TEST(TrazaSQL, ServidorYBaseDeLaConexion) {
    EntradaTraza e;
    e.operacion = "Execute";
    e.servidor = "SRV01";
    e.base = "EMPRESA1";
    e.sql = "SELECT 'ñ'";
    e.ms = 1.23456;
    const QJsonObject o = QJsonDocument::fromJson(TrazaSQL::Linea(e)).object();
    EXPECT_EQ(o["servidor"].toString(), "SRV01");
    EXPECT_EQ(o["base"].toString(), "EMPRESA1");
    EXPECT_EQ(o["sql"].toString(), "SELECT 'ñ'");
    EXPECT_DOUBLE_EQ(o["ms"].toDouble(), 1.235);
    EXPECT_TRUE(o["filas"].isNull());
    EXPECT_TRUE(o["error"].isNull());
    EXPECT_FALSE(TrazaSQL::Linea(e).contains('\n'));
}

TEST(TrazaSQL, SinLaVariableNoSeEscribeNada) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString traza = carpetas.raiz() + "traza.jsonl";
    Conexion cn;
    {
        VariableTraza variable{QString()};
        EXPECT_EQ(TrazaSQL::DesdeEntorno(), nullptr);
        cn.Open("DRIVER=SQLite3;Database=" + carpetas.raiz() + "t.db");
    }
    // Read when the connection opens: setting it later changes nothing for this connection.
    VariableTraza despues(traza);
    cn.Execute("CREATE TABLE T (A INTEGER)");
    cn.Execute("SELECT * FROM T");
    EXPECT_FALSE(QFile::exists(traza));
    VariableTraza vacia("");
    EXPECT_EQ(TrazaSQL::DesdeEntorno(), nullptr);
}

TEST(TrazaSQL, UnArchivoQueNoSePuedeEscribirNoDetieneLaSentencia) {
    kv::pruebas::CarpetasTemporales carpetas;
    VariableTraza variable(carpetas.raiz() + "no/existe/traza.jsonl");
    Conexion cn;
    cn.Open("DRIVER=SQLite3;Database=" + carpetas.raiz() + "t.db");
    qint32 afectados = 0;
    cn.Execute("CREATE TABLE T (A INTEGER)");
    cn.Execute("INSERT INTO T VALUES (1)", &afectados);
    EXPECT_EQ(afectados, 1);
}

// A batch that touches logins or passwords reaches the trace with none of its
// values; every other batch stays as sent.
TEST(TrazaSQL, LasClavesSeOcultan) {
    const QList<QPair<QString, QString>> casos = {
        {"EXEC sp_addlogin N'KV_ESTADISTICAS', 'QZ_TABLEROVENTA', 'KV_ESTADISTICAS'",
         "EXEC sp_addlogin '***', '***', '***'"},
        {"EXEC sp_password 'vieja', 'nu''eva', 'Korvane'", "EXEC sp_password '***', '***', '***'"},
        {"exec SP_PASSWORD @old = NULL, @new = N'x;y', @loginame = 'U'",
         "exec SP_PASSWORD @old = NULL, @new = '***', @loginame = '***'"},
        {"EXEC sp_addlogin @loginame = 'A', @passwd = 'secreto'",
         "EXEC sp_addlogin @loginame = '***', @passwd = '***'"},
        {"CREATE LOGIN A WITH PASSWORD = 'p1', DEFAULT_DATABASE = X",
         "CREATE LOGIN A WITH PASSWORD = '***', DEFAULT_DATABASE = X"},
        {"ALTER LOGIN A WITH PASSWORD = N'n' OLD_PASSWORD = 'v'",
         "ALTER LOGIN A WITH PASSWORD = '***' OLD_PASSWORD = '***'"},
        {"USE KV\r\nEXEC sp_addlogin 'B', 'b'\r\nSELECT 'sp_addlogin x'",
         "USE KV\r\nEXEC sp_addlogin '***', '***'\r\nSELECT '***'"},
        {"SELECT 'password' AS A, Pass FROM T", "SELECT 'password' AS A, Pass FROM T"},
        {"INSERT INTO T VALUES ('a')", "INSERT INTO T VALUES ('a')"},
        {"EXEC sp_addsrvrolemember N'KV_ESTADISTICAS', sysadmin",
         "EXEC sp_addsrvrolemember N'KV_ESTADISTICAS', sysadmin"},
    };
    for (const auto& [sql, esperado] : casos) EXPECT_EQ(OcultarClaves(sql), esperado) << sql.toStdString();
}

// A password given through a variable, written as a bracketed, quoted or bare
// word, or carried by dynamic SQL never reaches the trace either.
TEST(TrazaSQL, NingunaFormaDeClaveLlegaALaTraza) {
    const QList<QPair<QString, QString>> casos = {
        {"DECLARE @c nvarchar(20) SET @c = 'ClaveVar10' EXEC sp_password NULL, @c, 'PIPO'",
         "DECLARE @c nvarchar(***) SET @c = '***' EXEC sp_password NULL, @c, '***'"},
        {"DECLARE @c nvarchar(20) = N'ClaveVar11'\nEXEC sp_addlogin 'x', @c",
         "DECLARE @c nvarchar(***) = '***'\nEXEC sp_addlogin '***', @c"},
        {"EXEC sp_addlogin N'A', [Secreto12]", "EXEC sp_addlogin '***', [***]"},
        {"EXEC sp_addlogin N'A', \"Secreto13\"", "EXEC sp_addlogin '***', \"***\""},
        {"EXEC sp_addlogin N'A', Secreto14, master", "EXEC sp_addlogin '***', ***, ***"},
        {"EXEC('EXEC sp_password NULL, ''Secreto15'', ''Korvane''')", "EXEC('***')"},
        {"DECLARE @s nvarchar(200) = 'EXEC sp_addlogin ''b'', ''Secreto16'''\nEXEC(@s)",
         "DECLARE @s nvarchar(***) = '***'\nEXEC(@s)"},
        {"CREATE LOGIN [Pepe] WITH PASSWORD = 'Secreto17' -- Secreto17\nSELECT 1",
         "CREATE LOGIN [Pepe] WITH PASSWORD = '***' --***\nSELECT ***"},
        {"ALTER LOGIN Pepe WITH PASSWORD = 0x0200AB /* Secreto18 */ HASHED",
         "ALTER LOGIN Pepe WITH PASSWORD = *** /***/ HASHED"},
        {"DECLARE @n int = 12345678 EXEC sp_password NULL, @n", "DECLARE @n int = *** EXEC sp_password NULL, @n"},
    };
    for (const auto& [sql, esperado] : casos) {
        EXPECT_EQ(OcultarClaves(sql), esperado) << sql.toStdString();
        EXPECT_TRUE(TocaClaves(sql)) << sql.toStdString();
    }
    EXPECT_FALSE(TocaClaves("SELECT Login, Password FROM MA_USUARIOS"));
    EXPECT_FALSE(TocaClaves("UPDATE T SET A = 'CREATE TABLE'"));
}

// The trace file names servers, logins and statements: only its owner reads it,
// and the password of a login created on the way is not in it.
TEST(TrazaSQL, ArchivoSoloDelPropietarioYSinClaves) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString traza = carpetas.raiz() + "traza-privada.jsonl";
    VariableTraza variable(traza);
    TrazaSQL t(traza);
    EntradaTraza e;
    e.operacion = "Execute";
    e.sql = "EXEC sp_addlogin N'KV_ESTADISTICAS', 'QZ_TABLEROVENTA', 'KV_ESTADISTICAS'";
    t.Escribir(e);
    EXPECT_EQ(QFile::permissions(traza) & (QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                           QFileDevice::ReadOther | QFileDevice::WriteOther),
              QFileDevice::Permissions());
    QFile f(traza);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray contenido = f.readAll();
    EXPECT_FALSE(contenido.contains("QZ_TABLEROVENTA"));
    EXPECT_TRUE(contenido.contains("'***'"));
}

}  // namespace
