#pragma once
// What bounds one batch of a session besides its statements' own rules: the
// command time-out, checked between statements as well as inside them, WAITFOR,
// and the memory the batch's variables and results may hold.

#include <QHash>
#include <QString>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <vector>

#include "db/Proveedor.h"

namespace kv::local {

// Most memory one session's batch may hold in variables and results, in bytes:
// KVESTV_MEMORIA_SESION_MB megabytes; by default a quarter of the machine's
// memory, at least 256 MB.
qint64 MemoriaMaximaSesion();

// Longest text or binary value a session's statement may build: an eighth of
// the session's memory, so that a value that doubles in a loop stops long
// before the machine's memory does (8152).
int LargoMaximoValorSesion();

// Bytes a value takes in memory, roughly.
qint64 TamanoValor(const QVariant& v);
qint64 TamanoFila(const std::vector<QVariant>& fila);
qint64 TamanoResultado(const kv::db::ResultadoSentencia& r);

qint64 TamanoVariables(const QHash<QString, QVariant>& variables);

// A batch past its memory: only its last result (the 701 error) is kept.
void DescartarResultados(std::vector<kv::db::ResultadoSentencia>& salida);

// The memory a running batch holds; past the bound it fails with 701. Rows
// count as a statement reads them; when it ends, what it left in the batch's
// results replaces that count (the rows of a condition or an assignment go).
class MemoriaLote {
  public:
    void Reiniciar() {
        resultados_ = enCurso_ = variables_ = 0;
    }
    // These throw ErrorServidor 701 when the batch would hold more than the bound.
    void SumarFila(qint64 bytes);
    void CerrarSentencia(qint64 bytesResultados);
    void FijarVariables(qint64 bytes);
    // The rows read so far went to the client: the batch no longer holds them.
    void SoltarFilas() { enCurso_ = 0; }
    // Results the batch counted went to the client.
    void SoltarResultados(qint64 bytes) { resultados_ = std::max<qint64>(0, resultados_ - bytes); }
    qint64 Usada() const { return resultados_ + enCurso_ + variables_; }

  private:
    void Comprobar() const;
    qint64 resultados_ = 0;
    qint64 enCurso_ = 0;
    qint64 variables_ = 0;
};

// Throws the time-out error when the deadline has passed.
void ComprobarPlazo(bool conLimite, std::chrono::steady_clock::time_point limite);

// WAITFOR DELAY or TIME with the time as written ('hh:mm[:ss[.mmm]]'): waits,
// and ends with the time-out error at the batch's deadline. A malformed time
// fails as SQL Server fails (148).
void Esperar(const QString& modo, const QString& texto, bool conLimite,
             std::chrono::steady_clock::time_point limite);

}  // namespace kv::local
