#pragma once
// Numbers and Spanish texts of the errors about stored procedures, dynamic SQL,
// TRY/CATCH and names in other databases, as SQL Server gives them.

#include <QString>

namespace kv::local::mensajes {

inline constexpr int kRutinaNoPrimera = 111;
inline constexpr int kUsarEnRutina = 154;
inline constexpr int kSalidaSinVariable = 179;
inline constexpr int kParametroFaltante = 201;
inline constexpr int kAnidamientoRutinas = 217;
inline constexpr int kTransaccionesDescuadradas = 266;
inline constexpr int kParametrosConNombre = 119;
inline constexpr int kSinAccesoBase = 916;
inline constexpr int kProcedimientoNoQuitable = 3701;
inline constexpr int kDemasiadosArgumentos = 8144;
inline constexpr int kNoEsParametro = 8145;
inline constexpr int kNoEsDeSalida = 8162;
inline constexpr int kRelanzarFueraDeCatch = 10704;
inline constexpr int kNumeroThrow = 35100;
inline constexpr int kObjetoRepetido = 2714;
inline constexpr int kVariableDeTablaNoDeclarada = 1087;
inline constexpr int kInsertarEjecutarAnidado = 8164;
// Deepest nesting of procedure calls and dynamic SQL.
inline constexpr int kNivelMaximoRutinas = 32;

QString RutinaNoPrimera();
QString UsarEnRutina();
QString SalidaSinVariable();
QString ParametroFaltante(const QString& procedimiento, const QString& parametro);
QString AnidamientoRutinas();
QString TransaccionesDescuadradas(int antes, int ahora);
QString ParametrosConNombre(int numero);
QString SinAccesoBase(const QString& login, const QString& base);
QString ProcedimientoNoQuitable(const QString& nombre);
QString DemasiadosArgumentos(const QString& procedimiento);
QString NoEsParametro(const QString& parametro, const QString& procedimiento);
QString NoEsDeSalida(const QString& parametro);
QString RelanzarFueraDeCatch();
QString NumeroThrow(qint64 numero);
QString VariableDeTablaNoDeclarada(const QString& variable);
QString InsertarEjecutarAnidado();
QString ObjetoRepetido(const QString& nombre);

}  // namespace kv::local::mensajes
