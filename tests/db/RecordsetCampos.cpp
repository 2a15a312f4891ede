// Fields of a recordset built over rows already fetched.

#include <gtest/gtest.h>

#include "db/Conexion.h"
#include "db/Recordset.h"

using namespace kv::db;

namespace {

std::unique_ptr<Recordset> Crear(std::initializer_list<const char*> columnas, std::vector<std::vector<QVariant>> filas) {
    ResultadoSentencia r;
    r.tieneFilas = true;
    for (const char* c : columnas) r.columnas.push_back({QString::fromUtf8(c), tipo::VarWChar, 0, {}});
    r.filas = std::move(filas);
    return Recordset::DesdeResultado(std::move(r));
}

TEST(RecordsetCampos, NombresSinDistinguirMayusculasTambienConAcentos) {
    auto rs = Crear({"Año", "DESCRIPCIÓN", "x"}, {{2024, "uno", 1}});
    EXPECT_EQ(rs->IndiceCampo("AÑO"), 0);
    EXPECT_EQ(rs->IndiceCampo("año"), 0);
    EXPECT_EQ(rs->IndiceCampo("descripción"), 1);
    EXPECT_EQ(rs->IndiceCampo("DESCRIPCION"), -1);  // accents count
    EXPECT_EQ(rs->IndiceCampo("X"), 2);
    EXPECT_EQ(rs->IndiceCampo(""), -1);
    EXPECT_EQ(rs->Valor("descripCIÓN").toString(), "uno");
}

TEST(RecordsetCampos, ConDosColumnasDelMismoNombreContestaLaPrimera) {
    auto rs = Crear({"CODIGO", "codigo"}, {{"a", "b"}});
    EXPECT_EQ(rs->IndiceCampo("Codigo"), 0);
    EXPECT_EQ(rs->Valor("codigo").toString(), "a");
    EXPECT_EQ(rs->Valor(1).toString(), "b");
}

TEST(RecordsetCampos, DeSoloLecturaPorDefectoYSinConexionNoSeEscribe) {
    auto rs = Crear({"A"}, {{1}});
    EXPECT_EQ(rs->LockType(), ado::SoloLectura);
    try {
        rs->AddNew();
        FAIL();
    } catch (const kv::KvExcepcion& e) {
        EXPECT_EQ(e.error().numero, adoerr::NoAdmitido);
    }
    rs->SetLockType(ado::Optimista);
    rs->Asignar("A", 2);
    EXPECT_EQ(rs->Valor("A").toInt(), 2);  // the pending value is what the field shows
    EXPECT_THROW(rs->Update(), kv::KvExcepcion);
    rs->CancelUpdate();
    EXPECT_EQ(rs->Valor("A").toInt(), 1);
}

TEST(RecordsetCampos, UnaFilaNuevaEmpiezaConTodosLosCamposNulos) {
    auto rs = Crear({"A", "B"}, {{1, 2}});
    rs->SetLockType(ado::Optimista);
    rs->AddNew();
    EXPECT_TRUE(rs->Valor("A").isNull());
    rs->Asignar("B", 5);
    EXPECT_EQ(rs->Valor("B").toInt(), 5);
    EXPECT_TRUE(rs->Valor(0).isNull());
    rs->CancelUpdate();
    EXPECT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Valor("A").toInt(), 1);
}

TEST(RecordsetCampos, CampoFueraDeRangoYCerrado) {
    auto rs = Crear({"A"}, {{1}});
    EXPECT_THROW(rs->Field(1), kv::KvExcepcion);
    EXPECT_EQ(rs->Field(0).nombre, "A");
    rs->Close();
    try {
        rs->Valor(0);
        FAIL();
    } catch (const kv::KvExcepcion& e) {
        EXPECT_EQ(e.error().numero, adoerr::ObjetoCerrado);
        EXPECT_EQ(e.error().descripcion, "No se permite realizar la operación si el objeto está cerrado.");
    }
}

}  // namespace
