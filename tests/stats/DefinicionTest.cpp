// Catalog and the packing of a definition into Campos, Orden and Totalizadores.
#include <gtest/gtest.h>

#include "stats/Catalogo.h"
#include "stats/Definicion.h"

using namespace kv::stats;

namespace {
std::array<bool, kFilasCatalogo> Marcar(std::initializer_list<const char*> codigos) {
    std::array<bool, kFilasCatalogo> grupos{};
    for (const char* c : codigos) grupos[static_cast<size_t>(IndiceCatalogo(QString::fromUtf8(c)))] = true;
    return grupos;
}
}  // namespace

TEST(Catalogo, TreceFilasEnSuOrdenConTituloYCodigo) {
    const auto& c = CatalogoGrupos();
    ASSERT_EQ(c.size(), 13u);
    EXPECT_EQ(c[0].titulo, "UNegocio");
    EXPECT_EQ(c[1].codigo, "Fecha");
    EXPECT_EQ(c[2].titulo, QString::fromUtf8("Artículo"));
    EXPECT_EQ(c[2].codigo, "IdArticulo");
    EXPECT_EQ(c[4].titulo, "Cod. EAN");
    EXPECT_EQ(c[7].titulo, "Marca");
    EXPECT_EQ(c[7].codigo, "IdTipo");
    EXPECT_EQ(c[8].fuente, "SELECT IDFAMILIA,DESCRIPCION FROM V_TA_FAMILIAS ORDER BY IDFAMILIA");
    EXPECT_TRUE(c[8].arbol);
    EXPECT_EQ(c[9].titulo, QString::fromUtf8("Categoría"));
    EXPECT_EQ(c[10].codigo, "CodigoArtProveedor");
    EXPECT_EQ(c[11].codigo, "CuentaProveedor");
    EXPECT_EQ(c[12].titulo, "Cliente");
    EXPECT_EQ(c[12].codigo, "Cuenta");
}

TEST(Catalogo, EntradaDeListaGuardaElCodigoDesdeElCaracter80) {
    const QString entrada = TextoFilaCatalogo(CatalogoGrupos()[10]);
    EXPECT_EQ(entrada, QString("Cod. Art. Proveedor") + QString(100, ' ') + "CodigoArtProveedor");
    EXPECT_EQ(TituloDeEntrada(entrada), "Cod. Art. Proveedor");
    EXPECT_EQ(CodigoDeEntrada(entrada), "CodigoArtProveedor");
    EXPECT_EQ(IndiceCatalogo(" idarticulo "), 2);
    EXPECT_EQ(IndiceCatalogo("' '"), -1);
}

TEST(Catalogo, CasillasConSusEtiquetasYClaves) {
    EXPECT_EQ(CasillasOrden()[0].etiqueta, "Convert(datetime,'01/' + Fecha)");
    EXPECT_EQ(CasillasOrden()[4].etiqueta, "(((SUM(ValorVenta) -SUM(ValorCosto))/SUM(ValorCosto))*100)");
    EXPECT_EQ(CasillasOrden()[5].etiqueta, "(((SUM(ValorVenta) - SUM(ValorCosto))/SUM(ValorVenta))*100)");
    EXPECT_EQ(CasillasOrden()[6].etiqueta, "(SUM(ValorVenta) - SUM(ValorCosto))");
    EXPECT_EQ(IndiceOrden("utlvtapesos"), 6);
    EXPECT_EQ(IndiceTotal("UTLPESOS"), 5);
    EXPECT_EQ(CasillasTotal()[3].etiqueta, "UTL_COSTOPorc");
    EXPECT_EQ(CasillasTotal()[4].titulo, "Utilidad s/Venta %");
}

TEST(Campos, UnoDosYTresGruposConSusRellenos) {
    EXPECT_EQ(CamposParaSentencia(Marcar({"IdArticulo"})), "IdArticulo,'' '','' ''");
    EXPECT_EQ(CamposParaSentencia(Marcar({"IdVendedor", "IdArticulo"})), "IdArticulo,IdVendedor,'' ''");
    EXPECT_EQ(CamposParaSentencia(Marcar({"Cuenta", "UNegocio", "IdFamilia"})), "UNegocio,IdFamilia,Cuenta");
    EXPECT_EQ(CamposParaSentencia({}), "");
}

TEST(Campos, SeLeenDeVueltaSinQueLosRellenosMarquenNada) {
    const auto grupos = GruposDesdeCampos("IdArticulo,IdVendedor,' '");
    EXPECT_EQ(grupos, Marcar({"IdArticulo", "IdVendedor"}));
    EXPECT_EQ(GruposDesdeCampos("idarticulo ,' ',' '"), Marcar({"IdArticulo"}));
    EXPECT_EQ(GruposDesdeCampos(""), (std::array<bool, kFilasCatalogo>{}));
    const auto titulos = TitulosDeGrupos(grupos);
    EXPECT_EQ(titulos[0], QString::fromUtf8("Artículo"));
    EXPECT_EQ(titulos[1], "Vendedor");
    EXPECT_EQ(titulos[2], "Grupo3");
    EXPECT_TRUE(NivelAsignado(titulos, 1));
    EXPECT_FALSE(NivelAsignado(titulos, 2));
}

TEST(Campos, ElOrdenDeLasMarcasNoCambiaElTextoYLaReconstruccionSeDecide) {
    // A new definition always rebuilds; the same set of fields does not.
    EXPECT_TRUE(GruposCambiaron("", "IdArticulo,'' '','' ''"));
    EXPECT_FALSE(GruposCambiaron("IdArticulo,' ',' '", "IdArticulo,'' '','' ''"));
    EXPECT_FALSE(GruposCambiaron("IDARTICULO,' ',' '", "IdArticulo,'' '','' ''"));
    EXPECT_TRUE(GruposCambiaron("IdArticulo,' ',' '", "IdArticulo,IdVendedor,'' ''"));
}

TEST(Orden, CodificaDiezCasillasYLaDireccion) {
    EstadoOrden orden{};
    MarcarOrden(orden, 7, true);
    EXPECT_EQ(CodificarOrden(orden, true), "0x|0x|0x|0x|0x|0x|0x|11|0x|0x|A");
    EXPECT_EQ(CodificarOrden(orden, true).size(), 31);
    for (int i = 0; i < kCasillasOrden; ++i) MarcarOrden(orden, i, true);
    const QString todas = CodificarOrden(orden, false);
    EXPECT_EQ(todas.size(), 32);
    EXPECT_TRUE(todas.endsWith("|D"));
}

TEST(Orden, SeLeeDeVueltaCasillaPorCasilla) {
    EstadoOrden orden{};
    bool ascendente = true;
    DecodificarOrden("0x|0x|0x|12|0x|0x|0x|11|0x|0x|D", orden, ascendente);
    EXPECT_FALSE(ascendente);
    EXPECT_TRUE(orden[3].marcada);
    EXPECT_EQ(orden[3].posicion, "2");
    EXPECT_TRUE(orden[7].marcada);
    EXPECT_EQ(orden[7].posicion, "1");
    EXPECT_FALSE(orden[0].marcada);
    EXPECT_EQ(orden[0].posicion, "x");
    EXPECT_EQ(CodificarOrden(orden, ascendente), "0x|0x|0x|12|0x|0x|0x|11|0x|0x|D");

    // Ten ticked boxes: the label "10" reads back whole.
    EstadoOrden todas{};
    for (int i = 0; i < kCasillasOrden; ++i) MarcarOrden(todas, i, true);
    EstadoOrden leidas{};
    DecodificarOrden(CodificarOrden(todas, true), leidas, ascendente);
    EXPECT_TRUE(ascendente);
    EXPECT_EQ(leidas[9].posicion, "10");
}

TEST(Orden, TextoVacioNoTocaYTextoDanadoNoRompe) {
    EstadoOrden orden{};
    MarcarOrden(orden, 2, true);
    bool ascendente = false;
    DecodificarOrden("   ", orden, ascendente);
    EXPECT_TRUE(orden[2].marcada);
    EXPECT_FALSE(ascendente);
    DecodificarOrden("11|0x|", orden, ascendente);
    EXPECT_TRUE(orden[0].marcada);
    EXPECT_FALSE(orden[2].marcada);
    EXPECT_EQ(orden[9].posicion, "x");
}

TEST(Orden, LasPosicionesSeRenumeranSinHuecos) {
    EstadoOrden orden{};
    MarcarOrden(orden, 1, true);  // A
    MarcarOrden(orden, 2, true);  // B
    MarcarOrden(orden, 3, true);  // C
    EXPECT_EQ(orden[1].posicion, "1");
    EXPECT_EQ(orden[2].posicion, "2");
    EXPECT_EQ(orden[3].posicion, "3");
    MarcarOrden(orden, 2, false);
    EXPECT_EQ(orden[1].posicion, "1");
    EXPECT_EQ(orden[2].posicion, "x");
    EXPECT_EQ(orden[3].posicion, "2");
    MarcarOrden(orden, 5, true);  // D
    EXPECT_EQ(orden[5].posicion, "3");
}

TEST(Totalizadores, SeisDigitosEnAmbosSentidos) {
    Definicion d;
    EXPECT_EQ(CodificarTotalizadores(d.totales), "111000");
    std::array<bool, kCasillasTotal> t{};
    DecodificarTotalizadores("010011", t);
    EXPECT_EQ(t, (std::array<bool, kCasillasTotal>{false, true, false, false, true, true}));
    DecodificarTotalizadores("", t);  // untouched
    EXPECT_TRUE(t[5]);
    DecodificarTotalizadores("1", t);  // missing digits untick
    EXPECT_EQ(t, (std::array<bool, kCasillasTotal>{true, false, false, false, false, false}));
}
