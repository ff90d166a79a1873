// tedious against the test server playing SQL Server 2019: the newer types
// (megabyte values, datetimeoffset across offsets, time to the 100 ns, xml
// with non-Latin text), the TDS 7.1 downgrade, and TLS.
// node tedious_modern.js PLAIN_PORT TLS_PORT FORCED_PORT TEDIOUS_DIR MODERN_SQL CERT_PEM
// Prints one line per failed check and exits non-zero if any failed.
'use strict';
const fs = require('fs');
const path = require('path');
const [plainPort, tlsPort, forcedPort] = process.argv.slice(2, 5).map(Number);
const [tediousDir, sqlFile, certFile] = process.argv.slice(5, 8);
const { Connection, Request } = require(path.join(tediousDir, 'node_modules', 'tedious'));

let failures = 0;
function check(ok, what) {
  if (!ok) {
    failures++;
    console.log('FAIL: ' + what);
  }
}

function connect(port, options = {}) {
  return new Promise((resolve, reject) => {
    const c = new Connection({
      server: '127.0.0.1',
      authentication: { type: 'default', options: { userName: 'sa', password: 'secret' } },
      options: { port, encrypt: false, trustServerCertificate: true, connectTimeout: 15000, ...options },
    });
    c.secured = false;
    c.on('secure', () => { c.secured = true; });
    c.connect((err) => (err ? reject(err) : resolve(c)));
  });
}

function batch(c, sql) {
  return new Promise((resolve, reject) => {
    const rows = [];
    let meta = [];
    const r = new Request(sql, (err) => (err ? reject(err) : resolve({ rows, meta })));
    r.on('columnMetadata', (columns) => { meta = columns.map((col) => col.type.name); });
    r.on('row', (columns) => rows.push(columns.map((col) => col.value)));
    c.execSqlBatch(r);
  });
}

const iso = (d) => (d instanceof Date ? d.toISOString() : d);
// tedious keeps what is finer than a millisecond apart, in seconds.
const nanos = (d) => Math.round((d && d.nanosecondsDelta ? d.nanosecondsDelta : 0) * 1e7);

async function modernTypes() {
  const c = await connect(plainPort);
  await batch(c, 'CREATE DATABASE Modern\nUSE Modern');
  await batch(c, fs.readFileSync(sqlFile, 'utf8').replace(/\n /g, ' '));
  const { rows, meta } = await batch(c, 'SELECT id, d, t, t0, d2, o, vm, nm, bm, x, h, g FROM Modern ORDER BY id');
  check(JSON.stringify(meta) === JSON.stringify(['IntN', 'Date', 'Time', 'Time', 'DateTime2', 'DateTimeOffset', 'VarChar',
    'NVarChar', 'VarBinary', 'Xml', 'UDT', 'UDT']), 'column types ' + JSON.stringify(meta));
  check(rows.length === 5, `row count ${rows.length}`);
  check(rows[0].slice(1).every((v) => v === null), 'row 1 is all NULL');
  const [, d2, t2, t02, dt2, o2, vm2, nm2, bm2, x2, h2, g2] = rows[1];
  check(iso(d2) === '0001-01-01T00:00:00.000Z', 'date 0001-01-01: ' + iso(d2));
  check(iso(t2) === '1970-01-01T00:00:00.000Z' && nanos(t2) === 0, 'time 00:00: ' + iso(t2));
  check(iso(t02) === '1970-01-01T00:00:00.000Z', 'time(0) 00:00: ' + iso(t02));
  check(iso(dt2) === '0001-01-01T00:00:00.000Z', 'datetime2 first: ' + iso(dt2));
  check(iso(o2) === '0001-01-01T14:00:00.000Z', 'datetimeoffset -14:00 in UTC: ' + iso(o2));
  check(vm2 === '' && nm2 === '' && Buffer.isBuffer(bm2) && bm2.length === 0, 'empty (max) values');
  check(x2 === '<a/>', 'xml ' + x2);
  check(Buffer.isBuffer(h2) && h2.length === 0, 'empty hierarchyid');
  check(Buffer.isBuffer(g2) && g2.toString('hex') === 'e6100000010c0000000000004e400000000000003e40', 'geography bytes');
  const [, d3, t3, t03, dt3, o3, vm3, nm3, bm3, x3, h3, g3] = rows[2];
  check(iso(d3) === '9999-12-31T00:00:00.000Z', 'date last: ' + iso(d3));
  check(iso(t3) === '1970-01-01T23:59:59.999Z' && nanos(t3) === 9999, `time(7) last tick: ${iso(t3)} + ${nanos(t3)}`);
  check(iso(t03) === '1970-01-01T23:59:59.000Z', 'time(0): ' + iso(t03));
  check(iso(dt3) === '9999-12-31T23:59:59.999Z' && nanos(dt3) === 9999, `datetime2 last: ${iso(dt3)} + ${nanos(dt3)}`);
  check(iso(o3) === '9999-12-31T09:59:59.999Z' && nanos(o3) === 9999, `datetimeoffset +14:00: ${iso(o3)} + ${nanos(o3)}`);
  check(typeof vm3 === 'string' && vm3.length === 3000000 && /^x+$/.test(vm3), `varchar(max) of 3 MB: ${vm3 && vm3.length}`);
  check(nm3 === 'я😀'.repeat(1000000), `nvarchar(max) of 1,000,000 pairs: ${nm3 && nm3.length}`);
  check(Buffer.isBuffer(bm3) && bm3.length === 2500000 && bm3.every((b) => b === 0x62), 'varbinary(max) of 2.5 MB');
  check(x3 === '<r a="атрибут">Ёлка 中文 &amp; 😀</r>', 'xml with non-Latin text: ' + x3);
  check(Buffer.isBuffer(h3) && h3.toString('hex') === '5ac0', 'hierarchyid bytes');
  check(g3 === null, 'geography NULL');
  const [, , t4, , dt4, o4] = rows[3];
  check(iso(t4) === '1970-01-01T10:11:12.000Z' && nanos(t4) === 1, `time to the 100 ns: ${iso(t4)} + ${nanos(t4)}`);
  check(iso(dt4) === '2004-03-01T10:11:12.123Z' && nanos(dt4) === 4567, `datetime2(7): ${iso(dt4)} + ${nanos(dt4)}`);
  check(iso(o4) === '2004-03-01T07:11:12.123Z' && nanos(o4) === 4567, `datetimeoffset +03:00: ${iso(o4)} + ${nanos(o4)}`);
  const [, , , , , o5] = rows[4];
  check(iso(o5) === '2004-03-01T04:30:00.000Z', 'datetimeoffset -03:30: ' + iso(o5));
  // The same instant at another offset is the same key.
  const same = await batch(c, "SELECT id FROM Modern WHERE o = CAST('2004-03-01 07:11:12.1234567 +00:00' AS datetimeoffset)");
  check(same.rows.length === 1 && same.rows[0][0] === 4, 'datetimeoffset compares as an instant');
  c.close();
}

async function tds71() {
  const c = await connect(plainPort, { tdsVersion: '7_1', database: 'Modern' });
  const { rows, meta } = await batch(c, 'SELECT nm, x, o, d FROM Modern WHERE id = 3');
  check(JSON.stringify(meta) === JSON.stringify(['NText', 'NText', 'NVarChar', 'NVarChar']), '7.1 column types ' + JSON.stringify(meta));
  check(rows[0][0] === 'я😀'.repeat(1000000), '7.1: the whole nvarchar(max) as ntext');
  check(rows[0][1] === '<r a="атрибут">Ёлка 中文 &amp; 😀</r>', '7.1: xml as ntext');
  check(rows[0][2] === '9999-12-31 23:59:59.9999999 +14:00' && rows[0][3] === '9999-12-31', '7.1: dates as text ' + rows[0].slice(2));
  c.close();
}

async function expectRefused(port, options, pattern, what) {
  try {
    const c = await connect(port, options);
    c.close();
    check(false, what + ': connected');
  } catch (err) {
    check(pattern.test(err.message), `${what}: ${err.message}`);
  }
}

async function tls() {
  const ca = fs.readFileSync(certFile);
  const trusting = await connect(tlsPort, { encrypt: true, trustServerCertificate: true });
  const answer = await batch(trusting, "SELECT N'через TLS'");
  check(trusting.secured && answer.rows[0][0] === 'через TLS', 'encrypted session with trustServerCertificate');
  trusting.close();
  await expectRefused(tlsPort, { encrypt: true, trustServerCertificate: false }, /self[- ]signed|unable to verify|certificate/i,
    'untrusted certificate without trustServerCertificate');
  const verified = await connect(tlsPort, { encrypt: true, trustServerCertificate: false, cryptoCredentialsDetails: { ca } });
  check(verified.secured, 'certificate trusted through its CA');
  verified.close();
  const plain = await connect(tlsPort, { encrypt: false });
  check(!plain.secured && (await batch(plain, 'SELECT 1')).rows[0][0] === 1, 'a client that does not encrypt still logs in');
  plain.close();
  await expectRefused(forcedPort, { encrypt: false }, /Server requires encryption/, 'forced encryption, client without');
  const forced = await connect(forcedPort, { encrypt: true, trustServerCertificate: true });
  check(forced.secured, 'forced encryption, client with');
  forced.close();
}

(async () => {
  await modernTypes();
  await tds71();
  await tls();
})().then(
  () => {
    console.log(failures ? `${failures} check(s) failed` : 'all checks passed');
    process.exit(failures ? 1 : 0);
  },
  (err) => {
    console.log('FAIL: ' + (err && err.stack ? err.stack : err));
    process.exit(1);
  });
