#include "localserver/tsql/MensajesRutinas.h"

namespace kv::local::mensajes {

QString RutinaNoPrimera() {
    return QStringLiteral("'CREATE/ALTER PROCEDURE' debe ser la primera instrucción de un lote de consultas.");
}

QString UsarEnRutina() {
    return QStringLiteral(
        "No se permite una instrucción USE database en un procedimiento, una función o un desencadenador.");
}

QString SalidaSinVariable() {
    return QStringLiteral("No se puede usar la opción OUTPUT al pasar una constante a un procedimiento almacenado.");
}

QString ParametroFaltante(const QString& procedimiento, const QString& parametro) {
    return QStringLiteral("El procedimiento o la función '%1' esperaba el parámetro '%2', que no se ha proporcionado.")
        .arg(procedimiento, parametro);
}

QString AnidamientoRutinas() {
    return QStringLiteral(
        "Se superó el nivel máximo de anidamiento de procedimientos almacenados, funciones, desencadenadores o "
        "vistas (límite 32).");
}

QString TransaccionesDescuadradas(int antes, int ahora) {
    return QStringLiteral(
               "El recuento de transacciones después de EXECUTE indica un número no coincidente de instrucciones "
               "BEGIN y COMMIT. Recuento anterior = %1, recuento actual = %2.")
        .arg(antes)
        .arg(ahora);
}

QString ParametrosConNombre(int numero) {
    return QStringLiteral(
               "Debe pasar el parámetro número %1 y los parámetros siguientes como '@nombre = valor'. Después de "
               "usar la forma '@nombre = valor', todos los parámetros siguientes deben pasarse en la forma "
               "'@nombre = valor'.")
        .arg(numero);
}

QString SinAccesoBase(const QString& login, const QString& base) {
    return QStringLiteral(
               "La entidad de seguridad del servidor \"%1\" no puede obtener acceso a la base de datos \"%2\" en el "
               "contexto de seguridad actual.")
        .arg(login, base);
}

QString ProcedimientoNoQuitable(const QString& nombre) {
    return QStringLiteral("No se puede quitar el procedimiento '%1' porque no existe o no tiene permiso.").arg(nombre);
}

QString DemasiadosArgumentos(const QString& procedimiento) {
    return QStringLiteral("El procedimiento o la función %1 tiene demasiados argumentos especificados.")
        .arg(procedimiento);
}

QString NoEsParametro(const QString& parametro, const QString& procedimiento) {
    return QStringLiteral("%1 no es un parámetro del procedimiento %2.").arg(parametro, procedimiento);
}

QString NoEsDeSalida(const QString& parametro) {
    return QStringLiteral(
               "El parámetro formal \"%1\" no se declaró como parámetro OUTPUT, pero el parámetro real pasado "
               "solicitó una salida.")
        .arg(parametro);
}

QString RelanzarFueraDeCatch() {
    return QStringLiteral("Para volver a producir un error, debe usarse una instrucción THROW dentro de un bloque CATCH.");
}

QString NumeroThrow(qint64 numero) {
    return QStringLiteral(
               "El número de error %1 de la instrucción THROW está fuera del intervalo válido. Especifique un "
               "número de error en el intervalo válido de 50000 a 2147483647.")
        .arg(numero);
}

QString ObjetoRepetido(const QString& nombre) {
    return QStringLiteral("Ya hay un objeto con el nombre '%1' en la base de datos.").arg(nombre);
}

QString VariableDeTablaNoDeclarada(const QString& variable) {
    return QStringLiteral("Debe declarar la variable de tabla \"%1\".").arg(variable);
}

QString InsertarEjecutarAnidado() {
    return QStringLiteral("Una instrucción INSERT EXEC no se puede anidar.");
}

}  // namespace kv::local::mensajes
