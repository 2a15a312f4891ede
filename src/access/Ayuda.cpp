#include "access/Ayuda.h"

namespace kv::access {

#ifndef KV_VERSION
#define KV_VERSION "0"
#endif

QString TextoUso() {
    return QStringLiteral(
        "Uso:\n"
        "  kv_estv [--estadistica NOMBRE] [--captura ARCHIVO]\n"
        "          [\"@Server=SERVIDOR; @DbName=BASE; @Usuario=USUARIO; @Password=CLAVE;\"]\n"
        "      El visor de estadísticas de ventas. La conexión va en la forma de línea de órdenes de la\n"
        "      suite; además se aceptan @ParametroAdicional=, @Menu=, @UsuarioLogeado= y @Caja=.\n"
        "      Sin servidor o sin usuario muestra la ventana \"Control de Acceso\" con las conexiones\n"
        "      registradas en BASES.TXT; sin pantalla, dice qué pasarle y termina con estado 1.\n"
        "      --estadistica NOMBRE abre y carga esa estadística guardada. --captura ARCHIVO guarda como\n"
        "      imagen PNG la ventana de acceso, si es la que se muestra, o si no la ventana principal\n"
        "      (después de cargar la estadística pedida), y termina.\n"
        "\n"
        "  kv_estv --demo [--lineas N] [--semilla S] [--admin USUARIO --clave CLAVE] [--captura ARCHIVO]\n"
        "          [--servidor NOMBRE]\n"
        "      Crea o renueva las empresas de demostración NORTE y SUR en el servidor embebido EMBEBIDO\n"
        "      (usuario y clave de cada una: su nombre), las registra en BASES.TXT, crea el almacén y\n"
        "      tres estadísticas y abre el visor en NORTE (sin pantalla imprime un informe). --admin y\n"
        "      --clave dan el administrador del servidor cuando su clave ya no es la de fábrica; con\n"
        "      --captura guarda la ventana principal como imagen PNG y termina. --servidor la hace en\n"
        "      otro servidor (por omisión EMBEBIDO).\n"
        "\n"
        "  kv_estv --informe \"NOMBRE\" [--desde M/AAAA] [--hasta M/AAAA] [--empresas A,B]\n"
        "          [--grupoN V1,V2] [--gNdesde X] [--gNhasta Y] [--top N] [--salida ARCHIVO]\n"
        "          [--nombres] [--grilla ARCHIVO] [--xlsx ARCHIVO] [--pdf ARCHIVO] <conexión>\n"
        "      Carga una estadística guardada como la ventana y la imprime separada por tabuladores;\n"
        "      --nombres agrega el nombre de cada grupo junto a su código, --salida escribe esa tabla en\n"
        "      un archivo, --grilla la exportación de la grilla, --xlsx la planilla y --pdf las páginas\n"
        "      impresas del gráfico.\n"
        "      Estado: 0 hecho, 1 falló la carga o la exportación, 2 opciones erróneas, 3 sin conexión,\n"
        "      4 no existe la estadística.\n"
        "\n"
        "  kv_estv --help       esta ayuda\n"
        "  kv_estv --version    la versión\n"
        "\n"
        "Ejemplos:\n"
        "  kv_estv \"@Server=EMBEBIDO; @DbName=NORTE; @Usuario=NORTE; @Password=NORTE;\"\n"
        "  kv_estv --informe \"Clientes\" --desde 1/2026 --hasta 6/2026 "
        "\"@Server=EMBEBIDO; @DbName=NORTE; @Usuario=NORTE; @Password=NORTE;\"\n");
}

QString TextoVersion() { return QStringLiteral("kv_estv " KV_VERSION "\n"); }

QString MensajeFaltaConexion() {
    return QStringLiteral(
        "KV_ESTV: falta la conexión y no hay pantalla para pedirla en la ventana de acceso.\n"
        "Pase la conexión en la línea de órdenes, en la forma de la suite (servidor y usuario al menos):\n"
        "  kv_estv \"@Server=SERVIDOR; @DbName=BASE; @Usuario=USUARIO; @Password=CLAVE;\"\n"
        "Por ejemplo, para la empresa de demostración NORTE del servidor embebido (créela antes con\n"
        "kv_estv --demo):\n"
        "  kv_estv \"@Server=EMBEBIDO; @DbName=NORTE; @Usuario=NORTE; @Password=NORTE;\"\n"
        "Vea kv_estv --help para las demás formas.\n");
}

}  // namespace kv::access
