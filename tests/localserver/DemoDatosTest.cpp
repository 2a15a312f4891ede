// The demo data: the same seed and month give the same data, and the data has
// the shape the statistics need (hierarchical families, a long tail, 24 months,
// sales negative, other movement types present).

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCryptographicHash>
#include <QSet>
#include <QString>
#include <map>

#include "localserver/demo/DatosDemo.h"
#include "localserver/tsql/Funciones.h"
#include "soporte/CarpetasTemporales.h"

using namespace kv::local::demo;

namespace {

TEST(DemoDatos, MismoCatalogoParaLaMismaSemilla) {
    const CatalogoDemo a = CrearCatalogoDemo(7);
    const CatalogoDemo b = CrearCatalogoDemo(7);
    const CatalogoDemo c = CrearCatalogoDemo(8);
    ASSERT_EQ(a.articulos.size(), b.articulos.size());
    for (size_t i = 0; i < a.articulos.size(); ++i) {
        EXPECT_EQ(a.articulos[i].idArticulo, b.articulos[i].idArticulo);
        EXPECT_EQ(a.articulos[i].descripcion, b.articulos[i].descripcion);
        EXPECT_EQ(a.articulos[i].precio, b.articulos[i].precio);
    }
    bool distinto = a.articulos.size() != c.articulos.size();
    for (size_t i = 0; !distinto && i < a.articulos.size(); ++i)
        distinto = a.articulos[i].descripcion != c.articulos[i].descripcion;
    EXPECT_TRUE(distinto);
}

TEST(DemoDatos, FamiliasJerarquicasYCodigosCompletos) {
    const CatalogoDemo c = CrearCatalogoDemo(1);
    QSet<QString> familias;
    for (const Codigo& f : c.familias) {
        EXPECT_TRUE(f.codigo.size() == 2 || f.codigo.size() == 4 || f.codigo.size() == 6) << f.codigo.toStdString();
        familias.insert(f.codigo);
    }
    for (const Codigo& f : c.familias)
        if (f.codigo.size() > 2) {
            EXPECT_TRUE(familias.contains(f.codigo.left(f.codigo.size() - 2)));
        }
    QSet<QString> ids, marcas, rubros, categorias, proveedores;
    for (const Codigo& m : c.marcas) marcas.insert(m.codigo);
    for (const Codigo& r : c.rubros) rubros.insert(r.codigo);
    for (const Codigo& k : c.categorias) categorias.insert(k.codigo);
    for (const ClienteDemo& p : c.proveedores) proveedores.insert(p.codigo);
    EXPECT_GT(c.articulos.size(), 1500u);
    EXPECT_GE(c.clientes.size(), 1000u);
    for (const ArticuloDemo& a : c.articulos) {
        EXPECT_FALSE(ids.contains(a.idArticulo));
        ids.insert(a.idArticulo);
        EXPECT_LE(a.idArticulo.size(), 25);
        EXPECT_LE(a.descripcion.size(), 100);
        EXPECT_EQ(a.idFamilia.size(), 6);
        EXPECT_TRUE(familias.contains(a.idFamilia));
        EXPECT_TRUE(marcas.contains(a.idTipo));
        EXPECT_TRUE(rubros.contains(a.idRubro));
        EXPECT_TRUE(categorias.contains(a.idCategoria));
        EXPECT_TRUE(proveedores.contains(a.cuentaProveedor));
        EXPECT_EQ(a.codigoBarra.size(), 13);
        EXPECT_EQ(a.codigoBarraDUN.size(), 14);
        EXPECT_GT(a.precio, a.costo);
    }
    // A known EAN check digit: 779000000001 -> 7 (weights 1,3 from the left).
    EXPECT_TRUE(c.articulos.front().codigoBarra.startsWith(QStringLiteral("779")));
}

TEST(DemoDatos, MovimientosDeterministasEnVeinticuatroMeses) {
    const CatalogoDemo c = CrearCatalogoDemo(3);
    auto resumen = [&](int empresa) {
        GeneradorMovimientos g(c, 3, empresa, 20000, 2026, 12);
        QCryptographicHash hash(QCryptographicHash::Sha1);
        MovimientoDemo m;
        std::map<QString, int> meses;
        int ventas = 0, devoluciones = 0, otros = 0;
        std::map<int, int> porArticulo;
        while (g.Siguiente(m)) {
            hash.addData(QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8")
                             .arg(m.Fecha(), QLatin1String(m.tipo))
                             .arg(m.articulo)
                             .arg(m.cliente)
                             .arg(m.vendedor)
                             .arg(m.cantidad)
                             .arg(m.costoUnitario)
                             .arg(m.precioUnitario)
                             .toUtf8());
            if (QLatin1String(m.tipo) == QLatin1String("VTA")) {
                (m.cantidad < 0 ? ventas : devoluciones)++;
                EXPECT_GE(m.cliente, 0);
                EXPECT_GE(m.vendedor, 0);
                ++porArticulo[m.articulo];
            } else {
                ++otros;
            }
            ++meses[m.Fecha().left(7)];
        }
        EXPECT_EQ(ventas + devoluciones, 20000);
        EXPECT_GT(devoluciones, 0);
        EXPECT_GT(otros, 0);
        EXPECT_EQ(meses.size(), 24u);
        EXPECT_EQ(meses.begin()->first, QStringLiteral("2025-01"));
        EXPECT_EQ(meses.rbegin()->first, QStringLiteral("2026-12"));
        // A long tail: the ten best articles sell a good share, far from all of it.
        std::vector<int> cuentas;
        for (const auto& [a, n] : porArticulo) cuentas.push_back(n);
        std::sort(cuentas.rbegin(), cuentas.rend());
        int diez = 0;
        for (int i = 0; i < 10; ++i) diez += cuentas[size_t(i)];
        EXPECT_GT(diez, 20000 / 20);
        EXPECT_LT(diez, 20000 / 2);
        EXPECT_GT(porArticulo.size(), 500u);
        return hash.result();
    };
    EXPECT_EQ(resumen(0), resumen(0));
    EXPECT_NE(resumen(0), resumen(1));
}

TEST(DemoDatos, RepartoEntreLasDosEmpresas) {
    EXPECT_EQ(RepartirLineas(200000).norte, 120000);
    EXPECT_EQ(RepartirLineas(200000).sur, 80000);
    EXPECT_EQ(RepartirLineas(1).norte + RepartirLineas(1).sur, 1);
    EXPECT_EQ(RepartirLineas(0).norte, 0);
}

// The tables the demo writes, as the server declares them.
const char* kTablas =
    "CREATE TABLE TA_CONFIGURACION (Clave TEXT COLLATE KV NOT NULL PRIMARY KEY, Valor TEXT COLLATE KV,"
    " ValorAux TEXT COLLATE KV, Grupo TEXT COLLATE KV, PoliticaNegocio INTEGER DEFAULT 0);"
    "CREATE TABLE TA_USUARIOS (Nombre TEXT COLLATE KV NOT NULL PRIMARY KEY, UNegocio TEXT COLLATE KV,"
    " verproforma INTEGER DEFAULT 0, Administrador INTEGER DEFAULT 0);"
    "CREATE TABLE TA_UNIDADNEGOCIO (Codigo TEXT COLLATE KV PRIMARY KEY, Descripcion TEXT COLLATE KV);"
    "CREATE TABLE TA_DEPOSITO (IdDeposito TEXT COLLATE KV PRIMARY KEY, Descripcion TEXT COLLATE KV,"
    " UnidadNegocio TEXT COLLATE KV);"
    "CREATE TABLE TA_RUBROS (IdRubro TEXT COLLATE KV PRIMARY KEY, Descripcion TEXT COLLATE KV);"
    "CREATE TABLE TA_TIPOARTICULO (IdTipo TEXT COLLATE KV PRIMARY KEY, Descripcion TEXT COLLATE KV);"
    "CREATE TABLE TA_FAMILIAS (IdFamilia TEXT COLLATE KV PRIMARY KEY, Descripcion TEXT COLLATE KV);"
    "CREATE TABLE TA_CATEGORIAARTICULO (IdCategoria TEXT COLLATE KV PRIMARY KEY, Descripcion TEXT COLLATE KV);"
    "CREATE TABLE TA_VENDEDORES (IdVendedor TEXT COLLATE KV PRIMARY KEY, Nombre TEXT COLLATE KV,"
    " Dada_De_Baja INTEGER);"
    "CREATE TABLE MA_CUENTAS (Codigo TEXT COLLATE KV PRIMARY KEY, Descripcion TEXT, Razon_Social TEXT,"
    " TipoCuenta TEXT COLLATE KV, Contacto TEXT, Domicilio TEXT, Localidad TEXT, Telefono TEXT,"
    " Confidencial INTEGER, Dada_De_Baja INTEGER);"
    "CREATE TABLE MA_ARTICULOS (IdArticulo TEXT COLLATE KV PRIMARY KEY, Descripcion TEXT, CodigoBarra TEXT,"
    " CodigoBarraDUN TEXT, IdRubro TEXT, IdTipo TEXT, IdFamilia TEXT, IdCategoria TEXT, CodigoArtProveedor TEXT,"
    " CuentaProveedor TEXT, Suspendido INTEGER, PuntoPedido REAL, Stock REAL, Precio1 REAL, Precio2 REAL,"
    " Precio3 REAL, Precio4 REAL, Precio5 REAL, Precio6 REAL, Precio7 REAL, Precio8 REAL);"
    "CREATE TABLE MV_STOCK (Id INTEGER PRIMARY KEY, Fecha TEXT NOT NULL, TipoMovimiento TEXT COLLATE KV NOT NULL,"
    " UNegocio TEXT COLLATE KV, IdArticulo TEXT COLLATE KV NOT NULL, IdVendedor TEXT COLLATE KV,"
    " Cuenta TEXT COLLATE KV, Cantidad REAL NOT NULL, CostoUnitario REAL, PrecioUnitario REAL);"
    "CREATE TABLE V_MV_FALTANTES (Id INTEGER PRIMARY KEY, FechaHora TEXT, IdArticulo TEXT, Descripcion TEXT,"
    " Usuario TEXT);";

QByteArray HuellaTabla(sqlite3* db, const char* sql) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), SQLITE_OK);
    while (sqlite3_step(s) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(s); ++i) {
            const auto* t = sqlite3_column_text(s, i);
            hash.addData(QByteArray(t ? reinterpret_cast<const char*>(t) : "<null>"));
            hash.addData(QByteArray("|"));
        }
    }
    sqlite3_finalize(s);
    return hash.result();
}

TEST(DemoDatos, LlenaUnaEmpresaIgualCadaVez) {
    kv::pruebas::CarpetasTemporales carpetas;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((carpetas.datos() + QStringLiteral("NORTE.db")).toUtf8().constData(), &db), SQLITE_OK);
    kv::local::RegistrarFuncionesTSQL(db);
    ASSERT_EQ(sqlite3_exec(db, kTablas, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);

    // Progress at every tenth of the sale lines, the last at the total.
    std::vector<std::pair<std::int64_t, std::int64_t>> avances;
    EstablecerAvanceDemo([&](const QString& empresa, std::int64_t escritas, std::int64_t total) {
        EXPECT_EQ(empresa, QStringLiteral("NORTE"));
        avances.emplace_back(escritas, total);
    });
    const ResumenDemo r = LlenarEmpresaDemo(db, 5, 0, 3000, 2026, 12, QStringLiteral("NORTE"));
    EstablecerAvanceDemo({});
    ASSERT_EQ(avances.size(), 10u);
    for (std::size_t i = 0; i < avances.size(); ++i)
        EXPECT_EQ(avances[i], std::make_pair(std::int64_t(300 * (i + 1)), std::int64_t(3000)));
    EXPECT_EQ(r.lineasVenta, 3000);
    EXPECT_GT(r.movimientos, 3000);
    const char* consultaStock =
        "SELECT Fecha, TipoMovimiento, UNegocio, IdArticulo, IdVendedor, Cuenta, Cantidad, CostoUnitario, "
        "PrecioUnitario FROM MV_STOCK ORDER BY Id";
    const QByteArray primera = HuellaTabla(db, consultaStock);
    const QByteArray articulos = HuellaTabla(db, "SELECT * FROM MA_ARTICULOS ORDER BY IdArticulo");

    // Refreshing replaces everything and gives the same data again.
    const ResumenDemo otra = LlenarEmpresaDemo(db, 5, 0, 3000, 2026, 12, QStringLiteral("NORTE"));
    EXPECT_EQ(otra.movimientos, r.movimientos);
    EXPECT_EQ(HuellaTabla(db, consultaStock), primera);
    EXPECT_EQ(HuellaTabla(db, "SELECT * FROM MA_ARTICULOS ORDER BY IdArticulo"), articulos);

    auto escalar = [&](const char* sql) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
        QString v;
        if (sqlite3_step(s) == SQLITE_ROW) v = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
        return v;
    };
    EXPECT_EQ(escalar("SELECT Valor FROM TA_CONFIGURACION WHERE Clave = 'CANTIDADDECIMALES'"), QStringLiteral("2"));
    EXPECT_EQ(escalar("SELECT count(*) FROM TA_USUARIOS WHERE Nombre = 'norte'"), QStringLiteral("1"));
    EXPECT_EQ(escalar("SELECT count(*) FROM MV_STOCK WHERE TipoMovimiento = 'VTA'"), QStringLiteral("3000"));
    EXPECT_EQ(escalar("SELECT count(*) FROM MV_STOCK s LEFT JOIN MA_ARTICULOS a ON a.IdArticulo = s.IdArticulo "
                      "WHERE a.IdArticulo IS NULL"),
              QStringLiteral("0"));
    EXPECT_EQ(escalar("SELECT count(*) FROM MV_STOCK s LEFT JOIN MA_CUENTAS c ON c.Codigo = s.Cuenta "
                      "WHERE s.Cuenta IS NOT NULL AND c.Codigo IS NULL"),
              QStringLiteral("0"));
    EXPECT_EQ(escalar("SELECT count(DISTINCT substr(Fecha, 1, 7)) FROM MV_STOCK"), QStringLiteral("24"));
    EXPECT_EQ(escalar("SELECT count(*) FROM MA_CUENTAS WHERE TipoCuenta = 'P'"), QStringLiteral("60"));
    sqlite3_close(db);
}

}  // namespace
