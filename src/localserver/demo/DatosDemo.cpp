#include "localserver/demo/DatosDemo.h"

#include <sqlite3.h>

#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <memory>
#include <limits>
#include <optional>
#include <thread>

#include "localserver/BaseSqlite.h"
#include "localserver/ErrorServidor.h"
#include "localserver/Procedimientos.h"

namespace kv::local::demo {

std::uint64_t Azar::Siguiente() {
    std::uint64_t z = (estado_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint32_t Azar::Entero(std::uint32_t n) {
    return n == 0 ? 0 : std::uint32_t(Siguiente() % n);
}

double Azar::Real() {
    return double(Siguiente() >> 11) * (1.0 / 9007199254740992.0);
}

namespace {

// --- Fixed texts of the demo ------------------------------------------------

struct Subfamilia {
    const char* nombre;
    std::vector<const char*> productos;
};

struct RubroDemo {
    const char* nombre;
    double costoMinimo, costoMaximo;
    int cantidadMaxima;
    std::vector<const char*> presentaciones;
    std::vector<Subfamilia> subfamilias;
};

const std::vector<RubroDemo>& Rubros() {
    static const std::vector<RubroDemo> r = {
        {"Almacén", 300, 4500, 6, {"500 g", "1 kg", "250 g", "x 3 u.", "2 kg"},
         {{"Arroz y legumbres", {"Arroz largo fino", "Arroz integral", "Lentejas", "Garbanzos", "Porotos"}},
          {"Pastas", {"Fideos tirabuzón", "Fideos spaghetti", "Ñoquis de papa", "Ravioles"}},
          {"Aceites y aderezos", {"Aceite de girasol", "Aceite de oliva", "Vinagre de alcohol", "Mayonesa", "Mostaza"}},
          {"Infusiones", {"Yerba mate", "Té en saquitos", "Café molido", "Mate cocido"}}}},
        {"Bebidas", 400, 9000, 12, {"500 ml", "1,5 L", "2,25 L", "750 ml", "lata 473 ml"},
         {{"Gaseosas", {"Gaseosa cola", "Gaseosa lima limón", "Agua tónica", "Gaseosa naranja"}},
          {"Aguas", {"Agua mineral", "Agua saborizada", "Soda en sifón"}},
          {"Vinos", {"Vino tinto Malbec", "Vino blanco Torrontés", "Vino rosado", "Espumante brut"}},
          {"Cervezas", {"Cerveza rubia", "Cerveza negra", "Cerveza roja"}}}},
        {"Limpieza", 350, 6000, 6, {"500 ml", "1 L", "3 L", "x 4 u.", "800 g"},
         {{"Cuidado de la ropa", {"Jabón en polvo", "Suavizante", "Quitamanchas", "Jabón líquido"}},
          {"Limpieza del hogar", {"Lavandina", "Detergente", "Limpiador de pisos", "Desengrasante"}},
          {"Papeles", {"Papel higiénico", "Rollo de cocina", "Servilletas"}}}},
        {"Perfumería", 500, 8000, 4, {"200 ml", "400 ml", "90 g", "x 2 u.", "150 ml"},
         {{"Cuidado personal", {"Champú", "Acondicionador", "Jabón de tocador", "Desodorante"}},
          {"Cuidado bucal", {"Pasta dental", "Cepillo de dientes", "Enjuague bucal"}}}},
        {"Ferretería", 200, 25000, 10, {"x 1 u.", "x 10 u.", "x 100 u.", "chico", "grande"},
         {{"Herramientas", {"Martillo", "Destornillador", "Pinza universal", "Llave francesa"}},
          {"Fijaciones", {"Tornillos para madera", "Clavos", "Tarugos", "Bulones"}},
          {"Electricidad", {"Cable unipolar", "Lámpara LED", "Tomacorriente", "Cinta aisladora"}}}},
        {"Librería", 150, 7000, 10, {"x 1 u.", "x 12 u.", "A4", "rayado", "cuadriculado"},
         {{"Escritura", {"Lápiz negro", "Bolígrafo azul", "Marcador permanente", "Resaltador"}},
          {"Papel", {"Cuaderno tapa dura", "Resma de papel", "Block de hojas", "Carpeta escolar"}}}},
        {"Lácteos y frescos", 300, 6000, 8, {"1 L", "500 g", "200 g", "x 4 u.", "1 kg"},
         {{"Leches", {"Leche entera", "Leche descremada", "Leche chocolatada"}},
          {"Quesos", {"Queso cremoso", "Queso rallado", "Queso de máquina", "Queso azul"}},
          {"Yogures y postres", {"Yogur bebible", "Yogur firme", "Flan", "Dulce de leche"}}}},
        {"Golosinas y snacks", 100, 3500, 20, {"x 1 u.", "150 g", "x 6 u.", "300 g", "caja x 24"},
         {{"Chocolates", {"Chocolate con leche", "Chocolate amargo", "Bombones"}},
          {"Galletitas", {"Galletitas dulces", "Galletitas de agua", "Obleas"}},
          {"Snacks", {"Papas fritas", "Maní salado", "Palitos salados"}}}},
    };
    return r;
}

const char* const kMarcas[] = {"Don Aurelio", "Sol del Sur", "Campo Verde", "La Quintana", "Río Claro",
                               "Tres Lomas",  "El Aljibe",   "Santa Brígida", "Puerto Azul", "Los Tilos",
                               "Doña Clara",  "Cumbre",      "Valle Alto", "La Posta", "Brisa",
                               "Ñandubay",    "San Ignacio", "Alborada", "El Molino", "Pampa Serena",
                               "Tierra Fina", "Norteña",     "Mar Chiquita", "Arrayán"};

const char* const kNombres[] = {"Juan", "María", "Carlos", "Ana", "Luis", "Lucía", "Jorge", "Sofía",
                                "Pedro", "Valeria", "Miguel", "Carolina", "Diego", "Paula", "Andrés",
                                "Gabriela", "Martín", "Florencia", "Ramón", "Inés", "Sergio", "Mónica",
                                "Hernán", "Verónica", "Ignacio", "Natalia", "Tomás", "Silvina"};
const char* const kApellidos[] = {"García", "Fernández", "González", "Rodríguez", "López", "Martínez",
                                  "Pérez", "Sánchez", "Romero", "Díaz", "Álvarez", "Torres", "Ruiz",
                                  "Ramírez", "Flores", "Acosta", "Benítez", "Medina", "Suárez", "Herrera",
                                  "Aguirre", "Giménez", "Molina", "Castro", "Ortiz", "Núñez", "Peña",
                                  "Sosa", "Ibáñez", "Quiroga"};
const char* const kLocalidades[] = {"Córdoba", "Rosario", "Mendoza", "San Miguel", "Salta", "Neuquén",
                                    "Santa Fe", "Paraná", "Posadas", "Río Cuarto", "Villa María",
                                    "San Luis", "La Rioja", "Tandil", "Bahía Blanca", "Junín"};
const char* const kCalles[] = {"Av. San Martín", "Belgrano", "Rivadavia", "Sarmiento", "Mitre",
                               "Av. Colón", "Moreno", "Urquiza", "Las Heras", "Alvear", "Güemes", "Lavalle"};
const char* const kComercios[] = {"Almacén", "Autoservicio", "Supermercado", "Kiosco", "Despensa",
                                  "Distribuidora", "Minimercado", "Ferretería", "Librería", "Farmacia"};
const char* const kProveedores[] = {"Distribuidora", "Mayorista", "Industrias", "Alimentos", "Comercial",
                                    "Importadora", "Laboratorios", "Papelera"};

template <typename T, size_t N>
QString Uno(Azar& azar, const T (&lista)[N]) {
    return QString::fromUtf8(lista[azar.Entero(std::uint32_t(N))]);
}

QString Digitos(std::uint64_t numero, int ancho) {
    return QString::number(numero).rightJustified(ancho, QLatin1Char('0'), true);
}

// Check digit of an EAN/DUN code (weights 3,1 from the right).
QChar DigitoVerificador(const QString& sinDigito) {
    int suma = 0;
    for (int i = int(sinDigito.size()) - 1, peso = 3; i >= 0; --i, peso = 4 - peso)
        suma += (sinDigito.at(i).unicode() - '0') * peso;
    return QChar('0' + (10 - suma % 10) % 10);
}

double Centavos(double v) {
    return std::round(v * 100.0) / 100.0;
}

// Cumulative weights of a long-tailed popularity law over n items.
std::vector<double> Acumulados(size_t n, double exponente) {
    std::vector<double> a(n);
    double suma = 0;
    for (size_t i = 0; i < n; ++i) {
        suma += 1.0 / std::pow(double(i + 1), exponente);
        a[i] = suma;
    }
    return a;
}

size_t Elegir(const std::vector<double>& acumulados, double r) {
    const double objetivo = r * acumulados.back();
    const auto it = std::upper_bound(acumulados.begin(), acumulados.end(), objetivo);
    return std::min(size_t(it - acumulados.begin()), acumulados.size() - 1);
}

template <typename T>
void Mezclar(std::vector<T>& v, Azar& azar) {
    for (size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[azar.Entero(std::uint32_t(i))]);
}

}  // namespace

// --- Catalogs ---------------------------------------------------------------

CatalogoDemo CrearCatalogoDemo(std::uint64_t semilla) {
    CatalogoDemo c;
    Azar azar(semilla * 0x2545F4914F6CDD1Dull + 17);

    c.unidades = {{QStringLiteral("0001"), QStringLiteral("Casa Central")},
                  {QStringLiteral("0002"), QStringLiteral("Sucursal Centro")},
                  {QStringLiteral("0003"), QStringLiteral("Sucursal Terminal")},
                  {QStringLiteral("0004"), QStringLiteral("Venta Telefónica")}};
    c.depositos = {{QStringLiteral("DEP01"), QStringLiteral("Depósito Central")},
                   {QStringLiteral("DEP02"), QStringLiteral("Depósito Centro")},
                   {QStringLiteral("DEP03"), QStringLiteral("Depósito Terminal")},
                   {QStringLiteral("DEP04"), QStringLiteral("Depósito de Expedición")}};
    c.categorias = {{QStringLiteral("A"), QStringLiteral("Alta rotación")},
                    {QStringLiteral("B"), QStringLiteral("Rotación media")},
                    {QStringLiteral("C"), QStringLiteral("Baja rotación")},
                    {QStringLiteral("D"), QStringLiteral("Temporada")},
                    {QStringLiteral("E"), QStringLiteral("Liquidación")}};
    for (size_t i = 0; i < std::size(kMarcas); ++i)
        c.marcas.push_back({QStringLiteral("M") + Digitos(i + 1, 2), QString::fromUtf8(kMarcas[i])});

    for (int i = 0; i < 24; ++i) {
        const QString nombre = Uno(azar, kNombres) + QLatin1Char(' ') + Uno(azar, kApellidos);
        c.vendedores.push_back({QStringLiteral("V") + Digitos(i + 1, 2), nombre});
    }

    for (int i = 0; i < 60; ++i) {
        ClienteDemo p;
        p.codigo = QStringLiteral("P") + Digitos(i + 1, 4);
        p.razonSocial = Uno(azar, kProveedores) + QLatin1Char(' ') + Uno(azar, kApellidos) +
                        (azar.Entero(2) ? QStringLiteral(" S.A.") : QStringLiteral(" S.R.L."));
        p.contacto = Uno(azar, kNombres) + QLatin1Char(' ') + Uno(azar, kApellidos);
        p.domicilio = Uno(azar, kCalles) + QLatin1Char(' ') + QString::number(100 + azar.Entero(4900));
        p.localidad = Uno(azar, kLocalidades);
        p.telefono = QStringLiteral("0351-4") + Digitos(azar.Entero(1000000), 6);
        c.proveedores.push_back(p);
    }

    const int clientes = 4000;
    for (int i = 0; i < clientes; ++i) {
        ClienteDemo k;
        k.codigo = QStringLiteral("C") + Digitos(i + 1, 5);
        const QString apellido = Uno(azar, kApellidos);
        const QString nombre = Uno(azar, kNombres);
        if (azar.Entero(3) == 0)
            k.razonSocial = apellido + QStringLiteral(", ") + nombre;
        else
            k.razonSocial = Uno(azar, kComercios) + QStringLiteral(" ") + nombre + QLatin1Char(' ') + apellido;
        k.contacto = nombre + QLatin1Char(' ') + apellido;
        k.domicilio = Uno(azar, kCalles) + QLatin1Char(' ') + QString::number(10 + azar.Entero(5000));
        k.localidad = Uno(azar, kLocalidades);
        k.telefono = QStringLiteral("15-") + Digitos(azar.Entero(10000000), 7);
        k.vendedor = int(azar.Entero(std::uint32_t(c.vendedores.size())));
        c.clientes.push_back(k);
    }

    // Sections, three-level families and the articles under each family.
    const auto& rubros = Rubros();
    int numeroArticulo = 0;
    for (size_t r = 0; r < rubros.size(); ++r) {
        const RubroDemo& rubro = rubros[r];
        const QString codigoRubro = Digitos(r + 1, 2);
        c.rubros.push_back({QStringLiteral("R") + codigoRubro, QString::fromUtf8(rubro.nombre)});
        c.familias.push_back({codigoRubro, QString::fromUtf8(rubro.nombre)});
        for (size_t s = 0; s < rubro.subfamilias.size(); ++s) {
            const Subfamilia& sub = rubro.subfamilias[s];
            const QString codigoSub = codigoRubro + Digitos(s + 1, 2);
            c.familias.push_back({codigoSub, QString::fromUtf8(sub.nombre)});
            for (size_t p = 0; p < sub.productos.size(); ++p) {
                const QString codigoFamilia = codigoSub + Digitos(p + 1, 2);
                const QString producto = QString::fromUtf8(sub.productos[p]);
                c.familias.push_back({codigoFamilia, producto});
                const int cuantos = 20 + int(azar.Entero(31));
                for (int a = 0; a < cuantos; ++a) {
                    ArticuloDemo art;
                    ++numeroArticulo;
                    art.idArticulo = codigoFamilia + QLatin1Char('-') + Digitos(a + 1, 3);
                    const size_t marca = azar.Entero(std::uint32_t(c.marcas.size()));
                    const char* presentacion = rubro.presentaciones[azar.Entero(std::uint32_t(rubro.presentaciones.size()))];
                    art.descripcion = producto + QLatin1Char(' ') + c.marcas[marca].descripcion + QLatin1Char(' ') +
                                      QString::fromUtf8(presentacion);
                    const QString ean = QStringLiteral("779") + Digitos(std::uint64_t(numeroArticulo) * 7919 % 1000000000, 9);
                    art.codigoBarra = ean + DigitoVerificador(ean);
                    const QString dun = QStringLiteral("1") + ean;
                    art.codigoBarraDUN = dun + DigitoVerificador(dun);
                    art.idRubro = QStringLiteral("R") + codigoRubro;
                    art.idTipo = c.marcas[marca].codigo;
                    art.idFamilia = codigoFamilia;
                    const ClienteDemo& proveedor = c.proveedores[azar.Entero(std::uint32_t(c.proveedores.size()))];
                    art.cuentaProveedor = proveedor.codigo;
                    art.codigoArtProveedor = proveedor.codigo.mid(1) + QLatin1Char('/') + Digitos(azar.Entero(100000), 5);
                    art.costo = Centavos(rubro.costoMinimo + (rubro.costoMaximo - rubro.costoMinimo) *
                                                                 std::pow(azar.Real(), 2.0));
                    art.precio = Centavos(art.costo * (1.25 + 0.35 * azar.Real()));
                    art.cantidadMaxima = rubro.cantidadMaxima;
                    art.suspendido = azar.Entero(40) == 0;
                    c.articulos.push_back(art);
                }
            }
        }
    }
    // Categories follow how well an article sells (its place in the popularity order).
    std::vector<int> orden(c.articulos.size());
    for (size_t i = 0; i < orden.size(); ++i) orden[i] = int(i);
    Azar azarOrden(semilla ^ 0xA5A5A5A5ull);
    Mezclar(orden, azarOrden);
    for (size_t rango = 0; rango < orden.size(); ++rango) {
        const double parte = double(rango) / double(orden.size());
        ArticuloDemo& art = c.articulos[size_t(orden[rango])];
        art.idCategoria = parte < 0.1 ? QStringLiteral("A") : parte < 0.35 ? QStringLiteral("B")
                          : parte < 0.8 ? (rango % 7 == 0 ? QStringLiteral("D") : QStringLiteral("C"))
                                        : QStringLiteral("E");
    }
    return c;
}

// --- Movements ----------------------------------------------------------------

namespace {

// Writes `valor` as `ancho` decimal digits, zero-padded (the value fits).
char* Cifras(char* p, int valor, int ancho) {
    for (int i = ancho - 1; i >= 0; --i, valor /= 10) p[i] = char('0' + valor % 10);
    return p + ancho;
}

// "YYYY-MM-DD HH:MM:SS", the stored form of a datetime, without building a string per row.
void EscribirFecha(char (&fecha)[20], int anio, int mes, int dia, int hora, int minuto, int segundo) {
    char* p = Cifras(fecha, anio, 4);
    *p++ = '-';
    p = Cifras(p, mes, 2);
    *p++ = '-';
    p = Cifras(p, dia, 2);
    *p++ = ' ';
    p = Cifras(p, hora, 2);
    *p++ = ':';
    p = Cifras(p, minuto, 2);
    *p++ = ':';
    p = Cifras(p, segundo, 2);
    *p = '\0';
}

}  // namespace

GeneradorMovimientos::GeneradorMovimientos(const CatalogoDemo& catalogo, std::uint64_t semilla, int indiceEmpresa,
                                           std::int64_t lineasVenta, int anio, int mes)
    : catalogo_(catalogo),
      azar_(semilla * 0x9E3779B97F4A7C15ull + std::uint64_t(indiceEmpresa + 1) * 0xD1B54A32D192ED03ull),
      restantes_(lineasVenta),
      mesFinal_(anio * 12 + mes - 1) {
    acumArticulos_ = Acumulados(catalogo.articulos.size(), 1.05);
    acumClientes_ = Acumulados(catalogo.clientes.size(), 0.9);
    // The same popularity order as the categories, so category A sells most.
    ordenArticulos_.resize(catalogo.articulos.size());
    for (size_t i = 0; i < ordenArticulos_.size(); ++i) ordenArticulos_[i] = int(i);
    Azar azarOrden(semilla ^ 0xA5A5A5A5ull);
    Mezclar(ordenArticulos_, azarOrden);
    ordenClientes_.resize(catalogo.clientes.size());
    for (size_t i = 0; i < ordenClientes_.size(); ++i) ordenClientes_[i] = int(i);
    Azar azarClientes(semilla * 31 + std::uint64_t(indiceEmpresa));
    Mezclar(ordenClientes_, azarClientes);
    // Months: a slow growth, more sales in December and March, fewer in January.
    double suma = 0;
    for (int m = 0; m < 24; ++m) {
        const int mesDelAnio = (mesFinal_ - 23 + m) % 12 + 1;
        double peso = 1.0 + 0.01 * m;
        if (mesDelAnio == 12) peso *= 1.4;
        if (mesDelAnio == 3) peso *= 1.15;
        if (mesDelAnio == 1) peso *= 0.8;
        suma += peso;
        acumMeses_.push_back(suma);
    }
}

int GeneradorMovimientos::ElegirMes() {
    return mesFinal_ - 23 + int(Elegir(acumMeses_, azar_.Real()));
}

bool GeneradorMovimientos::Siguiente(MovimientoDemo& m) {
    if (restantes_ <= 0) return false;
    const int codigoMes = ElegirMes();
    const int anio = codigoMes / 12;
    const int mes = codigoMes % 12 + 1;
    const int dia = 1 + int(azar_.Entero(28));
    const int hora = 8 + int(azar_.Entero(13));
    const int minuto = int(azar_.Entero(60));
    const int segundo = int(azar_.Entero(60));
    EscribirFecha(m.fecha, anio, mes, dia, hora, minuto, segundo);
    m.articulo = ordenArticulos_[Elegir(acumArticulos_, azar_.Real())];
    const ArticuloDemo& art = catalogo_.articulos[size_t(m.articulo)];
    // Prices rise about 2% a month up to the last month's list.
    const double factor = std::pow(1.02, double(codigoMes - mesFinal_));
    const double costo = Centavos(art.costo * factor);
    const std::uint32_t clase = azar_.Entero(100);
    if (clase < 8) {
        // Not a sale: purchases and stock adjustments.
        m.tipo = clase < 6 ? "CMP" : "AJU";
        m.unidad = int(azar_.Entero(std::uint32_t(catalogo_.unidades.size())));
        m.vendedor = -1;
        m.cliente = -1;
        const double cantidad = double(1 + azar_.Entero(std::uint32_t(art.cantidadMaxima * 10)));
        m.cantidad = m.tipo[0] == 'C' ? cantidad : (azar_.Entero(2) ? cantidad : -cantidad) / 10.0;
        m.costoUnitario = costo;
        m.precioUnitario = 0;
        return true;
    }
    m.tipo = "VTA";
    m.cliente = ordenClientes_[Elegir(acumClientes_, azar_.Real())];
    const ClienteDemo& cliente = catalogo_.clientes[size_t(m.cliente)];
    m.vendedor = azar_.Entero(5) ? cliente.vendedor : int(azar_.Entero(std::uint32_t(catalogo_.vendedores.size())));
    const std::uint32_t u = azar_.Entero(100);
    m.unidad = u < 45 ? 0 : u < 70 ? 1 : u < 90 ? 2 : 3;
    double cantidad = double(1 + azar_.Entero(std::uint32_t(art.cantidadMaxima)));
    if (azar_.Entero(10) == 0) cantidad *= 5;  // an occasional bulk sale
    const bool devolucion = azar_.Entero(50) == 0;
    m.cantidad = devolucion ? cantidad : -cantidad;
    static const double descuentos[] = {0, 0, 0, 0.05, 0.1};
    m.costoUnitario = costo;
    m.precioUnitario = Centavos(art.precio * factor * (1.0 - descuentos[azar_.Entero(5)]));
    --restantes_;
    return true;
}

Reparto RepartirLineas(std::int64_t total) {
    Reparto r;
    r.norte = (total * 3 + 4) / 5;
    r.sur = total - r.norte;
    return r;
}

// --- Writing a company database ------------------------------------------------

namespace {

struct Liberar {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Preparada = std::unique_ptr<sqlite3_stmt, Liberar>;

[[noreturn]] void Fallo(sqlite3* db, const char* que) {
    throw ErrorServidor(50000, QStringLiteral("No se pudieron grabar los datos de demostración (%1): %2")
                                   .arg(QLatin1String(que), QString::fromUtf8(sqlite3_errmsg(db))));
}

void Ejecutar(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fallo(db, sql);
}

Preparada Preparar(sqlite3* db, const char* sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        Fallo(db, sql);
    }
    return Preparada(s);
}

void Texto(sqlite3_stmt* s, int i, const QString& t) {
    if (t.isNull()) {
        sqlite3_bind_null(s, i);
        return;
    }
    const QByteArray b = t.toUtf8();
    sqlite3_bind_text(s, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
}

void Paso(sqlite3* db, sqlite3_stmt* s, const char* que) {
    if (sqlite3_step(s) != SQLITE_DONE) Fallo(db, que);
    sqlite3_reset(s);
}

void Codigos(sqlite3* db, const char* sql, const std::vector<Codigo>& codigos) {
    Preparada s = Preparar(db, sql);
    for (const Codigo& c : codigos) {
        Texto(s.get(), 1, c.codigo);
        Texto(s.get(), 2, c.descripcion);
        Paso(db, s.get(), sql);
    }
}

// A transaction of our own, or a savepoint inside the caller's.
class Transaccion {
public:
    explicit Transaccion(sqlite3* db) : db_(db), anidada_(sqlite3_get_autocommit(db) == 0) {
        Ejecutar(db_, anidada_ ? "SAVEPOINT kv_demo" : "BEGIN IMMEDIATE");
    }
    ~Transaccion() {
        if (hecha_) return;
        if (anidada_)
            sqlite3_exec(db_, "ROLLBACK TO kv_demo; RELEASE kv_demo;", nullptr, nullptr, nullptr);
        else if (sqlite3_get_autocommit(db_) == 0)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void Confirmar() {
        Ejecutar(db_, anidada_ ? "RELEASE kv_demo" : "COMMIT");
        hecha_ = true;
    }

private:
    sqlite3* db_;
    bool anidada_;
    bool hecha_ = false;
};

class CacheAmplia {
public:
    explicit CacheAmplia(sqlite3* db) : db_(db) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, "PRAGMA cache_size", -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            anterior_ = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        sqlite3_exec(db_, "PRAGMA cache_size = -131072", nullptr, nullptr, nullptr);
    }
    ~CacheAmplia() {
        const QByteArray sql = "PRAGMA cache_size = " + QByteArray::number(anterior_);
        sqlite3_exec(db_, sql.constData(), nullptr, nullptr, nullptr);
    }

private:
    sqlite3* db_;
    qint64 anterior_ = -2000;
};

void Cuentas(sqlite3* db, sqlite3_stmt* s, const std::vector<ClienteDemo>& cuentas, const char* tipo) {
    for (size_t i = 0; i < cuentas.size(); ++i) {
        const ClienteDemo& k = cuentas[i];
        Texto(s, 1, k.codigo);
        Texto(s, 2, k.razonSocial);
        Texto(s, 3, k.razonSocial);
        sqlite3_bind_text(s, 4, tipo, -1, SQLITE_STATIC);
        Texto(s, 5, k.contacto);
        Texto(s, 6, k.domicilio);
        Texto(s, 7, k.localidad);
        Texto(s, 8, k.telefono);
        sqlite3_bind_int(s, 9, i % 97 == 5 ? 1 : 0);  // a few confidential accounts for the restricted views
        sqlite3_bind_int(s, 10, i % 53 == 7 ? 1 : 0);
        Paso(db, s, "MA_CUENTAS");
    }
}

// One text column of the first row of a query, or null when there is none.
std::optional<QByteArray> Primera(sqlite3* db, const char* sql, int columna = 0) {
    Preparada s = Preparar(db, sql);
    if (sqlite3_step(s.get()) != SQLITE_ROW) return std::nullopt;
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), columna));
    return t ? QByteArray(t) : QByteArray();
}

// Writing the movements' table in bulk, inside the caller's transaction:
// - its own indexes are dropped first and made again at the end: one sort per
//   index instead of a walk down a tree for every row, with the sorter's helper
//   threads on the other cores;
// - the identity values are handed out here, in the order the table's counter
//   would hand them out, and the counter is moved once at the end;
// - the table's triggers are off for the statement that inserts: the rows come
//   in the very form the normalizing trigger stores (ISO dates, money in whole
//   cents, codes within their lengths), and the identity trigger only guards
//   the counter this load keeps itself.
// A failure rolls all of it back with the transaction.
class CargaMasiva {
public:
    CargaMasiva(sqlite3* db, const char* tabla) : db_(db), tabla_(tabla) {
        {
            const QByteArray sql = "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL "
                                   "AND tbl_name = '" + tabla_ + "' COLLATE NOCASE ORDER BY rowid";
            Preparada s = Preparar(db_, sql.constData());
            while (sqlite3_step(s.get()) == SQLITE_ROW) {
                nombresIndices_.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0)));
                indices_.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 1)));
            }
        }
        for (const QByteArray& nombre : nombresIndices_)
            Ejecutar(db_, ("DROP INDEX \"" + QByteArray(nombre).replace('"', "\"\"") + "\"").constData());
        if (Primera(db_, "SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'kv_sys_identidad'")) {
            const QByteArray sql =
                "SELECT siguiente, incremento FROM kv_sys_identidad WHERE tabla = '" + tabla_ + "'";
            Preparada s = Preparar(db_, sql.constData());
            if (sqlite3_step(s.get()) == SQLITE_ROW) {
                identidad_ = true;
                siguiente_ = sqlite3_column_int64(s.get(), 0);
                incremento_ = sqlite3_column_int64(s.get(), 1);
            }
        }
        sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, -1, &disparadores_);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
        // The length checks of the code columns cost more than the rest of an insert; every
        // code the rows carry is checked once against its column instead (ComprobarLargo).
        controles_ = Primera(db_, "PRAGMA ignore_check_constraints").value_or("0") == "1" ? 1 : 0;
        Ejecutar(db_, "PRAGMA ignore_check_constraints = ON");
    }
    // Every one of `codigos` fits the column's declared length (the check the table would make).
    void ComprobarLargo(const char* columna, const std::vector<QByteArray>& codigos) {
        if (!Primera(db_, "SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'kv_sys_columnas'")) return;
        Preparada s = Preparar(db_, "SELECT longitud FROM kv_sys_columnas WHERE tabla = ?1 AND columna = ?2");
        sqlite3_bind_text(s.get(), 1, tabla_.constData(), int(tabla_.size()), SQLITE_STATIC);
        sqlite3_bind_text(s.get(), 2, columna, -1, SQLITE_STATIC);
        if (sqlite3_step(s.get()) != SQLITE_ROW) return;
        const qint64 largo = sqlite3_column_int64(s.get(), 0);
        if (largo <= 0) return;
        for (const QByteArray& codigo : codigos)
            if (QString::fromUtf8(codigo).size() > largo)
                throw ErrorServidor(50000, QStringLiteral("No se pudieron grabar los datos de demostración (%1): "
                                                          "el código \"%2\" no cabe en la columna %3.")
                                               .arg(QString::fromLatin1(tabla_), QString::fromUtf8(codigo),
                                                    QLatin1String(columna)));
    }
    ~CargaMasiva() { Restaurar(); }
    CargaMasiva(const CargaMasiva&) = delete;
    CargaMasiva& operator=(const CargaMasiva&) = delete;

    bool ConIdentidad() const { return identidad_; }
    // The identity value of the next row (and moves past it).
    std::int64_t SiguienteIdentidad() {
        const std::int64_t v = siguiente_;
        siguiente_ += incremento_;
        return v;
    }

    // Once every row is in: the triggers and checks back, the counter moved, the indexes made.
    void Terminar() {
        Restaurar();
        if (identidad_) {
            // The int column's own check, made once for the last value handed out.
            const std::int64_t ultima = siguiente_ - incremento_;
            if (ultima > std::numeric_limits<std::int32_t>::max() || ultima < std::numeric_limits<std::int32_t>::min())
                throw ErrorServidor(50000, QStringLiteral("No se pudieron grabar los datos de demostración (%1): "
                                                          "la identidad pasa del tipo int.")
                                               .arg(QString::fromLatin1(tabla_)));
            Preparada s = Preparar(db_, "UPDATE kv_sys_identidad SET siguiente = ?1 WHERE tabla = ?2");
            sqlite3_bind_int64(s.get(), 1, siguiente_);
            sqlite3_bind_text(s.get(), 2, tabla_.constData(), int(tabla_.size()), SQLITE_STATIC);
            Paso(db_, s.get(), "kv_sys_identidad");
        }
        // The sorter's runs are as large as the page cache: runs of a few megabytes stay in the
        // processor's caches and sort four times faster than runs of 128 MB (8 million keys:
        // 7 s against 31 s), and the merge of the many runs is cheap. The two companies are
        // filled at once, one per core, so helper threads only pay where there are more cores.
        const std::optional<QByteArray> hilos = Primera(db_, "PRAGMA threads");
        const std::optional<QByteArray> cache = Primera(db_, "PRAGMA cache_size");
        const unsigned nucleos = std::max(2u, std::min(std::thread::hardware_concurrency(), 4u));
        const QByteArray restaurar = "PRAGMA threads = " + hilos.value_or("0") +
                                     "; PRAGMA cache_size = " + cache.value_or("-2000");
        Ejecutar(db_, ("PRAGMA threads = " + QByteArray::number(nucleos - 2) + "; PRAGMA cache_size = -4096").constData());
        try {
            for (const QByteArray& indice : indices_) Ejecutar(db_, indice.constData());
        } catch (...) {
            sqlite3_exec(db_, restaurar.constData(), nullptr, nullptr, nullptr);
            throw;
        }
        Ejecutar(db_, restaurar.constData());
    }

private:
    void Restaurar() {
        if (controles_ >= 0)
            sqlite3_exec(db_, controles_ ? "PRAGMA ignore_check_constraints = ON" : "PRAGMA ignore_check_constraints = OFF",
                         nullptr, nullptr, nullptr);
        controles_ = -1;
        if (disparadores_ < 0) return;
        sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, disparadores_, nullptr);
        disparadores_ = -1;
    }

    sqlite3* db_;
    QByteArray tabla_;
    std::vector<QByteArray> nombresIndices_, indices_;
    bool identidad_ = false;
    std::int64_t siguiente_ = 1, incremento_ = 1;
    int disparadores_ = -1;
    int controles_ = -1;
};

AvanceDemo& Avance() {
    static AvanceDemo avance;
    return avance;
}

// The next count of sale lines at which progress is reported (every tenth).
std::int64_t SiguienteAviso(std::int64_t hechas, std::int64_t total) {
    const std::int64_t decimo = total / 10;
    return decimo <= 0 ? -1 : (hechas / decimo + 1) * decimo;
}

}  // namespace

void EstablecerAvanceDemo(AvanceDemo avance) { Avance() = std::move(avance); }

ResumenDemo LlenarEmpresaDemo(sqlite3* db, std::uint64_t semilla, int indiceEmpresa, std::int64_t lineasVenta,
                              int anio, int mes, const QString& usuario) {
    const CatalogoDemo c = CrearCatalogoDemo(semilla);
    ResumenDemo resumen;
    // A large page cache for this load only: the index sorts keep their runs in
    // it, and the rows' pages go to the log in long runs instead of one by one.
    // Bounded, as the two companies may be filled at once.
    CacheAmplia cache(db);
    Transaccion transaccion(db);
    Ejecutar(db,
             "DELETE FROM MV_STOCK; DELETE FROM MA_ARTICULOS; DELETE FROM MA_CUENTAS; DELETE FROM TA_VENDEDORES; "
             "DELETE FROM TA_CATEGORIAARTICULO; DELETE FROM TA_FAMILIAS; DELETE FROM TA_TIPOARTICULO; "
             "DELETE FROM TA_RUBROS; DELETE FROM TA_DEPOSITO; DELETE FROM TA_UNIDADNEGOCIO; "
             "DELETE FROM V_MV_FALTANTES;");

    Codigos(db, "INSERT INTO TA_UNIDADNEGOCIO (Codigo, Descripcion) VALUES (?1, ?2)", c.unidades);
    {
        Preparada s = Preparar(db, "INSERT INTO TA_DEPOSITO (IdDeposito, Descripcion, UnidadNegocio) VALUES (?1, ?2, ?3)");
        for (size_t i = 0; i < c.depositos.size(); ++i) {
            Texto(s.get(), 1, c.depositos[i].codigo);
            Texto(s.get(), 2, c.depositos[i].descripcion);
            Texto(s.get(), 3, c.unidades[i % c.unidades.size()].codigo);
            Paso(db, s.get(), "TA_DEPOSITO");
        }
    }
    Codigos(db, "INSERT INTO TA_RUBROS (IdRubro, Descripcion) VALUES (?1, ?2)", c.rubros);
    Codigos(db, "INSERT INTO TA_TIPOARTICULO (IdTipo, Descripcion) VALUES (?1, ?2)", c.marcas);
    Codigos(db, "INSERT INTO TA_FAMILIAS (IdFamilia, Descripcion) VALUES (?1, ?2)", c.familias);
    Codigos(db, "INSERT INTO TA_CATEGORIAARTICULO (IdCategoria, Descripcion) VALUES (?1, ?2)", c.categorias);
    {
        Preparada s = Preparar(db, "INSERT INTO TA_VENDEDORES (IdVendedor, Nombre, Dada_De_Baja) VALUES (?1, ?2, ?3)");
        for (size_t i = 0; i < c.vendedores.size(); ++i) {
            Texto(s.get(), 1, c.vendedores[i].codigo);
            Texto(s.get(), 2, c.vendedores[i].descripcion);
            sqlite3_bind_int(s.get(), 3, i == c.vendedores.size() - 1 ? 1 : 0);
            Paso(db, s.get(), "TA_VENDEDORES");
        }
    }
    {
        Preparada s = Preparar(db,
                               "INSERT INTO MA_CUENTAS (Codigo, Descripcion, Razon_Social, TipoCuenta, Contacto, "
                               "Domicilio, Localidad, Telefono, Confidencial, Dada_De_Baja) "
                               "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
        Cuentas(db, s.get(), c.clientes, "C");
        Cuentas(db, s.get(), c.proveedores, "P");
        resumen.clientes = std::int64_t(c.clientes.size());
    }
    {
        Preparada s = Preparar(db,
                               "INSERT INTO MA_ARTICULOS (IdArticulo, Descripcion, CodigoBarra, CodigoBarraDUN, IdRubro, "
                               "IdTipo, IdFamilia, IdCategoria, CodigoArtProveedor, CuentaProveedor, Suspendido, "
                               "PuntoPedido, Stock, Precio1, Precio2, Precio3, Precio4, Precio5, Precio6, Precio7, "
                               "Precio8) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, "
                               "?16, ?17, ?18, ?19, ?20, ?21)");
        Azar azar(semilla + 99);
        for (const ArticuloDemo& a : c.articulos) {
            Texto(s.get(), 1, a.idArticulo);
            Texto(s.get(), 2, a.descripcion);
            Texto(s.get(), 3, a.codigoBarra);
            Texto(s.get(), 4, a.codigoBarraDUN);
            Texto(s.get(), 5, a.idRubro);
            Texto(s.get(), 6, a.idTipo);
            Texto(s.get(), 7, a.idFamilia);
            Texto(s.get(), 8, a.idCategoria);
            Texto(s.get(), 9, a.codigoArtProveedor);
            Texto(s.get(), 10, a.cuentaProveedor);
            sqlite3_bind_int(s.get(), 11, a.suspendido ? 1 : 0);
            sqlite3_bind_double(s.get(), 12, double(5 * (1 + azar.Entero(10))));
            sqlite3_bind_double(s.get(), 13, double(azar.Entero(400)));
            // List prices 1 to 8: retail, then wholesale steps down.
            static const double escalas[] = {1.0, 0.97, 0.94, 0.9, 0.87, 0.85, 0.82, 0.8};
            for (int p = 0; p < 8; ++p) sqlite3_bind_double(s.get(), 14 + p, Centavos(a.precio * escalas[p]));
            Paso(db, s.get(), "MA_ARTICULOS");
        }
        resumen.articulos = std::int64_t(c.articulos.size());
    }
    {
        CargaMasiva carga(db, "MV_STOCK");
        Preparada s = Preparar(db, carga.ConIdentidad()
                                       ? "INSERT INTO MV_STOCK (Fecha, TipoMovimiento, UNegocio, IdArticulo, IdVendedor, "
                                         "Cuenta, Cantidad, CostoUnitario, PrecioUnitario, Id) "
                                         "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"
                                       : "INSERT INTO MV_STOCK (Fecha, TipoMovimiento, UNegocio, IdArticulo, IdVendedor, "
                                         "Cuenta, Cantidad, CostoUnitario, PrecioUnitario) "
                                         "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        sqlite3_stmt* st = s.get();
        // Codes as UTF-8 once; the loop below binds them without copying.
        std::vector<QByteArray> unidades, articulos, vendedores, clientes;
        for (const auto& u : c.unidades) unidades.push_back(u.codigo.toUtf8());
        for (const auto& a : c.articulos) articulos.push_back(a.idArticulo.toUtf8());
        for (const auto& v : c.vendedores) vendedores.push_back(v.codigo.toUtf8());
        for (const auto& k : c.clientes) clientes.push_back(k.codigo.toUtf8());
        carga.ComprobarLargo("UNegocio", unidades);
        carga.ComprobarLargo("IdArticulo", articulos);
        carga.ComprobarLargo("IdVendedor", vendedores);
        carga.ComprobarLargo("Cuenta", clientes);
        carga.ComprobarLargo("TipoMovimiento", {"VTA", "CMP", "AJU"});
        GeneradorMovimientos generador(c, semilla, indiceEmpresa, lineasVenta, anio, mes);
        const AvanceDemo& avance = Avance();
        std::int64_t aviso = avance ? SiguienteAviso(0, lineasVenta) : -1;
        MovimientoDemo m;
        auto enlazar = [st](int i, const QByteArray& b) {
            sqlite3_bind_text(st, i, b.constData(), int(b.size()), SQLITE_STATIC);
        };
        while (generador.Siguiente(m)) {
            sqlite3_bind_text(st, 1, m.fecha, 19, SQLITE_STATIC);
            sqlite3_bind_text(st, 2, m.tipo, 3, SQLITE_STATIC);
            enlazar(3, unidades[size_t(m.unidad)]);
            enlazar(4, articulos[size_t(m.articulo)]);
            if (m.vendedor >= 0) enlazar(5, vendedores[size_t(m.vendedor)]); else sqlite3_bind_null(st, 5);
            if (m.cliente >= 0) enlazar(6, clientes[size_t(m.cliente)]); else sqlite3_bind_null(st, 6);
            sqlite3_bind_double(st, 7, m.cantidad);
            sqlite3_bind_double(st, 8, m.costoUnitario);
            sqlite3_bind_double(st, 9, m.precioUnitario);
            if (carga.ConIdentidad()) sqlite3_bind_int64(st, 10, carga.SiguienteIdentidad());
            Paso(db, st, "MV_STOCK");
            ++resumen.movimientos;
            if (m.tipo[0] == 'V') ++resumen.lineasVenta;
            if (resumen.lineasVenta == aviso) {
                avance(usuario, resumen.lineasVenta, lineasVenta);
                aviso = aviso < lineasVenta ? std::min(SiguienteAviso(aviso, lineasVenta), lineasVenta) : -1;
            }
        }
        s.reset();
        carga.Terminar();
    }
    {
        Preparada s = Preparar(db, "DELETE FROM TA_CONFIGURACION WHERE Clave = 'CantidadDecimales' COLLATE KV");
        Paso(db, s.get(), "TA_CONFIGURACION");
        Preparada t = Preparar(db, "INSERT INTO TA_CONFIGURACION (Clave, Valor) VALUES ('CantidadDecimales', '2')");
        Paso(db, t.get(), "TA_CONFIGURACION");
    }
    if (!usuario.isEmpty()) {
        Preparada s = Preparar(db, "DELETE FROM TA_USUARIOS WHERE Nombre = ?1 COLLATE KV");
        Texto(s.get(), 1, usuario);
        Paso(db, s.get(), "TA_USUARIOS");
        Preparada t = Preparar(db,
                               "INSERT INTO TA_USUARIOS (Nombre, UNegocio, verproforma, Administrador) "
                               "VALUES (?1, '0001', 0, 1)");
        Texto(t.get(), 1, usuario);
        Paso(db, t.get(), "TA_USUARIOS");
    }
    transaccion.Confirmar();
    return resumen;
}

// --- The server procedure ---------------------------------------------------------

namespace {

// A company as CREATE DATABASE and the ERP schema leave it: no movements yet.
bool EmpresaNueva(sqlite3* db) {
    if (sqlite3_get_autocommit(db) == 0) return false;
    sqlite3_stmt* s = nullptr;
    bool vacia = false;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM MV_STOCK LIMIT 1", -1, &s, nullptr) == SQLITE_OK)
        vacia = sqlite3_step(s) == SQLITE_DONE;
    sqlite3_finalize(s);
    return vacia;
}

// A new company is made whole in a file of its own, beside the database's, and
// only then put in its place: written without a journal or syncs (nobody sees it
// while it is made), its indexes built there, then turned to the server's log
// mode, put on disk and renamed over the empty database. A failure or a crash on
// the way leaves the empty database as CREATE DATABASE made it, and at most the
// unfinished file under its own name, which the next run throws away. When the
// file cannot be had alone (another connection has it open), the rows go in
// through the connection's own handle instead.
ResumenDemo LlenarEnArchivoNuevo(ContextoProcedimiento& contexto, sqlite3* db, std::uint64_t semilla, int indice,
                                 std::int64_t lineas, int anio, int mes, const QString& base) {
    const QString ruta = contexto.TomarArchivo();
    if (ruta.isEmpty()) return LlenarEmpresaDemo(db, semilla, indice, lineas, anio, mes, base);
    const QString nueva = ruta + QStringLiteral(".nueva");
    auto borrar = [&] {
        for (const char* sufijo : {"", "-journal", "-wal", "-shm"}) QFile::remove(nueva + QLatin1String(sufijo));
    };
    try {
        borrar();  // what a run that did not finish left
        {
            // Made empty first, so that the file is its owner's only from the start.
            QFile vacio(nueva);
            if (!vacio.open(QIODevice::WriteOnly) ||
                !vacio.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
                throw ErrorServidor(50000, QStringLiteral("No se pudieron grabar los datos de demostración: no se "
                                                          "pudo crear \"%1\".")
                                               .arg(nueva));
        }
        {
            // The empty company, schema and server tables, as the new file's start.
            const QByteArray copia = "VACUUM INTO '" + QFile::encodeName(nueva).replace('\'', "''") + "'";
            Ejecutar(db, copia.constData());
        }
        ResumenDemo r;
        {
            std::unique_ptr<BaseSqlite> archivo = BaseSqlite::Abrir(nueva, base, false, true);
            r = LlenarEmpresaDemo(archivo->db(), semilla, indice, lineas, anio, mes, base);
            archivo->Ejecutar(QStringLiteral("PRAGMA synchronous=FULL; PRAGMA journal_mode=WAL;"));
        }
        if (!SincronizarEnDisco(nueva))
            throw ErrorServidor(50000, QStringLiteral("No se pudieron grabar los datos de demostración: no se pudo "
                                                      "guardar en el disco \"%1\".")
                                           .arg(nueva));
        contexto.ReemplazarArchivo(nueva);
        return r;
    } catch (...) {
        borrar();
        contexto.DevolverArchivo();
        throw;
    }
}

}  // namespace

void RegistrarProcedimientoDemo() {
    RegistrarProcedimiento(QLatin1String(kNombreProcedimientoDemo), [](ContextoProcedimiento& contexto,
                                                                        const std::vector<Argumento>& argumentos) {
        auto valor = [&](size_t i) { return i < argumentos.size() ? argumentos[i].valor : QVariant(); };
        bool ok1 = false, ok2 = false, ok3 = false;
        const std::uint64_t semilla = valor(0).toString().toULongLong(&ok1);
        const std::int64_t lineas = valor(1).toString().toLongLong(&ok2);
        const int indice = valor(2).toString().toInt(&ok3);
        const QString textoMes = valor(3).toString().trimmed();
        const int barra = int(textoMes.indexOf(QLatin1Char('/')));
        const int mes = barra > 0 ? textoMes.left(barra).toInt() : 0;
        const int anio = barra > 0 ? textoMes.mid(barra + 1).toInt() : 0;
        if (!ok1 || !ok2 || !ok3 || lineas < 0 || mes < 1 || mes > 12 || anio < 1900 || anio > 9999)
            throw ErrorServidor(50000, QStringLiteral("%1: se esperaba semilla, líneas, empresa y mes ('M/AAAA').")
                                           .arg(QLatin1String(kNombreProcedimientoDemo)));
        const QString base = contexto.BaseActual();
        sqlite3* db = contexto.Base(base);
        const ResumenDemo r = EmpresaNueva(db) ? LlenarEnArchivoNuevo(contexto, db, semilla, indice, lineas, anio, mes, base)
                                               : LlenarEmpresaDemo(db, semilla, indice, lineas, anio, mes, base);
        contexto.DevolverAfectadas(r.movimientos);
    });
}

}  // namespace kv::local::demo
