#include <gtest/gtest.h>

#include <QList>
#include <stdexcept>

#include "util/KvError.h"

using namespace kv;

TEST(EjecutarPasos, AnularSaleYLosDemasPasosNoCorren) {
    QList<int> corridos;
    QList<KvError> vistos;
    const bool completo =
        EjecutarPasos({[&] { corridos << 1; },
                       [&] {
                           corridos << 2;
                           throw KvExcepcion(3021, "No hay registro actual", "ADODB.Recordset");
                       },
                       [&] { corridos << 3; }},
                      [&](const KvError& e) {
                          vistos << e;
                          return respuesta::Anular;
                      });
    EXPECT_FALSE(completo);
    EXPECT_EQ(corridos, QList<int>({1, 2}));
    ASSERT_EQ(vistos.size(), 1);
    EXPECT_EQ(vistos[0].numero, 3021);
    EXPECT_EQ(vistos[0].descripcion, "No hay registro actual");
    EXPECT_EQ(vistos[0].origen, "ADODB.Recordset");
}

TEST(EjecutarPasos, OtrasExcepcionesLleganComoErrorMenosUno) {
    KvError visto;
    const bool completo =
        EjecutarPasos({[] { throw std::runtime_error("fallo interno"); }}, [&](const KvError& e) {
            visto = e;
            return respuesta::Omitir;
        });
    EXPECT_TRUE(completo);
    EXPECT_EQ(visto.numero, -1);
    EXPECT_EQ(visto.descripcion, "fallo interno");
}

TEST(EjecutarPasos, CualquierOtraRespuestaTambienSale) {
    int veces = 0;
    EXPECT_FALSE(EjecutarPasos({[&] {
                                   ++veces;
                                   throw KvExcepcion(5, "x");
                               }},
                               [](const KvError&) { return respuesta::Aceptar; }));
    EXPECT_EQ(veces, 1);
    EXPECT_TRUE(EjecutarPasos(std::vector<PasoAtrapado>{}, [](const KvError&) { return 3; }));
    EXPECT_STREQ(KvExcepcion(7, "Memoria insuficiente").what(), "7 Memoria insuficiente");
}
