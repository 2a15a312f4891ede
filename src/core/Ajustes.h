#pragma once
// Process-wide settings of the application: what start-up fixes (folders,
// workstation, command-line values, time-out) and what the configuration
// table and the user's options give (loaded once by CargarConfiguracion).

#include <QString>

namespace kv::core {

struct AjustesSistema {
    // Start-up.
    QString carpetaAplicacion;  // always ends with a separator
    QString archivoAyuda;
    QString claveEstacion;
    int barrasPlanas = 1;
    qint16 estiloPiel = 1;
    QString parametroAdicional;
    QString menu;
    QString usuarioLogeado;
    QString caja = QStringLiteral("1");
    int tiempoConsulta = 360;

    // Configuration table and user's options.
    QString tablaConfiguracion;
    QString usuarioActual;
    QString unidadNegocio = QStringLiteral("   1");
    QString archivoTareas;
    bool mostrarStockEnConsultas = false;
    QString tituloClientes;
    QString tituloProveedores;
    bool exigeClaveConsultaLikeArticulos = false;
    bool usaConsultaLike = false;
    QString cantidadDecimales;
    bool confidencialidad = false;  // SS_CONFIDENCIALIDAD
    bool usaMultiplesMonedas = false;
    bool usaFacturaProforma = false;
    bool usaCentroCosto = false;
    bool usaStockUnidadKg = false;
    QString unidadMedidaM3;
    QString unidadMedidaBL;
    QString unidadMedidaKG;
    qint16 periodo = 0;
    bool razonSocialPorUnidad = false;
    bool validaCodigoBarra = false;
    qint32 colorFondo = 16776960;
    qint32 colorLetra = 0;
    bool moduloOrdenDeTrabajo = true;
    bool ventasModificaPrecio = false;
    bool comprasModificaPrecio = false;
    bool maderera = false;
    QString madTiras, madP2, madML, madM2, madHojas, madMLP2, madM2P2, madMLM2;
    QString cuentaCentroDistribucion;
    qint64 maxDto = 0;          // four implied decimals
    qint64 maxDtoProforma = 0;  // four implied decimals
    bool pideClaveStockNegativo = false;
    bool pideClaveMarkUpBase = false;
    bool pideClaveLimiteCredito = false;
    bool bloqueoActivo = false;
    bool utilizarFechaDia = false;
    bool asignacionAutomaticaLoteIng = false;
    bool asignacionAutomaticaLoteIngOP = false;
    qint16 condicionIvaEmpresa = 0;
    QString topDefault;
};

AjustesSistema& Ajustes();

// What start-up hands to the lookup facility: the connection its windows use
// and the query-definition file. The lookup object reads these when created.
struct AjustesConsulta {
    QString gConnString;
    bool gUsarMascarasConsultas = false;
    QString gRutaMascaraConsultas;
};

AjustesConsulta& AjustesConsultas();

inline constexpr const char* kArchivoConsultas = "consultas.krv";

}  // namespace kv::core
