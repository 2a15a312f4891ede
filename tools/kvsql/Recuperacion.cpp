#include "Recuperacion.h"

#include <termios.h>
#include <unistd.h>

#include "localserver/Catalogo.h"
#include "localserver/ErrorServidor.h"

namespace kv::kvsql {

namespace {

// One line typed by the operator; on a terminal the typing is not shown.
QString LeerClave(QTextStream& entrada, bool terminal, QTextStream& errores, const QString& pregunta) {
    errores << pregunta;
    errores.flush();
    termios antes{};
    const bool ocultar = terminal && tcgetattr(STDIN_FILENO, &antes) == 0;
    if (ocultar) {
        termios sinEco = antes;
        sinEco.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &sinEco);
    }
    QString linea = entrada.readLine();
    if (ocultar) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &antes);
        errores << '\n';
        errores.flush();
    }
    if (linea.endsWith(QLatin1Char('\r'))) linea.chop(1);
    return linea;
}

}  // namespace

int RecuperarCatalogo(QTextStream& entrada, bool terminal, QTextStream& salida, QTextStream& errores) {
    using namespace kv::local;
    const QString carpeta = CarpetaServidor();
    const QString ruta = RutaBase(carpeta, QString::fromLatin1(BaseMaestra));
    // A catalog that opens is in use: rebuilding it would drop its logins.
    try {
        Catalogo actual(carpeta);
        errores << QStringLiteral("El catálogo '%1' se puede usar; no se reconstruye.").arg(ruta) << '\n';
        errores.flush();
        return 1;
    } catch (const ErrorServidor&) {
    }
    const QString clave = LeerClave(
        entrada, terminal, errores,
        QStringLiteral("Nueva contraseña del administrador %1: ").arg(QLatin1String(AdministradorInicial)));
    if (clave.isEmpty()) {
        errores << QStringLiteral("La contraseña no puede estar vacía; el catálogo no se ha reconstruido.")
                << '\n';
        errores.flush();
        return 1;
    }
    const QString repetida = LeerClave(entrada, terminal, errores, QStringLiteral("Repita la contraseña: "));
    if (repetida != clave) {
        errores << QStringLiteral("Las contraseñas no coinciden; el catálogo no se ha reconstruido.") << '\n';
        errores.flush();
        return 1;
    }
    RecuperacionCatalogo r;
    try {
        r = kv::local::RecuperarCatalogo(carpeta, clave);
    } catch (const ErrorServidor& e) {
        errores << e.mensaje() << '\n';
        errores.flush();
        return 1;
    }
    salida << QStringLiteral("Catálogo reconstruido: %1").arg(ruta) << '\n';
    if (!r.catalogoAnterior.isEmpty())
        salida << QStringLiteral("El catálogo anterior se guardó como %1").arg(r.catalogoAnterior) << '\n';
    salida << QStringLiteral("Bases registradas: %1")
                  .arg(r.bases.isEmpty() ? QStringLiteral("ninguna") : r.bases.join(QStringLiteral(", ")))
           << '\n';
    if (!r.danadas.isEmpty())
        salida << QStringLiteral("Bases registradas cuyo archivo está dañado o no se puede abrir: %1")
                      .arg(r.danadas.join(QStringLiteral(", ")))
               << '\n';
    salida << QStringLiteral(
                  "Los demás inicios de sesión no se recuperan: vuelva a crearlos con sp_addlogin, "
                  "sp_grantdbaccess y sp_addrolemember.")
           << '\n';
    salida.flush();
    return 0;
}

}  // namespace kv::kvsql
