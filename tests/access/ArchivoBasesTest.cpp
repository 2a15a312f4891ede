// BASES.TXT: reading, quoting, the code page and the line ends of other programs' entries.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

#include "access/ArchivoBases.h"
#include "soporte/CarpetasTemporales.h"
#include "util/KvError.h"
#include "util/UtilGeneral.h"

namespace {

using kv::access::CamposDeLinea;
using kv::access::ConexionRegistrada;

QByteArray Leer(const QString& ruta) {
    QFile f(ruta);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

void Escribir(const QString& ruta, const QByteArray& datos) {
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(datos);
}

ConexionRegistrada Conexion(const QString& nombre, const QString& base, const QString& servidor) {
    ConexionRegistrada c;
    c.nombre = nombre;
    c.base = base;
    c.usuario = base;
    c.clave = kv::UtilGeneral::Codificar(base);
    c.servidor = servidor;
    return c;
}

TEST(ArchivoBases, CamposComoLosLeeLaEntradaDelimitada) {
    EXPECT_EQ(*CamposDeLinea("VENTAS / SRV01,ventas,ventas,ABC,srv01:1444"),
              QStringList({"VENTAS / SRV01", "ventas", "ventas", "ABC", "srv01:1444"}));
    // Blanks around fields go; a quoted field keeps its commas and inner blanks.
    EXPECT_EQ(*CamposDeLinea("  A / B , \"x, y\" ,u,  \" c \",srv "),
              QStringList({"A / B", "x, y", "u", " c ", "srv"}));
    // A doubled quote inside quotes is one quote; a quote inside an unquoted field is text.
    EXPECT_EQ(*CamposDeLinea("\"di \"\"hola\"\"\",b,c,d,e"),
              QStringList({"di \"hola\"", "b", "c", "d", "e"}));
    EXPECT_EQ(*CamposDeLinea("a\"b,b,c,d,e"), QStringList({"a\"b", "b", "c", "d", "e"}));
    EXPECT_EQ(*CamposDeLinea(",,,,"), QStringList({"", "", "", "", ""}));

    EXPECT_FALSE(CamposDeLinea("a,b,c,d"));         // four fields
    EXPECT_FALSE(CamposDeLinea("a,b,c,d,e,f"));     // six
    EXPECT_FALSE(CamposDeLinea("a,b,c,d,e,"));      // a trailing comma is a sixth, empty field
    EXPECT_FALSE(CamposDeLinea("\"a,b,c,d,e"));     // quote never closed
    EXPECT_FALSE(CamposDeLinea("\"a\"x,b,c,d,e"));  // text after the closing quote
    EXPECT_FALSE(CamposDeLinea("solo un nombre"));
}

TEST(ArchivoBases, LoEscritoSeLeeIgual) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString ruta = carpetas.aplicacion() + "BASES.TXT";
    ConexionRegistrada rara = Conexion("EL \"PUERTO\", S.A. / SRV", "El \"Puerto\", S.A.", "srv\\inst,1444");
    rara.usuario = " con blancos ";
    kv::access::AgregarConexion(ruta, Conexion("VENTAS / SRV01", "ventas", "srv01:1444"));
    kv::access::AgregarConexion(ruta, rara);

    // Plain fields are written without quotes, as the other programs write them.
    EXPECT_EQ(Leer(ruta), "VENTAS / SRV01,ventas,ventas," + kv::UtilGeneral::Codificar("ventas").toLatin1() +
                              ",srv01:1444\r\n"
                              "\"EL \"\"PUERTO\"\", S.A. / SRV\",\"El \"\"Puerto\"\", S.A.\",con blancos," +
                              kv::UtilGeneral::Codificar("El \"Puerto\", S.A.").toLatin1() +
                              ",\"srv\\inst,1444\"\r\n");
    const kv::access::LecturaBases l = kv::access::LeerBases(ruta);
    EXPECT_TRUE(l.existe);
    EXPECT_TRUE(l.lineasOmitidas.isEmpty());
    ASSERT_EQ(l.conexiones.size(), 2);
    EXPECT_EQ(l.conexiones[1].nombre, "EL \"PUERTO\", S.A. / SRV");
    EXPECT_EQ(l.conexiones[1].base, "El \"Puerto\", S.A.");
    EXPECT_EQ(l.conexiones[1].usuario, "con blancos");
    EXPECT_EQ(kv::UtilGeneral::Decodificar(l.conexiones[1].clave), "El \"Puerto\", S.A.");
    EXPECT_EQ(l.conexiones[1].servidor, "srv\\inst,1444");
    EXPECT_EQ(l.conexiones[1].linea, 2);
    // Logins are kept from other users of the machine.
    EXPECT_EQ(QFileInfo(ruta).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
}

TEST(ArchivoBases, LineasMalasSeListanYLasDemasSeCargan) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString ruta = carpetas.aplicacion() + "BASES.TXT";
    Escribir(ruta,
             "A / S,a,a,X,s\r\n"
             "\r\n"
             "basura sin comas\r\n"
             "   \r\n"
             "\"abierta,b,c,d,e\r\n"
             "B / S,b,b,Y,s");
    const kv::access::LecturaBases l = kv::access::LeerBases(ruta);
    ASSERT_EQ(l.conexiones.size(), 2);
    EXPECT_EQ(l.conexiones[0].nombre, "A / S");
    EXPECT_EQ(l.conexiones[1].nombre, "B / S");
    EXPECT_EQ(l.conexiones[1].linea, 6);
    EXPECT_EQ(l.lineasOmitidas, QList<int>({3, 5}));
    EXPECT_EQ(kv::access::MensajeLineasOmitidas(ruta, {3}),
              "La línea 3 de BASES.TXT no es una conexión registrada válida (se esperan cinco campos "
              "separados por comas: nombre, base de datos, usuario, contraseña y servidor) y se pasó por "
              "alto.\nLas demás conexiones se cargaron.\n\nArchivo: " +
                  ruta);
    EXPECT_TRUE(kv::access::MensajeLineasOmitidas(ruta, {3, 5}).startsWith("Las líneas 3, 5 de BASES.TXT"));

    const kv::access::LecturaBases falta = kv::access::LeerBases(carpetas.aplicacion() + "NO.TXT");
    EXPECT_FALSE(falta.existe);
    EXPECT_TRUE(falta.conexiones.isEmpty());
}

TEST(ArchivoBases, PaginaDeCodigosDeWindows) {
    // "COMPAÑÍA", "José" and the euro sign in code page 1252.
    const QByteArray bytes(
        "COMPA\xD1\xCD"
        "A Jos\xE9 \x80");
    EXPECT_EQ(kv::access::DesdePaginaCodigos(bytes), QString::fromUtf8("COMPAÑÍA José €"));
    EXPECT_EQ(kv::access::APaginaCodigos(QString::fromUtf8("COMPAÑÍA José €")), bytes);
    // Every byte comes back as it was, the five the code page leaves undefined included.
    QByteArray todos;
    for (int b = 0; b < 256; ++b) todos.append(char(b));
    EXPECT_EQ(kv::access::APaginaCodigos(kv::access::DesdePaginaCodigos(todos)), todos);
    // What the code page cannot hold is one "?" per character.
    EXPECT_EQ(kv::access::APaginaCodigos(QString::fromUtf8("a😀b€")), QByteArray("a?b\x80"));
}

TEST(ArchivoBases, AgregarRespetaLosFinesDeLineaDelArchivo) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString ruta = carpetas.aplicacion() + "BASES.TXT";
    // A file written with LF and no end on its last line: the new record goes on a line of its own.
    Escribir(ruta, "A / S,a,a,X,s\nB / S,b,b,Y,s");
    kv::access::AgregarConexion(ruta,
                                Conexion(QString::fromUtf8("JOSÉ / S"), QString::fromUtf8("José"), "s"));
    EXPECT_EQ(Leer(ruta), "A / S,a,a,X,s\nB / S,b,b,Y,s\nJOS\xC9 / S,Jos\xE9,Jos\xE9," +
                              kv::UtilGeneral::Codificar(QString::fromUtf8("José")).toLatin1() + ",s\n");
}

TEST(ArchivoBases, ReemplazarDejaLasLineasAjenasByteAByte) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString ruta = carpetas.aplicacion() + "BASES.TXT";
    const QByteArray ajenas =
        "COMPA\xD1\xCD"
        "A / SRV,COMPA\xD1\xCD"
        "A,Jos\xE9,414243,srv\r\n"
        "l\xEDnea que otro programa entiende\r\n"
        "NORTE / EMBEBIDO,viejo,viejo,00,EMBEBIDO\r\n"
        "\"X, Y\" / S,x,x,00,s\r\n";
    Escribir(ruta, ajenas);
    QFile::setPermissions(ruta, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    kv::access::ReemplazarConexiones(ruta, {Conexion("NORTE / EMBEBIDO", "NORTE", "EMBEBIDO"),
                                            Conexion("SUR / EMBEBIDO", "SUR", "EMBEBIDO")});
    const QByteArray esperado =
        "COMPA\xD1\xCD"
        "A / SRV,COMPA\xD1\xCD"
        "A,Jos\xE9,414243,srv\r\n"
        "l\xEDnea que otro programa entiende\r\n"
        "\"X, Y\" / S,x,x,00,s\r\n"
        "NORTE / EMBEBIDO,NORTE,NORTE," +
        kv::UtilGeneral::Codificar("NORTE").toLatin1() +
        ",EMBEBIDO\r\n"
        "SUR / EMBEBIDO,SUR,SUR," +
        kv::UtilGeneral::Codificar("SUR").toLatin1() + ",EMBEBIDO\r\n";
    EXPECT_EQ(Leer(ruta), esperado);
    // Run again: the same file, not a second copy of the entries.
    kv::access::ReemplazarConexiones(ruta, {Conexion("NORTE / EMBEBIDO", "NORTE", "EMBEBIDO"),
                                            Conexion("SUR / EMBEBIDO", "SUR", "EMBEBIDO")});
    EXPECT_EQ(Leer(ruta), esperado);
    // The permissions someone gave the file stay.
    EXPECT_TRUE(QFileInfo(ruta).permissions() & QFile::ReadGroup);

    // A new file is the suite's: CR LF, owner only.
    const QString nueva = carpetas.aplicacion() + "NUEVA.TXT";
    kv::access::ReemplazarConexiones(nueva, {Conexion("SUR / EMBEBIDO", "SUR", "EMBEBIDO")});
    EXPECT_TRUE(Leer(nueva).endsWith(",EMBEBIDO\r\n"));
    EXPECT_EQ(QFileInfo(nueva).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
}

TEST(ArchivoBases, ArchivoQueNoSePuedeEscribirEsUnErrorConSuRuta) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString ruta = carpetas.aplicacion() + "no/existe/BASES.TXT";
    try {
        kv::access::AgregarConexion(ruta, Conexion("A / S", "a", "s"));
        FAIL() << "no falló";
    } catch (const kv::KvExcepcion& e) {
        EXPECT_EQ(e.error().numero, 75);
        EXPECT_TRUE(e.error().descripcion.startsWith("No se pudo escribir " + ruta));
    }
}

}  // namespace

namespace {

// A FIFO or a link to a device in the list's place is refused with a message,
// neither read for ever nor waited on, and never written over.
TEST(ArchivoBases, UnaTuberiaOUnDispositivoNoSeLeen) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString cero = carpetas.aplicacion() + "BASES.TXT";
    ASSERT_TRUE(QFile::link("/dev/zero", cero));
    try {
        kv::access::LeerBases(cero);
        ADD_FAILURE() << "se leyó /dev/zero";
    } catch (const kv::KvExcepcion& e) {
        EXPECT_EQ(e.error().numero, 75);
        EXPECT_TRUE(e.error().descripcion.contains("no es un archivo común")) << e.error().descripcion.toStdString();
    }
    QFile::remove(cero);
    const QString fifo = carpetas.aplicacion() + "BASES.TXT";
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_THROW(kv::access::LeerBases(fifo), kv::KvExcepcion);
    EXPECT_THROW(kv::access::ReemplazarConexiones(fifo, {Conexion("NORTE / EMBEBIDO", "NORTE", "EMBEBIDO")}),
                 kv::KvExcepcion);
    EXPECT_THROW(kv::access::AgregarConexion(fifo, Conexion("NORTE / EMBEBIDO", "NORTE", "EMBEBIDO")),
                 kv::KvExcepcion);
    EXPECT_FALSE(QFileInfo(fifo).isFile());
}

}  // namespace
