// Names beside codes: the statements sent on the ERP connection (one per
// level), codes without a name, names and codes with apostrophes, a master
// table renamed between two loads, the month's own name, the whole master
// table read when the result holds many codes, and the headless report.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "EntornoEstadisticas.h"
#include "db/Recordset.h"
#include "db/TrazaSQL.h"
#include "soporte/PuertoGuionado.h"
#include "soporte/VariableEntorno.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Carga.h"
#include "stats/Exportacion.h"
#include "stats/Informe.h"
#include "stats/NombresGrupos.h"

using namespace kv::stats;
using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::PuertoGuionado;

namespace {

// A statistic by seller and article: three sellers (V03 has no row in the
// master table), two articles (one whose code and name carry an apostrophe).
class NombresPrueba : public ::testing::Test {
  protected:
    void SetUp() override {
        traza_ = std::make_unique<kv::pruebas::VariableEntorno>(kv::db::kVariableTrazaSQL,
                                                                carpetas_.raiz() + "traza.jsonl");
        entorno_ = std::make_unique<EntornoEstadisticas>();
        PuertoGuionado puerto;
        Definicion d;
        d.grupos[static_cast<size_t>(IndiceCatalogo("IdArticulo"))] = true;
        d.grupos[static_cast<size_t>(IndiceCatalogo("IdVendedor"))] = true;
        EstadoDefinicion estado;
        estado.nombre = "Vendedores";
        estado.modo = ModoGrabacion::Nuevo;
        ASSERT_TRUE(GrabarEstadistica(entorno_->Almacen(), d, estado, [](const QString&) {}));
        tabla_ = estado.tabla;
        entorno_->Ejecutar(
            "NORTE",
            "INSERT INTO TA_VENDEDORES (IdVendedor, Nombre) VALUES ('V01', 'Natalia Molina');"
            "INSERT INTO TA_VENDEDORES (IdVendedor, Nombre) VALUES ('V02', 'Ramón Ortiz');"
            "INSERT INTO TA_VENDEDORES (IdVendedor, Nombre) VALUES ('V09', 'Sin ventas');"
            "INSERT INTO MA_ARTICULOS (IdArticulo, Descripcion) VALUES ('A01', 'Yerba 1 kg');"
            "INSERT INTO MA_ARTICULOS (IdArticulo, Descripcion) VALUES ('A''2', 'Agua D''Alba 2 l')");
        Insertar("1/2024", "A01", "V01", -10);
        Insertar("1/2024", "A'2", "V02", -20);
        Insertar("1/2024", "A01", "V03", -30);
    }

    void Insertar(const QString& mes, const QString& g1, const QString& g2, double venta) {
        QString a = g1;
        a.replace("'", "''");
        entorno_->Ejecutar(
            "KV_ESTADISTICAS",
            QStringLiteral("INSERT INTO %1 (Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, "
                           "ValorVenta) VALUES ('NORTE','%2','%3','%4',' ',-1,%5,%6)")
                .arg(tabla_, mes, a, g2)
                .arg(venta / 2)
                .arg(venta));
    }

    EntradaCarga Entrada() const {
        EntradaCarga e;
        e.tabla = tabla_;
        e.titulos = {QString::fromUtf8("Artículo"), "Vendedor", "Grupo3"};
        e.top = "10";
        e.topOtros = "Otros";
        e.empresas = {"NORTE"};
        e.mesDesde = "1/2024";
        e.mesHasta = "1/2024";
        return e;
    }

    // Loads and reads the names, as the window does after every load.
    std::shared_ptr<const NombresGrupos> Cargar(ModeloGrafico& modelo) {
        PuertoGuionado puerto;
        kv::db::Recordset grilla;
        const EntradaCarga entrada = Entrada();
        resultado_ = CargarEstadistica(entorno_->Almacen(), entrada, modelo, grilla);
        EXPECT_FALSE(resultado_.fallida);
        auto nombres = LeerNombres(entorno_->Erp(), entrada.titulos, modelo, &grilla);
        modelo.nombres = nombres;
        entorno_->Almacen().CierraRecordset(grilla);
        return nombres;
    }

    // The statements the ERP connection sent, in order.
    QStringList SentenciasErp() const {
        QFile archivo(carpetas_.raiz() + "traza.jsonl");
        QStringList sentencias;
        if (!archivo.open(QIODevice::ReadOnly)) return sentencias;
        for (const QByteArray& linea : archivo.readAll().split('\n')) {
            if (linea.trimmed().isEmpty()) continue;
            const QJsonObject o = QJsonDocument::fromJson(linea).object();
            if (o["base"].toString().compare("NORTE", Qt::CaseInsensitive) == 0)
                sentencias << o["sql"].toString();
        }
        return sentencias;
    }

    kv::pruebas::CarpetasTemporales carpetas_;
    std::unique_ptr<kv::pruebas::VariableEntorno> traza_;
    std::unique_ptr<EntornoEstadisticas> entorno_;
    QString tabla_;
    ResultadoCarga resultado_;
};

const QString kSentenciaArticulos = QString::fromUtf8(
    "SELECT IdArticulo, Descripcion FROM V_MA_ARTICULOS WHERE IdArticulo IN ('A''2','A01')");
const QString kSentenciaVendedores =
    "SELECT IdVendedor, Nombre FROM V_TA_VENDEDORES WHERE IdVendedor IN ('V01','V02','V03')";

}  // namespace

TEST_F(NombresPrueba, UnaSentenciaPorNivelPorLaConexionDelErp) {
    ModeloGrafico modelo;
    const QStringList antes = SentenciasErp();
    const auto nombres = Cargar(modelo);
    EXPECT_EQ(nombres->Sentencias(), (QStringList{kSentenciaArticulos, kSentenciaVendedores}))
        << nombres->Sentencias().join("\n").toStdString();
    // Sent on the ERP connection, once each, and nothing else there.
    const QStringList enviadas = SentenciasErp().mid(antes.size());
    EXPECT_EQ(enviadas, (QStringList{kSentenciaArticulos, kSentenciaVendedores}))
        << enviadas.join("\n").toStdString();
    // The load's own statements are those of a load without names.
    EXPECT_EQ(resultado_.consultaGrafico.left(32), "SELECT SUM(CONSUMO) AS CONSUMO, ");
    EXPECT_FALSE(resultado_.consultaGrafico.contains("V_TA_VENDEDORES"));
    EXPECT_FALSE(resultado_.consultaGrilla.contains("V_TA_VENDEDORES"));
}

TEST_F(NombresPrueba, CodigoSinNombreSeMuestraSolo) {
    ModeloGrafico modelo;
    const auto nombres = Cargar(modelo);
    EXPECT_EQ(nombres->Etiqueta(1, "V01"), QString::fromUtf8("V01 – Natalia Molina"));
    EXPECT_EQ(nombres->Etiqueta(1, "V02 "), QString::fromUtf8("V02 – Ramón Ortiz"));
    EXPECT_EQ(nombres->Etiqueta(1, "V03"), "V03");
    EXPECT_EQ(nombres->Nombre(1, "V03"), "");
    EXPECT_EQ(nombres->Etiqueta(1, "v01"),
              QString::fromUtf8("v01 – Natalia Molina"));  // the server ignores case
}

TEST_F(NombresPrueba, ApostrofeEnElCodigoYEnElNombre) {
    ModeloGrafico modelo;
    const auto nombres = Cargar(modelo);
    EXPECT_EQ(nombres->Etiqueta(0, "A'2"), QString::fromUtf8("A'2 – Agua D'Alba 2 l"));
    EXPECT_EQ(nombres->Etiqueta(0, "A01"), QString::fromUtf8("A01 – Yerba 1 kg"));
}

TEST_F(NombresPrueba, UnMaestroCambiadoSeVeEnLaCargaSiguiente) {
    ModeloGrafico modelo;
    EXPECT_EQ(Cargar(modelo)->Nombre(1, "V01"), "Natalia Molina");
    entorno_->Ejecutar("NORTE",
                       "UPDATE TA_VENDEDORES SET Nombre = 'Natalia Molina Paz' WHERE IdVendedor = 'V01';"
                       "INSERT INTO TA_VENDEDORES (IdVendedor, Nombre) VALUES ('V03', 'Luis Gómez')");
    ModeloGrafico otra;
    const auto nombres = Cargar(otra);
    EXPECT_EQ(nombres->Nombre(1, "V01"), "Natalia Molina Paz");
    EXPECT_EQ(nombres->Etiqueta(1, "V03"), QString::fromUtf8("V03 – Luis Gómez"));
}

TEST_F(NombresPrueba, LaGrillaLlevaUnaColumnaDeNombresJuntoACadaCodigo) {
    ModeloGrafico modelo;
    PuertoGuionado puerto;
    kv::db::Recordset grilla;
    const EntradaCarga entrada = Entrada();
    CargarEstadistica(entorno_->Almacen(), entrada, modelo, grilla);
    const auto nombres = LeerNombres(entorno_->Erp(), entrada.titulos, modelo, &grilla);
    const TablaGrilla tabla = TablaDeGrilla(grilla, entrada.titulos, nombres.get(), 2);
    const auto filas = FilasVisibles(tabla);
    ASSERT_EQ(filas.size(), 4u);
    EXPECT_EQ(filas[0].mid(0, 6),
              (QStringList{"Empresa", QString::fromUtf8("Artículo"), QString::fromUtf8("Nombre Artículo"),
                           "Vendedor", "Nombre Vendedor", "Grupo3"}));
    EXPECT_EQ(filas[0].mid(6, 3), (QStringList{"Consumo", "Valor Costo", "Valor Venta"}));
    for (size_t f = 1; f < filas.size(); ++f) {
        const QString vendedor = filas[f][3];
        EXPECT_EQ(filas[f][4], nombres->Nombre(1, vendedor)) << vendedor.toStdString();
        EXPECT_EQ(filas[f][2], nombres->Nombre(0, filas[f][1]));
    }
    entorno_->Almacen().CierraRecordset(grilla);
}

TEST(NombresGrupos, ElMesSeNombraASiMismo) {
    EXPECT_EQ(NombreMes("3/2024"), "Marzo 2024");
    EXPECT_EQ(NombreMes("12/1999"), "Diciembre 1999");
    EXPECT_EQ(NombreMes("13/2024"), "");
    EXPECT_FALSE(FuenteNombresDeCampo("Fecha").has_value());
    EXPECT_EQ(CampoDeTitulo(QString::fromUtf8("Artículo")), "IdArticulo");
    EXPECT_EQ(TituloColumnaNombre("Fecha"), "Nombre del mes");
    EXPECT_EQ(TituloColumnaNombre("Cliente"), "Nombre Cliente");
}

TEST(NombresGrupos, FuentesDelCatalogo) {
    const std::pair<const char*, const char*> esperadas[] = {
        {"UNegocio", "SELECT Codigo, Descripcion FROM V_TA_UNIDADNEGOCIO"},
        {"IdArticulo", "SELECT IdArticulo, Descripcion FROM V_MA_ARTICULOS"},
        {"IdVendedor", "SELECT IdVendedor, Nombre FROM V_TA_VENDEDORES"},
        {"CodigoBarra", "SELECT CodigoBarra, Descripcion FROM V_MA_ARTICULOS"},
        {"CodigoBarraDUN", "SELECT CodigoBarraDUN, Descripcion FROM V_MA_ARTICULOS"},
        {"IdRubro", "SELECT IdRubro, Descripcion FROM V_TA_RUBROS"},
        {"IdTipo", "SELECT IdTipo, Descripcion FROM V_TA_TIPOARTICULO"},
        {"IdFamilia", "SELECT IdFamilia, Descripcion FROM V_TA_FAMILIAS"},
        {"IdCategoria", "SELECT IdCategoria, Descripcion FROM V_TA_CATEGORIAARTICULO"},
        {"CodigoArtProveedor", "SELECT CodigoArtProveedor, Descripcion FROM V_MA_ARTICULOS"},
        {"CuentaProveedor", "SELECT Codigo, Razon_Social FROM VT_PROVEEDORES"},
        {"Cuenta", "SELECT Codigo, Razon_Social FROM VT_CLIENTES"},
    };
    for (const auto& [campo, sql] : esperadas) {
        const auto fuente = FuenteNombresDeCampo(campo);
        ASSERT_TRUE(fuente.has_value()) << campo;
        EXPECT_EQ(SentenciaNombres(*fuente, {}), sql);
    }
    EXPECT_EQ(SentenciaNombres(*FuenteNombresDeCampo("Cuenta"), {"C'1", "C2"}),
              "SELECT Codigo, Razon_Social FROM VT_CLIENTES WHERE Codigo IN ('C''1','C2')");
}

TEST_F(NombresPrueba, MuchosCodigosLeenElMaestroEntero) {
    std::array<QStringList, kNiveles> codigos;
    for (int i = 0; i <= kMaximoCodigosEnLista; ++i)
        codigos[1] << QStringLiteral("V%1").arg(i, 2, 10, QChar('0'));
    NombresGrupos nombres;
    PuertoGuionado puerto;
    nombres.Leer(entorno_->Erp(), {QString::fromUtf8("Artículo"), "Vendedor", "Grupo3"}, codigos);
    EXPECT_EQ(nombres.Sentencias(), QStringList{"SELECT IdVendedor, Nombre FROM V_TA_VENDEDORES"});
    EXPECT_EQ(nombres.Nombre(1, "V01"), "Natalia Molina");
    EXPECT_EQ(nombres.Nombre(1, "V09"), "Sin ventas");
    EXPECT_EQ(nombres.Nombre(1, "V03"), "");
}

TEST_F(NombresPrueba, ElInformeConNombresAgregaUnaColumnaPorNivel) {
    ModeloGrafico modelo;
    Cargar(modelo);
    const std::array<QString, kNiveles> titulos{QString::fromUtf8("Artículo"), "Vendedor", "Grupo3"};
    const QStringList sin = LineasInforme(modelo);
    const QStringList con = LineasInforme(modelo, titulos);
    ASSERT_EQ(sin.size(), con.size());
    EXPECT_EQ(sin[0], "Grupo\tConsumo\tValor Costo\tValor Venta");
    EXPECT_EQ(con[0], QString::fromUtf8(
                          "Grupo\tNombre Artículo\tNombre Vendedor\tConsumo\tValor Costo\tValor Venta"));
    for (int i = 1; i < con.size(); ++i) {
        QStringList c = con[i].split('\t');
        const QStringList s = sin[i].split('\t');
        EXPECT_EQ(c[0], s[0]);
        EXPECT_EQ(c.mid(3), s.mid(1));
        const auto& grupos = modelo.grupos[static_cast<size_t>(i - 1)];
        EXPECT_EQ(c[1], modelo.nombres->Nombre(0, grupos[0]));
        EXPECT_EQ(c[2], modelo.nombres->Nombre(1, grupos[1]));
    }
}
