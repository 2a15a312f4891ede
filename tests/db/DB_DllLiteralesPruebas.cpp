// SQL literals, type families and name helpers.

#include <gtest/gtest.h>

#include <QLocale>

#include "db/DB_Dll.h"
#include "db/TextoSQL.h"

using kv::db::DB_Dll;

namespace {

class LocaleEspanol {
  public:
    LocaleEspanol() : anterior_(QLocale()) { QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain)); }
    ~LocaleEspanol() { QLocale::setDefault(anterior_); }

  private:
    QLocale anterior_;
};

TEST(TextoSQL, DuplicaCadaApostrofe) {
    EXPECT_EQ(kv::db::DuplicarApostrofes(QStringLiteral("D'Alba")), QStringLiteral("D''Alba"));
    EXPECT_EQ(kv::db::DuplicarApostrofes(QStringLiteral("'; DROP TABLE X --")),
              QStringLiteral("''; DROP TABLE X --"));
    EXPECT_EQ(kv::db::DuplicarApostrofes(QStringLiteral("''")), QStringLiteral("''''"));
    EXPECT_EQ(kv::db::DuplicarApostrofes(QStringLiteral("sin comillas")), QStringLiteral("sin comillas"));
    EXPECT_EQ(kv::db::DuplicarApostrofes(QString()), QString());
}

TEST(DB_DllLiterales, NumeroSiempreConPuntoDecimal) {
    LocaleEspanol espanol;
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(1234.5), QStringLiteral("@")).toString(), QStringLiteral("1234.5"));
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(QStringLiteral("1234,5")), QStringLiteral("@")).toString(),
              QStringLiteral("1234.5"));
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(QStringLiteral("1234.5")), QStringLiteral("@")).toString(),
              QStringLiteral("1234.5"));
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(10), QStringLiteral("@")).toString(), QStringLiteral("10"));
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(-0.5), QStringLiteral("@")).toString(), QStringLiteral("-0.5"));
}

TEST(DB_DllLiterales, NumeroConCuatroDecimales) {
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(1.23456), QStringLiteral("@")).toString(), QStringLiteral("1.2346"));
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(QStringLiteral("abc")), QStringLiteral("@")).toString(),
              QStringLiteral("0"));
}

TEST(DB_DllLiterales, NulosYComillas) {
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(), QStringLiteral("'")).toString(), QStringLiteral("NULL"));
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(), QStringLiteral("x")).toString(), QStringLiteral("NULL"));
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(), QStringLiteral("@")).toString(), QStringLiteral("0"));
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(QStringLiteral("abc")), QStringLiteral("'")).toString(),
              QStringLiteral("'abc'"));
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(QStringLiteral("abc")), QStringLiteral("x")).toString(),
              QStringLiteral("abc"));
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(QStringLiteral("01/02/2026")), QStringLiteral("'")).toString(),
              QStringLiteral("'01/02/2026'"));
}

TEST(DB_DllLiterales, TextoConApostrofeNoCierraElLiteral) {
    EXPECT_EQ(DB_Dll::SQLValue(QVariant(QStringLiteral("O'Higgins")), QStringLiteral("'")).toString(),
              QStringLiteral("'O''Higgins'"));
}

TEST(DB_DllLiterales, FamiliasDeTipos) {
    for (int c : {7, 133, 137, 134, 135, 64}) EXPECT_TRUE(DB_Dll::adodate(c)) << c;
    for (int c : {8, 201, 203, 200, 202, 130, 129}) EXPECT_TRUE(DB_Dll::ADOText(c)) << c;
    for (int c : {20, 14, 5, 3, 131, 4, 2, 16, 21, 19, 18, 17}) EXPECT_TRUE(DB_Dll::ADONumeric(c)) << c;
    EXPECT_TRUE(DB_Dll::ADOCurrency(6));
    EXPECT_TRUE(DB_Dll::ADOBoolean(11));
    EXPECT_FALSE(DB_Dll::adodate(3));
    EXPECT_FALSE(DB_Dll::ADOText(6));
    EXPECT_FALSE(DB_Dll::ADONumeric(6));
    EXPECT_FALSE(DB_Dll::ADOCurrency(5));
    EXPECT_FALSE(DB_Dll::ADOBoolean(3));
    EXPECT_FALSE(DB_Dll::ADONumeric(QVariant()));
    // A text holding the digits counts as the code.
    EXPECT_TRUE(DB_Dll::adodate(QVariant(QStringLiteral("135"))));
    EXPECT_FALSE(DB_Dll::ADOText(QVariant(QStringLiteral("texto"))));
}

TEST(DB_DllLiterales, Comilla) {
    EXPECT_EQ(DB_Dll::ADOComilla(135), QStringLiteral("'"));
    EXPECT_EQ(DB_Dll::ADOComilla(202), QStringLiteral("'"));
    EXPECT_EQ(DB_Dll::ADOComilla(3), QString());
    EXPECT_EQ(DB_Dll::ADOComilla(11), QString());
}

TEST(DB_DllLiterales, NombresDeObjetos) {
    EXPECT_EQ(DB_Dll::AddBrackets(QStringLiteral("Order Details")), QStringLiteral("[Order Details]"));
    EXPECT_EQ(DB_Dll::AddBrackets(QStringLiteral("[Order Details]")), QStringLiteral("[Order Details]"));
    EXPECT_EQ(DB_Dll::AddBrackets(QStringLiteral("Orders")), QStringLiteral("Orders"));
    EXPECT_EQ(DB_Dll::StripBrackets(QStringLiteral("[Order Details]")), QStringLiteral("Order Details"));
    EXPECT_EQ(DB_Dll::StripBrackets(QStringLiteral("Orders")), QStringLiteral("Orders"));
    EXPECT_EQ(DB_Dll::StripConnect(QStringLiteral("Clientes ->Conexion1")), QStringLiteral("Clientes"));
    EXPECT_EQ(DB_Dll::StripConnect(QStringLiteral("Clientes")), QStringLiteral("Clientes"));
    EXPECT_EQ(DB_Dll::StripFileName(QStringLiteral("C:\\datos\\base.mdb")), QStringLiteral("C:\\datos"));
    EXPECT_EQ(DB_Dll::StripFileName(QStringLiteral("/srv/datos/base.mdb")), QStringLiteral("/srv/datos"));
    EXPECT_EQ(DB_Dll::StripFileName(QStringLiteral("base.mdb")), QString());
}

TEST(DB_DllLiterales, PropietarioYPartes) {
    QString nombre = QStringLiteral("dbo.Clientes");
    EXPECT_EQ(DB_Dll::StripOwner(nombre), QStringLiteral("Clientes"));
    EXPECT_EQ(nombre, QStringLiteral("Clientes"));
    QString sinPunto = QStringLiteral("Clientes");
    EXPECT_EQ(DB_Dll::StripOwner(sinPunto), QStringLiteral("Clientes"));

    QString dos = QStringLiteral("dbo.Clientes");
    EXPECT_EQ(DB_Dll::stSTF(dos, false), QStringLiteral("dbo"));
    EXPECT_EQ(DB_Dll::stSTF(dos, true), QStringLiteral("Clientes"));
    EXPECT_EQ(dos, QStringLiteral("dbo.Clientes"));
    QString solo = QStringLiteral("Clientes");
    EXPECT_EQ(DB_Dll::stSTF(solo, true), QStringLiteral("Clientes"));
    EXPECT_EQ(DB_Dll::stSTF(solo, false), QString());
    QString tres = QStringLiteral("base.dbo.Clientes");
    EXPECT_EQ(DB_Dll::stSTF(tres, false), QStringLiteral("dbo.Clientes"));
    EXPECT_EQ(tres, QStringLiteral("dbo.Clientes"));
}

TEST(DB_DllLiterales, NombresDeProveedores) {
    EXPECT_EQ(DB_Dll::pSQLOLEDB(), QStringLiteral("SQLOLEDB"));
    EXPECT_EQ(DB_Dll::pJETOLEDB40(), QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    EXPECT_EQ(DB_Dll::pJETOLEDB35(), QStringLiteral("Microsoft.Jet.OLEDB.3.51"));
}

}  // namespace
