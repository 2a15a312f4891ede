#pragma once
// Helpers for building SQL text out of values typed by users.

#include <QString>

namespace kv::db {

// Doubles every apostrophe so the text can be placed between apostrophes in an
// SQL string literal without ending it: "D'Alba" -> "D''Alba". Every place that
// splices user text into a literal goes through this one function.
QString DuplicarApostrofes(const QString& texto);

}  // namespace kv::db
