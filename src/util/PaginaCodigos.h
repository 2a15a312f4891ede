#pragma once
// Text <-> the suite's 8-bit Windows code page (1252). Every byte has its own
// character, so a file read and written back keeps its bytes; a character the
// code page lacks is written as "?".

#include <QByteArray>
#include <QString>

namespace kv::PaginaCodigos {

QString Desde1252(const QByteArray& bytes);
QByteArray A1252(const QString& texto);

}  // namespace kv::PaginaCodigos
