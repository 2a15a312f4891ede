#pragma once
// Gives a test its own application folder (KVESTV_CARPETA) and embedded-server
// data folder (KVESTV_DATOS), removed with everything in them at the end.
// TEMP, TMP and TMPDIR point at the same temporary root for as long as the
// object lives, so whatever the code under test writes to "the temporary
// folder" (the error log of the core routine, scratch files of child
// programs) goes away with it instead of piling up in /tmp.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <vector>

namespace kv::pruebas {

class CarpetasTemporales {
  public:
    CarpetasTemporales();
    ~CarpetasTemporales();
    CarpetasTemporales(const CarpetasTemporales&) = delete;
    CarpetasTemporales& operator=(const CarpetasTemporales&) = delete;
    QString aplicacion() const;  // ends in "/"
    QString datos() const;       // ends in "/"
    QString raiz() const;        // ends in "/"

  private:
    struct Anterior {
        const char* nombre;
        bool habia;
        QByteArray valor;
    };
    QTemporaryDir dir_;
    std::vector<Anterior> anteriores_;
};

// Folder of the build (where kv_estv, kvsql and the test helper programs are).
QString CarpetaBinarios();

}  // namespace kv::pruebas
