#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QThread>

#include "core/Ajustes.h"
#include "core/Sentencias.h"
#include "db/DB_Dll.h"
#include "soporte/CarpetasTemporales.h"
#include "soporte/PuertoGuionado.h"

using namespace kv::core;

namespace {

class ConLocaleC : public ::testing::Test {
  protected:
    void SetUp() override {
        anterior_ = QLocale();
        QLocale::setDefault(QLocale::c());
        habiaLcAll_ = qEnvironmentVariableIsSet("LC_ALL");
        lcAll_ = qgetenv("LC_ALL");
        qputenv("LC_ALL", "C");
    }
    void TearDown() override {
        QLocale::setDefault(anterior_);
        if (habiaLcAll_)
            qputenv("LC_ALL", lcAll_);
        else
            qunsetenv("LC_ALL");
        Ajustes().cantidadDecimales.clear();
    }
    QLocale anterior_;
    bool habiaLcAll_ = false;
    QByteArray lcAll_;
};

TEST(Mascaras, TextosFijos) {
    EXPECT_EQ(FormatoFechaHora(), "dd/mm/yy hh:mm");
    EXPECT_EQ(FormatoFecha(), "dd/mm/yy");
    EXPECT_EQ(FormatoHora(), "hh:mm");
}

using FmtMonedaTest = ConLocaleC;

TEST_F(FmtMonedaTest, MenosTresDevuelveElTextoIntacto) {
    EXPECT_EQ(FmtMoneda("  12,3abc ", -3, true), "  12,3abc ");
}

TEST_F(FmtMonedaTest, MenosDosRedondeaAEnterosSinSeparadorFinal) {
    EXPECT_EQ(FmtMoneda("1234.5", -2, false), "1235");
    EXPECT_EQ(FmtMoneda("1234567.49", -2, true), "1,234,567");
    EXPECT_EQ(FmtMoneda("-2.5", -2, false), "-3");
}

TEST_F(FmtMonedaTest, DosDecimalesConMiles) {
    EXPECT_EQ(FmtMoneda("1234567.891", 2, true), "1,234,567.89");
    EXPECT_EQ(FmtMoneda("1234567.891", 2, false), "1234567.89");
    EXPECT_EQ(FmtMoneda("2.345", 2, false), "2.35");
    EXPECT_EQ(FmtMoneda("-1234.5", 2, true), "-1,234.50");
    EXPECT_EQ(FmtMoneda("0", 2, true), "0.00");
    EXPECT_EQ(FmtMoneda("999", 3, true), "999.000");
}

TEST_F(FmtMonedaTest, CeroTomaLosDecimalesDeMonedaDelLocal) {
    // The C locale defines no currency decimals: 2.
    EXPECT_EQ(DecimalesMonedaLocales(), 2);
    EXPECT_EQ(FmtMoneda("10.126", 0, false), "10.13");
}

TEST_F(FmtMonedaTest, MenosUnoUsaCantidadDecimales) {
    Ajustes().cantidadDecimales = "3";
    EXPECT_EQ(FmtMoneda("1.23456", -1, false), "1.235");
    Ajustes().cantidadDecimales = "";
    // Nothing configured: 0, that is the locale's currency decimals.
    EXPECT_EQ(FmtMoneda("1.23456", -1, false), "1.23");
}

TEST_F(FmtMonedaTest, NumerosMalosDanCero) {
    EXPECT_EQ(FmtMoneda("abc", 2, true), "0.00");
    EXPECT_EQ(FmtMoneda("", -2, true), "0");
}

TEST_F(FmtMonedaTest, SeparadoresDelLocal) {
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    EXPECT_EQ(FmtMoneda("1234567.5", 2, true), "1.234.567,50");
    EXPECT_EQ(FmtMoneda("1234567.5", -2, true), "1.234.568");
}

TEST(AdaptarSentencia, SqlServerSinCambios) {
    const QString s = "SELECT TOP 1 * FROM MA_ARTICULOS";
    EXPECT_EQ(AdaptarSentenciaPara(s, "PROVIDER=SQLOLEDB;Server=S;"), s);
}

TEST(AdaptarSentencia, OracleTopARownum) {
    const QString cadena = "Provider=OraOLEDB.Oracle.1;Data Source=XE;";
    EXPECT_EQ(AdaptarSentenciaPara("SELECT TOP 1 * FROM MA_ARTICULOS", cadena),
              "SELECT  *  FROM MA_ARTICULOS WHERE ROWNUM <=  1 ");
    EXPECT_EQ(AdaptarSentenciaPara("len", cadena), "LENGTH");
    EXPECT_EQ(AdaptarSentenciaPara("ABC", cadena), "ABC");
    EXPECT_EQ(AdaptarSentenciaPara("SELECT a FROM b", cadena), "SELECT a FROM b");
    // A TOP without a star list is left as it is.
    EXPECT_EQ(AdaptarSentenciaPara("SELECT TOP 5 a FROM b", cadena), "SELECT TOP 5 a FROM b");
}

TEST(AdaptarSentencia, OracleSoloLaPalabraTop) {
    const QString cadena = "Provider=OraOLEDB.Oracle.1;Data Source=XE;";
    // A table whose name ends in "top" is not a TOP clause.
    const QString laptop = "SELECT * FROM LAPTOP WHERE A*B > 1";
    EXPECT_EQ(AdaptarSentenciaPara(laptop, cadena), laptop);
    const QString mesa = "SELECT * FROM DESKTOP_PC";
    EXPECT_EQ(AdaptarSentenciaPara(mesa, cadena), mesa);
    // The word after such a name is still found.
    EXPECT_EQ(AdaptarSentenciaPara("SELECT top 3 * FROM LAPTOP ", cadena),
              "SELECT  *  FROM LAPTOP  WHERE ROWNUM <=  3 ");
    EXPECT_EQ(AdaptarSentenciaPara("top 2 * FROM T", cadena), " *  FROM T WHERE ROWNUM <=  2 ");
}

TEST(ArmarSentencia, InsertConNullYApostrofes) {
    ListaCampos campos;
    QString v1 = "O'Brien";
    AgregarCampo(campos, "Nombre", v1, "'", true);
    EXPECT_EQ(v1, "OBrien");
    QString v2 = "null";
    AgregarCampo(campos, "Fecha", v2, "'", false);
    QString v3 = "12.5";
    AgregarCampo(campos, "Importe", v3, "@", false);
    QStringList sentencias;
    QString condicion;
    ArmarSentencia(campos, sentencias, "TABLA", false, condicion, false);
    ASSERT_EQ(sentencias.size(), 2);
    EXPECT_EQ(sentencias.at(0), "INSERT INTO TABLA (Nombre,Fecha,Importe) VALUES ('OBrien',Null,12.5)");
    EXPECT_EQ(sentencias.at(1), "");
    // The field list is restarted with one empty entry.
    ASSERT_EQ(campos.size(), 1u);
    EXPECT_TRUE(campos.at(0).first.isEmpty());
}

TEST(ArmarSentencia, UpdateAgregaWhere) {
    ListaCampos campos;
    QString v = "X";
    AgregarCampo(campos, "A", v, "'", true);
    QString w = "2";
    AgregarCampo(campos, "B", w, "", false);
    QStringList sentencias;
    QString condicion = "Id = 3";
    ArmarSentencia(campos, sentencias, "T", true, condicion, true);
    EXPECT_EQ(sentencias.at(0), "UPDATE T SET A = 'X',B = 2  WHERE Id = 3");
    EXPECT_EQ(campos.size(), 2u);
    QString vacia;
    ArmarSentencia(campos, sentencias, "T", true, vacia, false);
    EXPECT_EQ(sentencias.at(2), "UPDATE T SET A = 'X',B = 2  WHERE ");
    QString conWhere = "where Id = 4";
    QStringList otra;
    AgregarCampo(campos, "A", v, "'", true);
    ArmarSentencia(campos, otra, "T", true, conWhere, false);
    EXPECT_EQ(otra.at(0), "UPDATE T SET A = 'X' where Id = 4");
}

TEST(ExisteArchivo, ComillasYCarpetas) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString ruta = carpetas.raiz() + "a.txt";
    EXPECT_FALSE(ExisteArchivo(ruta));
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(ExisteArchivo(ruta));
    EXPECT_TRUE(ExisteArchivo("\"" + ruta + "\""));
    EXPECT_FALSE(ExisteArchivo(carpetas.raiz()));
    EXPECT_FALSE(ExisteArchivo(""));
}

TEST(ConsultasBase, RegistrosDe1202Bytes) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString ruta = carpetas.aplicacion() + "consultas.krv";
    GrabarConsultasBase(ruta);
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray todo = f.readAll();
    ASSERT_EQ(todo.size(), 11 * 1202);
    auto campo = [&](int registro, int desde, int largo) { return todo.mid(registro * 1202 + desde, largo); };
    EXPECT_EQ(campo(0, 0, 100), QByteArray("ARTICULOS").leftJustified(100, ' '));
    EXPECT_EQ(campo(0, 100, 100), QByteArray("V_MA_ARTICULOS").leftJustified(100, ' '));
    EXPECT_EQ(campo(0, 200, 500), QByteArray("|DESCRIPCION|IDARTICULO|").leftJustified(500, ' '));
    EXPECT_EQ(campo(0, 700, 500), QByteArray(500, ' '));
    EXPECT_EQ(campo(0, 1200, 2), QByteArray("\r\n"));
    // Texts are trimmed before padding.
    EXPECT_EQ(campo(8, 0, 100), QByteArray("TAREAS").leftJustified(100, ' '));
    EXPECT_EQ(campo(8, 100, 100), QByteArray("V_TA_Tareas").leftJustified(100, ' '));
    EXPECT_EQ(campo(8, 200, 500), QByteArray("|Descripcion|IdTarea|").leftJustified(500, ' '));
    EXPECT_EQ(campo(10, 100, 100), QByteArray("V_TA_DEPOSITO").leftJustified(100, ' '));
    for (int r = 0; r < 11; ++r) EXPECT_EQ(campo(r, 1200, 2), QByteArray("\r\n")) << r;
    f.close();

    // A second run appends after the last whole record.
    GrabarConsultasBase(ruta);
    EXPECT_EQ(QFileInfo(ruta).size(), 22 * 1202);
}

TEST(ConsultasBase, UsaLaRutaDeLasConsultas) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString anterior = AjustesConsultas().gRutaMascaraConsultas;
    AjustesConsultas().gRutaMascaraConsultas = carpetas.aplicacion() + "consultas.krv";
    GrabarConsultasBase();
    EXPECT_EQ(QFileInfo(carpetas.aplicacion() + "consultas.krv").size(), 11 * 1202);
    AjustesConsultas().gRutaMascaraConsultas = anterior;
}

// Waits for the helper program's output file.
QByteArray EsperarArchivo(const QString& ruta) {
    QElapsedTimer reloj;
    reloj.start();
    while (reloj.elapsed() < 20000) {
        QFile f(ruta);
        if (f.exists() && f.open(QIODevice::ReadOnly)) return f.readAll();
        QThread::msleep(50);
    }
    return QByteArray("<sin archivo>");
}

class MenuExesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::db::DB_Dll& base = kv::db::DB_Dll::Principal();
        base.gServidor = "EMBEBIDO";
        base.gDBName = "EMPRESA";
        base.gUsuario = "ANA";
        base.gUserPassWord = "cl ave";
        Ajustes().usuarioLogeado = "ANA MARIA";
        Ajustes().caja = "2";
        qputenv("KVESTV_ECO_SALIDA", (carpetas_.raiz() + "eco.bin").toUtf8());
    }
    void TearDown() override {
        qunsetenv("KVESTV_ECO_SALIDA");
        kv::db::DB_Dll::DescartarPrincipal();
        Ajustes().usuarioLogeado.clear();
        Ajustes().caja = "1";
    }
    kv::pruebas::CarpetasTemporales carpetas_;
};

TEST_F(MenuExesTest, ArrancaElProgramaConLosParametrosComoUnSoloArgumento) {
    kv::pruebas::PuertoGuionado puerto;
    QString adicional = "PRIMERA SEGUNDA";
    qint64 pid = 0;
    MenuExes("eco_argumentos", adicional, pid);
    EXPECT_NE(pid, 0);
    EXPECT_EQ(adicional, "SEGUNDA");
    const QByteArray recibido = EsperarArchivo(carpetas_.raiz() + "eco.bin");
    const QString esperado =
        " ; @server=EMBEBIDO; @dbname=EMPRESA; @usuario=ANA; @Password=cl ave; @ParametroAdicional=SEGUNDA; "
        "quiv@ ; @UsuarioLogeado = ANA MARIA; @Caja=2;";
    EXPECT_EQ(recibido, esperado.toUtf8() + QByteArray(1, '\0'));
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST_F(MenuExesTest, ConPrefijoShellYRutaCompleta) {
    kv::pruebas::PuertoGuionado puerto;
    QString adicional;
    qint64 pid = 0;
    MenuExes("SHELL:eco_argumentos", adicional, pid);
    EXPECT_NE(pid, 0);
    EXPECT_TRUE(EsperarArchivo(carpetas_.raiz() + "eco.bin").startsWith(" ; @server=EMBEBIDO;"));
    QFile::remove(carpetas_.raiz() + "eco.bin");
    MenuExes("SHELL:" + QCoreApplication::applicationDirPath() + "/eco_argumentos", adicional, pid);
    EXPECT_NE(pid, 0);
    EXPECT_TRUE(EsperarArchivo(carpetas_.raiz() + "eco.bin").contains("@Caja=2;"));
}

TEST_F(MenuExesTest, ProgramaInexistenteVaALaRutinaDeErrores) {
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Anular);
    QString adicional;
    qint64 pid = 7;
    MenuExes("SHELL:no_existe_este_programa", adicional, pid);
    EXPECT_EQ(pid, 0);
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes().at(0).titulo, "KV_ESTV - MenuExes Aviso al operador!!! - 2 ");
    EXPECT_TRUE(puerto->Mensajes().at(0).texto.startsWith("Ha ocurrido el Siguiente Error (53) "));
}

TEST_F(MenuExesTest, ProgramaQueNoArrancaAvisaOpcionNoImplementada) {
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    // A file that exists but cannot be executed.
    const QString ruta = carpetas_.raiz() + "no_ejecutable";
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("texto");
    f.close();
    QString adicional;
    qint64 pid = 0;
    MenuExes(ruta, adicional, pid);
    EXPECT_EQ(pid, 0);
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes().at(0).texto,
              "Opcion no Implementada!\rComuniquese con su proveedor de sistemas");
    EXPECT_EQ(puerto->Mensajes().at(0).titulo, "Atención");
    EXPECT_EQ(puerto->Mensajes().at(0).estilo, 16);
}

}  // namespace
