// The statements of the client test through Node's tedious (its own TDS code,
// not FreeTDS). Prints one line per statement.
const { Connection, Request, TYPES } = require('tedious');

const puerto = Number(process.argv[2]);
const conexion = new Connection({
  server: '127.0.0.1',
  authentication: { type: 'default', options: { userName: 'Korvane', password: 'pelumbo' } },
  options: { port: puerto, database: 'CLIENTES', encrypt: false, trustServerCertificate: true,
             requestTimeout: 0, rowCollectionOnRequestCompletion: true, useColumnNames: false },
});

function lote(sql, parametros = []) {
  return new Promise((resolver, rechazar) => {
    const conjuntos = [];
    let actual = null;
    const r = new Request(sql, (err) => (err ? rechazar(err) : resolver(conjuntos)));
    for (const [nombre, tipo, valor] of parametros) r.addParameter(nombre, tipo, valor);
    r.on('columnMetadata', () => { actual = []; conjuntos.push(actual); });
    r.on('row', (columnas) => actual.push(columnas.map((c) => c.value)));
    conexion.execSql(r);
  });
}

function llamar(fn) { return new Promise((res, rej) => fn((err) => (err ? rej(err) : res()))); }

async function principal() {
  await llamar((cb) => { conexion.on('connect', cb); conexion.connect(); });
  let r = await lote('SELECT name FROM sys.tables ORDER BY name');
  console.log('catalogo: ' + r[0].map((f) => f[0]).join(','));
  r = await lote('SELECT SUM(importe) AS total FROM VENTAS');
  console.log('suma: ' + r[0][0][0].toFixed(4));
  r = await lote('SELECT COUNT(*) AS n FROM VENTAS; SELECT articulo FROM VENTAS WHERE id = 1');
  console.log('lote: ' + r[0][0][0] + ' | ' + r[1][0][0]);
  try {
    await lote('SELECT * FROM NOEXISTE');
    console.log('error: ninguno');
  } catch (e) {
    console.log('error: ' + e.number + ' ' + e.message);
  }
  await llamar((cb) => conexion.beginTransaction(cb));
  await lote("INSERT INTO VENTAS VALUES (4, N'd', 1)");
  await llamar((cb) => conexion.rollbackTransaction(cb));
  r = await lote('SELECT COUNT(*) FROM VENTAS');
  console.log('transaccion: ' + r[0][0][0]);
  r = await lote('SELECT importe FROM VENTAS WHERE id = @id', [['id', TYPES.Int, 2]]);
  console.log('parametro: ' + r[0][0][0].toFixed(4));
  // A procedure by name (an RPC) with OUTPUT parameters: their values and the
  // return status come back in RETURNVALUE and RETURNSTATUS tokens.
  const llamada = await new Promise((resolver, rechazar) => {
    const salida = { filas: [], valores: {}, estado: null };
    const p = new Request('ARTICULO_Y_TOTAL', (err) => (err ? rechazar(err) : resolver(salida)));
    p.addParameter('id', TYPES.Int, 1);
    p.addOutputParameter('articulo', TYPES.NVarChar, null, { length: 20 });
    p.addOutputParameter('total', TYPES.Money, null);
    p.on('row', (c) => salida.filas.push(c[0].value));
    p.on('returnValue', (nombre, valor) => { salida.valores[nombre.replace(/^@/, '')] = valor; });
    p.on('doneProc', (filas, mas, estado) => { salida.estado = estado; });
    conexion.callProcedure(p);
  });
  console.log('procedimiento: ' + llamada.filas[0] + ' | ' + llamada.valores.articulo + ' | ' +
              Number(llamada.valores.total).toFixed(4) + ' | ' + llamada.estado);
  // sp_prepare and sp_execute.
  const preparada = await new Promise((resolver, rechazar) => {
    const p = new Request('SELECT articulo FROM VENTAS WHERE id = @id', (err) => err && rechazar(err));
    p.addParameter('id', TYPES.Int);
    p.on('prepared', () => resolver(p));
    conexion.prepare(p);
  });
  const preparado = await new Promise((resolver, rechazar) => {
    const filas = [];
    preparada.removeAllListeners('row');
    preparada.on('row', (c) => filas.push(c[0].value));
    preparada.on('requestCompleted', () => resolver(filas));
    preparada.on('error', rechazar);
    conexion.execute(preparada, { id: 3 });
  });
  console.log('preparada: ' + preparado.join(','));
  const cancelada = await new Promise((resolver) => {
    const q = new Request('SELECT COUNT(*) FROM G a, G b', (err) => resolver(err));
    q.setTimeout(1000);
    conexion.execSql(q);
  });
  r = await lote('SELECT 1');
  console.log('cancelacion: ' + (cancelada && cancelada.code === 'ETIMEOUT' ? 'tiempo agotado' : String(cancelada)) +
              '; despues: ' + r[0][0][0]);
  conexion.close();
}

principal().catch((e) => { console.log('fallo: ' + e.message); process.exit(1); });
