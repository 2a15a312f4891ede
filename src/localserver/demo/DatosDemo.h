#pragma once
// Demo data of an ERP company: catalogs (business units, stores, sections,
// brands, hierarchical families, categories, sellers, customers, suppliers,
// articles) and stock movements over the 24 months up to a given one.
// Everything follows from a seed: the same seed and month give the same data,
// on any machine (own random generator, no library distributions).

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

struct sqlite3;

namespace kv::local::demo {

// Deterministic random numbers (splitmix64).
class Azar {
public:
    explicit Azar(std::uint64_t semilla) : estado_(semilla) {}
    std::uint64_t Siguiente();
    // Whole number in [0, n).
    std::uint32_t Entero(std::uint32_t n);
    // Real number in [0, 1).
    double Real();

private:
    std::uint64_t estado_;
};

struct Codigo {
    QString codigo;
    QString descripcion;
};

struct ArticuloDemo {
    QString idArticulo;
    QString descripcion;
    QString codigoBarra;     // EAN-13 with its check digit
    QString codigoBarraDUN;  // DUN-14
    QString idRubro;
    QString idTipo;
    QString idFamilia;  // third-level family code (six digits)
    QString idCategoria;
    QString codigoArtProveedor;
    QString cuentaProveedor;
    double costo = 0;   // cost in the last month
    double precio = 0;  // list price in the last month
    int cantidadMaxima = 1;
    bool suspendido = false;
};

struct ClienteDemo {
    QString codigo;
    QString razonSocial;
    QString contacto;
    QString domicilio;
    QString localidad;
    QString telefono;
    int vendedor = 0;  // index of the seller who usually serves it
};

struct CatalogoDemo {
    std::vector<Codigo> unidades;     // TA_UNIDADNEGOCIO
    std::vector<Codigo> depositos;    // TA_DEPOSITO (descripcion; unit = same index % units)
    std::vector<Codigo> rubros;       // TA_RUBROS
    std::vector<Codigo> marcas;       // TA_TIPOARTICULO
    std::vector<Codigo> familias;     // TA_FAMILIAS, every level: 01, 0101, 010101
    std::vector<Codigo> categorias;   // TA_CATEGORIAARTICULO
    std::vector<Codigo> vendedores;   // TA_VENDEDORES
    std::vector<ClienteDemo> clientes;     // MA_CUENTAS, TipoCuenta 'C'
    std::vector<ClienteDemo> proveedores;  // MA_CUENTAS, TipoCuenta 'P'
    std::vector<ArticuloDemo> articulos;   // MA_ARTICULOS
};

// The catalogs of the seed (the same for every company of the demo).
CatalogoDemo CrearCatalogoDemo(std::uint64_t semilla);

// One stock movement.
struct MovimientoDemo {
    char fecha[20] = {};     // "YYYY-MM-DD HH:MM:SS", NUL-terminated
    const char* tipo = "VTA";  // VTA sale (negative) or return (positive); CMP purchase; AJU adjustment
    int unidad = 0;          // indices into the catalog
    int articulo = 0;
    int vendedor = -1;       // -1: none (movements that are not sales)
    int cliente = -1;
    double cantidad = 0;
    double costoUnitario = 0;
    double precioUnitario = 0;
    QString Fecha() const { return QString::fromLatin1(fecha, 19); }
};

// Generates the movements of one company: `lineasVenta` sale lines (TipoMovimiento
// 'VTA', a few of them returns) spread over the 24 months ending in
// `anio`/`mes`, and about one purchase or adjustment every twelve sale lines.
// Popularity of articles and customers follows a long-tailed law.
class GeneradorMovimientos {
public:
    GeneradorMovimientos(const CatalogoDemo& catalogo, std::uint64_t semilla, int indiceEmpresa,
                         std::int64_t lineasVenta, int anio, int mes);
    // The next movement; false once every sale line has been given.
    bool Siguiente(MovimientoDemo& movimiento);
    // First and last month covered, as month codes anio*12 + mes-1.
    int PrimerMes() const { return mesFinal_ - 23; }
    int UltimoMes() const { return mesFinal_; }

private:
    int ElegirMes();
    const CatalogoDemo& catalogo_;
    Azar azar_;
    std::int64_t restantes_;
    int mesFinal_;
    std::vector<double> acumArticulos_, acumClientes_, acumMeses_;
    std::vector<int> ordenArticulos_, ordenClientes_;
};

// How the demo's sale lines are shared between its two companies.
struct Reparto {
    std::int64_t norte = 0;
    std::int64_t sur = 0;
};
Reparto RepartirLineas(std::int64_t total);

struct ResumenDemo {
    std::int64_t articulos = 0;
    std::int64_t clientes = 0;
    std::int64_t movimientos = 0;
    std::int64_t lineasVenta = 0;
};

// Replaces the demo data of a company database that already holds the ERP
// schema: the catalogs, the configuration key CantidadDecimales = "2", a user
// row for `usuario`, and the movements. One transaction. Throws
// kv::local::ErrorServidor when the database refuses a row.
ResumenDemo LlenarEmpresaDemo(sqlite3* base, std::uint64_t semilla, int indiceEmpresa, std::int64_t lineasVenta,
                              int anio, int mes, const QString& usuario);

// Progress of the sale lines being written, for a program that fills the demo
// in its own process: called with the lines written so far and the total of
// the company, at every tenth of it and at its end (not at all for fewer than
// ten lines). Set before any filling starts; empty, nothing is reported.
// The company is named by its database. The two companies may be filled at once, from two
// threads: the function is called from the thread that fills.
using AvanceDemo = std::function<void(const QString& empresa, std::int64_t escritas, std::int64_t total)>;
void EstablecerAvanceDemo(AvanceDemo avance);

// Server procedure KV_DEMO_LLENAR semilla, lineas, indice, 'M/AAAA': fills the
// calling connection's database (the demo command runs it as administrator).
inline constexpr const char* kNombreProcedimientoDemo = "KV_DEMO_LLENAR";
void RegistrarProcedimientoDemo();

}  // namespace kv::local::demo
