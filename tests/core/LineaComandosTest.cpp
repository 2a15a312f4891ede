#include <gtest/gtest.h>

#include "core/LineaComandos.h"
#include "core/Sentencias.h"

using namespace kv::core;

namespace {

TEST(LineaComandos, FormaDeAjustesGuardados) {
    const QString texto = LineaDesdeAjustesGuardados("SRV01", "EMPRESA1", "JUAN", "secreta");
    EXPECT_EQ(texto,
              "@server=SRV01; @dbname= EMPRESA1; @usuario= JUAN; @Password= secreta; "
              "@ParametroAdicional=; @Caja=1;quiv@");
    const ParametrosLinea p = AnalizarLineaComandos(texto);
    EXPECT_EQ(p.servidor, "SRV01");
    EXPECT_EQ(p.base, "EMPRESA1");
    EXPECT_EQ(p.usuario, "JUAN");
    EXPECT_EQ(p.clave, "secreta");
    EXPECT_EQ(p.parametroAdicional, "");
    EXPECT_EQ(p.menu, "");
    EXPECT_EQ(p.usuarioLogeado, "");
    EXPECT_EQ(p.caja, "1");
}

TEST(LineaComandos, FormaDelLanzadorDeProgramas) {
    const QString texto =
        ParametrosPrograma("SRV\\INST", "EMPRESA2", "ANA", "clave", "EXTRA", "ANA LOPEZ", "3");
    EXPECT_EQ(texto,
              " ; @server=SRV\\INST; @dbname=EMPRESA2; @usuario=ANA; @Password=clave; "
              "@ParametroAdicional=EXTRA; quiv@ ; @UsuarioLogeado = ANA LOPEZ; @Caja=3;");
    const ParametrosLinea p = AnalizarLineaComandos(texto);
    EXPECT_EQ(p.servidor, "SRV\\INST");
    EXPECT_EQ(p.base, "EMPRESA2");
    EXPECT_EQ(p.usuario, "ANA");
    EXPECT_EQ(p.clave, "clave");
    EXPECT_EQ(p.parametroAdicional, "EXTRA");
    EXPECT_EQ(p.usuarioLogeado, "ANA LOPEZ");
    EXPECT_EQ(p.caja, "3");
}

TEST(LineaComandos, PalabrasClaveEnCualquierCaja) {
    const ParametrosLinea a = AnalizarLineaComandos("@SERVER=UNO; @DBNAME=B; @USUARIO=U; @PASSWORD=P;");
    const ParametrosLinea b = AnalizarLineaComandos("@server=UNO; @dbname=B; @usuario=U; @password=P;");
    EXPECT_EQ(a.servidor, "UNO");
    EXPECT_EQ(b.servidor, "UNO");
    EXPECT_EQ(a.base, b.base);
    EXPECT_EQ(a.usuario, b.usuario);
    EXPECT_EQ(a.clave, b.clave);
}

TEST(LineaComandos, TextoVacioDejaTodoVacioYCajaUno) {
    const ParametrosLinea p = AnalizarLineaComandos("");
    EXPECT_TRUE(p.servidor.isEmpty());
    EXPECT_TRUE(p.usuario.isEmpty());
    EXPECT_TRUE(p.base.isEmpty());
    EXPECT_TRUE(p.clave.isEmpty());
    EXPECT_TRUE(p.parametroAdicional.isEmpty());
    EXPECT_EQ(p.caja, "1");
}

TEST(LineaComandos, CajaAusenteYVacia) {
    EXPECT_EQ(AnalizarLineaComandos("@server=S;").caja, "1");
    EXPECT_EQ(AnalizarLineaComandos("@server=S; @Caja=;").caja, "");
    EXPECT_EQ(AnalizarLineaComandos("@server=S; @Caja= 7 ;").caja, "7");
}

TEST(LineaComandos, SinPuntoYComaFinal) {
    // The last assignment without ";" gives empty, except the additional parameter.
    EXPECT_EQ(AnalizarLineaComandos("@server=S; @dbname=BASE").base, "");
    EXPECT_EQ(AnalizarLineaComandos("@server=S; @ParametroAdicional=uno dos").parametroAdicional, "uno dos");
    EXPECT_EQ(AnalizarLineaComandos("@ParametroAdicional=uno=dos").parametroAdicional, "unodos");
}

TEST(LineaComandos, IgualesYBlancosSeQuitan) {
    const ParametrosLinea p = AnalizarLineaComandos("@dbname= DB; @UsuarioLogeado = X;");
    EXPECT_EQ(p.base, "DB");
    EXPECT_EQ(p.usuarioLogeado, "X");
}

TEST(LineaComandos, UsuarioCoincideConUsuarioLogeadoSiVienePrimero) {
    // The first occurrence wins, as the suite's programs always read it.
    const ParametrosLinea p = AnalizarLineaComandos("@UsuarioLogeado=PEPE; @usuario=U;");
    EXPECT_EQ(p.usuario, "LogeadoPEPE");
    EXPECT_EQ(p.usuarioLogeado, "PEPE");
}

TEST(LineaComandos, MarcaOracle) {
    ParametrosLinea p = AnalizarLineaComandos("@server=#ORCL; @dbname= XE; @usuario= U; @Password= P;");
    QString cadena;
    EXPECT_TRUE(AplicarMarcaOracle(p.servidor, cadena, p.base, p.usuario, p.clave));
    EXPECT_EQ(p.servidor, "ORCL");
    EXPECT_EQ(cadena, "Provider=OraOLEDB.Oracle.1;Data Source=XE;User Id=U;Password=P;");

    QString dada = "DSN=propia;";
    QString servidor = "#ORCL";
    EXPECT_TRUE(AplicarMarcaOracle(servidor, dada, "XE", "U", "P"));
    EXPECT_EQ(dada, "DSN=propia;");

    QString otro = "SRV";
    QString vacia;
    EXPECT_FALSE(AplicarMarcaOracle(otro, vacia, "XE", "U", "P"));
    EXPECT_EQ(otro, "SRV");
    EXPECT_TRUE(vacia.isEmpty());
}

TEST(LineaComandos, NormalizarServidor) {
    EXPECT_EQ(NormalizarServidor("ALIAS/HOST:1433"), "HOST");
    EXPECT_EQ(NormalizarServidor("HOST:1433"), "HOST");
    EXPECT_EQ(NormalizarServidor("HOST"), "HOST");
    EXPECT_EQ(NormalizarServidor("SRV\\INST:1433"), "SRV\\INST");
    EXPECT_EQ(NormalizarServidor(AnalizarLineaComandos("@server=SRV\\INST:1433;").servidor), "SRV\\INST");
}

TEST(LineaComandos, ClaveEstacion) {
    EXPECT_EQ(ClaveEstacion("pc01", "juan"), "PC01|JUAN");
    const QString larga = ClaveEstacion(QString(40, 'm'), QString(20, 'u'));
    EXPECT_EQ(larga.size(), 50);
    EXPECT_EQ(larga, QString(40, 'M') + "|" + QString(9, 'U'));
}

TEST(LineaComandos, TextoDeLosArgumentosSinOpcionesPropias) {
    QStringList opciones;
    const QString texto =
        TextoLineaComandos({"@server=EMBEBIDO;", "@dbname=", "X;", "--informe", "quiv@"}, &opciones);
    EXPECT_EQ(texto, "@server=EMBEBIDO; @dbname= X; quiv@");
    EXPECT_EQ(opciones, QStringList{"--informe"});
    EXPECT_EQ(AnalizarLineaComandos(texto).base, "X");
}

// A value of the suite's text that starts with "--" is not an option of ours.
TEST(LineaComandos, SoloSeQuitanLasOpcionesPropias) {
    QStringList opciones;
    const QString texto = TextoLineaComandos(
        {"@server=EMBEBIDO;", "@usuario=", "U;", "@Password=", "--secreto;", "--captura=x.png", "--version"},
        &opciones);
    EXPECT_EQ(texto, "@server=EMBEBIDO; @usuario= U; @Password= --secreto;");
    EXPECT_EQ(opciones, (QStringList{"--captura=x.png", "--version"}));
    EXPECT_EQ(AnalizarLineaComandos(texto).clave, "--secreto");
    EXPECT_FALSE(EsOpcionPropia("--informes"));
    EXPECT_TRUE(EsOpcionPropia("--demo"));
}

}  // namespace
