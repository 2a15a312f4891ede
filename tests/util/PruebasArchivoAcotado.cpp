// Application files read with bounds: a link to a device, a FIFO or a file far
// too big is refused with a message, without growing the memory or waiting.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "soporte/CarpetasTemporales.h"
#include "soporte/PuertoGuionado.h"
#include "util/ArchivoAcotado.h"
#include "util/KvError.h"
#include "util/UtilIni.h"

using kv::pruebas::CarpetasTemporales;
using kv::pruebas::PuertoGuionado;
using kv::util::LeerArchivoAcotado;

namespace {

void Escribir(const QString& ruta, const QByteArray& contenido) {
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(contenido);
}

}  // namespace

TEST(ArchivoAcotado, UnArchivoComunSeLeeEntero) {
    CarpetasTemporales c;
    const QString ruta = c.aplicacion() + "a.txt";
    Escribir(ruta, "uno\r\ndos");
    const auto r = LeerArchivoAcotado(ruta);
    EXPECT_TRUE(r.existe);
    EXPECT_TRUE(r.leido);
    EXPECT_EQ(r.datos, QByteArray("uno\r\ndos"));
    EXPECT_TRUE(r.error.isEmpty());
    const auto falta = LeerArchivoAcotado(c.aplicacion() + "no.txt");
    EXPECT_FALSE(falta.existe);
    EXPECT_FALSE(falta.leido);
    EXPECT_TRUE(falta.error.isEmpty());
}

TEST(ArchivoAcotado, DispositivoTuberiaYTamanoSeRechazan) {
    CarpetasTemporales c;
    const QString cero = c.aplicacion() + "cero.txt";
    ASSERT_TRUE(QFile::link("/dev/zero", cero));
    const auto r = LeerArchivoAcotado(cero);
    EXPECT_TRUE(r.existe);
    EXPECT_FALSE(r.leido);
    EXPECT_TRUE(r.datos.isEmpty());
    EXPECT_EQ(r.error, QString("\"%1\" no es un archivo común (es un dispositivo, una tubería o una carpeta): no se "
                               "lee. Reemplácelo por el archivo verdadero.")
                           .arg(cero));

    // A FIFO nobody writes to: refused at once, not waited on.
    const QString fifo = c.aplicacion() + "fifo.txt";
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const auto t = LeerArchivoAcotado(fifo);
    EXPECT_TRUE(t.existe);
    EXPECT_FALSE(t.leido);
    EXPECT_TRUE(t.error.contains("no es un archivo común"));

    const QString grande = c.aplicacion() + "grande.txt";
    {
        QFile f(grande);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(kv::util::kTamanoMaximoArchivo + 1));
    }
    const auto g = LeerArchivoAcotado(grande);
    EXPECT_FALSE(g.leido);
    EXPECT_EQ(g.error, QString("El archivo \"%1\" mide %2 bytes, más de los %3 que puede tener: no se lee. Revise "
                               "que sea el archivo correcto.")
                           .arg(grande)
                           .arg(kv::util::kTamanoMaximoArchivo + 1)
                           .arg(kv::util::kTamanoMaximoArchivo));
    EXPECT_TRUE(LeerArchivoAcotado(c.aplicacion(), 10).error.contains("no es un archivo común"));
}

// An INI that is a link to /dev/zero gives the defaults and one message.
TEST(ArchivoAcotado, IniQueNoEsArchivoDaLosValoresPorOmision) {
    CarpetasTemporales c;
    const QString ini = c.aplicacion() + "CN000pr.INI";
    ASSERT_TRUE(QFile::link("/dev/zero", ini));
    PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    EXPECT_EQ(kv::UtilIni::LeerIniDeArchivo(ini, "Styles", "Styles", "1"), "1");
    EXPECT_EQ(kv::UtilIni::LeerIni("CN000pr.INI", "Styles", "Skin", "x"), "x");
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_TRUE(puerto->Mensajes().at(0).texto.startsWith(QString("\"%1\" no es un archivo común").arg(ini)));
    EXPECT_TRUE(puerto->Mensajes().at(0).texto.endsWith("Se usan los valores por omisión."));
    EXPECT_EQ(puerto->Mensajes().at(0).titulo, "Aviso al Usuario");
}
