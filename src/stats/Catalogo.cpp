#include "stats/Catalogo.h"

namespace kv::stats {

const std::array<FilaCatalogo, kFilasCatalogo>& CatalogoGrupos() {
    static const std::array<FilaCatalogo, kFilasCatalogo> catalogo{{
        {QStringLiteral("UNegocio"), QStringLiteral("UNegocio"), QStringLiteral("V_TA_UNIDADNEGOCIO"),
         QStringLiteral("CODIGO"), false},
        {QStringLiteral("Fecha"), QStringLiteral("Fecha"), QString(), QString(), false},
        {QStringLiteral("Artículo"), QStringLiteral("IdArticulo"), QStringLiteral("V_MA_ARTICULOS"),
         QStringLiteral("IDARTICULO"), false},
        {QStringLiteral("Vendedor"), QStringLiteral("IdVendedor"), QStringLiteral("V_TA_VENDEDORES"),
         QStringLiteral("IDVENDEDOR"), false},
        {QStringLiteral("Cod. EAN"), QStringLiteral("CodigoBarra"), QStringLiteral("V_MA_ARTICULOS"),
         QStringLiteral("CODIGOBARRA"), false},
        {QStringLiteral("Cod. DUN"), QStringLiteral("CodigoBarraDUN"), QStringLiteral("V_MA_ARTICULOS"),
         QStringLiteral("CODIGOBARRADUN"), false},
        {QStringLiteral("Rubro"), QStringLiteral("IdRubro"), QStringLiteral("V_TA_RUBROS"),
         QStringLiteral("IDRUBRO"), false},
        {QStringLiteral("Marca"), QStringLiteral("IdTipo"), QStringLiteral("V_TA_TIPOARTICULO"),
         QStringLiteral("IDTIPO"), false},
        {QStringLiteral("Familia"), QStringLiteral("IdFamilia"),
         QStringLiteral("SELECT IDFAMILIA,DESCRIPCION FROM V_TA_FAMILIAS ORDER BY IDFAMILIA"),
         QStringLiteral("IDFAMILIA"), true},
        {QStringLiteral("Categoría"), QStringLiteral("IdCategoria"), QStringLiteral("V_TA_CATEGORIAARTICULO"),
         QStringLiteral("IDCATEGORIA"), false},
        {QStringLiteral("Cod. Art. Proveedor"), QStringLiteral("CodigoArtProveedor"),
         QStringLiteral("V_MA_ARTICULOS"), QStringLiteral("CODIGOARTPROVEEDOR"), false},
        {QStringLiteral("Proveedor"), QStringLiteral("CuentaProveedor"), QStringLiteral("VT_PROVEEDORES"),
         QStringLiteral("CODIGO"), false},
        {QStringLiteral("Cliente"), QStringLiteral("Cuenta"), QStringLiteral("VT_CLIENTES"),
         QStringLiteral("CODIGO"), false},
    }};
    return catalogo;
}

QString TextoFilaCatalogo(const FilaCatalogo& fila) {
    return fila.titulo + QString(100, QLatin1Char(' ')) + fila.codigo;
}

QString TituloDeEntrada(const QString& entrada) { return entrada.left(80).trimmed(); }

QString CodigoDeEntrada(const QString& entrada) { return entrada.mid(79).trimmed(); }

int IndiceCatalogo(const QString& codigo) {
    const QString buscado = codigo.trimmed();
    const auto& catalogo = CatalogoGrupos();
    for (int i = 0; i < kFilasCatalogo; ++i) {
        if (catalogo[static_cast<size_t>(i)].codigo.compare(buscado, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

const std::array<DefinicionCasilla, kCasillasOrden>& CasillasOrden() {
    static const std::array<DefinicionCasilla, kCasillasOrden> casillas{{
        {QStringLiteral("Fecha"), QStringLiteral("Convert(datetime,'01/' + Fecha)"), QStringLiteral("Fecha")},
        {QStringLiteral("Consumo"), QStringLiteral("Consumo"), QStringLiteral("Consumo")},
        {QStringLiteral("Valor Costo"), QStringLiteral("ValorCosto"), QStringLiteral("Costo")},
        {QStringLiteral("Valor Venta"), QStringLiteral("ValorVenta"), QStringLiteral("Venta")},
        {QStringLiteral("Utilidad s/Costo %"),
         QStringLiteral("(((SUM(ValorVenta) -SUM(ValorCosto))/SUM(ValorCosto))*100)"),
         QStringLiteral("UtlCtoPorc")},
        {QStringLiteral("Utilidad s/Venta %"),
         QStringLiteral("(((SUM(ValorVenta) - SUM(ValorCosto))/SUM(ValorVenta))*100)"),
         QStringLiteral("UtlVtaPorc")},
        {QStringLiteral("Utilidad $"), QStringLiteral("(SUM(ValorVenta) - SUM(ValorCosto))"),
         QStringLiteral("UtlVtaPesos")},
        {QStringLiteral("Grupo1"), QStringLiteral("Grupo1"), QStringLiteral("Grupo1")},
        {QStringLiteral("Grupo2"), QStringLiteral("Grupo2"), QStringLiteral("Grupo2")},
        {QStringLiteral("Grupo3"), QStringLiteral("Grupo3"), QStringLiteral("Grupo3")},
    }};
    return casillas;
}

const std::array<DefinicionCasilla, kCasillasTotal>& CasillasTotal() {
    static const std::array<DefinicionCasilla, kCasillasTotal> casillas{{
        {QStringLiteral("Consumo"), QStringLiteral("Consumo"), QStringLiteral("Consumo")},
        {QStringLiteral("Valor Costo"), QStringLiteral("ValorCosto"), QStringLiteral("Costo")},
        {QStringLiteral("Valor Venta"), QStringLiteral("ValorVenta"), QStringLiteral("Venta")},
        {QStringLiteral("Utilidad s/Costo %"), QStringLiteral("UTL_COSTOPorc"), QStringLiteral("UtlCtoPorc")},
        {QStringLiteral("Utilidad s/Venta %"), QStringLiteral("UTL_VENTAPorc"), QStringLiteral("UtlVtaPorc")},
        {QStringLiteral("Utilidad $"), QStringLiteral("UTILIDAD"), QStringLiteral("UtlPesos")},
    }};
    return casillas;
}

namespace {
template <size_t N>
int BuscarClave(const std::array<DefinicionCasilla, N>& casillas, const QString& clave) {
    for (size_t i = 0; i < N; ++i) {
        if (casillas[i].clave.compare(clave.trimmed(), Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    }
    return -1;
}
}  // namespace

int IndiceOrden(const QString& clave) { return BuscarClave(CasillasOrden(), clave); }
int IndiceTotal(const QString& clave) { return BuscarClave(CasillasTotal(), clave); }

QString TituloNivelVacio(int nivel) { return QStringLiteral("Grupo%1").arg(nivel + 1); }

}  // namespace kv::stats
