#include "stats/Informe.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>

#include "core/Inicio.h"
#include "core/LineaComandos.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Empresas.h"
#include "stats/Exportacion.h"
#include "stats/Impresion.h"
#include "stats/NombresGrupos.h"
#include "stats/Planilla.h"

namespace kv::stats {

using kv::db::DB_Dll;

namespace {

QStringList Lista(const QString& texto) {
    QStringList items;
    for (const QString& item : texto.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!item.trimmed().isEmpty()) items << item.trimmed();
    }
    return items;
}

}  // namespace

QString UsoInforme() {
    return QStringLiteral(
        "Uso: kv_estv --informe \"NOMBRE\" [--desde M/AAAA] [--hasta M/AAAA] [--empresas A,B] "
        "[--grupo1 V1,V2] [--g1desde X] [--g1hasta Y] [--grupo2 ...] [--g2desde ...] [--g2hasta ...] "
        "[--grupo3 ...] [--g3desde ...] [--g3hasta ...] [--top N] [--nombres] [--salida ARCHIVO] "
        "[--grilla ARCHIVO] [--xlsx ARCHIVO] [--pdf ARCHIVO] "
        "\"@server=...; @dbname=...; @usuario=...; @Password=...;\"");
}

QString AnalizarOpcionesInforme(const QStringList& argumentos, OpcionesInforme& opciones) {
    QStringList conexion;
    bool hayNombre = false;
    for (int i = 0; i < argumentos.size(); ++i) {
        const QString argumento = argumentos[i];
        if (!argumento.startsWith(QLatin1String("--"))) {
            // The connection may come split in several arguments, but each piece
            // either carries a keyword or continues a value not yet ended by ";".
            const bool continua =
                !conexion.isEmpty() && !conexion.last().trimmed().endsWith(QLatin1Char(';'));
            if (!argumento.contains(QLatin1Char('@')) && !continua)
                return QString::fromUtf8(kMensajeArgumentoDeMas).arg(argumento);
            conexion << argumento;
            continue;
        }
        QString clave = argumento.mid(2).toLower();
        if (clave == QLatin1String("nombres")) {  // a switch: takes no value
            opciones.nombres = true;
            continue;
        }
        QString valor;
        const int igual = clave.indexOf(QLatin1Char('='));
        if (igual >= 0) {
            valor = argumento.mid(2 + igual + 1);
            clave = clave.left(igual);
        } else {
            if (i + 1 >= argumentos.size())
                return QStringLiteral("Falta el valor de la opción --%1.").arg(clave);
            valor = argumentos[++i];
        }
        if (clave == QLatin1String("informe")) {
            opciones.nombre = valor;
            hayNombre = true;
        } else if (clave == QLatin1String("desde") || clave == QLatin1String("hasta")) {
            if (!LeerMes(valor))
                return QStringLiteral("La opción --%1 no es un mes válido (M/AAAA): \"%2\".")
                    .arg(clave, valor);
            (clave == QLatin1String("desde") ? opciones.desde : opciones.hasta) = valor.trimmed();
        } else if (clave == QLatin1String("empresas")) {
            opciones.empresas = Lista(valor);
            if (opciones.empresas->isEmpty())
                return QStringLiteral("La opción --empresas necesita al menos una empresa.");
        } else if (clave == QLatin1String("top")) {
            // Only a plain whole number: "5x" or "2.5" would be read as something else.
            static const QRegularExpression entero(QStringLiteral("^[0-9]{1,5}$"));
            const QString top = valor.trimmed();
            if (!entero.match(top).hasMatch() || top.toInt() > 32767)
                return QString::fromUtf8(kMensajeTopInvalido);
            opciones.top = top;
        } else if (clave == QLatin1String("salida") || clave == QLatin1String("grilla") ||
                   clave == QLatin1String("xlsx") || clave == QLatin1String("pdf")) {
            if (valor.trimmed().isEmpty())
                return QStringLiteral("La opción --%1 necesita un nombre de archivo.").arg(clave);
            QString& destino = clave == QLatin1String("salida")   ? opciones.salida
                               : clave == QLatin1String("grilla") ? opciones.grilla
                               : clave == QLatin1String("xlsx")   ? opciones.xlsx
                                                                  : opciones.pdf;
            destino = valor;
        } else {
            bool reconocida = false;
            for (int nivel = 1; nivel <= kNiveles && !reconocida; ++nivel) {
                FiltroNivel& filtro = opciones.filtros[static_cast<size_t>(nivel - 1)];
                if (clave == QStringLiteral("grupo%1").arg(nivel)) {
                    // Blanks around the commas are not part of the values.
                    filtro.valores = Lista(valor).join(QLatin1Char(','));
                    reconocida = true;
                } else if (clave == QStringLiteral("g%1desde").arg(nivel)) {
                    filtro.desde = valor.trimmed();
                    reconocida = true;
                } else if (clave == QStringLiteral("g%1hasta").arg(nivel)) {
                    filtro.hasta = valor.trimmed();
                    reconocida = true;
                }
            }
            if (!reconocida) return QStringLiteral("Opción desconocida: %1").arg(argumento);
        }
    }
    if (!hayNombre || opciones.nombre.trimmed().isEmpty())
        return QStringLiteral("Falta el nombre de la estadística.");
    if (!opciones.desde.isEmpty() && !opciones.hasta.isEmpty()) {
        QString error;
        ListaMeses(opciones.desde, opciones.hasta, QDate(), error);
        if (!error.isEmpty()) return error;
    }
    // Without a connection the start-up would fall back on the access window,
    // which nobody can answer here.
    if (conexion.join(QString()).trimmed().isEmpty()) return QString::fromUtf8(kMensajeSinConexionInforme);
    opciones.lineaComandos = conexion.join(QLatin1Char(' '));
    return QString();
}

QString ValidarInformeContraDefinicion(const OpcionesInforme& opciones, const Definicion& definicion,
                                       const QStringList& permitidas, const QString& actual) {
    // A report reads only the companies the window would list for this company.
    if (opciones.empresas) {
        for (const QString& empresa : *opciones.empresas) {
            if (permitidas.contains(empresa.toUpper())) continue;
            QStringList compartidas;
            for (const QString& p : permitidas)
                if (p.compare(actual, Qt::CaseInsensitive) != 0) compartidas << p;
            return QString::fromUtf8(kMensajeEmpresaAjena)
                .arg(empresa, actual.toUpper(),
                     compartidas.isEmpty() ? QStringLiteral("ninguna")
                                           : compartidas.join(QStringLiteral(", ")));
        }
    }
    int niveles = 0;
    for (bool g : definicion.grupos) niveles += g ? 1 : 0;
    for (int nivel = niveles + 1; nivel <= kNiveles; ++nivel) {
        const FiltroNivel& filtro = opciones.filtros[static_cast<size_t>(nivel - 1)];
        const std::pair<const QString*, QString> usadas[] = {
            {&filtro.valores, QStringLiteral("grupo%1").arg(nivel)},
            {&filtro.desde, QStringLiteral("g%1desde").arg(nivel)},
            {&filtro.hasta, QStringLiteral("g%1hasta").arg(nivel)}};
        for (const auto& [valor, opcion] : usadas)
            if (!valor->trimmed().isEmpty())
                return QString::fromUtf8(kMensajeNivelInexistente)
                    .arg(opciones.nombre.trimmed())
                    .arg(nivel)
                    .arg(opcion);
    }
    return QString();
}

QString LineaConexionFallida(const QString& servidor, const QString& base, const QString& usuario,
                             const QString& mensaje) {
    return QStringLiteral("No se pudo conectar con el servidor %1, base de datos %2, usuario %3: %4")
        .arg(servidor, base, usuario, mensaje.trimmed());
}

EntradaCarga EntradaDeInforme(const Definicion& definicion, const EstadoDefinicion& estado,
                              const OpcionesInforme& opciones, const QStringList& empresasMarcadas,
                              int decimales) {
    EntradaCarga entrada;
    entrada.tabla = estado.tabla;
    entrada.titulos = estado.titulos;
    entrada.top = opciones.top.value_or(definicion.top);
    entrada.topOtros = definicion.topOtros;
    entrada.empresas = opciones.empresas.value_or(empresasMarcadas);
    entrada.mesDesde = opciones.desde;
    entrada.mesHasta = opciones.hasta;
    entrada.filtros = opciones.filtros;
    entrada.orden = definicion.orden;
    entrada.ascendente = definicion.ascendente;
    entrada.totales = definicion.totales;
    entrada.decimales = decimales;
    return entrada;
}

QStringList LineasInforme(const ModeloGrafico& modelo) {
    QStringList lineas;
    lineas << (QStringList{QStringLiteral("Grupo")} + modelo.columnas).join(QLatin1Char('\t'));
    for (int fila = 0; fila < modelo.Filas(); ++fila) {
        QStringList celdas{modelo.etiquetas[fila]};
        for (int columna = 0; columna < modelo.Columnas(); ++columna)
            celdas << modelo.TextoValor(fila, columna);
        lineas << celdas.join(QLatin1Char('\t'));
    }
    return lineas;
}

QStringList LineasInforme(const ModeloGrafico& modelo, const std::array<QString, kNiveles>& titulos) {
    std::vector<int> niveles;
    for (int n = 0; n < kNiveles; ++n)
        if (NivelAsignado(titulos, n) && modelo.nombres && modelo.nombres->NivelConNombres(n))
            niveles.push_back(n);
    QStringList cabecera{QStringLiteral("Grupo")};
    for (int n : niveles) cabecera << TituloColumnaNombre(titulos[static_cast<size_t>(n)]);
    QStringList lineas;
    lineas << (cabecera + modelo.columnas).join(QLatin1Char('\t'));
    for (int fila = 0; fila < modelo.Filas(); ++fila) {
        QStringList celdas{modelo.etiquetas[fila]};
        const bool resto = fila == modelo.filaResto || static_cast<size_t>(fila) >= modelo.grupos.size();
        for (int n : niveles)
            celdas << (resto ? QString()
                             : modelo.nombres->Nombre(
                                   n, modelo.grupos[static_cast<size_t>(fila)][static_cast<size_t>(n)]));
        for (int columna = 0; columna < modelo.Columnas(); ++columna)
            celdas << modelo.TextoValor(fila, columna);
        lineas << celdas.join(QLatin1Char('\t'));
    }
    return lineas;
}

namespace {
ImpresorInforme& Impresor() {
    static ImpresorInforme impresor;
    return impresor;
}
}  // namespace

void EstablecerImpresorInforme(ImpresorInforme impresor) { Impresor() = std::move(impresor); }

TerminacionInforme::TerminacionInforme() {
    DB_Dll::EstablecerTerminacion([] { throw InformeInterrumpido{}; });
}

TerminacionInforme::~TerminacionInforme() { DB_Dll::EstablecerTerminacion({}); }

namespace {

int EjecutarInformeConectado(const OpcionesInforme& opciones, QTextStream& salida, QTextStream& errores);

}  // namespace

int EjecutarInforme(const OpcionesInforme& opciones, QTextStream& salida, QTextStream& errores) {
    TerminacionInforme terminacion;
    try {
        return EjecutarInformeConectado(opciones, salida, errores);
    } catch (const InformeInterrumpido&) {
        errores << QString::fromUtf8(kMensajeConexionPerdida) << '\n';
        errores.flush();
        return salida_informe::SinConexion;
    }
}

namespace {

int EjecutarInformeConectado(const OpcionesInforme& opciones, QTextStream& salida, QTextStream& errores) {
    // Without a connection the report ends with its own status instead of the
    // start-up's immediate exit.
    kv::core::EstablecerTerminacionInicio([] {});
    {
        // A quiet first try, so that a failure reads as one plain line before
        // the start-up's own message with every detail.
        const kv::core::ParametrosLinea linea = kv::core::AnalizarLineaComandos(opciones.lineaComandos);
        DB_Dll prueba;
        QString cadenaPrueba;
        QString servidor = linea.servidor;
        kv::core::AplicarMarcaOracle(servidor, cadenaPrueba, linea.base, linea.usuario, linea.clave);
        prueba.gServidor = kv::core::NormalizarServidor(servidor);
        prueba.gDBName = linea.base;
        prueba.gUsuario = linea.usuario;
        prueba.gUserPassWord = linea.clave;
        if (!linea.servidor.trimmed().isEmpty() && !linea.usuario.trimmed().isEmpty()) {
            prueba.OpenServerADODB(false, 3, cadenaPrueba, false, false);
            if (!prueba.gOpenFlag) {
                const QString mensaje =
                    prueba.gCnn.Errors().Count() > 0 ? prueba.gCnn.Errors().Item(0).descripcion : QString();
                errores << LineaConexionFallida(prueba.gServidor, linea.base, linea.usuario, mensaje) << '\n';
                errores.flush();
            } else {
                try {
                    prueba.gCnn.Close();
                } catch (...) {
                }
            }
        }
    }
    QString cadena;
    if (!kv::core::IniciarSistema(false, opciones.lineaComandos, cadena, 3) ||
        !DB_Dll::Principal().gOpenFlag) {
        errores << "No se pudo abrir la conexión con la base de datos de la empresa.\n";
        errores.flush();
        return salida_informe::SinConexion;
    }
    DB_Dll& principal = DB_Dll::Principal();
    DB_Dll almacen;
    if (!PrepararEstadisticas(principal, almacen)) {
        errores << "No se pudo abrir la base de estadísticas " << kBaseAlmacen << ".\n";
        errores.flush();
        return salida_informe::SinConexion;
    }

    Definicion definicion;
    EstadoDefinicion estado;
    if (!BuscarDefinicion(almacen, opciones.nombre, definicion, estado)) {
        errores << QStringLiteral("No existe la estadística \"%1\".\n").arg(opciones.nombre.trimmed());
        errores.flush();
        return salida_informe::SinEstadistica;
    }

    QStringList marcadas;
    QStringList permitidas;
    for (const EntradaEmpresa& empresa : ListaEmpresas(almacen, principal.gDBName)) {
        permitidas << empresa.base;
        if (empresa.marcada) marcadas << empresa.base;
    }
    const QString rechazo =
        ValidarInformeContraDefinicion(opciones, definicion, permitidas, principal.gDBName);
    if (!rechazo.isEmpty()) {
        errores << rechazo << '\n';
        errores.flush();
        return salida_informe::OpcionesInvalidas;
    }
    const EntradaCarga entrada =
        EntradaDeInforme(definicion, estado, opciones, marcadas, DecimalesConfigurados());

    // The header names the ticked totals even when no group comes back.
    ModeloGrafico modelo;
    modelo.columnas = ColumnasDeTotales(entrada.totales);
    kv::db::Recordset grilla;
    const ResultadoCarga resultado = CargarEstadistica(almacen, entrada, modelo, grilla);
    if (resultado.rechazada) return salida_informe::OpcionesInvalidas;
    if (resultado.fallida) {
        // The rows printed would be empty or partial: that is not a report.
        errores << QString::fromUtf8(kMensajeCargaFallida) << '\n';
        errores.flush();
        if (grilla.State() != kv::db::ado::Cerrado) almacen.CierraRecordset(grilla);
        return salida_informe::FalloCarga;
    }

    // Names only when something shows them: without, the statements sent and
    // the printed table are those of a report without names.
    const bool conNombres =
        opciones.nombres || !opciones.grilla.isEmpty() || !opciones.xlsx.isEmpty() || !opciones.pdf.isEmpty();
    if (conNombres) modelo.nombres = LeerNombres(principal, estado.titulos, modelo, &grilla);
    const QStringList lineas =
        opciones.nombres ? LineasInforme(modelo, estado.titulos) : LineasInforme(modelo);
    for (const QString& linea : lineas) salida << linea << '\n';
    salida.flush();

    int estadoSalida = resultado.abandonada ? salida_informe::FalloCarga : salida_informe::Hecho;
    if (!opciones.salida.isEmpty()) {
        // Exactly the table printed above.
        QSaveFile archivo(opciones.salida);
        bool escrito = archivo.open(QIODevice::WriteOnly);
        if (escrito) {
            archivo.write((lineas.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
            escrito = archivo.commit();
        }
        if (!escrito) {
            errores << QStringLiteral("No se pudo escribir el archivo %1.\n").arg(opciones.salida);
            estadoSalida = salida_informe::FalloCarga;
        }
    }
    if (!opciones.grilla.isEmpty()) {
        if (grilla.State() == kv::db::ado::Cerrado) {
            errores << QString::fromUtf8(kMensajeGrillaFallida) << '\n';
            estadoSalida = salida_informe::FalloCarga;
        } else if (!GrabarGrillaTexto(opciones.grilla, FilasVisibles(TablaDeGrilla(grilla, estado.titulos,
                                                                                   modelo.nombres.get(),
                                                                                   entrada.decimales)))) {
            errores << QStringLiteral("No se pudo escribir el archivo %1.\n").arg(opciones.grilla);
            estadoSalida = salida_informe::FalloCarga;
        }
    }
    if (!opciones.xlsx.isEmpty()) {
        QString error;
        if (grilla.State() == kv::db::ado::Cerrado) {
            errores << QString::fromUtf8(kMensajeGrillaFallida) << '\n';
            estadoSalida = salida_informe::FalloCarga;
        } else if (!GrabarPlanilla(opciones.xlsx,
                                   PlanillaDeGrilla(TablaDeGrilla(grilla, estado.titulos,
                                                                  modelo.nombres.get(), entrada.decimales)),
                                   &error)) {
            errores << QStringLiteral("No se pudo escribir el archivo %1: %2\n").arg(opciones.xlsx, error);
            estadoSalida = salida_informe::FalloCarga;
        }
    }
    if (!opciones.pdf.isEmpty()) {
        const QString error =
            Impresor() ? Impresor()(PaginasInforme{modelo,
                                                   EncabezadoImpresion(opciones.nombre.trimmed(), entrada,
                                                                       QDateTime::currentDateTime()),
                                                   opciones.pdf})
                       : QStringLiteral("este programa no dibuja páginas");
        if (!error.isEmpty()) {
            errores << QStringLiteral("No se pudo escribir el archivo %1: %2\n").arg(opciones.pdf, error);
            estadoSalida = salida_informe::FalloCarga;
        }
    }
    if (grilla.State() != kv::db::ado::Cerrado) almacen.CierraRecordset(grilla);
    errores.flush();
    return estadoSalida;
}

}  // namespace

}  // namespace kv::stats
