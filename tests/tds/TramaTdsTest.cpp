// The wire forms of the endpoint, byte by byte: framing, pre-login, login
// record, values, tokens and parameterised calls.
#include <gtest/gtest.h>

#include "localserver/tds/Parametros.h"
#include "localserver/tds/Peticiones.h"
#include "localserver/tds/Tipos.h"
#include "localserver/tds/Tokens.h"
#include "localserver/tds/Trama.h"
#include "localserver/tds/Valores.h"

using namespace kv::tds;

namespace {

QByteArray Hex(const char* texto) { return QByteArray::fromHex(texto); }

}  // namespace

TEST(TramaTds, LaCabeceraSeLeeComoSeArma) {
    const QByteArray p = ArmarPaquete(paquete::Lote, FinDeMensaje, QByteArray("abcd"), 3, 0x0102);
    ASSERT_EQ(p.size(), 12);
    EXPECT_EQ(p.left(8), Hex("0101000c01020300"));
    const Cabecera c = LeerCabecera(reinterpret_cast<const unsigned char*>(p.constData()), PaqueteMaximo);
    EXPECT_EQ(c.tipo, paquete::Lote);
    EXPECT_EQ(c.estado, FinDeMensaje);
    EXPECT_EQ(c.largo, 12);
    EXPECT_EQ(c.spid, 0x0102);
    EXPECT_EQ(c.numero, 3);
}

TEST(TramaTds, UnLargoImposibleCierraLaConexion) {
    const unsigned char corta[8] = {1, 1, 0, 7, 0, 0, 1, 0};
    EXPECT_THROW(LeerCabecera(corta, PaqueteMaximo), ErrorTrama);
    const unsigned char larga[8] = {1, 1, 0x10, 0x01, 0, 0, 1, 0};
    EXPECT_THROW(LeerCabecera(larga, PaquetePorDefecto), ErrorTrama);
}

TEST(TramaTds, UnMensajeLargoVaEnPaquetesYSoloElUltimoLlevaElFin) {
    const QByteArray carga(1200, 'x');
    const QByteArray m = ArmarMensaje(paquete::Respuesta, carga, 512);
    // 504 bytes of payload per packet: 504 + 504 + 192.
    ASSERT_EQ(m.size(), 1200 + 3 * 8);
    EXPECT_EQ(static_cast<unsigned char>(m[1]), 0);
    EXPECT_EQ(static_cast<unsigned char>(m[512 + 1]), 0);
    EXPECT_EQ(static_cast<unsigned char>(m[1024 + 1]), FinDeMensaje);
    EXPECT_EQ(static_cast<unsigned char>(m[1024 + 6]), 3);
}

TEST(TramaTds, LeerMasAllaDelMensajeEsUnErrorDeTrama) {
    const QByteArray d = Hex("0102");
    Lector l(d);
    EXPECT_EQ(l.U16(), 0x0201);
    EXPECT_THROW(l.U8(), ErrorTrama);
    Lector t(d);
    EXPECT_THROW(t.Texto(2), ErrorTrama);
}

TEST(TramaTds, LaClaveDelInicioSeDescifraComoLaCifraElCliente) {
    // 'a' is 61 00: nibbles swapped 16 00, XOR A5 gives B3 A5.
    EXPECT_EQ(CifrarClave(QStringLiteral("a")), Hex("b3a5"));
    EXPECT_EQ(DescifrarClave(Hex("b3a5")), QStringLiteral("a"));
    EXPECT_EQ(DescifrarClave(CifrarClave(QStringLiteral("pelumbo ñ€"))), QStringLiteral("pelumbo ñ€"));
}

TEST(TramaTds, ElCodigo1252GuardaLosSignosDelEspanol) {
    EXPECT_EQ(A1252(QStringLiteral("ñÁ€")), Hex("f1c180"));
    EXPECT_EQ(De1252(Hex("f1c180")), QStringLiteral("ñÁ€"));
    EXPECT_EQ(A1252(QStringLiteral("中")), QByteArray("?"));
}

TEST(TramaTds, PreloginDelClienteYRespuesta) {
    const Prelogin p = LeerPrelogin(ArmarPreloginCliente(cifrado::SoloLogin));
    EXPECT_TRUE(p.hayCifrado);
    EXPECT_EQ(p.cifrado, cifrado::SoloLogin);
    const Prelogin r = LeerPrelogin(ArmarPrelogin(cifrado::NoAdmitido, VersionServidor));
    EXPECT_EQ(r.cifrado, cifrado::NoAdmitido);
    EXPECT_EQ(r.version, VersionServidor);
}

TEST(TramaTds, UnPreloginRotoNoSeLee) {
    EXPECT_THROW(LeerPrelogin(Hex("00")), ErrorTrama);
    // An option that points past the message.
    EXPECT_THROW(LeerPrelogin(Hex("000010000601ff")), ErrorTrama);
}

TEST(TramaTds, ElRegistroDeInicioDaUsuarioClaveYBase) {
    Login7 l;
    l.usuario = QStringLiteral("Korvane");
    l.clave = QStringLiteral("pelumbo");
    l.base = QStringLiteral("KV_ESTADISTICAS");
    l.programa = QStringLiteral("kvsql");
    l.equipo = QStringLiteral("puesto1");
    l.tamanoPaquete = 8192;
    const Login7 leido = LeerLogin7(ArmarLogin7(l));
    EXPECT_EQ(leido.usuario, l.usuario);
    EXPECT_EQ(leido.clave, l.clave);
    EXPECT_EQ(leido.base, l.base);
    EXPECT_EQ(leido.programa, l.programa);
    EXPECT_EQ(leido.equipo, l.equipo);
    EXPECT_EQ(leido.tamanoPaquete, 8192u);
    EXPECT_EQ(leido.versionTds, Tds74);
}

TEST(TramaTds, UnRegistroDeInicioConCamposFueraNoSeLee) {
    QByteArray r = ArmarLogin7(Login7{});
    r[36] = char(0xF0);  // host name offset past the record
    r[38] = char(0x10);
    EXPECT_THROW(LeerLogin7(r), ErrorTrama);
    EXPECT_THROW(LeerLogin7(r.left(40)), ErrorTrama);
}

TEST(ValoresTds, ElDineroEsUnaCuentaExactaDeDiezmilesimas) {
    EXPECT_EQ(DineroDeTexto(QStringLiteral("922337203685477.5807")), INT64_MAX);
    EXPECT_EQ(DineroDeTexto(QStringLiteral("-922337203685477.5808")), INT64_MIN);
    EXPECT_FALSE(DineroDeTexto(QStringLiteral("922337203685477.5808")).has_value());
    EXPECT_EQ(DineroDeReal(0.1), 1000);
    EXPECT_EQ(DineroDeReal(-1234.56785), -12345679);
    EXPECT_EQ(TextoDeDinero(-5), QStringLiteral("-0.0005"));
    EXPECT_EQ(TextoDeDinero(INT64_MAX), QStringLiteral("922337203685477.5807"));
}

TEST(ValoresTds, DecimalesExactosDesdeTextoYRedondeadosDesdeReal) {
    EXPECT_EQ(DecimalDeTexto(QStringLiteral("12.345"), 2), Entero128(1235));
    EXPECT_EQ(DecimalDeTexto(QStringLiteral("-0.5"), 0), Entero128(-1));
    EXPECT_EQ(DecimalDeReal(0.1, 3), Entero128(100));
    const QString maximo = QString(38, u'9');
    EXPECT_EQ(TextoDeDecimal(*DecimalDeTexto(maximo, 0), 0), maximo);
    EXPECT_EQ(TextoDeDecimal(Entero128(-5), 3), QStringLiteral("-0.005"));
    EXPECT_EQ(BytesDecimal(9), 4);
    EXPECT_EQ(BytesDecimal(38), 16);
}

TEST(ValoresTds, FechasEnLosExtremosDeDatetime) {
    const QDateTime minimo(QDate(1753, 1, 1), QTime(0, 0));
    const FechaHoraTds a = ADatetime(minimo);
    EXPECT_EQ(a.dias, -53690);
    EXPECT_EQ(a.tercios, 0u);
    const QDateTime maximo(QDate(9999, 12, 31), QTime(23, 59, 59, 997));
    const FechaHoraTds b = ADatetime(maximo);
    EXPECT_EQ(b.dias, 2958463);
    EXPECT_EQ(b.tercios, 25919999u);
    EXPECT_EQ(DeDatetime(b.dias, b.tercios), maximo);
    EXPECT_EQ(DeDate(ADate(QDate(1, 1, 1))), QDate(1, 1, 1));
    EXPECT_EQ(ADate(QDate(9999, 12, 31)), 3652058);
}

TEST(TiposTds, UnaColumnaIntConUnValorMayorVaComoBigint) {
    kv::db::ResultadoSentencia r;
    r.tieneFilas = true;
    r.columnas.push_back({QStringLiteral("n"), kv::db::tipo::Integer, 4, QString()});
    r.filas.push_back({QVariant(qlonglong(1) << 40)});
    const auto c = DescribirColumnas(r, Tds74);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].tipo, tipotds::IntN);
    EXPECT_EQ(c[0].largo, 8);
}

TEST(TiposTds, UnTextoLargoVaComoNvarcharMax) {
    kv::db::ResultadoSentencia r;
    r.columnas.push_back({QStringLiteral("t"), kv::db::tipo::VarWChar, 50, QString()});
    r.filas.push_back({QVariant(QString(5000, u'a'))});
    const auto c = DescribirColumnas(r, Tds74);
    EXPECT_EQ(c[0].tipo, tipotds::NVarChar);
    EXPECT_TRUE(c[0].plp());
    Escritor e;
    EscribirValor(e, c[0], r.filas[0][0]);
    Lector l(e.Datos());
    EXPECT_EQ(l.U64(), 10000u);
}

TEST(TiposTds, ElDineroViajaConLaParteAltaPrimero) {
    ColumnaTds c;
    c.tipo = tipotds::MoneyN;
    c.largo = 8;
    Escritor e;
    EscribirValor(e, c, QVariant(1.0));
    EXPECT_EQ(e.Datos(), Hex("080000000010270000"));
    Lector l(e.Datos(), 1);
    EXPECT_DOUBLE_EQ(LeerValor(l, tipotds::Money, 8, 0, false).toDouble(), 1.0);
}

TEST(TiposTds, UnaFilaConNulosVaComoNbcrow) {
    std::vector<ColumnaTds> c(2);
    c[0].tipo = tipotds::IntN;
    c[0].largo = 4;
    c[1].tipo = tipotds::NVarChar;
    c[1].largo = 20;
    Escritor e;
    EscribirFila(e, c, {QVariant(), QVariant(QStringLiteral("a"))});
    EXPECT_EQ(e.Datos(), Hex("d20102006100"));
    Escritor f;
    EscribirFila(f, c, {QVariant(7), QVariant(QStringLiteral("a"))});
    EXPECT_EQ(f.Datos(), Hex("d1040700000002006100"));
}

TEST(TiposTds, LosValoresDeParametroSeLeenEnSusTipos) {
    const QByteArray entero = Hex("0400010000");
    Lector a(entero);
    EXPECT_EQ(LeerValor(a, tipotds::IntN, 4, 0, false).toInt(), 256);
    const QByteArray decimal = Hex("0501d2040000");  // 1234 at scale 2
    Lector b(decimal);
    EXPECT_DOUBLE_EQ(LeerValor(b, tipotds::DecimalN, 17, 2, false).toDouble(), 12.34);
    const QByteArray nulo = Hex("ffff");
    Lector n(nulo);
    EXPECT_TRUE(LeerValor(n, tipotds::NVarChar, 8000, 0, false).isNull());
}

TEST(TokensTds, ErrorConNumeroEstadoYNivel) {
    Escritor e;
    EscribirMensaje(e, true, 208, 1, 16, QStringLiteral("x"), QString(), 3);
    Lector l(e.Datos());
    EXPECT_EQ(l.U8(), token::Error);
    EXPECT_EQ(l.U16(), e.Largo() - 3);
    EXPECT_EQ(l.U32(), 208u);
    EXPECT_EQ(l.U8(), 1);
    EXPECT_EQ(l.U8(), 16);
    EXPECT_EQ(l.TextoUs(), QStringLiteral("x"));
    EXPECT_EQ(l.TextoB(), QStringLiteral("EMBEBIDO"));
    EXPECT_EQ(l.TextoB(), QString());
    EXPECT_EQ(l.U32(), 3u);
    EXPECT_EQ(ClaseDeError(18456), 14);
    EXPECT_EQ(ClaseDeError(4060), 11);
    EXPECT_EQ(ClaseDeError(102), 15);
    EXPECT_EQ(ClaseDeError(547), 16);
}

TEST(TokensTds, DoneConCuentaDeOchoBytes) {
    Escritor e;
    EscribirDone(e, token::Done, fin::Cuenta | fin::Mas, 100000);
    EXPECT_EQ(e.Datos(), Hex("fd1100c100a086010000000000"));
}

TEST(ParametrosTds, LosUsosDeUnParametroSeVuelvenMarcas) {
    const auto m =
        Marcar(QStringLiteral(
                   "SELECT @P1, '@P1', [@P1], @p2 -- @P1\n/* @P2 /* @P1 */ */ + @P1 + @@ROWCOUNT + @otra"),
               {QStringLiteral("@P1"), QStringLiteral("@P2")});
    EXPECT_EQ(m.texto, QStringLiteral(
                           "SELECT ?, '@P1', [@P1], ? -- @P1\n/* @P2 /* @P1 */ */ + ? + @@ROWCOUNT + @otra"));
    EXPECT_EQ(m.orden, (std::vector<int>{0, 1, 0}));
    const auto n = Marcar(QStringLiteral("SELECT N'it''s @P1', @P10"), {QStringLiteral("@P1")});
    EXPECT_EQ(n.texto, QStringLiteral("SELECT N'it''s @P1', @P10"));
    EXPECT_TRUE(n.orden.empty());
}

TEST(ParametrosTds, LaDeclaracionDaNombresTiposYSalidas) {
    const auto d =
        LeerDeclaracion(QStringLiteral("@P1 int, @P2 decimal(10, 2) OUTPUT,@texto nvarchar(max) out"));
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].nombre, QStringLiteral("@P1"));
    EXPECT_EQ(d[0].tipo, QStringLiteral("int"));
    EXPECT_FALSE(d[0].salida);
    EXPECT_EQ(d[1].tipo, QStringLiteral("decimal(10, 2)"));
    EXPECT_TRUE(d[1].salida);
    EXPECT_EQ(d[2].nombre, QStringLiteral("@texto"));
    EXPECT_TRUE(d[2].salida);
    EXPECT_TRUE(LeerDeclaracion(QString()).empty());
    EXPECT_THROW(LeerDeclaracion(QStringLiteral("P1 int")), std::invalid_argument);
}

TEST(PeticionesTds, UnaLlamadaASpExecutesqlSeLee) {
    Escritor e;
    // ALL_HEADERS with the transaction descriptor.
    e.U32(22);
    e.U32(18);
    e.U16(2);
    e.U64(0);
    e.U32(1);
    e.U16(0xFFFF);
    e.U16(procedimiento::ExecuteSql);
    e.U16(0);
    auto nvarchar = [&](const QString& nombre, const QString& valor) {
        e.TextoB(nombre);
        e.U8(0);
        e.U8(tipotds::NVarChar);
        e.U16(8000);
        e.Bytes(QByteArray(reinterpret_cast<const char*>(kColacion), 5));
        e.U16(static_cast<std::uint16_t>(valor.size() * 2));
        e.Texto(valor);
    };
    nvarchar(QString(), QStringLiteral("SELECT @P1"));
    nvarchar(QString(), QStringLiteral("@P1 int"));
    e.TextoB(QStringLiteral("@P1"));
    e.U8(0);
    e.U8(tipotds::IntN);
    e.U8(4);
    e.U8(4);
    e.U32(42);
    const auto llamadas = LeerRpc(e.Datos());
    ASSERT_EQ(llamadas.size(), 1u);
    EXPECT_EQ(llamadas[0].id, procedimiento::ExecuteSql);
    ASSERT_EQ(llamadas[0].parametros.size(), 3u);
    EXPECT_EQ(llamadas[0].parametros[0].valor.toString(), QStringLiteral("SELECT @P1"));
    EXPECT_EQ(llamadas[0].parametros[2].nombre, QStringLiteral("@P1"));
    EXPECT_EQ(llamadas[0].parametros[2].valor.toInt(), 42);
    // Cut anywhere, the call is refused or has lost whole parameters; it is never read past its end.
    for (int n = 23; n < e.Largo(); ++n) {
        try {
            const auto cortada = LeerRpc(e.Datos().left(n));
            ASSERT_EQ(cortada.size(), 1u) << n;
            EXPECT_LT(cortada[0].parametros.size(), 3u) << n;
        } catch (const ErrorTrama&) {
        }
    }
}
