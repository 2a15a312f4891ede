#include <gtest/gtest.h>

#include <unistd.h>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdio>

#include "soporte/CarpetasTemporales.h"
#include "soporte/PuertoGuionado.h"
#include "util/InteraccionConsola.h"
#include "util/InteraccionGuionada.h"
#include "util/UtilDialogo.h"
#include "util/UtilGeneral.h"
#include "util/UtilProgreso.h"
#include "util/UtilSistema.h"

using namespace kv;
using kv::pruebas::PuertoGuionado;

TEST(PuertoGuionado, RespondeDeLasColasYRegistraTodo) {
    PuertoGuionado puerto;
    puerto->ResponderMensaje(respuesta::Si)
        .ResponderMensaje(respuesta::Cancelar)
        .ResponderEntrada("clave secreta")
        .CancelarEntrada()
        .ResponderArchivo("/tmp/salida.xls")
        .ResponderFecha("05/03/2026")
        .ResponderError(respuesta::Reintentar);

    EXPECT_EQ(interaccion().Mensaje("¿Desea continuar?", estilo::SiNo + estilo::Pregunta, "Atención!"),
              respuesta::Si);
    EXPECT_EQ(interaccion().Mensaje("Otra", estilo::AceptarCancelar), respuesta::Cancelar);
    EXPECT_EQ(interaccion().Entrada("Contraseña", "Base Access"), std::optional<QString>("clave secreta"));
    EXPECT_EQ(interaccion().Entrada("Contraseña", "Base Access", "x"), std::nullopt);
    EXPECT_EQ(interaccion().ElegirArchivo("Ingrese un nombre|*.xls", "Buscar Archivos", true),
              "/tmp/salida.xls");
    QString fecha;
    EXPECT_TRUE(interaccion().ElegirFecha(fecha));
    EXPECT_EQ(fecha, "05/03/2026");
    EXPECT_EQ(
        interaccion().MostrarError(KvError{91, "Variable de objeto no establecida", "KV_ESTV"}, "Cargar"),
        respuesta::Reintentar);

    const auto mensajes = puerto->Mensajes();
    ASSERT_EQ(mensajes.size(), 2);
    EXPECT_EQ(mensajes[0].texto, "¿Desea continuar?");
    EXPECT_EQ(mensajes[0].titulo, "Atención!");
    EXPECT_EQ(mensajes[0].estilo, 36);
    EXPECT_EQ(mensajes[0].respuesta, 6);
    EXPECT_EQ(mensajes[1].titulo, "");

    const auto entradas = puerto->Llamadas(InteraccionGuionada::Tipo::Entrada);
    ASSERT_EQ(entradas.size(), 2);
    EXPECT_EQ(entradas[0].texto, "Contraseña");
    EXPECT_EQ(entradas[0].titulo, "Base Access");
    EXPECT_FALSE(entradas[0].cancelada);
    EXPECT_TRUE(entradas[1].cancelada);
    EXPECT_EQ(entradas[1].defecto, "x");

    const auto archivos = puerto->Llamadas(InteraccionGuionada::Tipo::Archivo);
    ASSERT_EQ(archivos.size(), 1);
    EXPECT_EQ(archivos[0].texto, "Ingrese un nombre|*.xls");
    EXPECT_EQ(archivos[0].titulo, "Buscar Archivos");
    EXPECT_EQ(archivos[0].estilo, 1);

    const auto errores = puerto->Llamadas(InteraccionGuionada::Tipo::Error);
    ASSERT_EQ(errores.size(), 1);
    EXPECT_EQ(errores[0].error.numero, 91);
    EXPECT_EQ(errores[0].rutina, "Cargar");
    EXPECT_EQ(errores[0].texto,
              "Se ha producido un error.\n\nNúmero: 91\nDescripción: Variable de objeto no establecida\n"
              "Origen: KV_ESTV\nRutina: Cargar");
    EXPECT_EQ(errores[0].titulo, "Error");
    EXPECT_EQ(puerto->Llamadas().size(), 7);
    EXPECT_FALSE(puerto->HuboInesperados());
    EXPECT_TRUE(puerto->Pendientes().isEmpty());
}

TEST(PuertoGuionado, DialogoInesperadoSeRegistraYTerminaElIntento) {
    PuertoGuionado puerto;
    puerto.PermitirInesperados();
    EXPECT_EQ(interaccion().Mensaje("¿Reintentar?", estilo::SiNo, "T"), respuesta::No);
    EXPECT_EQ(interaccion().Mensaje("Aviso", estilo::SoloAceptar), respuesta::Aceptar);
    EXPECT_EQ(interaccion().Mensaje("x", estilo::AnularReintentarOmitir), respuesta::Anular);
    EXPECT_EQ(interaccion().Entrada("Nombre"), std::nullopt);
    EXPECT_EQ(interaccion().ElegirArchivo("*.mdb", "Buscar", false), "");
    QString fecha = "01/01/2026";
    EXPECT_FALSE(interaccion().ElegirFecha(fecha));
    EXPECT_EQ(fecha, "01/01/2026");
    EXPECT_EQ(interaccion().MostrarError(KvError{5, "Mal", ""}), respuesta::Anular);
    ASSERT_EQ(puerto->Inesperados().size(), 7);
    EXPECT_EQ(puerto->Inesperados()[0], "Mensaje inesperado (título \"T\", estilo 4): ¿Reintentar?");
    EXPECT_TRUE(puerto->Llamadas()[0].inesperada);

    // A scripted answer that the box cannot give is a fault of the test.
    puerto->ResponderMensaje(respuesta::Si);
    interaccion().Mensaje("Solo aceptar", estilo::SoloAceptar);
    EXPECT_EQ(puerto->Inesperados().size(), 8);

    // On request it throws, after recording.
    puerto->LanzarSiInesperado();
    EXPECT_THROW(interaccion().Mensaje("¿Otra vez?", estilo::SiNo), DialogoInesperado);
    EXPECT_EQ(puerto->Inesperados().size(), 9);
}

TEST(PuertoGuionado, PendientesSeDescriben) {
    PuertoGuionado puerto;
    puerto.PermitirPendientes();
    puerto->ResponderMensaje(6).ResponderEntrada("a").CancelarFecha().ResponderError(5);
    EXPECT_EQ(puerto->Pendientes(), QStringList({"respuesta de mensaje 6", "entrada \"a\"", "fecha cancelada",
                                                 "respuesta de error 5"}));
}

TEST(PuertoGuionado, ProgresoYEventos) {
    PuertoGuionado puerto;
    int vecesUsuario = 0;
    puerto->CancelarProgresoEn(3).AlProcesarEventos([&] { ++vecesUsuario; });
    {
        UtilProgreso::Abierto ventana("Cargando", true);
        EXPECT_TRUE(puerto->ProgresoAbierto());
        EXPECT_FALSE(UtilProgreso::Actualizar("Cargando", "Fila 1", "1 de 4"));
        EXPECT_FALSE(UtilProgreso::Actualizar("", "Fila 2", "2 de 4"));
        EXPECT_TRUE(UtilProgreso::Actualizar("", "Fila 3", "3 de 4"));
        EXPECT_TRUE(UtilProgreso::Actualizar("", "Fila 4", "4 de 4"));
        interaccion().ProcesarEventos();
        interaccion().ProcesarEventos();
    }
    EXPECT_FALSE(puerto->ProgresoAbierto());
    EXPECT_EQ(puerto->ActualizacionesProgreso(), 4);
    EXPECT_EQ(puerto->VecesProcesarEventos(), 2);
    EXPECT_EQ(vecesUsuario, 2);
    const auto inicio = puerto->Llamadas(InteraccionGuionada::Tipo::ProgresoIniciar);
    ASSERT_EQ(inicio.size(), 1);
    EXPECT_EQ(inicio[0].titulo, "Cargando");
    EXPECT_EQ(inicio[0].estilo, 1);
    const auto pasos = puerto->Llamadas(InteraccionGuionada::Tipo::ProgresoActualizar);
    ASSERT_EQ(pasos.size(), 4);
    EXPECT_EQ(pasos[1].mensaje, "Fila 2");
    EXPECT_EQ(pasos[1].progreso, "2 de 4");
    EXPECT_EQ(puerto->Llamadas(InteraccionGuionada::Tipo::ProgresoCerrar).size(), 1);
}

TEST(PuertoGuionado, GuardiaRestauraElPuertoAnterior) {
    Interaccion* antes = &interaccion();
    {
        PuertoGuionado puerto;
        EXPECT_EQ(&interaccion(), &*puerto);
        {
            PuertoGuionado interior;
            EXPECT_EQ(&interaccion(), &*interior);
        }
        EXPECT_EQ(&interaccion(), &*puerto);
    }
    EXPECT_EQ(&interaccion(), antes);
}

TEST(MostrarError, RespuestasTresCuatroCinco) {
    PuertoGuionado puerto;
    puerto->ResponderError(3).ResponderError(4).ResponderError(5).ResponderError(1).ResponderError(7);
    const KvError e{13, "No coinciden los tipos", "KV_ESTV"};
    EXPECT_EQ(UtilGeneral::MostrarError(e, "Campo_Valida"), 3);
    EXPECT_EQ(UtilGeneral::MostrarError(e, "Campo_Valida"), 4);
    EXPECT_EQ(UtilGeneral::MostrarError(e), 5);
    // Anything else a port answers counts as leaving.
    EXPECT_EQ(UtilGeneral::MostrarError(e), 3);
    EXPECT_EQ(UtilGeneral::MostrarError(e), 3);
    EXPECT_EQ(puerto->Llamadas(InteraccionGuionada::Tipo::Error)[0].rutina, "Campo_Valida");
    EXPECT_EQ(TextoMostrarError(KvError{13, " No coinciden ", ""}, ""),
              "Se ha producido un error.\n\nNúmero: 13\nDescripción: No coinciden");
}

TEST(MostrarError, ConPasosAtrapados) {
    PuertoGuionado puerto;
    puerto->ResponderError(respuesta::Reintentar).ResponderError(respuesta::Omitir);
    int intentos = 0, hechos = 0;
    const bool completo =
        EjecutarPasos({[&] {
                           if (++intentos < 2) throw KvExcepcion(6, "Desbordamiento");
                           ++hechos;
                       },
                       [&] { throw KvExcepcion(11, "División por cero"); }, [&] { ++hechos; }},
                      [](const KvError& e) { return UtilGeneral::MostrarError(e, "Prueba"); });
    EXPECT_TRUE(completo);
    EXPECT_EQ(intentos, 2);
    EXPECT_EQ(hechos, 2);
    ASSERT_EQ(puerto->Llamadas(InteraccionGuionada::Tipo::Error).size(), 2);
    EXPECT_EQ(puerto->Llamadas(InteraccionGuionada::Tipo::Error)[1].error.numero, 11);
}

TEST(UtilDialogo, DelegaEnElPuerto) {
    PuertoGuionado puerto;
    puerto->ResponderArchivo("/tmp/informe.xls").ResponderArchivo("");
    UtilDialogo dialogo;
    dialogo.Filtro = "Ingrese un nombre|*.xls";
    dialogo.Titulo = "Buscar Archivos";
    dialogo.Opcion = UtilDialogo::Guardar;
    EXPECT_TRUE(dialogo.Mostrar());
    EXPECT_EQ(dialogo.NombreArchivo, "/tmp/informe.xls");
    EXPECT_FALSE(dialogo.Mostrar());
    EXPECT_EQ(dialogo.NombreArchivo, "");
    const auto llamadas = puerto->Llamadas(InteraccionGuionada::Tipo::Archivo);
    ASSERT_EQ(llamadas.size(), 2);
    EXPECT_EQ(llamadas[0].texto, "Ingrese un nombre|*.xls");
    EXPECT_EQ(llamadas[0].estilo, 1);
}

TEST(UtilSistema, AbrirDocumentoPasaPorElPuerto) {
    PuertoGuionado puerto;
    pruebas::CarpetasTemporales carpetas;
    const QString archivo = carpetas.raiz() + "informe.xls";
    QFile f(archivo);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(UtilSistema::AbrirDocumento(nullptr, "open", archivo, "", "", 6));
    EXPECT_FALSE(UtilSistema::AbrirDocumento(nullptr, "open", carpetas.raiz() + "no.xls", "", "", 6));
    const auto docs = puerto->Llamadas(InteraccionGuionada::Tipo::Documento);
    ASSERT_EQ(docs.size(), 2);
    EXPECT_EQ(docs[0].texto, archivo);
}

TEST(UtilSistema, NombresYCarpetaTemporal) {
    EXPECT_FALSE(UtilSistema::NombreMaquina().isEmpty());
    EXPECT_FALSE(UtilSistema::NombreUsuario().isEmpty());
    const QString temporal = UtilSistema::CarpetaTemporal();
    EXPECT_TRUE(temporal.endsWith('/'));
    QTemporaryFile prueba(temporal + "kv_prueba_XXXXXX.tmp");
    EXPECT_TRUE(prueba.open());
    EXPECT_TRUE(prueba.fileName().startsWith(temporal));
}

// ---- console port

TEST(PuertoConsola, RespuestasQueTerminanElIntento) {
    QStringList lineas;
    InteraccionConsola consola([&](const QString& l) { lineas << l; });
    EXPECT_EQ(consola.Mensaje("Hecho", estilo::SoloAceptar + estilo::Informacion, "Aviso"),
              respuesta::Aceptar);
    EXPECT_EQ(consola.Mensaje("¿Seguir?", estilo::AceptarCancelar), respuesta::Cancelar);
    EXPECT_EQ(consola.Mensaje("Falló", estilo::AnularReintentarOmitir), respuesta::Anular);
    EXPECT_EQ(consola.Mensaje("¿Guardar?", estilo::SiNoCancelar), respuesta::Cancelar);
    EXPECT_EQ(consola.Mensaje("¿Reintentar la conexión?", estilo::SiNo + estilo::Critico), respuesta::No);
    EXPECT_EQ(consola.Mensaje("Bloqueado", estilo::ReintentarCancelar), respuesta::Cancelar);
    EXPECT_EQ(consola.Entrada("Contraseña", "Base"), std::nullopt);
    EXPECT_EQ(consola.ElegirArchivo("*.mdb", "Buscar", false), "");
    QString fecha = "x";
    EXPECT_FALSE(consola.ElegirFecha(fecha));
    EXPECT_EQ(fecha, "x");
    EXPECT_EQ(consola.MostrarError(KvError{3704, "Operación no permitida", "ADODB"}, "Cargar"),
              respuesta::Anular);
    consola.ProgresoIniciar("Reconstruyendo", true);
    EXPECT_FALSE(consola.ProgresoActualizar("Reconstruyendo", "Empresa 1", "1/3"));
    consola.ProgresoCerrar();

    ASSERT_GE(lineas.size(), 11);
    EXPECT_EQ(lineas[0], "Aviso: Hecho");
    EXPECT_EQ(lineas[1], "¿Seguir? [respuesta automática: Cancelar]");
    EXPECT_EQ(lineas[4], "¿Reintentar la conexión? [respuesta automática: No]");
    EXPECT_EQ(lineas[6], "Base: Contraseña [sin respuesta: cancelado]");
    EXPECT_EQ(lineas[9],
              "Error: Se ha producido un error. |  | Número: 3704 | Descripción: Operación no permitida | "
              "Origen: ADODB | Rutina: Cargar [respuesta automática: Anular]");
    EXPECT_EQ(lineas[10], "Reconstruyendo");
}

TEST(PuertoConsola, EscribeEnLaSalidaDeErrores) {
    QTemporaryDir dir;
    const QString ruta = dir.filePath("stderr.txt");
    std::fflush(stderr);
    const int copia = dup(fileno(stderr));
    FILE* archivo = std::fopen(ruta.toLocal8Bit().constData(), "w");
    ASSERT_NE(archivo, nullptr);
    dup2(fileno(archivo), fileno(stderr));
    InteraccionConsola consola;
    const int r = consola.Mensaje("Línea 1\r\nLínea 2", estilo::SiNo, "Atención!");
    std::fflush(stderr);
    dup2(copia, fileno(stderr));
    close(copia);
    std::fclose(archivo);
    EXPECT_EQ(r, respuesta::No);
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), "Atención!: Línea 1 | Línea 2 [respuesta automática: No]\n");
}

TEST(PuertoConsola, EsElPuertoHastaQueSeInstalaOtro) {
    auto anterior = EstablecerInteraccion(nullptr);
    EXPECT_NE(dynamic_cast<InteraccionConsola*>(&interaccion()), nullptr);
    EstablecerInteraccion(std::move(anterior));
}
