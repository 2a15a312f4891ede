// The table that turns a provider's error into the ADO number the error handling branches on.

#include <gtest/gtest.h>

#include "db/Conexion.h"

using namespace kv::db;

namespace {

struct Caso {
    const char* estado;
    qint32 nativo;
    qint32 esperado;
};

void Comprobar(std::initializer_list<Caso> casos) {
    for (const Caso& c : casos)
        EXPECT_EQ(NumeroADO(QString::fromLatin1(c.estado), c.nativo), c.esperado)
            << "estado '" << c.estado << "' nativo " << c.nativo;
}

TEST(MapaErrores, ConexionPerdidaOInutilizable) {
    Comprobar({{"08S01", 0, adoerr::FalloNoEspecificado},  // communication link failure
               {"08001", 0, adoerr::FalloNoEspecificado},  // unable to connect
               {"08003", 0, adoerr::FalloNoEspecificado},  // connection not open
               {"08S01", 10054, adoerr::FalloNoEspecificado},
               // a lost link wins over any native number the driver attached
               {"08S01", 2627, adoerr::FalloNoEspecificado},
               {"28000", 18456, adoerr::AutenticacionFallida},
               {"42000", 18456, adoerr::AutenticacionFallida},  // login failed, whatever the state
               {"42000", 4060, adoerr::FalloNoEspecificado},    // cannot open the login's database
               {"", 4060, adoerr::FalloNoEspecificado},
               {"IM002", 0, adoerr::FalloNoEspecificado},
               {"HYT01", 0, adoerr::FalloNoEspecificado},
               {"", 0, adoerr::FalloNoEspecificado}});
}

TEST(MapaErrores, ViolacionDeIntegridad) {
    Comprobar({{"23000", 2627, adoerr::ViolacionIntegridad},
               {"23000", 2601, adoerr::ViolacionIntegridad},
               {"23000", 547, adoerr::ViolacionIntegridad},
               {"23000", 515, adoerr::ViolacionIntegridad},
               {"", 2627, adoerr::ViolacionIntegridad},  // the embedded server may give no state
               {"", 547, adoerr::ViolacionIntegridad},
               {"23505", 0, adoerr::ViolacionIntegridad},
               {"23000", 1, adoerr::ViolacionIntegridad}});
}

TEST(MapaErrores, TablaInexistente) {
    Comprobar({{"42S02", 208, adoerr::TablaInexistente},
               {"", 208, adoerr::TablaInexistente},
               {"42S02", 0, adoerr::TablaInexistente},
               {"S0002", 0, adoerr::TablaInexistente},
               {"42000", 208, adoerr::TablaInexistente}});
}

TEST(MapaErrores, ErrorEnElTextoDelComando) {
    Comprobar({{"42000", 102, adoerr::ErrorEnComando},
               {"42000", 156, adoerr::ErrorEnComando},
               {"42000", 170, adoerr::ErrorEnComando},
               {"42S22", 207, adoerr::ErrorEnComando},
               {"", 102, adoerr::ErrorEnComando},
               {"42000", 0, adoerr::ErrorEnComando},
               {"42S22", 0, adoerr::ErrorEnComando},
               {"37000", 0, adoerr::ErrorEnComando},
               {"42S01", 2714, adoerr::ErrorEnComando},  // object already exists
               // other statement errors of the server are errors of the command, as ADO gives them
               {"22012", 8134, adoerr::ErrorEnComando},
               {"", 8134, adoerr::ErrorEnComando},
               {"HY000", 1, adoerr::ErrorEnComando}});  // SQLite: "no such ..." / syntax
}

TEST(MapaErrores, TiempoAgotado) {
    Comprobar({{"HYT00", 0, adoerr::TiempoAgotado}, {"S1T00", 0, adoerr::TiempoAgotado}, {"hyt00", 0, adoerr::TiempoAgotado}});
}

TEST(MapaErrores, FallosDelPropioControlador) {
    Comprobar({{"HY010", 0, adoerr::FalloNoEspecificado},  // function sequence error
               {"HY001", 0, adoerr::FalloNoEspecificado},  // out of memory
               {"HY000", 0, adoerr::FalloNoEspecificado}});
}

TEST(MapaErrores, LosNumerosAdoSonLosDeLaPlataforma) {
    EXPECT_EQ(adoerr::FalloNoEspecificado, static_cast<qint32>(0x80004005u));
    EXPECT_EQ(adoerr::ViolacionIntegridad, static_cast<qint32>(0x80040E2Fu));
    EXPECT_EQ(adoerr::TablaInexistente, static_cast<qint32>(0x80040E37u));
    EXPECT_EQ(adoerr::ErrorEnComando, static_cast<qint32>(0x80040E14u));
    EXPECT_EQ(adoerr::TiempoAgotado, static_cast<qint32>(0x80040E31u));
}

}  // namespace
