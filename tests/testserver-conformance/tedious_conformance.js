// tedious against the test server: node tedious_conformance.js PORT TEDIOUS_DIR ALLTYPES_SQL
// Prints one line per failed check and exits non-zero if any failed.
'use strict';
const fs = require('fs');
const path = require('path');
const [port, tediousDir, sqlFile] = [Number(process.argv[2]), process.argv[3], process.argv[4]];
const { Connection, Request } = require(path.join(tediousDir, 'node_modules', 'tedious'));

let failures = 0;
function check(ok, what) {
  if (!ok) {
    failures++;
    console.log('FAIL: ' + what);
  }
}

function connect(password, database) {
  return new Promise((resolve, reject) => {
    const c = new Connection({
      server: '127.0.0.1',
      authentication: { type: 'default', options: { userName: 'sa', password } },
      options: { port, database, encrypt: false, trustServerCertificate: true, connectTimeout: 15000 },
    });
    const errors = [];
    c.on('errorMessage', (m) => errors.push(m));
    c.connect((err) => (err ? reject(Object.assign(err, { serverErrors: errors })) : resolve(c)));
  });
}

function batch(c, sql, onRow) {
  return new Promise((resolve, reject) => {
    const rows = [];
    const r = new Request(sql, (err, rowCount) => (err ? reject(err) : resolve({ rows, rowCount })));
    r.on('row', (columns) => {
      rows.push(columns.map((col) => col.value));
      if (onRow) onRow(r, columns);
    });
    c.execSqlBatch(r);
  });
}

const hex = (b) => (Buffer.isBuffer(b) ? b.toString('hex') : b);
const iso = (d) => (d instanceof Date ? d.toISOString() : d);
// Numbers beyond 2^53 cannot be exact in JavaScript: compare those to 15 digits.
function near(a, b) {
  if (a === b) return true;
  if (typeof a !== 'number' || typeof b !== 'number') return false;
  return Math.abs(a - b) <= Math.abs(b) * 1e-15;
}

async function main() {
  // Wrong password: SQL Server's 18456 and its text.
  try {
    const c = await connect('wrong');
    c.close();
    check(false, 'login with a wrong password succeeded');
  } catch (err) {
    check(/Login failed for user 'sa'\./.test(err.message), 'login error text: ' + err.message);
    check(err.serverErrors.some((m) => m.number === 18456), '18456 among the login errors');
  }

  const c = await connect('secret');
  await batch(c, 'CREATE DATABASE TediousConf');
  await batch(c, 'USE TediousConf');
  const statements = fs.readFileSync(sqlFile, 'utf8').replace(/\n /g, ' ');
  await batch(c, statements);
  const { rows } = await batch(c,
    'SELECT id, c_bigint, c_int, c_smallint, c_tinyint, c_bit, c_decimal, c_numeric, c_money, c_smallmoney, c_float, ' +
    'c_real, c_datetime, c_smalldatetime, c_char, c_varchar, c_text, c_nchar, c_nvarchar, c_ntext, c_binary, ' +
    'c_varbinary, c_image, c_guid, c_variant, c_ts FROM AllTypes ORDER BY id');
  const f32 = (x) => Math.fround(x);
  const expected = [
    [1, ...Array(24).fill(null)],
    [2, '-9223372036854775808', -2147483648, -32768, 0, false, -9999999999999999999999999999.9999999999, -9999999.99,
      -922337203685477.5808, -214748.3648, -1.7976931348623157e308, f32(-3.4028234e38),
      '1753-01-01T00:00:00.000Z', '1900-01-01T00:00:00.000Z', '          ', '', '', '          ', '', '',
      '00000000', '00', '00', '00000000-0000-0000-0000-000000000000', 'Ж'],
    [3, '9223372036854775807', 2147483647, 32767, 255, true, 9999999999999999999999999999.9999999999, 9999999.99,
      922337203685477.5807, 214748.3647, 1.7976931348623157e308, f32(3.4028234e38),
      '9999-12-31T23:59:59.997Z', '2079-06-06T23:59:00.000Z', "O'Brien   ", "Привет 'мир'", 'текст "в кавычках"',
      '日本語       ', "Привет 日本 'q'", 'Ёлка 中文', '00010203', '000100ff00', '00ff00',
      '6F9619FF-8B86-D011-B42D-00C04FC964FF', 'Привет'],
    [4, '0', -1, 1, 1, true, -1.5, 0.5, -12.34, 0.0001, 0.1, 0.5, '2004-03-01T10:00:00.123Z',
      '2004-03-01T10:00:00.000Z', 'abc       ', '??', 'Ы', 'Ж         ', 'x', 'y', '01020000', '', '',
      '01234567-89AB-CDEF-0123-456789ABCDEF', 'x'],
  ];
  check(rows.length === expected.length, `row count ${rows.length}`);
  const stamps = new Set();
  rows.forEach((row, r) => {
    (expected[r] || []).forEach((want, k) => {
      const got = iso(hex(row[k]));
      check(near(got, want), `row ${r + 1} column ${k}: got ${JSON.stringify(got)}, want ${JSON.stringify(want)}`);
    });
    const ts = row[25];
    check(Buffer.isBuffer(ts) && ts.length === 8, `row ${r + 1}: timestamp is 8 bytes`);
    stamps.add(hex(ts));
  });
  check(stamps.size === rows.length, 'timestamps differ per row');

  // Counts follow NOCOUNT.
  await batch(c, 'CREATE TABLE Big (id int NOT NULL, pad char(2000) NULL)');
  const counted = await batch(c, "INSERT INTO Big (id, pad) VALUES (0, 'a')");
  check(counted.rowCount === 1, `INSERT counts 1 row, got ${counted.rowCount}`);
  const silent = await batch(c, "SET NOCOUNT ON\nINSERT INTO Big (id, pad) VALUES (0, 'b')\nSET NOCOUNT OFF");
  check(!silent.rowCount, `no count under NOCOUNT ON, got ${silent.rowCount}`);

  // A long SELECT cancelled at its first row leaves the connection usable.
  const inserts = [];
  for (let k = 1; k <= 3000; ++k) inserts.push(`INSERT INTO Big (id, pad) VALUES (${k}, 'row ${k}')`);
  await batch(c, inserts.join('\n'));
  let cancelled = false;
  try {
    const r = await batch(c, 'SELECT id, pad FROM Big', (req) => {
      if (!cancelled) {
        cancelled = true;
        c.cancel();
      }
    });
    check(false, `cancelled SELECT completed with ${r.rows.length} rows`);
  } catch (err) {
    check(err.code === 'ECANCEL', 'cancel error code ' + err.code);
  }
  const after = await batch(c, 'SELECT id FROM AllTypes WHERE id = 3');
  check(after.rows.length === 1 && after.rows[0][0] === 3, 'the connection answers after the cancel');

  // A batch waiting in WAITFOR ends as soon as it is cancelled.
  const started = Date.now();
  const waiting = batch(c, "SELECT 1\nWAITFOR DELAY '00:01:00'\nSELECT 2");
  setTimeout(() => c.cancel(), 200);
  try {
    await waiting;
    check(false, 'cancelled WAITFOR completed');
  } catch (err) {
    check(err.code === 'ECANCEL', 'WAITFOR cancel error code ' + err.code);
  }
  check(Date.now() - started < 30000, `WAITFOR cancel took ${Date.now() - started} ms`);
  const again = await batch(c, 'SELECT 5');
  check(again.rows.length === 1 && again.rows[0][0] === 5, 'the connection answers after the WAITFOR cancel');

  // tedious raises TEXTSIZE at login, so long text arrives whole.
  await batch(c, "CREATE TABLE LongText (t text)\nINSERT INTO LongText VALUES('" + 'a'.repeat(9000) + "')");
  const long = await batch(c, 'SELECT t FROM LongText');
  check(long.rows[0][0].length === 9000, `text of 9000 characters arrives with ${long.rows[0][0].length}`);
  c.close();
}

main().then(
  () => {
    console.log(failures ? `${failures} check(s) failed` : 'all checks passed');
    process.exit(failures ? 1 : 0);
  },
  (err) => {
    console.log('FAIL: ' + (err && err.stack ? err.stack : err));
    process.exit(1);
  });
