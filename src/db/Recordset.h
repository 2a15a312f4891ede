#pragma once
// ADO-like recordset: a client-side cursor over the rows of one result.
// Fields are found by name without regard to case. AddNew/Update write the base
// table of the SELECT it was opened with, through bound parameters.

#include <QHash>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

#include "db/Proveedor.h"

namespace kv::db {

class Conexion;

// The table an updatable SELECT writes to: the first table after FROM, without
// brackets, "dbo." or table hints ("SELECT * FROM [dbo].[T] with(nolock)" gives "T").
QString TablaBaseDeConsulta(const QString& sql);

class Recordset {
public:
    Recordset();
    ~Recordset();

    // Builds an open recordset over a result already fetched (Execute, schemas, tests).
    static std::unique_ptr<Recordset> DesdeResultado(ResultadoSentencia resultado, Conexion* conexion = nullptr,
                                                     const QString& fuente = QString());

    // Opens `fuente` (a SELECT or a batch whose first row-returning result is
    // taken) on the connection. Throws KvExcepcion (3705 when already open).
    void Open(const QString& fuente, Conexion* conexion, int tipoCursor = 0, int tipoBloqueo = 1,
              int opciones = -1);
    void Close();  // throws 3704 when closed
    int State() const { return abierto_ ? 1 : 0; }

    bool BOF() const;
    bool EOF_() const;  // EOF is a macro of <cstdio>
    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();
    void Move(qint64 filas);
    qint64 RecordCount() const;
    qint64 AbsolutePosition() const { return posicion_ + 1; }  // 1-based
    void SetAbsolutePosition(qint64 posicion);

    int CursorType() const { return tipoCursor_; }
    int LockType() const { return tipoBloqueo_; }
    void SetCursorType(int t) { tipoCursor_ = t; }
    void SetLockType(int t) { tipoBloqueo_ = t; }
    QString Source() const { return fuente_; }
    Conexion* ActiveConnection() const { return conexion_; }

    // Fields.
    int FieldCount() const { return static_cast<int>(resultado_.columnas.size()); }
    const ColumnaResultado& Field(int indice) const;
    int IndiceCampo(const QString& nombre) const;  // -1 when absent
    // Value of the current row; throws 3265 for an unknown name, 3021 with no current row.
    QVariant Valor(const QString& nombre) const;
    QVariant Valor(int indice) const;
    void Asignar(const QString& nombre, const QVariant& valor);  // on the current or new row

    // Add-new and update (written at Update, with bound parameters).
    void AddNew();
    void Update();
    void CancelUpdate();
    // Deletes the current row. Like Update, it writes exactly one row or nothing
    // (an error when the row is gone or cannot be told apart from others).
    void Delete();
    bool EditMode() const { return editando_; }

    // The rows as fetched (read-only; e.g. for grid models).
    const ResultadoSentencia& Resultado() const { return resultado_; }

private:
    void Comprobar() const;
    void ComprobarFila() const;
    QString TablaBase() const;
    void ComprobarActualizable() const;
    void EmpezarEdicion();
    void IndexarCampos();
    QString CondicionFila(const QString& tabla, std::vector<QVariant>& parametros) const;
    void EscribirUnaFila(const QString& tabla, const QString& sentencia, std::vector<QVariant> parametros);

    bool abierto_ = false;
    QString fuente_;
    Conexion* conexion_ = nullptr;
    int tipoCursor_ = 0;
    int tipoBloqueo_ = 1;
    ResultadoSentencia resultado_;
    // Case-folded hash of each column name: a field is found by name with a scan of
    // these numbers and no allocation (names are looked up once per row in loads).
    std::vector<quint32> plegados_;
    qint64 posicion_ = 0;          // -1 BOF, size() EOF
    bool editando_ = false;
    bool nueva_ = false;
    std::vector<QVariant> pendiente_;
    std::vector<bool> cambiado_;
};

}  // namespace kv::db
