#pragma once
// Gives a test its own application folder (KVESTV_CARPETA) and embedded-server
// data folder (KVESTV_DATOS), removed with everything in them at the end.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace kv::pruebas {

class CarpetasTemporales {
public:
    CarpetasTemporales();
    ~CarpetasTemporales();
    QString aplicacion() const;  // ends in "/"
    QString datos() const;       // ends in "/"
    QString raiz() const;        // ends in "/"

private:
    QTemporaryDir dir_;
    QByteArray anteriorCarpeta_, anteriorDatos_;
    bool habiaCarpeta_, habiaDatos_;
};

// Folder of the build (where kv_estv, kvsql and the test helper programs are).
QString CarpetaBinarios();

}  // namespace kv::pruebas
