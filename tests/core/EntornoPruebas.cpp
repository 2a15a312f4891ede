// The whole program runs with TEMP, TMP and TMPDIR pointing at a folder of its
// own, so an error reported by a test outside its own test folders never lands
// in the machine's temporary folder; the folder goes away when the run ends,
// and a KVERR.LOG found there says some test logged outside its own folders.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "core/Errores.h"

namespace {

class TemporalDelPrograma : public ::testing::Environment {
  public:
    void SetUp() override {
        carpeta_ = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(carpeta_->isValid());
        for (const char* nombre : {"TEMP", "TMP", "TMPDIR"}) {
            anteriores_.push_back({nombre, qEnvironmentVariableIsSet(nombre), qgetenv(nombre)});
            qputenv(nombre, carpeta_->path().toUtf8());
        }
    }
    void TearDown() override {
        EXPECT_FALSE(QFile::exists(carpeta_->path() + "/" + kv::core::kArchivoLogErrores))
            << "una prueba anotó errores fuera de sus propias carpetas";
        for (auto it = anteriores_.rbegin(); it != anteriores_.rend(); ++it) {
            if (it->habia)
                qputenv(it->nombre, it->valor);
            else
                qunsetenv(it->nombre);
        }
        anteriores_.clear();
        carpeta_.reset();
    }

  private:
    struct Anterior {
        const char* nombre;
        bool habia;
        QByteArray valor;
    };
    std::unique_ptr<QTemporaryDir> carpeta_;
    std::vector<Anterior> anteriores_;
};

// Registered before main() runs the tests; gtest owns the object.
[[maybe_unused]] ::testing::Environment* const kTemporalDelPrograma =
    ::testing::AddGlobalTestEnvironment(new TemporalDelPrograma);

}  // namespace
