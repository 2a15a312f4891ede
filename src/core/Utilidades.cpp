#include "core/Utilidades.h"

#include "util/UtilGeneral.h"
#include "util/UtilIni.h"
#include "util/UtilSistema.h"

namespace kv::core {

QString NombreMaquina() { return kv::UtilSistema::NombreMaquina(); }
QString NombreUsuario() { return kv::UtilSistema::NombreUsuario(); }

QString LeerIni(const QString& archivo, const QString& seccion, const QString& clave,
                const QString& defecto) {
    return kv::UtilIni::LeerIni(archivo, seccion, clave, defecto);
}

QString Codificar(const QString& texto) { return kv::UtilGeneral::Codificar(texto); }
QString Decodificar(const QString& texto) { return kv::UtilGeneral::Decodificar(texto); }
QString NormalizarCarpeta(const QString& carpeta) { return kv::UtilGeneral::NormalizarCarpeta(carpeta); }
QString AjustarTexto(const QString& texto, int ancho) { return kv::UtilGeneral::AjustarTexto(texto, ancho); }
QString SinNulo(const QVariant& valor) { return kv::UtilGeneral::SinNulo(valor); }
QString CarpetaTemporalSistema() { return kv::UtilSistema::CarpetaTemporal(); }

}  // namespace kv::core
