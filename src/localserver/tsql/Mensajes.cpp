#include "localserver/tsql/Mensajes.h"

namespace kv::local::mensajes {

QString Sintaxis(const QString& cerca) {
    return QStringLiteral("Sintaxis incorrecta cerca de '%1'.").arg(cerca);
}

QString ComillaSinCerrar(const QString& cadena) {
    return QStringLiteral("Falta la comilla de cierre después de la cadena de caracteres '%1'.").arg(cadena);
}

QString ComentarioSinCerrar() { return QStringLiteral("Falta la marca de fin de comentario '*/'."); }

QString VariableNoDeclarada(const QString& variable) {
    return QStringLiteral("Debe declarar la variable escalar \"%1\".").arg(variable);
}

QString Anidamiento() {
    return QStringLiteral(
        "Alguna parte de la instrucción SQL está anidada con demasiada profundidad. "
        "Vuelva a escribir la consulta o divídala en consultas más pequeñas.");
}

QString LimitePila() {
    return QStringLiteral(
        "Error interno: se alcanzó el límite de pila del servidor. Busque un anidamiento potencialmente "
        "profundo en la consulta e intente simplificarla.");
}

QString HoraWaitfor(const QString& hora) {
    return QStringLiteral("Sintaxis de hora incorrecta en la cadena de hora '%1' usada con WAITFOR.").arg(hora);
}

QString CulturaFormat(const QString& cultura) {
    return QStringLiteral("No se admite el parámetro de referencia cultural '%1' proporcionado en la llamada a la "
                          "función.")
        .arg(cultura);
}

QString ArgumentoFormat() {
    return QStringLiteral(
        "El tipo de datos de argumento varchar no es válido para el argumento 1 de la función format.");
}

QString ArgumentosConcat() {
    return QStringLiteral("La función concat requiere entre 2 y 254 argumentos.");
}

QString TextoADinero() {
    return QStringLiteral("No se puede convertir un valor char al tipo de datos money. Sintaxis incorrecta.");
}

QString Memoria() {
    return QStringLiteral(
        "No hay suficiente memoria del sistema en el grupo de recursos 'default' para ejecutar esta consulta.");
}

QString FuncionDesconocida(const QString& funcion) {
    return QStringLiteral("'%1' no es un nombre de función integrada reconocido.").arg(funcion);
}

QString ColumnaInvalida(const QString& columna) {
    return QStringLiteral("El nombre de columna '%1' no es válido.").arg(columna);
}

QString ObjetoInvalido(const QString& objeto) {
    return QStringLiteral("El nombre de objeto '%1' no es válido.").arg(objeto);
}

QString ConversionFecha() {
    return QStringLiteral(
        "Error de conversión al convertir una fecha y/u hora a partir de una cadena de caracteres.");
}

QString ConversionValor(const QString& valor, const QString& tipo, const QString& desde) {
    return QStringLiteral("Error de conversión al convertir el valor %3 '%1' al tipo de datos %2.")
        .arg(valor, tipo, desde);
}

QString LongitudNoValida(const QString& funcion) {
    return QStringLiteral("Se pasó un parámetro de longitud no válido a la función %1.").arg(funcion);
}

QString ConversionTipo(const QString& desde, const QString& hacia) {
    return QStringLiteral("Error al convertir el tipo de datos %1 a %2.").arg(desde, hacia);
}

QString PuntoFlotanteNoValido() { return QStringLiteral("Se produjo una operación de punto flotante no válida."); }

QString NuloNoAdmitido(const QString& columna, const QString& tabla, const QString& operacion) {
    return QStringLiteral(
               "No se puede insertar el valor NULL en la columna '%1', tabla '%2'. "
               "La columna no admite valores NULL. Error de %3.")
        .arg(columna, tabla, operacion);
}

QString ConflictoRestriccion(const QString& operacion, const QString& tipo, const QString& restriccion,
                             const QString& base, const QString& tabla, const QString& columna) {
    QString texto = QStringLiteral(
                        "Instrucción %1 en conflicto con la restricción %2 \"%3\". "
                        "El conflicto ha aparecido en la base de datos \"%4\", tabla \"%5\"")
                        .arg(operacion, tipo, restriccion, base, tabla);
    if (!columna.isEmpty()) texto += QStringLiteral(", column '%1'").arg(columna);
    return texto + QLatin1Char('.');
}

QString BaseYaExiste(const QString& base) {
    return QStringLiteral("La base de datos '%1' ya existe. Elija otro nombre de base de datos.").arg(base);
}

QString ProcedimientoInexistente(const QString& procedimiento) {
    return QStringLiteral("No se encontró el procedimiento almacenado '%1'.").arg(procedimiento);
}

QString ClaveDuplicada(const QString& tipo, const QString& restriccion, const QString& objeto,
                       const QString& valor) {
    QString texto = QStringLiteral(
                        "Infracción de la restricción %1 '%2'. "
                        "No se puede insertar una clave duplicada en el objeto '%3'.")
                        .arg(tipo, restriccion, objeto);
    if (!valor.isEmpty()) texto += QStringLiteral(" El valor de la clave duplicada es %1.").arg(valor);
    return texto;
}

QString ObjetoYaExiste(const QString& objeto) {
    return QStringLiteral("Ya hay un objeto con el nombre '%1' en la base de datos.").arg(objeto);
}

QString TablaNoExisteParaQuitar(const QString& tabla) {
    return QStringLiteral("No se puede quitar la tabla '%1' porque no existe o no tiene permiso.").arg(tabla);
}

QString IndiceSinTabla() {
    return QStringLiteral("Debe especificar el nombre de la tabla y el nombre del índice para la instrucción DROP "
                          "INDEX.");
}

QString PrefijoDeBase(const QString& instruccion) {
    return QStringLiteral("'%1' no permite especificar el nombre de la base de datos como prefijo del nombre del "
                          "objeto.")
        .arg(instruccion);
}

QString BaseNoExisteDefinir(const QString& base) {
    return QStringLiteral("La base de datos '%1' no existe.").arg(base);
}

QString CommitSinBegin() {
    return QStringLiteral("La solicitud COMMIT TRANSACTION no tiene la correspondiente BEGIN TRANSACTION.");
}

QString RollbackSinBegin() {
    return QStringLiteral("La solicitud ROLLBACK TRANSACTION no tiene la correspondiente BEGIN TRANSACTION.");
}

QString BaseNoAbre(const QString& base) {
    return QStringLiteral(
               "No se puede abrir la base de datos \"%1\" solicitada por el inicio de sesión. "
               "Error de inicio de sesión.")
        .arg(base);
}

QString Desbordamiento(const QString& tipo) {
    return QStringLiteral("Error de desbordamiento aritmético al convertir expression al tipo de datos %1.")
        .arg(tipo);
}

QString EspacioInsuficiente(const QString& tipo) {
    return QStringLiteral("No hay espacio suficiente en el resultado para convertir un valor money a %1.").arg(tipo);
}

QString EstiloNoValido(int estilo) {
    return QStringLiteral("%1 no es un número de estilo válido al convertir de money a una cadena de caracteres.")
        .arg(estilo);
}

QString DivisionCero() { return QStringLiteral("Error de división entre cero."); }

QString NoAgrupadaSeleccion(const QString& columna) {
    return QStringLiteral(
               "La columna '%1' de la lista de selección no es válida, porque no está contenida "
               "en una función de agregado ni en la cláusula GROUP BY.")
        .arg(columna);
}

QString NoAgrupadaOrden(const QString& columna) {
    return QStringLiteral(
               "La columna \"%1\" no es válida en la cláusula ORDER BY porque no está contenida "
               "en una función de agregado ni en la cláusula GROUP BY.")
        .arg(columna);
}

QString NoAgrupadaHaving(const QString& columna) {
    return QStringLiteral(
               "La columna '%1' no es válida en la cláusula HAVING porque no está contenida "
               "en una función de agregado ni en la cláusula GROUP BY.")
        .arg(columna);
}

QString Truncado() { return QStringLiteral("Los datos de cadena o binarios se truncarían."); }

QString LoginYaExiste(const QString& login) {
    return QStringLiteral("La entidad de seguridad de servidor '%1' ya existe.").arg(login);
}

QString InicioSesion(const QString& usuario) {
    return QStringLiteral("Error de inicio de sesión del usuario '%1'.").arg(usuario);
}

QString VariableRepetida(const QString& variable) {
    return QStringLiteral(
               "El nombre de variable '%1' ya se ha declarado. Los nombres de variable deben ser únicos "
               "en un lote de consultas o procedimiento almacenado.")
        .arg(variable);
}

QString BreakFueraDeBucle() {
    return QStringLiteral(
        "No se puede usar una instrucción BREAK fuera del ámbito de una instrucción WHILE.");
}

QString ContinueFueraDeBucle() {
    return QStringLiteral(
        "No se puede usar una instrucción CONTINUE fuera del ámbito de una instrucción WHILE.");
}

QString RetornoConValor() {
    return QStringLiteral("No se puede usar una instrucción RETURN con un valor devuelto en este contexto.");
}

QString CasoAnidado() {
    return QStringLiteral("Las expresiones CASE solo se pueden anidar hasta el nivel 10.");
}

QString ColumnasEnSubconsulta() {
    return QStringLiteral(
        "Sólo se puede especificar una expresión en la lista de selección cuando no se utiliza "
        "EXISTS para introducir la subconsulta.");
}

QString AsignacionMezclada() {
    return QStringLiteral(
        "Una instrucción SELECT que asigna un valor a una variable no debe combinarse con "
        "operaciones de recuperación de datos.");
}

}  // namespace kv::local::mensajes
