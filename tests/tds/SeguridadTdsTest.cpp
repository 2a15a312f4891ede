// When the endpoint may listen and when a login must come encrypted; how
// failed logins slow their address down.
#include <gtest/gtest.h>

#include "localserver/tds/Seguridad.h"

using namespace kv::tds;
using namespace std::chrono_literals;

TEST(SeguridadTds, EnLaDireccionLocalEscuchaSinCertificado) {
    EXPECT_FALSE(MotivoParaNoEscuchar(QHostAddress(QStringLiteral("127.0.0.1")), false).has_value());
    EXPECT_FALSE(MotivoParaNoEscuchar(QHostAddress(QStringLiteral("::1")), false).has_value());
    EXPECT_FALSE(MotivoParaNoEscuchar(QHostAddress(QStringLiteral("127.0.0.2")), false).has_value());
}

TEST(SeguridadTds, EnOtraDireccionHaceFaltaElCertificado) {
    const auto motivo = MotivoParaNoEscuchar(QHostAddress(QStringLiteral("0.0.0.0")), false);
    ASSERT_TRUE(motivo.has_value());
    EXPECT_EQ(*motivo,
              QStringLiteral("Para escuchar en 0.0.0.0 hacen falta --certificado y --clave: fuera de esta "
                             "máquina los inicios de sesión viajan cifrados."));
    EXPECT_TRUE(MotivoParaNoEscuchar(QHostAddress(QStringLiteral("192.168.1.10")), false).has_value());
    EXPECT_FALSE(MotivoParaNoEscuchar(QHostAddress(QStringLiteral("192.168.1.10")), true).has_value());
    EXPECT_TRUE(MotivoParaNoEscuchar(QHostAddress(QStringLiteral("no es una ip")), true).has_value());
}

TEST(SeguridadTds, SoloUnClienteDeOtraMaquinaDebeCifrar) {
    EXPECT_FALSE(ExigeCifrado(QHostAddress(QStringLiteral("127.0.0.1"))));
    EXPECT_FALSE(ExigeCifrado(QHostAddress(QStringLiteral("::1"))));
    EXPECT_FALSE(ExigeCifrado(QHostAddress(QStringLiteral("::ffff:127.0.0.1"))));
    EXPECT_TRUE(ExigeCifrado(QHostAddress(QStringLiteral("192.168.1.20"))));
    EXPECT_TRUE(ExigeCifrado(QHostAddress(QStringLiteral("10.0.0.1"))));
    EXPECT_TRUE(ExigeCifrado(QHostAddress(QStringLiteral("fe80::1"))));
}

TEST(SeguridadTds, CadaFalloDoblaLaEsperaHastaOchoSegundos) {
    FrenoInicios f;
    const auto t0 = FrenoInicios::Reloj::now();
    const QString a = QStringLiteral("10.0.0.5");
    EXPECT_EQ(f.Espera(a, t0), 0ms);
    f.Fallo(a, t0);
    EXPECT_EQ(f.Espera(a, t0), 250ms);
    f.Fallo(a, t0);
    EXPECT_EQ(f.Espera(a, t0), 500ms);
    for (int i = 0; i < 20; ++i) f.Fallo(a, t0);
    EXPECT_EQ(f.Espera(a, t0), 8000ms);
    // Another address is not slowed by these.
    EXPECT_EQ(f.Espera(QStringLiteral("10.0.0.6"), t0), 0ms);
}

TEST(SeguridadTds, UnInicioBuenoOUnCuartoDeHoraOlvidanLosFallos) {
    FrenoInicios f;
    const auto t0 = FrenoInicios::Reloj::now();
    const QString a = QStringLiteral("10.0.0.5");
    f.Fallo(a, t0);
    f.Fallo(a, t0);
    EXPECT_EQ(f.Fallos(a, t0), 2);
    EXPECT_EQ(f.Fallos(a, t0 + 16min), 0);
    f.Fallo(a, t0);
    f.Exito(a);
    EXPECT_EQ(f.Espera(a, t0), 0ms);
}
