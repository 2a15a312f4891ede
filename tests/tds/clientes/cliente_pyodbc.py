# The statements of the client test through Python's pyodbc over FreeTDS.
# Prints one line per statement; the test compares them with the expected values.
import sys

import pyodbc

puerto = sys.argv[1]
cadena = ("DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=%s;DATABASE=CLIENTES;UID=Korvane;PWD=pelumbo" % puerto)
cn = pyodbc.connect(cadena, autocommit=True)
c = cn.cursor()

c.execute("SELECT name FROM sys.tables ORDER BY name")
print("catalogo: " + ",".join(f[0] for f in c.fetchall()))

c.execute("SELECT SUM(importe) AS total FROM VENTAS")
print("suma: %s" % c.fetchone()[0])

c.execute("SELECT COUNT(*) AS n FROM VENTAS; SELECT articulo FROM VENTAS WHERE id = 1")
n = c.fetchall()[0][0]
c.nextset()
print("lote: %s | %s" % (n, c.fetchall()[0][0]))

try:
    c.execute("SELECT * FROM NOEXISTE")
    print("error: ninguno")
except pyodbc.Error as e:
    texto = str(e.args[1])
    mensaje = texto.split("]")[-1].split(" (208)")[0]
    print("error: %s %s" % ("208" if "(208)" in texto else "?", mensaje))

cn.autocommit = False
c.execute("INSERT INTO VENTAS VALUES (4, N'd', 1)")
cn.rollback()
cn.autocommit = True
c.execute("SELECT COUNT(*) FROM VENTAS")
print("transaccion: %s" % c.fetchone()[0])

c.execute("SELECT importe FROM VENTAS WHERE id = ?", 2)
print("parametro: %s" % c.fetchone()[0])

# A procedure with OUTPUT parameters and a return status, called from a batch
# (pyodbc binds input parameters only).
c.execute("DECLARE @a nvarchar(20), @t money, @r int "
          "EXEC @r = ARTICULO_Y_TOTAL 1, @a OUTPUT, @t OUTPUT SELECT @a, @t, @r")
n = c.fetchall()[0][0]
c.nextset()
a, t, r = c.fetchone()
print("procedimiento: %s | %s | %s | %s" % (n, a, t, r))

# The time-out applies to the statements of cursors made after it is set.
cn.timeout = 1
c = cn.cursor()
try:
    c.execute("SELECT COUNT(*) FROM G a, G b")
    c.fetchall()
    print("cancelacion: no se detuvo")
except pyodbc.Error as e:
    estado = e.args[0]
    cn.timeout = 0
    c = cn.cursor()
    c.execute("SELECT 1")
    print("cancelacion: %s; despues: %s" % ("tiempo agotado" if estado == "HYT00" else estado, c.fetchone()[0]))
