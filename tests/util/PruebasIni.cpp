#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "soporte/CarpetasTemporales.h"
#include "soporte/VariableEntorno.h"
#include "util/UtilIni.h"
#include "util/UtilRutas.h"

using namespace kv;
using kv::pruebas::CarpetasTemporales;
using kv::pruebas::VariableEntorno;

namespace {

void Escribir(const QString& ruta, const QByteArray& contenido) {
    QDir().mkpath(QFileInfo(ruta).absolutePath());
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(contenido);
}

const QByteArray kEjemplo =
    "; configuración del puesto\r\n"
    "[General]\r\n"
    "Clave=uno\r\n"
    "[BaseDeDatos]\r\n"
    "  Servidor  =   SRV01   \r\n"
    "DbName=EMPRESA=1;x\r\n"
    "Usuario=\r\n"
    "usuario=segundo\r\n"
    "Comentario = valor ; no es comentario\r\n"
    ";Oculta=nada\r\n"
    "SinIgual\r\n"
    "[ basededatos ]\r\n"
    "Otra=de la segunda sección\r\n"
    "Servidor=SRV02\r\n"
    "[Acentos]\r\n"
    "Nombre=Compañía Señor\r\n";

// Each test gets its own application, INI and XDG folders.
class LeerIniPrueba : public ::testing::Test {
  protected:
    void SetUp() override { UtilRutas::EstablecerCarpeta(QString()); }
    void TearDown() override { UtilRutas::EstablecerCarpeta(QString()); }

    CarpetasTemporales carpetas;
    QTemporaryDir otra;
    VariableEntorno sinIni{UtilIni::kVariableIni};
    VariableEntorno xdg{"XDG_CONFIG_HOME", otra.path() + "/config"};
};

}  // namespace

TEST_F(LeerIniPrueba, ReglasDeLosArchivosDePerfil) {
    const QString ruta = carpetas.raiz() + "prueba.ini";
    Escribir(ruta, kEjemplo);
    // Section and key without regard to case, value trimmed.
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "BASEDEDATOS", "servidor", "def"), "SRV01");
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "  basededatos ", " SERVIDOR ", "def"), "SRV01");
    // Everything after the first "=" belongs to the value.
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "BaseDeDatos", "DbName", "def"), "EMPRESA=1;x");
    // The first key wins, even when empty: an empty value is not a missing key.
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "BaseDeDatos", "Usuario", "def"), "");
    // No inline comments.
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "BaseDeDatos", "Comentario", "def"),
              "valor ; no es comentario");
    // Comment lines and lines without "=" are no keys.
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "BaseDeDatos", "Oculta", "def"), "def");
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "BaseDeDatos", "SinIgual", "def"), "def");
    // Only the first section of a name is read.
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "BaseDeDatos", "Otra", "def"), "def");
    // A key of another section is not found.
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "General", "Servidor", "def"), "def");
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "General", "clave", "def"), "uno");
    // Accented UTF-8 text.
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "acentos", "nombre", "def"), "Compañía Señor");
}

TEST_F(LeerIniPrueba, FaltanArchivoSeccionOClave) {
    const QString ruta = carpetas.raiz() + "prueba.ini";
    Escribir(ruta, kEjemplo);
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(carpetas.raiz() + "no-existe.ini", "General", "Clave", "def"), "def");
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "NoHay", "Clave", "def"), "def");
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "General", "NoHay", "def"), "def");
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "", "Clave", "def"), "def");
    EXPECT_EQ(UtilIni::LeerIni("NOEXISTE.INI", "General", "Clave", "def"), "def");
}

TEST_F(LeerIniPrueba, ArchivoDePaginaDeCodigosOccidental) {
    const QString ruta = carpetas.raiz() + "latin.ini";
    Escribir(ruta, QByteArray("\xEF\xBB\xBF[S]\nA=1\n"));
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "S", "A"), "1");  // a BOM is not part of the first line
    Escribir(ruta, QByteArray("[S]\nNombre=Compa\xF1\xED"
                              "a\n"));
    EXPECT_EQ(UtilIni::LeerIniDeArchivo(ruta, "S", "Nombre"), "Compañía");
}

TEST_F(LeerIniPrueba, OrdenDeBusquedaDelArchivoDeLaSuite) {
    const QString enXdg = otra.path() + "/config/" + UtilRutas::kCarpetaPrograma + "/cn000PR.ini";
    const QString enAplicacion = carpetas.aplicacion() + "Cn000Pr.Ini";
    const QString enVariable = carpetas.raiz() + "ini/CN000PR.INI";
    Escribir(enXdg, "[Styles]\nStyles=xdg\n");
    EXPECT_EQ(UtilIni::LeerIni("CN000pr.INI", "Styles", "Styles", "1"), "xdg");
    EXPECT_EQ(UtilIni::LeerIni("cn000pr.ini", "Styles", "Styles", "1"), "xdg");

    Escribir(enAplicacion, "[Styles]\nStyles=aplicacion\n");
    EXPECT_EQ(UtilIni::LeerIni("CN000pr.INI", "Styles", "Styles", "1"), "aplicacion");
    // The file found is the file read: a key missing there gives the default.
    EXPECT_EQ(UtilIni::LeerIni("CN000pr.INI", "Styles", "Otra", "1"), "1");

    Escribir(enVariable, "[Styles]\nStyles=variable\n");
    {
        VariableEntorno variable(UtilIni::kVariableIni, carpetas.raiz() + "ini");
        EXPECT_EQ(UtilIni::LeerIni("CN000pr.INI", "Styles", "Styles", "1"), "variable");
        EXPECT_EQ(UtilIni::BuscarArchivo("cn000pr.ini"), enVariable);
    }
    {
        // The variable may name the file itself.
        VariableEntorno variable(UtilIni::kVariableIni, enVariable);
        EXPECT_EQ(UtilIni::LeerIni("CN000pr.INI", "Styles", "Styles", "1"), "variable");
    }
    {
        // A variable naming an empty folder passes the look-up on.
        QDir().mkpath(carpetas.raiz() + "vacia");
        VariableEntorno variable(UtilIni::kVariableIni, carpetas.raiz() + "vacia");
        EXPECT_EQ(UtilIni::LeerIni("CN000pr.INI", "Styles", "Styles", "1"), "aplicacion");
    }
    // The application folder set for the process counts, not the default one.
    UtilRutas::EstablecerCarpeta(carpetas.raiz());
    EXPECT_EQ(UtilIni::LeerIni("CN000pr.INI", "Styles", "Styles", "1"), "xdg");
}

TEST_F(LeerIniPrueba, NombreConCarpeta) {
    Escribir(carpetas.raiz() + "sub/Config.INI", "[A]\nB=c\n");
    EXPECT_EQ(UtilIni::LeerIni(carpetas.raiz() + "sub/config.ini", "a", "b", "d"), "c");
    EXPECT_EQ(UtilIni::LeerIni(carpetas.raiz() + "sub\\CONFIG.ini", "a", "b", "d"), "c");
    EXPECT_EQ(UtilIni::LeerIni(carpetas.raiz() + "otra/config.ini", "a", "b", "d"), "d");
}
