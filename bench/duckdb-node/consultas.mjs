// The load's two queries on a column store, for bench_rendimiento: the
// statistic table is read from a tab-separated file into memory, then each
// query runs `vueltas` times with its rows handed to this program. Prints one
// JSON line with the times in seconds.
//
//   node consultas.mjs TABLA.tsv GRAFICO.sql GRILLA.sql HILOS VUELTAS

import { DuckDBInstance } from '@duckdb/node-api';
import { readFileSync } from 'node:fs';

const [tsv, graficoSql, grillaSql, hilos = '2', vueltas = '5'] = process.argv.slice(2);
const grafico = readFileSync(graficoSql, 'utf8');
const grilla = readFileSync(grillaSql, 'utf8');

const segundos = (t0) => Number(process.hrtime.bigint() - t0) / 1e9;

const instancia = await DuckDBInstance.create(':memory:', { threads: String(hilos) });
const c = await instancia.connect();
let t0 = process.hrtime.bigint();
await c.run(`CREATE TABLE DET AS SELECT * FROM read_csv('${tsv.replaceAll("'", "''")}', delim = '\t',
    header = false, quote = '', escape = '', columns = {'Base': 'VARCHAR', 'Fecha': 'VARCHAR',
    'Grupo1': 'VARCHAR', 'Grupo2': 'VARCHAR', 'Grupo3': 'VARCHAR', 'Consumo': 'DOUBLE',
    'ValorCosto': 'DECIMAL(19,4)', 'ValorVenta': 'DECIMAL(19,4)'})`);
const carga = segundos(t0);
const filasTabla = (await (await c.runAndReadAll('SELECT count(*) FROM DET')).getRows())[0][0];

const medidas = [];
let filas = [0, 0];
for (let v = 0; v < Number(vueltas); ++v) {
  t0 = process.hrtime.bigint();
  const a = (await c.runAndReadAll(grafico)).getRows();
  const tg = segundos(t0);
  t0 = process.hrtime.bigint();
  const b = (await c.runAndReadAll(grilla)).getRows();
  const tr = segundos(t0);
  filas = [a.length, b.length];
  medidas.push({ grafico: tg, grilla: tr });
}
console.log(JSON.stringify({ hilos: Number(hilos), carga, filasTabla: Number(filasTabla), filas, medidas }));
