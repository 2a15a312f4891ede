#pragma once
// The utility component's operations as the core uses them, in one place.

#include <QString>
#include <QVariant>

namespace kv::core {

QString NombreMaquina();
QString NombreUsuario();
QString LeerIni(const QString& archivo, const QString& seccion, const QString& clave, const QString& defecto);
QString Codificar(const QString& texto);
QString Decodificar(const QString& texto);
QString NormalizarCarpeta(const QString& carpeta);
QString AjustarTexto(const QString& texto, int ancho);
QString SinNulo(const QVariant& valor);
QString CarpetaTemporalSistema();

}  // namespace kv::core
