#include "stats/Carga.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>

#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "util/Interaccion.h"

namespace kv::stats {

using kv::db::DB_Dll;
using kv::db::Recordset;

void ModeloGrafico::Dimensionar(int filas, int columnas_) {
    etiquetas.resize(filas);
    valores.resize(static_cast<size_t>(filas));
    grupos.resize(static_cast<size_t>(filas));
    for (auto& fila : valores) fila.resize(static_cast<size_t>(columnas_), 0.0);
    while (columnas.size() < columnas_) columnas << QString();
    while (columnas.size() > columnas_) columnas.removeLast();
}

void ModeloGrafico::PonerACero() {
    for (auto& fila : valores) std::fill(fila.begin(), fila.end(), 0.0);
    plegados.clear();
}

QString ModeloGrafico::TextoValor(int fila, int columna) const {
    const double valor = valores.at(static_cast<size_t>(fila)).at(static_cast<size_t>(columna));
    QString texto = QString::number(Redondear(valor, decimales), 'f', std::max(0, decimales));
    if (texto.startsWith(QLatin1Char('-')) &&
        texto.mid(1).remove(QLatin1Char('0')).remove(QLatin1Char('.')).isEmpty())
        texto.remove(0, 1);  // no "-0.00"
    return texto;
}

ConfiguracionVistas VistasDeCarga(const std::array<QString, kNiveles>& titulos,
                                  const std::array<bool, kCasillasTotal>& totales) {
    ConfiguracionVistas vistas;
    for (int i = 0; i < kNiveles; ++i)
        vistas.categorias[static_cast<size_t>(i)] =
            NivelAsignado(titulos, i) ? titulos[static_cast<size_t>(i)] : QString();
    for (int i = 0; i < kCasillasTotal; ++i) {
        if (totales[static_cast<size_t>(i)])
            vistas.valores[static_cast<size_t>(i)] = CasillasTotal()[static_cast<size_t>(i)].etiqueta;
    }
    return vistas;
}

QStringList ColumnasDeTotales(const std::array<bool, kCasillasTotal>& totales) {
    QStringList titulos;
    for (int i = 0; i < kCasillasTotal; ++i)
        if (totales[static_cast<size_t>(i)]) titulos << CasillasTotal()[static_cast<size_t>(i)].titulo;
    return titulos;
}

double Redondear(double valor, int decimales) {
    if (!std::isfinite(valor)) return 0.0;
    // An amount is a four-decimal currency value: more decimals only add zeros
    // to its text (and scaling by 10^15 would overflow a 64-bit count).
    decimales = std::clamp(decimales, 0, 4);
    if (std::fabs(valor) >= 9.0e14) {
        // Beyond the currency range: plain rounding in floating point.
        const double escala = std::pow(10.0, decimales);
        return std::round(valor * escala) / escala;
    }
    // The amount is a four-decimal currency value before it is formatted.
    const qint64 unidades = std::llround(valor * 10000.0);
    qint64 paso = 1;
    for (int i = decimales; i < 4; ++i) paso *= 10;
    const qint64 absoluto = unidades < 0 ? -unidades : unidades;
    qint64 redondeado = (absoluto + paso / 2) / paso;
    if (unidades < 0) redondeado = -redondeado;
    double escala = 1.0;
    for (int i = 0; i < decimales; ++i) escala *= 10.0;
    return static_cast<double>(redondeado) / escala;
}

double ValorTotal(int indiceTotal, double consumo, double costo, double venta) {
    switch (indiceTotal) {
        case 0:
            return consumo;
        case 1:
            return costo;
        case 2:
            return venta;
        case 3:
            return costo == 0 ? 100.0 : (venta - costo) / costo * 100.0;
        case 4:
            return venta == 0 ? 100.0 : (venta - costo) / venta * 100.0;
        case 5:
            return venta - costo;
        default:
            return 0.0;
    }
}

QString EtiquetaGrupo(const QString& grupo1, const QString& grupo2, const QString& grupo3) {
    return grupo1.trimmed() + QLatin1Char(' ') + grupo2.trimmed() + QLatin1Char(' ') + grupo3;
}

PlegadoTop::PlegadoTop(ModeloGrafico& modelo, int top, qint64 registros,
                       const std::array<bool, kCasillasTotal>& totales, const QString& etiquetaOtros)
    : modelo_(modelo), top_(top), totales_(totales), etiquetaOtros_(etiquetaOtros) {
    const QStringList titulos = ColumnasDeTotales(totales_);
    const qint64 filas = top_ < registros ? top_ + 1 : registros;
    modelo_.Dimensionar(static_cast<int>(filas), static_cast<int>(titulos.size()));
    modelo_.columnas = titulos;
    modelo_.plegados.clear();
    modelo_.filaResto = -1;
    for (auto& g : modelo_.grupos) g = {};
}

void PlegadoTop::Agregar(qint64 posicion, const QString& grupo1, const QString& grupo2, const QString& grupo3,
                         double consumo, double costo, double venta) {
    // Stock movements store sales negative: the chart shows them negated, as the
    // grid does, so a group of returns shows negative sales instead of positive ones.
    const double c = -consumo;
    const double k = -costo;
    const double v = -venta;
    const int d = modelo_.decimales;
    if (!Plegado(posicion)) {
        const size_t fila = static_cast<size_t>(posicion - 1);
        if (fila >= modelo_.valores.size()) return;
        modelo_.etiquetas[static_cast<int>(fila)] = EtiquetaGrupo(grupo1, grupo2, grupo3);
        modelo_.grupos[fila] = {grupo1, grupo2, grupo3};
        size_t columna = 0;
        for (int i = 0; i < kCasillasTotal; ++i) {
            if (!totales_[static_cast<size_t>(i)]) continue;
            modelo_.valores[fila][columna++] = Redondear(ValorTotal(i, c, k, v), d);
        }
        return;
    }
    const size_t fila = static_cast<size_t>(top_);
    if (fila >= modelo_.valores.size()) return;
    modelo_.etiquetas[top_] = etiquetaOtros_;
    modelo_.filaResto = top_;
    GrupoPlegado plegado;
    plegado.grupos = {grupo1, grupo2, grupo3};
    for (int i = 0; i < kCasillasTotal; ++i)
        if (totales_[static_cast<size_t>(i)]) plegado.valores.push_back(Redondear(ValorTotal(i, c, k, v), d));
    modelo_.plegados.push_back(std::move(plegado));
    // The remainder adds each folded group's rounded amounts as numbers; its
    // percentages come from its own cost and sales, never from summed percentages.
    const double costoRedondeado = Redondear(k, d);
    const double ventaRedondeada = Redondear(v, d);
    sumaCosto_ += costoRedondeado;
    sumaVenta_ += ventaRedondeada;
    for (int i : {0, 1, 2, 5}) sumas_[static_cast<size_t>(i)] += Redondear(ValorTotal(i, c, k, v), d);
    const double costoFila = Redondear(sumaCosto_, d);
    const double ventaFila = Redondear(sumaVenta_, d);
    sumas_[3] = ValorTotal(3, 0, costoFila, ventaFila);
    sumas_[4] = ValorTotal(4, 0, costoFila, ventaFila);
    size_t columna = 0;
    for (int i = 0; i < kCasillasTotal; ++i) {
        if (!totales_[static_cast<size_t>(i)]) continue;
        modelo_.valores[fila][columna++] = Redondear(sumas_[static_cast<size_t>(i)], d);
    }
}

namespace {

double Numero(const QVariant& valor) { return valor.isNull() ? 0.0 : valor.toDouble(); }

}  // namespace

ResultadoCarga CargarEstadistica(DB_Dll& almacen, const EntradaCarga& entrada, ModeloGrafico& grafico,
                                 Recordset& grilla) {
    ResultadoCarga resultado;
    Interaccion& ui = interaccion();

    // Input that cannot be loaded is refused before anything runs.
    QString error;
    const QString where = ClausulaWhere(entrada, error);
    const auto top = CantidadTop(entrada.top);
    if (error.isEmpty() && !top) error = QString::fromUtf8(kMensajeTopInvalido);
    if (!error.isEmpty()) {
        ui.Mensaje(error, estilo::Exclamacion, QString::fromUtf8(kTituloAvisoCarga));
        resultado.rechazada = true;
        return resultado;
    }
    const QString orderBy = ClausulaOrderBy(entrada.orden, entrada.ascendente);
    resultado.consultaGrafico = ConsultaGrafico(entrada.tabla, where, orderBy);
    resultado.consultaGrilla = ConsultaGrilla(entrada.tabla, entrada.titulos, where);
    resultado.vistas = VistasDeCarga(entrada.titulos, entrada.totales);

    Recordset registros;
    bool progresoIniciado = false;
    const auto manejador = [&ui](const KvError& e) {
        return ui.MostrarError(e, QStringLiteral("CargarEstadistica"));
    };

    const bool completa = EjecutarPasos(
        {
            [&] {
                grafico.decimales = entrada.decimales;
                grafico.PonerACero();
            },
            [&] {
                QString sql = resultado.consultaGrafico;
                almacen.AbrirRecordset(sql, registros);
                if (registros.State() == kv::db::ado::Cerrado) {  // refused and not retried
                    resultado.fallida = true;
                    return;
                }
                if (registros.EOF_()) {
                    resultado.sinDatos = true;
                    ui.Mensaje(QString::fromUtf8(kMensajeSinDatos), estilo::Informacion,
                               QString::fromUtf8(kTituloAvisoCarga));
                    return;
                }
                registros.MoveFirst();
                ui.ProgresoIniciar(QString::fromUtf8(kTituloProgresoInicio), true);
                progresoIniciado = true;
                const qint64 cantidad = registros.RecordCount();
                grafico.decimales = entrada.decimales;
                PlegadoTop plegado(grafico, *top, cantidad, entrada.totales, entrada.topOtros);

                const int iConsumo = registros.IndiceCampo(QStringLiteral("CONSUMO"));
                const int iCosto = registros.IndiceCampo(QStringLiteral("VALORCOSTO"));
                const int iVenta = registros.IndiceCampo(QStringLiteral("VALORVENTA"));
                const int iGrupo1 = registros.IndiceCampo(QStringLiteral("grupo1"));
                const int iGrupo2 = registros.IndiceCampo(QStringLiteral("grupo2"));
                const int iGrupo3 = registros.IndiceCampo(QStringLiteral("grupo3"));

                // The progress window and the event loop are served a few times a
                // second, not per record: a big result pays only for reading it.
                const QString titulo = QString::fromUtf8(kTituloProgreso);
                const QString mensaje = QString::fromUtf8(kMensajeProgreso);
                QElapsedTimer reloj;
                reloj.start();
                qint64 ultimo = -1000;
                int contador = 0;
                qint64 posicion = 0;
                while (!registros.EOF_()) {
                    contador = contador % 100 + 1;
                    ++posicion;
                    const qint64 ahora = reloj.elapsed();
                    if (ahora - ultimo >= 200) {
                        ultimo = ahora;
                        if (ui.ProgresoActualizar(titulo, mensaje, QString(contador, QLatin1Char('|')))) {
                            resultado.cancelada = true;
                            break;
                        }
                        ui.ProcesarEventos();
                    }
                    plegado.Agregar(posicion, registros.Valor(iGrupo1).toString(),
                                    registros.Valor(iGrupo2).toString(), registros.Valor(iGrupo3).toString(),
                                    Numero(registros.Valor(iConsumo)), Numero(registros.Valor(iCosto)),
                                    Numero(registros.Valor(iVenta)));
                    registros.MoveNext();
                }
            },
            [&] { almacen.CierraRecordset(registros); },
            [&] {
                QString sql = resultado.consultaGrilla;
                almacen.AbrirRecordset(sql, grilla);
            },
        },
        manejador);
    resultado.abandonada = !completa;
    if (progresoIniciado) ui.ProgresoCerrar();
    return resultado;
}

}  // namespace kv::stats
