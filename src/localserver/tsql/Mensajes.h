#pragma once
// Spanish texts of the server's errors, with SQL Server's native numbers. Every
// message the embedded server shows is built here, so the wording is in one place.

#include <QString>

namespace kv::local::mensajes {

// Native numbers.
inline constexpr int kSintaxis = 102;
inline constexpr int kComillaSinCerrar = 105;
inline constexpr int kComentarioSinCerrar = 113;
inline constexpr int kVariableNoDeclarada = 137;
inline constexpr int kVariableRepetida = 134;
inline constexpr int kBreakFueraDeBucle = 135;
inline constexpr int kContinueFueraDeBucle = 136;
inline constexpr int kRetornoConValor = 178;
inline constexpr int kCasoAnidado = 125;
inline constexpr int kColumnasEnSubconsulta = 116;
inline constexpr int kAsignacionMezclada = 141;
inline constexpr int kAnidamiento = 191;
inline constexpr int kLimitePila = 8631;
inline constexpr int kMemoria = 701;
inline constexpr int kHoraWaitfor = 148;
inline constexpr int kCulturaFormat = 9818;
inline constexpr int kArgumentoFormat = 8116;
inline constexpr int kArgumentosConcat = 189;
inline constexpr int kTextoADinero = 235;
inline constexpr int kEspacioInsuficiente = 234;
inline constexpr int kEstiloNoValido = 281;
inline constexpr int kFuncionDesconocida = 195;
inline constexpr int kColumnaInvalida = 207;
inline constexpr int kObjetoInvalido = 208;
inline constexpr int kConversionFecha = 241;
inline constexpr int kConversionValor = 245;
inline constexpr int kLongitudDerecha = 536;
inline constexpr int kLongitudSubcadena = 537;
inline constexpr int kConversionTipo = 8114;
inline constexpr int kNuloNoAdmitido = 515;
inline constexpr int kConflictoRestriccion = 547;
inline constexpr int kBaseYaExiste = 1801;
inline constexpr int kProcedimientoInexistente = 2812;
inline constexpr int kClaveDuplicada = 2627;
inline constexpr int kObjetoYaExiste = 2714;
inline constexpr int kTablaNoExisteParaQuitar = 3701;
inline constexpr int kIndiceSinTabla = 159;
inline constexpr int kPrefijoDeBase = 166;
inline constexpr int kBaseNoExisteDefinir = 2702;
inline constexpr int kCommitSinBegin = 3902;
inline constexpr int kRollbackSinBegin = 3903;
inline constexpr int kBaseNoAbre = 4060;
inline constexpr int kDesbordamiento = 8115;
inline constexpr int kDivisionCero = 8134;
inline constexpr int kPuntoFlotante = 3623;
inline constexpr int kNoAgrupadaSeleccion = 8120;
inline constexpr int kNoAgrupadaOrden = 8127;
inline constexpr int kNoAgrupadaHaving = 8121;
inline constexpr int kTruncado = 8152;
inline constexpr int kLoginYaExiste = 15025;
inline constexpr int kInicioSesion = 18456;

// 102: "Sintaxis incorrecta cerca de '<token>'."
QString Sintaxis(const QString& cerca);
// 105
QString ComillaSinCerrar(const QString& cadena);
// 113
QString ComentarioSinCerrar();
// 137
QString VariableNoDeclarada(const QString& variable);
// 134
QString VariableRepetida(const QString& variable);
// 135, 136
QString BreakFueraDeBucle();
QString ContinueFueraDeBucle();
// 178
QString RetornoConValor();
// 125
QString CasoAnidado();
// 116
QString ColumnasEnSubconsulta();
// 141
QString AsignacionMezclada();
// 191
QString Anidamiento();
// 8631
QString LimitePila();
// 701
QString Memoria();
// 148
QString HoraWaitfor(const QString& hora);
// 9818
QString CulturaFormat(const QString& cultura);
// 8116: FORMAT of a text
QString ArgumentoFormat();
// 189: CONCAT with fewer than two or more than 254 arguments
QString ArgumentosConcat();
// 235
QString TextoADinero();
// 234: a money value converted to a text too short for it.
QString EspacioInsuficiente(const QString& tipo);
// 281: a style money does not convert to a text with.
QString EstiloNoValido(int estilo);
// 195
QString FuncionDesconocida(const QString& funcion);
// 207
QString ColumnaInvalida(const QString& columna);
// 208
QString ObjetoInvalido(const QString& objeto);
// 241
QString ConversionFecha();
// 245: the value could not become the type ("int").
// `desde` is the value's own type: "nvarchar" unless said.
QString ConversionValor(const QString& valor, const QString& tipo,
                        const QString& desde = QStringLiteral("nvarchar"));
// 536, 537
QString LongitudNoValida(const QString& funcion);
// 8114
QString ConversionTipo(const QString& desde, const QString& hacia);
// 3623: SQRT of a negative, LOG of zero.
QString PuntoFlotanteNoValido();
// 515: tabla as SQL Server names it, "base.dbo.tabla"; operacion "INSERT" or "UPDATE".
QString NuloNoAdmitido(const QString& columna, const QString& tabla, const QString& operacion);
// 547: operacion "INSERT", "UPDATE" or "DELETE"; tipo "FOREIGN KEY", "REFERENCE" or "CHECK".
QString ConflictoRestriccion(const QString& operacion, const QString& tipo, const QString& restriccion,
                             const QString& base, const QString& tabla, const QString& columna);
// 1801
QString BaseYaExiste(const QString& base);
// 2812
QString ProcedimientoInexistente(const QString& procedimiento);
// 2627: tipo "PRIMARY KEY" or "UNIQUE KEY"; valor the duplicate key as "(a, b)", may be empty.
QString ClaveDuplicada(const QString& tipo, const QString& restriccion, const QString& objeto,
                       const QString& valor = QString());
// 2714
QString ObjetoYaExiste(const QString& objeto);
// 3701
QString TablaNoExisteParaQuitar(const QString& tabla);
// 159
QString IndiceSinTabla();
// 166: CREATE VIEW, DROP VIEW
QString PrefijoDeBase(const QString& instruccion);
// 2702
QString BaseNoExisteDefinir(const QString& base);
// 3902, 3903
QString CommitSinBegin();
QString RollbackSinBegin();
// 4060
QString BaseNoAbre(const QString& base);
// 8115
QString Desbordamiento(const QString& tipo);
// 8134
QString DivisionCero();
// 8120: a column of a grouped query's select list neither grouped nor aggregated.
QString NoAgrupadaSeleccion(const QString& columna);
// 8127: the same in ORDER BY.
QString NoAgrupadaOrden(const QString& columna);
// 8121: the same in HAVING.
QString NoAgrupadaHaving(const QString& columna);
// 8152
QString Truncado();
// 15025
QString LoginYaExiste(const QString& login);
// 18456
QString InicioSesion(const QString& usuario);

}  // namespace kv::local::mensajes
