// The aggregation fast path against the general path, on the load's own
// statements (built by the load's query builders) over random statistic
// tables: random companies, month ranges, level filters, orderings, and data
// with ties, NULL amounts, texts the collation finds equal ("a", "A "),
// accents ("á"), 25-character keys and empty results.

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <sqlite3.h>

#include <QStringList>
#include <cmath>
#include <random>

#include "core/Sentencias.h"
#include "db/Conexion.h"
#include "db/Recordset.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/rapida/AgregacionRapida.h"
#include "localserver/rapida/ConsultaAgregada.h"
#include "localserver/rapida/RutaAgregacion.h"
#include "localserver/rapida/TablaColumnar.h"
#include "localserver/tsql/Funciones.h"
#include "localserver/tsql/Traduccion.h"
#include "soporte/CarpetasTemporales.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Catalogo.h"
#include "stats/ConsultaCarga.h"
#include "stats/Definicion.h"

namespace {

using kv::local::rapida::Agregar;
using kv::local::rapida::FilasResultado;
using kv::local::rapida::Reconocer;
using kv::local::rapida::TablaColumnar;

const char* const kTabla = "DET_ESTV0001";

// The column types of a statistic table, as the server gives them to the front end.
struct TiposEstadistica : kv::local::TiposColumnas {
    QString Tipo(const QString&, const QString& columna) override {
        const QString c = columna.toLower();
        if (c == "valorcosto" || c == "valorventa") return QStringLiteral("money");
        if (c == "consumo") return QStringLiteral("float");
        return QStringLiteral("nvarchar");
    }
};

// The statement as the general route runs it; empty when the front end refuses it.
QString Traducida(const QString& tsql) {
    TiposEstadistica tipos;
    try {
        const auto s = kv::local::TraducirLote(tsql, &tipos);
        return s.size() == 1 ? s[0].sql : QString();
    } catch (const kv::local::ErrorTSQL&) {
        return QString();
    }
}

// Group texts. Within `kLimpias` no two are equal under the collation; the
// others add second spellings of some of them.
const QStringList kLimpias = {
    "a",    "á",  "Á ", "b",    " a",    "ñu", "nu", "ou", " ", "ABCDEFGHIJKLMNOPQRSTUVWXY",
    "zeta", "10", "9",  "€uro", "Ñandú", "x y"};
const QStringList kVariantes = {"A ", "abcdefghijklmnopqrstuvwxy", "ZETA", "á "};
const QStringList kBases = {"NORTE", "SUR", "Este"};

QStringList Meses() {
    QStringList m;
    for (int i = 0; i < 15; ++i) m << QStringLiteral("%1/%2").arg(i % 12 + 1).arg(2025 + i / 12);
    return m;
}

class AgregacionRapida : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::local::RegistrarServidorEmbebido();
        conexion_.Open(
            QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =master;UId=Korvane;Pwd=pelumbo;"));
        conexion_.Execute(QStringLiteral("CREATE DATABASE KV_ESTADISTICAS"));
        conexion_.Execute(QStringLiteral("USE KV_ESTADISTICAS"));
        conexion_.Execute(kv::stats::SentenciaCrearTablaEstadistica(QLatin1String(kTabla)));
        ASSERT_EQ(sqlite3_open(
                      (carpetas_.datos() + QStringLiteral("KV_ESTADISTICAS.db")).toUtf8().constData(), &db_),
                  SQLITE_OK);
        kv::local::RegistrarFuncionesTSQL(db_);
        sqlite3_busy_timeout(db_, 10000);
    }
    void TearDown() override {
        kv::local::rapida::ActivarRutaAgregacion(true);
        sqlite3_close(db_);
        conexion_.Close();
    }

    // Random rows; the table's key keeps one row per company, month and groups.
    // With `nivelFecha`, Grupo1 holds the row's month, as a level grouped by Fecha does.
    void Llenar(std::mt19937& azar, int filas, bool variantes, int nulos, bool nivelFecha = false) {
        sqlite3_exec(db_, "BEGIN; DELETE FROM DET_ESTV0001;", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db_, "INSERT OR IGNORE INTO DET_ESTV0001 VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
                           -1, &st, nullptr);
        QStringList textos = kLimpias;
        if (variantes) textos += kVariantes;
        const QStringList meses = Meses();
        auto texto = [&](const QStringList& l) { return l[int(azar() % unsigned(l.size()))].toUtf8(); };
        for (int i = 0; i < filas; ++i) {
            QByteArray valores[5] = {texto(kBases), texto(meses), texto(textos), texto(textos),
                                     azar() % 3 ? QByteArray(" ") : texto(textos)};
            if (nivelFecha) valores[2] = valores[1];
            for (int c = 0; c < 5; ++c)
                sqlite3_bind_text(st, c + 1, valores[c].constData(), int(valores[c].size()),
                                  SQLITE_TRANSIENT);
            // Quarters add up exactly in any order, so ties stay ties.
            auto importe = [&](int columna, double escala) {
                if (int(azar() % 100) < nulos)
                    sqlite3_bind_null(st, columna);
                else
                    sqlite3_bind_double(st, columna, (int(azar() % 81) - 40) * escala);
            };
            importe(6, 1.0);
            importe(7, 0.25);
            importe(8, 0.25);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    }

    kv::db::ResultadoSentencia Resultado(const QString& sql) {
        auto r = conexion_.EjecutarLote(sql);
        if (r.size() != 1 || r[0].error) {
            ADD_FAILURE() << sql.toStdString();
            return {};
        }
        return r[0];
    }

    kv::pruebas::CarpetasTemporales carpetas_;
    kv::db::Conexion conexion_;
    sqlite3* db_ = nullptr;
};

kv::stats::EntradaCarga EntradaAlAzar(std::mt19937& azar) {
    kv::stats::EntradaCarga e;
    e.tabla = QLatin1String(kTabla);
    const QStringList titulos = {"Grupo1", "Grupo2", "Grupo3", "Artículo", "Vendedor", "Familia"};
    for (int n = 0; n < 3; ++n)
        e.titulos[size_t(n)] =
            azar() % 2 ? kv::stats::TituloNivelVacio(n) : titulos[int(azar() % titulos.size())];
    for (const QString& b : kBases)
        if (azar() % 3) e.empresas << b;
    if (azar() % 10 == 0) e.empresas.clear();  // matches nothing
    const QStringList meses = Meses();
    int desde = int(azar() % 15), hasta = int(azar() % 15);
    if (desde > hasta) std::swap(desde, hasta);
    e.mesDesde = meses[desde];
    e.mesHasta = meses[hasta];
    e.hoy = QDate(2026, 3, 15);
    QStringList textos = kLimpias + kVariantes;
    textos.removeAll(QStringLiteral(" "));
    auto valor = [&] { return textos[int(azar() % unsigned(textos.size()))].trimmed(); };
    for (int n = 0; n < 3; ++n) {
        kv::stats::FiltroNivel& f = e.filtros[size_t(n)];
        if (azar() % 4 == 0) f.valores = valor() + QStringLiteral(",") + valor();
        if (azar() % 4 == 0) f.desde = valor();
        if (azar() % 4 == 0) f.hasta = valor();
    }
    const int criterios = int(azar() % 4);
    for (int k = 0; k < criterios; ++k) kv::stats::MarcarOrden(e.orden, 1 + int(azar() % 9), true);
    e.ascendente = azar() % 2;
    return e;
}

// The general path's answer is what the fast path must give back.
void Comparar(const FilasResultado& general, const FilasResultado& rapida, const QString& sql) {
    ASSERT_EQ(general.size(), rapida.size()) << sql.toStdString();
    for (size_t f = 0; f < general.size(); ++f) {
        ASSERT_EQ(general[f].size(), rapida[f].size());
        for (size_t c = 0; c < general[f].size(); ++c) {
            const QVariant& g = general[f][c];
            const QVariant& r = rapida[f][c];
            const std::string donde =
                "fila " + std::to_string(f) + " columna " + std::to_string(c) + "\n" + sql.toStdString();
            ASSERT_EQ(g.isNull(), r.isNull()) << donde;
            if (g.isNull()) continue;
            ASSERT_EQ(g.typeId(), r.typeId()) << donde;
            if (g.typeId() == QMetaType::Double) {
                const double x = g.toDouble(), y = r.toDouble();
                ASSERT_LE(std::fabs(x - y), 1e-9 * std::max(1.0, std::fabs(x))) << donde;
                ASSERT_EQ(kv::core::FmtMoneda(QString::number(x, 'f', 10), 2, false),
                          kv::core::FmtMoneda(QString::number(y, 'f', 10), 2, false))
                    << donde;
            } else {
                ASSERT_EQ(g, r) << donde;
            }
        }
    }
}

TEST(AgregacionRapidaClave, OrdenaComoLaColacion) {
    const QStringList textos = kLimpias + kVariantes + QStringList{"",  "a ", "aa", "áa", "aá", "Ab", "ab ",
                                                                   "n", "ñ",  "o",  "Ñ",  "é",  "e",  "ü"};
    std::string ka, kb;
    for (const QString& a : textos) {
        for (const QString& b : textos) {
            const QByteArray ua = a.toUtf8(), ub = b.toUtf8();
            kv::local::ClaveOrdenKV(ua.constData(), int(ua.size()), ka);
            kv::local::ClaveOrdenKV(ub.constData(), int(ub.size()), kb);
            const int esperado = kv::local::CompararKV(a, b);
            const int clave = ka.compare(kb);
            EXPECT_EQ(esperado < 0, clave < 0) << a.toStdString() << " | " << b.toStdString();
            EXPECT_EQ(esperado == 0, clave == 0) << a.toStdString() << " | " << b.toStdString();
        }
    }
}

TEST(AgregacionRapidaForma, ReconoceLasConsultasDeLaCargaYNadaMas) {
    kv::stats::EntradaCarga e;
    e.tabla = QLatin1String(kTabla);
    e.empresas = {"NORTE", "SUR"};
    e.mesDesde = "1/2025";
    e.mesHasta = "3/2025";
    e.filtros[0].valores = "A,B";
    kv::stats::MarcarOrden(e.orden, 4, true);
    kv::stats::MarcarOrden(e.orden, 7, true);
    QString error;
    const QString where = kv::stats::ClausulaWhere(e, error);
    const QString grafico =
        kv::stats::ConsultaGrafico(e.tabla, where, kv::stats::ClausulaOrderBy(e.orden, false));
    const QString grilla = kv::stats::ConsultaGrilla(e.tabla, e.titulos, where);
    const auto g = Reconocer(Traducida(grafico));
    ASSERT_TRUE(g.has_value()) << grafico.toStdString();
    EXPECT_EQ(g->columnas.size(), 6u);
    EXPECT_EQ(g->agrupacion.size(), 3u);
    EXPECT_EQ(g->orden.size(), 5u);  // the two criteria, then the three group keys
    ASSERT_TRUE(Reconocer(Traducida(grilla)).has_value()) << Traducida(grilla).toStdString();
    EXPECT_EQ(Reconocer(Traducida(grilla))->columnas.size(), 10u);

    // What is not the shape goes to the general path.
    for (const char* otra : {
             "SELECT * FROM DET_ESTV0001",
             "SELECT SUM(CONSUMO) FROM DET_ESTV0001",
             "SELECT TOP 5 SUM(CONSUMO), grupo1 FROM DET_ESTV0001 GROUP BY GRUPO1",
             "SELECT SUM(CONSUMO), grupo1 FROM DET_ESTV0001 GROUP BY GRUPO1 HAVING SUM(CONSUMO) > 0",
             "SELECT SUM(CONSUMO), grupo2 FROM DET_ESTV0001 GROUP BY GRUPO1",
             "SELECT AVG(CONSUMO), grupo1 FROM DET_ESTV0001 GROUP BY GRUPO1",
             "SELECT SUM(CONSUMO), grupo1 FROM DET_ESTV0001 WHERE CONSUMO > 0 GROUP BY GRUPO1",
             "SELECT SUM(CONSUMO), grupo1 FROM DET_ESTV0001 WHERE BASE = 'A' OR FECHA = '1/2025' GROUP BY "
             "GRUPO1",
             "SELECT SUM(CONSUMO), grupo1 FROM DET_ESTV0001 WHERE BASE LIKE 'A%' GROUP BY GRUPO1",
             "SELECT SUM(CONSUMO), grupo1 FROM DET_ESTV0001 GROUP BY GRUPO1 ORDER BY 1",
             "SELECT SUM(CONSUMO), grupo1 FROM DET_ESTV0001 a GROUP BY GRUPO1",
             "SELECT SUM(CONSUMO), grupo1 FROM DET_ESTV0001 GROUP BY GRUPO1; SELECT 1",
             "SELECT SUM(SUM(CONSUMO)), grupo1 FROM DET_ESTV0001 GROUP BY GRUPO1",
             "SELECT SUM(GRUPO2), grupo1 FROM DET_ESTV0001 GROUP BY GRUPO1",
             "SELECT SUM(CONSUMO), grupo1 FROM OTRA.dbo.DET_ESTV0001 GROUP BY GRUPO1",
         })
        EXPECT_FALSE(Reconocer(Traducida(QString::fromUtf8(otra))).has_value()) << otra;
}

// Random definitions against random tables, through the server with the
// route on and off: the same columns, rows, order and values, and the fast
// path answers most of them.
TEST_F(AgregacionRapida, DaLoMismoQueLaRutaGeneral) {
    int respondidas = 0, declinadas = 0, vacias = 0;
    for (int caso = 0; caso < 24; ++caso) {
        std::mt19937 azar(1000u + unsigned(caso));
        const bool variantes = caso % 3 == 2;
        Llenar(azar, 150 + int(azar() % 500), variantes, caso % 4 == 0 ? 20 : 3);
        const auto tabla = TablaColumnar::Leer(db_, QLatin1String(kTabla));
        ASSERT_TRUE(tabla);
        for (int consulta = 0; consulta < 6; ++consulta) {
            const kv::stats::EntradaCarga e = EntradaAlAzar(azar);
            QString error;
            const QString where = kv::stats::ClausulaWhere(e, error);
            ASSERT_TRUE(error.isEmpty());
            const QString orderBy = kv::stats::ClausulaOrderBy(e.orden, e.ascendente);
            for (const QString& sql : {kv::stats::ConsultaGrafico(e.tabla, where, orderBy),
                                       kv::stats::ConsultaGrilla(e.tabla, e.titulos, where)}) {
                const auto forma = Reconocer(Traducida(sql));
                ASSERT_TRUE(forma.has_value()) << Traducida(sql).toStdString();
                const bool responde = Agregar(*forma, *tabla).has_value();
                kv::local::rapida::ActivarRutaAgregacion(false);
                const kv::db::ResultadoSentencia general = Resultado(sql);
                kv::local::rapida::ActivarRutaAgregacion(true);
                const kv::db::ResultadoSentencia rapida = Resultado(sql);
                ASSERT_EQ(general.columnas.size(), rapida.columnas.size());
                for (size_t c = 0; c < general.columnas.size(); ++c) {
                    EXPECT_EQ(general.columnas[c].nombre, rapida.columnas[c].nombre);
                    EXPECT_EQ(general.columnas[c].tipo, rapida.columnas[c].tipo) << sql.toStdString();
                    EXPECT_EQ(general.columnas[c].tamano, rapida.columnas[c].tamano);
                    EXPECT_EQ(general.columnas[c].tablaBase, rapida.columnas[c].tablaBase);
                }
                Comparar(general.filas, rapida.filas, sql);
                if (HasFatalFailure()) return;
                ++(responde ? respondidas : declinadas);
                if (responde && general.filas.empty()) ++vacias;
            }
        }
    }
    // Mixed spellings only in a third of the tables: most loads are answered.
    EXPECT_GT(respondidas, 2 * declinadas);
    EXPECT_GT(vacias, 0);
}

// Orderings by the grouped columns alone, ascending, descending and mixed,
// where ties fall back to the group keys: the same rows in the same order as
// the general path, with collation-equal spellings kept apart by company.
TEST_F(AgregacionRapida, OrdenPorColumnasDelGrupoComoLaRutaGeneral) {
    const QStringList ordenes = {"GRUPO2 DESC, GRUPO1", "BASE DESC, GRUPO2", "GRUPO1 DESC",
                                 "GRUPO3, BASE DESC, GRUPO1 DESC", "SUM(CONSUMO) DESC, GRUPO1 DESC"};
    int respondidas = 0;
    for (int caso = 0; caso < 6; ++caso) {
        std::mt19937 azar(7000u + unsigned(caso));
        Llenar(azar, 200 + int(azar() % 300), caso % 2 == 1, 5);
        // "á" and "Á " are one key written two ways; the even cases keep one spelling.
        if (caso % 2 == 0)
            sqlite3_exec(
                db_,
                "DELETE FROM DET_ESTV0001 WHERE CAST(Grupo1 AS BLOB) = CAST('Á ' AS BLOB) OR "
                "CAST(Grupo2 AS BLOB) = CAST('Á ' AS BLOB) OR CAST(Grupo3 AS BLOB) = CAST('Á ' AS BLOB)",
                nullptr, nullptr, nullptr);
        const auto tabla = TablaColumnar::Leer(db_, QLatin1String(kTabla));
        ASSERT_TRUE(tabla);
        for (const QString& orden : ordenes) {
            const QString sql =
                "SELECT BASE, grupo1, grupo2, grupo3, SUM(CONSUMO) AS C, SUM(VALORVENTA*-1) AS V "
                "FROM DET_ESTV0001 GROUP BY BASE, GRUPO1, GRUPO2, GRUPO3 ORDER BY " +
                orden;
            const auto forma = Reconocer(Traducida(sql));
            ASSERT_TRUE(forma.has_value()) << sql.toStdString();
            if (Agregar(*forma, *tabla)) ++respondidas;
            kv::local::rapida::ActivarRutaAgregacion(false);
            const kv::db::ResultadoSentencia general = Resultado(sql);
            kv::local::rapida::ActivarRutaAgregacion(true);
            Comparar(general.filas, Resultado(sql).filas, sql);
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_GE(respondidas, 15);  // the tables without second spellings at least
}

// Money sums over columns of exact ten-thousandths (as the rebuild stores
// them), up to near a thousand million and without NULLs, come from the
// columns' ten-thousandths added per group: money columns must be equal to
// the last bit. A value that is no exact ten-thousandth (a third), a NULL or
// a larger one leaves its column to the row by row sums, with the same answers.
TEST_F(AgregacionRapida, SumasDeDineroExactoIgualesAlBit) {
    const QStringList textos = {"a", "b", "ñu", "nu", "zeta", "10", "9", " "};
    int conTextoExacto = 0;
    int porPorcentaje = 0;
    for (int caso = 0; caso < 4; ++caso) {
        std::mt19937_64 azar(8100u + unsigned(caso));
        sqlite3_exec(db_, "BEGIN; DELETE FROM DET_ESTV0001;", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db_, "INSERT OR IGNORE INTO DET_ESTV0001 VALUES (?1, ?2, ?3, ?4, ' ', ?5, ?6, ?7)",
                           -1, &st, nullptr);
        const QStringList meses = Meses();
        for (int i = 0; i < 600; ++i) {
            const QByteArray claves[4] = {kBases[int(azar() % 3)].toUtf8(), meses[int(azar() % 15)].toUtf8(),
                                          textos[int(azar() % 8)].toUtf8(), textos[int(azar() % 8)].toUtf8()};
            for (int c = 0; c < 4; ++c)
                sqlite3_bind_text(st, c + 1, claves[c].constData(), int(claves[c].size()), SQLITE_TRANSIENT);
            // Whole ten-thousandths of every size below 1e9.
            auto diezmilesimas = [&] {
                const long long tope = (long long[]){100, 1000000, 9999999999999LL}[azar() % 3];
                return double(static_cast<long long>(azar() % std::uint64_t(2 * tope + 1)) - tope) / 10000.0;
            };
            sqlite3_bind_double(st, 5, double(int(azar() % 81) - 40));
            sqlite3_bind_double(st, 6, diezmilesimas());
            sqlite3_bind_double(st, 7, diezmilesimas());
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        // Money is kept to four decimals by the table itself; a quantity is not.
        if (caso == 1)
            sqlite3_exec(db_, "UPDATE DET_ESTV0001 SET Consumo = 1.0 / 3 WHERE rowid = 7", nullptr, nullptr,
                         nullptr);
        if (caso == 2)
            sqlite3_exec(db_, "UPDATE DET_ESTV0001 SET ValorVenta = NULL WHERE rowid = 9", nullptr, nullptr,
                         nullptr);
        if (caso == 3)
            sqlite3_exec(db_, "UPDATE DET_ESTV0001 SET ValorCosto = 2e9 WHERE rowid = 5", nullptr, nullptr,
                         nullptr);
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        const auto tabla = TablaColumnar::Leer(db_, QLatin1String(kTabla));
        ASSERT_TRUE(tabla);
        EXPECT_EQ(tabla->exactas[0], caso != 1);
        EXPECT_EQ(tabla->exactas[1], caso != 3);
        EXPECT_TRUE(tabla->exactas[2]);
        EXPECT_EQ(tabla->nulos[2].empty(), caso != 2);
        for (int consulta = 0; consulta < 4; ++consulta) {
            std::mt19937 azar32(unsigned(caso * 10 + consulta));
            kv::stats::EntradaCarga e = EntradaAlAzar(azar32);
            for (kv::stats::FiltroNivel& f : e.filtros) f = {};
            QString error;
            const QString where = kv::stats::ClausulaWhere(e, error);
            const QString orderBy = kv::stats::ClausulaOrderBy(e.orden, e.ascendente);
            for (const QString& sql : {kv::stats::ConsultaGrafico(e.tabla, where, orderBy),
                                       kv::stats::ConsultaGrilla(e.tabla, e.titulos, where)}) {
                kv::local::rapida::ActivarRutaAgregacion(false);
                const kv::db::ResultadoSentencia general = Resultado(sql);
                // A money result past 2^52 ten-thousandths (a percentage over a
                // tiny cost) leaves the server as its exact text; the fast route
                // gives it too, and orders by it as an amount.
                static const QRegularExpression kImporte(QStringLiteral("^-?[0-9]+\\.[0-9]{4}$"));
                bool exactoEnTexto = false;
                for (const auto& fila : general.filas)
                    for (const QVariant& v : fila)
                        exactoEnTexto = exactoEnTexto || (v.typeId() == QMetaType::QString &&
                                                          kImporte.match(v.toString()).hasMatch());
                if (exactoEnTexto) ++conTextoExacto;
                const qsizetype orden = sql.indexOf(QLatin1String("ORDER BY"));
                if (orden >= 0 && sql.mid(orden).contains(QLatin1String("(CASE"))) ++porPorcentaje;
                EXPECT_TRUE(Agregar(*Reconocer(Traducida(sql)), *tabla).has_value()) << sql.toStdString();
                // The percentages are money, as SQL Server types a CASE of int and money.
                for (size_t c = 0; c < general.columnas.size(); ++c) {
                    if (general.columnas[c].nombre.endsWith(QLatin1String("Porc"))) {
                        EXPECT_EQ(general.columnas[c].tipo, kv::db::tipo::Currency) << sql.toStdString();
                    }
                }
                kv::local::rapida::ActivarRutaAgregacion(true);
                const kv::db::ResultadoSentencia rapida = Resultado(sql);
                Comparar(general.filas, rapida.filas, sql);
                if (HasFatalFailure()) return;
                for (size_t c = 0; c < general.columnas.size(); ++c) {
                    if (general.columnas[c].tipo != kv::db::tipo::Currency) continue;
                    for (size_t f = 0; f < general.filas.size(); ++f)
                        ASSERT_EQ(general.filas[f][c], rapida.filas[f][c])
                            << "fila " << f << " columna " << c << "\n"
                            << sql.toStdString();
                }
            }
        }
    }
    EXPECT_GT(conTextoExacto, 0);
    EXPECT_GT(porPorcentaje, 0);
}

// The load's percentage is money (a CASE of int and money): ordered by it,
// percentages past 450 billion sort as amounts among the small ones, and the
// fast route answers with the general route's rows and bits.
TEST_F(AgregacionRapida, OrdenPorPorcentajeComoImporteMasAllaDelDoble) {
    // Cost 0.0001 and sale 50,000,000: ((V - C) / C) * 100 = 49,999,999,999,900, far past 2^52 ten-thousandths.
    sqlite3_exec(db_,
                 "INSERT INTO DET_ESTV0001 VALUES ('NORTE', '1/2025', 'enorme', ' ', ' ', 1, -0.0001, -50000000);"
                 "INSERT INTO DET_ESTV0001 VALUES ('NORTE', '1/2025', 'grande', ' ', ' ', 1, -0.0001, -40000000);"
                 "INSERT INTO DET_ESTV0001 VALUES ('NORTE', '1/2025', 'chico', ' ', ' ', 1, -100, -150);"
                 "INSERT INTO DET_ESTV0001 VALUES ('NORTE', '1/2025', 'cero', ' ', ' ', 1, 0, -10);"
                 "INSERT INTO DET_ESTV0001 VALUES ('NORTE', '1/2025', 'perdida', ' ', ' ', 1, -100, -20);"
                 "INSERT INTO DET_ESTV0001 VALUES ('NORTE', '1/2025', 'devuelto', ' ', ' ', 1, -0.0001, 50000000);",
                 nullptr, nullptr, nullptr);
    const auto tabla = TablaColumnar::Leer(db_, QLatin1String(kTabla));
    ASSERT_TRUE(tabla);
    for (const char* sentido : {" ASC", " DESC"}) {
        const QString sql = kv::stats::ConsultaGrafico(
            QLatin1String(kTabla), QString(), QLatin1String(" ORDER BY ") + kv::stats::ExpresionOrden(4) + sentido);
        ASSERT_TRUE(Agregar(*Reconocer(Traducida(sql)), *tabla).has_value()) << sql.toStdString();
        kv::local::rapida::ActivarRutaAgregacion(false);
        const kv::db::ResultadoSentencia general = Resultado(sql);
        kv::local::rapida::ActivarRutaAgregacion(true);
        const kv::db::ResultadoSentencia rapida = Resultado(sql);
        ASSERT_EQ(general.filas.size(), 6u);
        QStringList orden;
        for (const auto& fila : general.filas) orden << fila[3].toString();
        // Past a double's reach at both ends, and -80 %, 50 %, 100 % (no cost) between.
        const QStringList esperado = {"devuelto", "perdida", "chico", "cero", "grande", "enorme"};
        QStringList invertido(esperado.rbegin(), esperado.rend());
        EXPECT_EQ(orden, QString(sentido) == " ASC" ? esperado : invertido);
        ASSERT_EQ(general.filas.size(), rapida.filas.size());
        for (size_t f = 0; f < general.filas.size(); ++f)
            for (size_t c = 0; c < general.filas[f].size(); ++c)
                EXPECT_EQ(general.filas[f][c], rapida.filas[f][c]) << f << " " << c;
    }
    // The percentages themselves, in the grid: exact past the double, and the same by both routes.
    std::array<QString, kv::stats::kNiveles> titulos = {QStringLiteral("A"), QStringLiteral("B"),
                                                         QStringLiteral("C")};
    const QString grilla = kv::stats::ConsultaGrilla(QLatin1String(kTabla), titulos, QString());
    ASSERT_TRUE(Agregar(*Reconocer(Traducida(grilla)), *tabla).has_value());
    kv::local::rapida::ActivarRutaAgregacion(false);
    const kv::db::ResultadoSentencia general = Resultado(grilla);
    kv::local::rapida::ActivarRutaAgregacion(true);
    const kv::db::ResultadoSentencia rapida = Resultado(grilla);
    ASSERT_EQ(general.filas.size(), 6u);
    EXPECT_EQ(general.filas, rapida.filas);
    // Rows in group order: cero, chico, devuelto, enorme, grande, perdida.
    EXPECT_EQ(general.filas[3][1].toString(), QStringLiteral("enorme"));
    EXPECT_EQ(general.filas[3][7], QVariant(QStringLiteral("49999999999900.0000")));
    EXPECT_EQ(general.filas[2][7], QVariant(QStringLiteral("-50000000000100.0000")));
    EXPECT_EQ(general.filas[0][7], QVariant(100.0));
    EXPECT_EQ(general.filas[1][7], QVariant(50.0));
}

// A group with two spellings of one key ("a" and "A ") is left to the general path.
TEST_F(AgregacionRapida, GrupoConDosGrafiasVaPorLaRutaGeneral) {
    sqlite3_exec(db_,
                 "INSERT INTO DET_ESTV0001 VALUES ('NORTE', '1/2025', 'a', ' ', ' ', 1, 1, 2);"
                 "INSERT INTO DET_ESTV0001 VALUES ('SUR', '1/2025', 'A ', ' ', ' ', 1, 1, 2);"
                 "INSERT INTO DET_ESTV0001 VALUES ('SUR', '2/2025', 'á', ' ', ' ', 1, 1, 2);",
                 nullptr, nullptr, nullptr);
    const auto tabla = TablaColumnar::Leer(db_, QLatin1String(kTabla));
    ASSERT_TRUE(tabla);
    const QString porEmpresa =
        "SELECT BASE, grupo1, SUM(CONSUMO) FROM DET_ESTV0001 GROUP BY BASE, GRUPO1 ORDER BY GRUPO1, BASE";
    const auto r = Agregar(*Reconocer(Traducida(porEmpresa)), *tabla);
    ASSERT_TRUE(r.has_value());  // each company has one spelling
    ASSERT_EQ(r->size(), 3u);
    EXPECT_EQ((*r)[0][0].toString(), "NORTE");
    EXPECT_EQ((*r)[1][1].toString(), "A ");
    EXPECT_EQ((*r)[2][1].toString(), "á");
    EXPECT_FALSE(Agregar(
        *Reconocer(Traducida("SELECT grupo1, SUM(CONSUMO) FROM DET_ESTV0001 GROUP BY GRUPO1")), *tabla));
}

// A division by zero fails on the general path; the fast path leaves it there.
TEST_F(AgregacionRapida, DivisionPorCeroVaPorLaRutaGeneral) {
    sqlite3_exec(db_, "INSERT INTO DET_ESTV0001 VALUES ('NORTE', '1/2025', 'a', ' ', ' ', 1, 0, 2);", nullptr,
                 nullptr, nullptr);
    const auto tabla = TablaColumnar::Leer(db_, QLatin1String(kTabla));
    ASSERT_TRUE(tabla);
    EXPECT_FALSE(
        Agregar(*Reconocer(Traducida("SELECT grupo1, SUM(VALORVENTA) / SUM(VALORCOSTO) FROM DET_ESTV0001 "
                                     "GROUP BY GRUPO1")),
                *tabla));
    const auto conCaso = Agregar(
        *Reconocer(Traducida("SELECT grupo1, CASE WHEN SUM(VALORCOSTO) = 0 THEN 100 ELSE "
                             "SUM(VALORVENTA) / SUM(VALORCOSTO) END FROM DET_ESTV0001 GROUP BY GRUPO1")),
        *tabla);
    ASSERT_TRUE(conCaso.has_value());
    EXPECT_EQ((*conCaso)[0][1], QVariant(100));
}

}  // namespace

// A level grouped by Fecha, filtered by months written "03/2025" and by
// Desde/Hasta ranges across a year's end, and ordered by the amounts both ways
// (the amounts stored negative sort the other way round): the fast path gives
// the general path's rows, in its order, and answers them.
TEST_F(AgregacionRapida, NivelFechaYOrdenDeImportesComoLaRutaGeneral) {
    int respondidas = 0;
    const QStringList desdes = {"", "10/2025", "01/2026", "3/2025"};
    const QStringList hastas = {"", "02/2026", "12/2025", "3/2026"};
    for (int caso = 0; caso < 8; ++caso) {
        std::mt19937 azar(9100u + unsigned(caso));
        Llenar(azar, 200 + int(azar() % 300), false, caso % 4 == 0 ? 10 : 2, true);
        const auto tabla = TablaColumnar::Leer(db_, QLatin1String(kTabla));
        ASSERT_TRUE(tabla);
        for (int consulta = 0; consulta < 6; ++consulta) {
            kv::stats::EntradaCarga e;
            e.tabla = QLatin1String(kTabla);
            e.titulos = {QStringLiteral("Fecha"), QStringLiteral("Vendedor"), kv::stats::TituloNivelVacio(2)};
            e.empresas = kBases;
            e.mesDesde = QStringLiteral("1/2025");
            e.mesHasta = QStringLiteral("3/2026");
            e.hoy = QDate(2026, 3, 15);
            if (azar() % 2) e.filtros[0].valores = QStringLiteral("03/2025,11/2025, 2/2026");
            e.filtros[0].desde = desdes[int(azar() % 4)];
            e.filtros[0].hasta = hastas[int(azar() % 4)];
            if (e.filtros[0].desde == "01/2026" && e.filtros[0].hasta == "12/2025") e.filtros[0].hasta.clear();
            // One amount criterion (Consumo, Valor Costo, Valor Venta, Utilidad $), then maybe a group.
            const int importes[] = {1, 2, 3, 6};
            kv::stats::MarcarOrden(e.orden, importes[azar() % 4], true);
            if (azar() % 2) kv::stats::MarcarOrden(e.orden, 7 + int(azar() % 2), true);
            e.ascendente = azar() % 2;
            QString error;
            const QString where = kv::stats::ClausulaWhere(e, error);
            ASSERT_TRUE(error.isEmpty()) << error.toStdString();
            const QString sql =
                kv::stats::ConsultaGrafico(e.tabla, where, kv::stats::ClausulaOrderBy(e.orden, e.ascendente));
            const auto forma = Reconocer(Traducida(sql));
            ASSERT_TRUE(forma.has_value()) << Traducida(sql).toStdString();
            if (Agregar(*forma, *tabla)) ++respondidas;
            kv::local::rapida::ActivarRutaAgregacion(false);
            const kv::db::ResultadoSentencia general = Resultado(sql);
            kv::local::rapida::ActivarRutaAgregacion(true);
            Comparar(general.filas, Resultado(sql).filas, sql);
            if (HasFatalFailure()) return;
        }
    }
    // Profit and mixed orderings may go the general way; most month filters do not.
    EXPECT_GE(respondidas, 12);
}

// Tables with tens of thousands of rows and groups, where the fast path
// numbers, sorts and builds the groups on both cores: the chart's and the grid's
// statements, ordered by a sum (with many ties), by a percentage, by two
// criteria and by the groups alone, give the general path's rows in its
// order, also when repeated, and the fast path answers every one of them.
TEST_F(AgregacionRapida, MuchosGruposComoLaRutaGeneral) {
    std::mt19937 azar(31337u);
    sqlite3_exec(db_, "BEGIN; DELETE FROM DET_ESTV0001;", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db_, "INSERT OR IGNORE INTO DET_ESTV0001 VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)", -1,
                       &st, nullptr);
    const QStringList meses = Meses();
    // Articles: many plain codes and some accented ones, no two equal under the collation.
    const QStringList vendedores = {"b", "ñu", "nu", "ou", "10", "9", "zeta", "x y"};
    QStringList articulos = {"Ñandú", "€uro", "ABCDEFGHIJKLMNOPQRSTUVWXY", " a", "á"};
    for (int i = 0; i < 1300; ++i) articulos << QStringLiteral("Art%1").arg(i, 4, 10, QLatin1Char('0'));
    // Each row its own article, seller and month; the company at random.
    const int porMes = int(articulos.size()) * 8;
    for (int i = 0; i < 67000; ++i) {
        const QByteArray valores[5] = {kBases[int(azar() % 3)].toUtf8(), meses[(i / porMes) % 15].toUtf8(),
                                       articulos[i % int(articulos.size())].toUtf8(),
                                       vendedores[(i / int(articulos.size())) % 8].toUtf8(), QByteArray(" ")};
        for (int c = 0; c < 5; ++c)
            sqlite3_bind_text(st, c + 1, valores[c].constData(), int(valores[c].size()), SQLITE_TRANSIENT);
        if (azar() % 50 == 0)
            sqlite3_bind_null(st, 6);
        else
            sqlite3_bind_double(st, 6, (int(azar() % 81) - 40) * 1.0);
        sqlite3_bind_double(st, 7, (int(azar() % 81) - 40) * 0.25);
        sqlite3_bind_double(st, 8, (int(azar() % 81) - 40) * 0.25);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    const auto tabla = TablaColumnar::Leer(db_, QLatin1String(kTabla));
    ASSERT_TRUE(tabla);

    // Valor Venta; % Utilidad/Costo; Consumo then Artículo; none (the groups).
    const std::vector<std::pair<std::vector<int>, bool>> criterios = {
        {{3}, true}, {{4}, false}, {{1, 7}, true}, {{}, true}};
    std::size_t masGrupos = 0;
    for (const auto& [marcas, ascendente] : criterios) {
        kv::stats::EntradaCarga e;
        e.tabla = QLatin1String(kTabla);
        e.titulos = {QStringLiteral("Artículo"), QStringLiteral("Vendedor"),
                     kv::stats::TituloNivelVacio(2)};
        e.empresas = kBases;
        e.mesDesde = meses.front();
        e.mesHasta = meses.back();
        e.hoy = QDate(2026, 3, 15);
        for (int m : marcas) kv::stats::MarcarOrden(e.orden, m, true);
        e.ascendente = ascendente;
        QString error;
        const QString where = kv::stats::ClausulaWhere(e, error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        const QString orderBy = kv::stats::ClausulaOrderBy(e.orden, e.ascendente);
        for (const QString& sql : {kv::stats::ConsultaGrafico(e.tabla, where, orderBy),
                                   kv::stats::ConsultaGrilla(e.tabla, e.titulos, where)}) {
            const auto forma = Reconocer(Traducida(sql));
            ASSERT_TRUE(forma.has_value()) << Traducida(sql).toStdString();
            const std::optional<FilasResultado> directa = Agregar(*forma, *tabla);
            ASSERT_TRUE(directa.has_value()) << sql.toStdString();
            masGrupos = std::max(masGrupos, directa->size());
            kv::local::rapida::ActivarRutaAgregacion(false);
            const kv::db::ResultadoSentencia general = Resultado(sql);
            kv::local::rapida::ActivarRutaAgregacion(true);
            // Computed, then again as the route keeps it for a repeated load.
            for (int vez = 0; vez < 2; ++vez) {
                Comparar(general.filas, Resultado(sql).filas, sql);
                if (HasFatalFailure()) return;
            }
        }
    }
    // Enough rows and groups for the work to be split.
    EXPECT_GT(tabla->filas, std::size_t(1) << 16);
    EXPECT_GT(masGrupos, std::size_t(20000));
}
