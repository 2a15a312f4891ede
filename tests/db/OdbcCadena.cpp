// How the ODBC provider turns an ADO-style connection string into an ODBC one.

#include <gtest/gtest.h>

#include "db/ProveedorOdbc.h"

using namespace kv::db;

namespace {

class VariableEntorno {
public:
    VariableEntorno(const char* nombre, const QByteArray& valor)
        : nombre_(nombre), habia_(qEnvironmentVariableIsSet(nombre)), antes_(qgetenv(nombre)) {
        if (valor.isNull()) qunsetenv(nombre); else qputenv(nombre, valor);
    }
    ~VariableEntorno() {
        if (habia_) qputenv(nombre_, antes_); else qunsetenv(nombre_);
    }

private:
    const char* nombre_;
    bool habia_;
    QByteArray antes_;
};

QString Cadena(const QString& ado) { return ProveedorOdbc::CadenaOdbc(ParametrosConexion::Analizar(ado)); }

TEST(OdbcCadena, SqlServerPorFreeTdsConPuertoPorDefecto) {
    VariableEntorno d("KVESTV_ODBC_DRIVER", QByteArray());
    VariableEntorno p("KVESTV_ODBC_PUERTO", QByteArray());
    EXPECT_EQ(Cadena("PROVIDER=SQLOLEDB;Server=SRV01;Database =EMPRESA1;UId=sa;Pwd=clave;"),
              "DRIVER={FreeTDS};SERVER={SRV01};PORT={1433};DATABASE={EMPRESA1};UID={sa};PWD={clave};");
}

TEST(OdbcCadena, ControladorYPuertoDesdeElEntorno) {
    VariableEntorno d("KVESTV_ODBC_DRIVER", "ODBC Driver 18 for SQL Server");
    VariableEntorno p("KVESTV_ODBC_PUERTO", "1500");
    EXPECT_EQ(Cadena("PROVIDER=SQLOLEDB;Server=SRV01;Database =E;UId=u;Pwd=;"),
              "DRIVER={ODBC Driver 18 for SQL Server};SERVER={SRV01};PORT={1500};DATABASE={E};UID={u};");
}

TEST(OdbcCadena, PuertoEnElServidorEInstanciaConNombre) {
    VariableEntorno d("KVESTV_ODBC_DRIVER", QByteArray());
    VariableEntorno p("KVESTV_ODBC_PUERTO", QByteArray());
    EXPECT_EQ(Cadena("PROVIDER=SQLOLEDB;Server=10.0.0.5,2433;Database =E;UId=u;Pwd=p;"),
              "DRIVER={FreeTDS};SERVER={10.0.0.5};PORT={2433};DATABASE={E};UID={u};PWD={p};");
    EXPECT_EQ(Cadena("PROVIDER=SQLOLEDB;Server=SRV01\\ORBITAL;Database =E;UId=u;Pwd=p;"),
              "DRIVER={FreeTDS};SERVER={SRV01\\ORBITAL};DATABASE={E};UID={u};PWD={p};");
    EXPECT_EQ(Cadena("PROVIDER=SQLOLEDB;Server=(local);Database =E;UId=u;Pwd=p;"),
              "DRIVER={FreeTDS};SERVER={localhost};PORT={1433};DATABASE={E};UID={u};PWD={p};");
}

TEST(OdbcCadena, UnaClaveConPuntoYComaOLlavesNoRompeLaCadena) {
    VariableEntorno d("KVESTV_ODBC_DRIVER", QByteArray());
    VariableEntorno p("KVESTV_ODBC_PUERTO", QByteArray());
    EXPECT_EQ(Cadena("PROVIDER=SQLOLEDB;Server=S;Database =E;UId=u;Pwd=\"a;b}c\";"),
              "DRIVER={FreeTDS};SERVER={S};PORT={1433};DATABASE={E};UID={u};PWD={a;b}}c};");
}

TEST(OdbcCadena, OracleConDbqYControladorDelEntorno) {
    VariableEntorno o("KVESTV_ODBC_ORACLE", "Oracle 19 ODBC driver");
    EXPECT_EQ(Cadena("Provider=OraOLEDB.Oracle.1;Data Source=ORCL;User Id=u1;Password=p1;"),
              "DRIVER={Oracle 19 ODBC driver};DBQ={ORCL};UID={u1};PWD={p1};");
    VariableEntorno sin("KVESTV_ODBC_ORACLE", QByteArray());
    EXPECT_EQ(Cadena("Provider=OraOLEDB.Oracle.1;Data Source=ORCL;User Id=u1;Password=p1;"),
              "DRIVER={Oracle};DBQ={ORCL};UID={u1};PWD={p1};");
}

TEST(OdbcCadena, UnaCadenaConDriverPasaTalCual) {
    const QString cadena = "DRIVER=SQLite3;Database=/tmp/x.db;Timeout=100";
    EXPECT_EQ(Cadena(cadena), cadena);
}

TEST(OdbcCadena, QueAtiendeYConQueOrigen) {
    ProveedorOdbc odbc;
    EXPECT_TRUE(odbc.Atiende(ParametrosConexion::Analizar("PROVIDER=SQLOLEDB;Server=S")));
    EXPECT_TRUE(odbc.Atiende(ParametrosConexion::Analizar("Provider=sqloledb.1;Server=S")));
    EXPECT_TRUE(odbc.Atiende(ParametrosConexion::Analizar("Provider=OraOLEDB.Oracle.1;Data Source=O")));
    EXPECT_TRUE(odbc.Atiende(ParametrosConexion::Analizar("DRIVER=SQLite3;Database=x")));
    EXPECT_FALSE(odbc.Atiende(ParametrosConexion::Analizar("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source =x")));
    EXPECT_EQ(ProveedorOdbc::OrigenPara(ParametrosConexion::Analizar("PROVIDER=SQLOLEDB;Server=S")),
              "Microsoft OLE DB Provider for SQL Server");
}

TEST(OdbcCadena, UnServidorQueNoRespondeFallaComoConexion) {
    // FreeTDS to a closed local port: refused at once, reported as a failed connection.
    VariableEntorno d("KVESTV_ODBC_DRIVER", QByteArray());
    VariableEntorno p("KVESTV_ODBC_PUERTO", "1");
    ProveedorOdbc odbc;
    try {
        odbc.Abrir(ParametrosConexion::Analizar("PROVIDER=SQLOLEDB;Server=127.0.0.1;Database =E;UId=u;Pwd=p;"), 2);
        FAIL() << "debía fallar";
    } catch (const ErrorProveedor& e) {
        ASSERT_FALSE(e.errores().empty());
        EXPECT_EQ(e.errores().front().numero, -2147467259);
        EXPECT_EQ(e.errores().front().origen, "Microsoft OLE DB Provider for SQL Server");
    }
}

}  // namespace
