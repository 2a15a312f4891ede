// Texts shared by the error routines: message, title, answer word, log line.

#include <gtest/gtest.h>

#include "util/AvisoError.h"

namespace kv {
namespace {

TEST(AvisoError, MensajeConNumeroYDescripcionRecortados) {
    EXPECT_EQ(
        aviso::Mensaje(KvError{3021, QStringLiteral("  No hay registro actual.  "), QStringLiteral("X")}),
        QStringLiteral("Ha ocurrido el Siguiente Error (3021) No hay registro actual."));
    EXPECT_EQ(aviso::Mensaje(KvError{-2147217900, QString(), QString()}),
              QStringLiteral("Ha ocurrido el Siguiente Error (-2147217900) "));
}

TEST(AvisoError, TituloConYSinRutina) {
    const KvError error{5, QStringLiteral("d"), QStringLiteral("KV_ESTV")};
    const QString cola = QStringLiteral(" Aviso al operador!!! - 5 ");
    EXPECT_EQ(aviso::Titulo(error, QStringLiteral("AbrirRecordset"), cola),
              QStringLiteral("KV_ESTV - AbrirRecordset Aviso al operador!!! - 5 "));
    EXPECT_EQ(aviso::Titulo(error, std::nullopt, cola), QStringLiteral("KV_ESTV Aviso al operador!!! - 5 "));
    // A routine that was named, even with an empty name, keeps its separator.
    EXPECT_EQ(aviso::ParteRutina(QString()), QStringLiteral(" - "));
    EXPECT_EQ(aviso::ParteRutina(std::nullopt), QString());
}

TEST(AvisoError, PalabrasDeCadaRespuesta) {
    EXPECT_EQ(aviso::PalabraRespuesta(respuesta::Reintentar), QStringLiteral("Reintentar"));
    EXPECT_EQ(aviso::PalabraRespuesta(respuesta::Omitir), QStringLiteral("Ignorar"));
    EXPECT_EQ(aviso::PalabraRespuesta(respuesta::Anular), QStringLiteral("Abortar"));
    EXPECT_EQ(aviso::PalabraRespuesta(respuesta::Cancelar), QStringLiteral("Cancelar"));
    EXPECT_EQ(aviso::PalabraRespuesta(respuesta::Si), QStringLiteral("Sí"));
    EXPECT_EQ(aviso::PalabraRespuesta(respuesta::No), QStringLiteral("No"));
    EXPECT_EQ(aviso::PalabraRespuesta(respuesta::Aceptar), QString());
    EXPECT_EQ(aviso::PalabraRespuesta(0), QString());
    EXPECT_EQ(aviso::PalabraRespuesta(99), QString());
}

TEST(AvisoError, LineaDelLog) {
    const QDateTime momento(QDate(2026, 3, 7), QTime(9, 5, 4));
    EXPECT_EQ(
        aviso::LineaLog(momento, QStringLiteral(" - Cfg"), QStringLiteral(" M "), QStringLiteral("Ignorar")),
        QStringLiteral("03-07-2026 09:05:04 Rutina: - Cfg Mensaje M Respondió : Ignorar"));
    EXPECT_EQ(aviso::LineaLog(momento, QString(), QStringLiteral("M"), QString()),
              QStringLiteral("03-07-2026 09:05:04 Rutina:  Mensaje M Respondió : "));
    EXPECT_EQ(aviso::kFinLineaLog, QStringLiteral("\r\n"));
}

}  // namespace
}  // namespace kv
