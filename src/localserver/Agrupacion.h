#pragma once
// SQL Server refuses a grouped query that shows or orders by a column that is
// neither grouped nor inside an aggregate (8120, 8127); SQLite would silently
// take the value of some row. This check, run on the translated text of a
// query before it runs, refuses the same queries. It errs on the side of
// letting a query through: only names that are columns of the database's
// tables count.

#include <QString>
#include <functional>

namespace kv::local {

// `esColumna` tells whether a name (any letter case) is a column of some table.
// Throws ErrorServidor 8120 or 8127 when the query would be refused.
void ComprobarAgrupacion(const QString& sqlite, const std::function<bool(const QString&)>& esColumna);

}  // namespace kv::local
