#pragma once
// Hash aggregation of a statistic statement over the columnar form of its
// table. Answers exactly what the general path answers: the same rows, in
// the same order (groups equal on every ORDER BY term come in the order of
// their group keys under the collation), the same values and value kinds.
// When the data would make the answers part ways (a group holding texts the
// collation finds equal but written differently, a division by zero, an
// integer overflow), it gives no answer and the general path runs.

#include <QVariant>
#include <optional>
#include <vector>

#include "localserver/rapida/ConsultaAgregada.h"
#include "localserver/rapida/TablaColumnar.h"

#include <functional>

namespace kv::local::rapida {

using FilasResultado = std::vector<std::vector<QVariant>>;

// Each value of a row is handed to `ajustar` (its column and the value) as the
// row is built, on the thread that builds it, so a caller's conversion costs
// no second pass over the rows.
using AjusteValor = std::function<void(int, QVariant&)>;

std::optional<FilasResultado> Agregar(const ConsultaAgregada& consulta, const TablaColumnar& tabla,
                                      const AjusteValor& ajustar = {});

}  // namespace kv::local::rapida
