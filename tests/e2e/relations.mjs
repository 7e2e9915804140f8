// The school application's relations and CSV import: a reference to a table of more than 200 rows
// as a type-ahead lookup, a grade's students on its detail view with the filtered list and a
// prefilled add, a CSV import's dry run, refused rows and commit, the audit of these pages, and
// Lighthouse's accessibility score of a list page.
// Started by run_e2e.sh after pages.mjs, on the same server and database.
import { chromium } from 'playwright-core';
import lighthouse from 'lighthouse';
import { auditor, equal, finish, sqlOn, step } from './harness.mjs';
import net from 'node:net';

const BASE = process.env.E2E_BASE_URL;
const SOCKET = process.env.E2E_DB_SOCKET;
const DB = process.env.E2E_DB_NAME || 'school';
const PASSWORD = 'Velmora#2026';
const list = (cls, query = '') => `${BASE}/controller/${cls}Action.php?action=query${query}`;

const sql = sqlOn(SOCKET, DB);
const freePort = () => new Promise((resolve) => {
  const server = net.createServer().listen(0, '127.0.0.1', () => { const { port } = server.address(); server.close(() => resolve(port)); });
});

// Lighthouse drives the browser through its debugging port.
const debugPort = await freePort();
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', `--remote-debugging-port=${debugPort}`] });
const context = await browser.newContext({ viewport: { width: 1280, height: 800 }, bypassCSP: true });
const page = await context.newPage();
page.on('dialog', (d) => d.accept());

const audit = auditor(page);

try {
  await page.goto(`${BASE}/login.php`);
  await page.fill('#username', 'admin');
  await page.fill('#password', PASSWORD);
  await Promise.all([page.waitForURL(/index\.php$/), page.click('button[type=submit]')]);

  // More than 200 grades: Student's grade becomes a lookup; departments stay few.
  sql("INSERT INTO t_Grade (gradeName) SELECT CONCAT('查找年级', LPAD(seq, 3, '0')) FROM seq_1_to_250");
  if (sql('SELECT COUNT(*) FROM t_Department') === '0') sql("INSERT INTO t_Department (deptNo, deptName) VALUES ('D9', '概览院系')");
  const grade = sql("SELECT gradeId FROM t_Grade WHERE gradeName = '查找年级120'");
  const dept = sql('SELECT deptNo, deptName FROM t_Department ORDER BY deptNo LIMIT 1').split('\t');
  let student = '';

  await step('a reference to more than 200 rows is a lookup, chosen by keyboard; the edit form shows its text', async () => {
    await page.goto(list('Student', '&view=add'));
    equal(await page.locator('select#f-department').count(), 1, 'few departments stay a drop-down');
    const box = page.locator('#f-grade[role=combobox]');
    equal(await page.locator('select#f-grade').count() + await box.count(), 1, 'the grade is a lookup');
    equal(await page.locator('#f-grade-list option, #f-grade-list [role=option]').count(), 0, 'no rows written into the page');
    await page.fill('#f-studentName', '查找学生');
    await page.fill('#f-age', '18');
    await page.fill('#f-score', '88');
    await page.fill('#f-birthday', '2007-05-06');
    await page.selectOption('#f-department', dept[0]);
    await box.pressSequentially('查找年级12');
    await page.locator('#f-grade-list [role=option]').first().waitFor();
    equal(await box.getAttribute('aria-expanded'), 'true', 'expanded');
    await box.press('ArrowDown');
    equal(await box.getAttribute('aria-activedescendant'), 'f-grade-opt-0', 'active option');
    await box.press('Enter');
    equal([await box.inputValue(), await box.getAttribute('aria-expanded')], ['查找年级120', 'false'], 'chosen');
    await Promise.all([page.waitForURL(/ok\.php/), page.click('button[type=submit]')]);
    student = sql("SELECT studentId FROM t_Student WHERE studentName = '查找学生'");
    equal(sql(`SELECT grade FROM t_Student WHERE studentId = ${student}`), grade, 'stored key');
    await page.goto(list('Student', `&view=edit&studentId=${student}`));
    equal([await box.inputValue(), await page.locator('input[type=hidden][name="student[grade]"]').inputValue()],
      ['查找年级120', grade], 'edit form');
  });

  await step('the lookup answers JSON by prefix, then containing, and refuses what is not a reference', async () => {
    const ask = async (q, field = 'grade') => page.request.get(`${BASE}/manage/lookup.php?class=Student&field=${field}&q=${encodeURIComponent(q)}`);
    const prefix = await (await ask('查找年级24')).json();
    equal(prefix.items.map((i) => i.text), ['查找年级240', '查找年级241', '查找年级242', '查找年级243', '查找年级244',
      '查找年级245', '查找年级246', '查找年级247', '查找年级248', '查找年级249'], 'prefix');
    const inside = await (await ask('年级24')).json();
    equal(inside.items.length, 10, 'containing');
    const many = await (await ask('查找')).json();
    equal([many.items.length, many.more], [20, true], 'a limit');
    sql("INSERT INTO t_Grade (gradeName) SELECT CONCAT('恰好二十', LPAD(seq, 2, '0')) FROM seq_1_to_20");
    const exactly = await (await ask('恰好二十')).json();
    equal([exactly.items.length, exactly.more], [20, false], 'exactly the limit is not more');
    equal([(await ask('x', 'studentName')).status(), (await ask('x', '../x')).status()], [404, 404], 'not references');
    const stranger = await browser.newContext();
    const answer = await stranger.request.get(`${BASE}/manage/lookup.php?class=Student&field=grade&q=x`, { maxRedirects: 0 });
    equal(new URL(answer.headers().location ?? '', BASE).pathname.endsWith('/login.php'), true, 'login needed');
    await stranger.close();
  });

  await step('rows whose display values repeat are told apart by their key', async () => {
    sql("INSERT INTO t_Department (deptNo, deptName) VALUES ('D71', '同名院系'), ('D72', '同名院系')");
    sql("INSERT INTO t_Grade (gradeName) VALUES ('重名年级'), ('重名年级')");
    const twins = sql("SELECT gradeId FROM t_Grade WHERE gradeName = '重名年级' ORDER BY gradeId").split('\n');
    await page.goto(list('Student', '&view=add'));
    const texts = await page.locator('#f-department option').allTextContents();
    equal(texts.filter((t) => t.startsWith('同名院系')), ['同名院系（D71）', '同名院系（D72）'], 'drop-down');
    equal(texts.includes(dept[1]), true, 'a unique name stays as it is');
    const found = await (await page.request.get(`${BASE}/manage/lookup.php?class=Student&field=grade&q=${encodeURIComponent('重名')}`)).json();
    equal(found.items.map((i) => i.text).sort(), twins.map((id) => `重名年级（${id}）`).sort(), 'lookup');
    sql("DELETE FROM t_Department WHERE deptNo IN ('D71', 'D72')");
    sql("DELETE FROM t_Grade WHERE gradeName = '重名年级'");
  });

  await step("a grade's detail lists its students; the full list is filtered and 添加 brings the grade", async () => {
    sql(`INSERT INTO t_Student (studentName, age, score, birthday, photo, grade, department, remark)
      SELECT CONCAT('同级', seq), 19, 70, '2006-01-01', '', IF(seq = 12, ${grade} + 1, ${grade}), '${dept[0]}', '' FROM seq_1_to_12`);
    await page.goto(list('Grade', `&view=detail&gradeId=${grade}`));
    const section = page.locator('#children-Student-grade');
    equal(await section.locator('tbody tr').count(), 10, 'first page');
    equal(await section.locator('.summary').textContent(), '共 12 条', 'count');
    const all = await section.locator('a', { hasText: '查看全部' }).getAttribute('href');
    const add = await section.locator('a.add-child').getAttribute('href');
    await page.goto(new URL(all, page.url()).href + '&pageSize=5');
    equal(await page.locator('.parent-filter').isVisible(), true, 'the limit is told');
    equal(await page.locator('.pager .summary').textContent(), '共 12 条记录，第 1/3 页', 'filtered count');
    await page.locator('.pager a', { hasText: '末页' }).click();
    await page.waitForLoadState();
    equal(await page.locator('td[data-col=grade]').allTextContents(), ['查找年级120', '查找年级120'], 'last page keeps the limit');
    await page.goto(new URL(add, page.url()).href);
    equal([await page.locator('#f-grade').inputValue(), await page.locator('input[name="student[grade]"]').inputValue()],
      ['查找年级120', grade], 'prefilled');
  });

  await step('a CSV import: the dry run lists adds, updates and refused rows, writes nothing, then commits in one go', async () => {
    const before = sql('SELECT COUNT(*) FROM t_Student');
    const csv = '\uFEFF学号,姓名,年龄,成绩,出生日期,年级,院系,备注,不认识\r\n'
      + `,导入甲,20,90,2001-02-03,查找年级120,${dept[1]},'=1+2,x\r\n`
      + `${student},改名乙,21,80,2000-01-01,查找年级121,${dept[1]},,x\r\n`
      + `,导入丙,abc,90,2001-02-03,查找年级120,${dept[1]},,x\r\n`
      + `,导入丁,20,90,2001-02-03,没有的年级,${dept[1]},,x\r\n`
      + `,导入戊,20,90,2001-02-03,,${dept[1]},,x\r\n`;
    await page.goto(list('Student'));
    await Promise.all([page.waitForURL(/import\.php/), page.click('#import')]);
    await page.setInputFiles('#import-file', { name: 'students.csv', mimeType: 'text/csv', buffer: Buffer.from(csv) });
    await Promise.all([page.waitForLoadState(), page.click('#import-form button[type=submit]')]);
    await page.locator('#import-summary').waitFor();
    const cells = async (id) => page.locator(`#${id} tbody tr`).evaluateAll((trs) => trs.map((tr) => [...tr.cells].map((c) => c.textContent)));
    equal(await cells('import-add'), [['2', '（由数据库编号）']], 'adds');
    equal((await cells('import-update')).map((r) => r.slice(0, 2)), [['3', student]], 'updates');
    equal(await page.locator('#import-update [data-field=studentName]').textContent(), '姓名：查找学生 → 改名乙', 'a change, before and after');
    equal(await cells('import-refused'), [['4', '“年龄”必须是整数。'], ['5', '没有找到“年级”为“没有的年级”的记录。'],
      ['6', '“年级”不能为空。']], 'refused');
    equal(sql('SELECT COUNT(*) FROM t_Student'), before, 'nothing written by the dry run');
    const refused = await (await page.request.get(await page.locator('#import-refused-csv').getAttribute('href')
      .then((h) => new URL(h, page.url()).href))).text();
    equal(refused.replace(/^\uFEFF/, '').split('\r\n').slice(0, 3),
      ['学号,姓名,年龄,成绩,出生日期,年级,院系,备注,不认识,原因', `,导入丙,abc,90,2001-02-03,查找年级120,${dept[1]},,x,“年龄”必须是整数。`,
        `,导入丁,20,90,2001-02-03,没有的年级,${dept[1]},,x,没有找到“年级”为“没有的年级”的记录。`], 'refused rows as CSV');
    const token = await page.locator('#import-commit input[name=token]').inputValue();
    await Promise.all([page.waitForLoadState(), page.click('#import-commit button')]);
    await page.locator('#import-done').waitFor();
    const added = sql("SELECT studentId, grade, remark FROM t_Student WHERE studentName = '导入甲'").split('\t');
    equal(added.slice(1), [grade, '=1+2'], 'added row, the formula guard taken off');
    equal(sql(`SELECT studentName, grade FROM t_Student WHERE studentId = ${student}`),
      `改名乙\t${sql("SELECT gradeId FROM t_Grade WHERE gradeName = '查找年级121'")}`, 'updated row');
    equal(sql(`SELECT action FROM t_change_log WHERE className = 'Student' AND rowKey IN ('${added[0]}', '${student}') ORDER BY changeId DESC LIMIT 2`)
      .split('\n').sort(), ['add', 'update'], 'history');
    equal(sql(`SELECT JSON_VALUE(beforeValues, '$.studentName'), JSON_VALUE(afterValues, '$.studentName') FROM t_change_log
      WHERE className = 'Student' AND rowKey = '${student}' AND action = 'update' ORDER BY changeId DESC LIMIT 1`),
      '查找学生\t改名乙', 'the update recorded before and after');
    equal(sql(`SELECT COUNT(*) FROM t_row_owner WHERE tableName = 't_Student' AND rowKey = '${added[0]}'`), '1', 'owner kept');
    const again = await page.request.post(page.url(), { form: { step: 'commit', token },
      headers: { Origin: new URL(BASE).origin, Referer: page.url() } });
    equal((await again.text()).includes('这个文件已经导入过了。'), true, 'not twice');
    equal(sql("SELECT COUNT(*) FROM t_Student WHERE studentName = '导入甲'"), '1', 'one row');
  });

  await step('the new pages pass the audit', async () => {
    const findings = {};
    for (const [kind, url] of [['add with a lookup', list('Student', '&view=add')],
      ['edit with a lookup', list('Student', `&view=edit&studentId=${student}`)],
      ['list with a lookup', list('Student')], ['detail with children', list('Grade', `&view=detail&gradeId=${grade}`)],
      ['filtered list', list('Student', `&of%5Bgrade%5D=${grade}`)], ['import', `${BASE}/manage/import.php?class=Student`]]) {
      const { axe, markup } = await audit(url);
      if (axe.length || markup.length) findings[kind] = { axe, markup };
    }
    equal(findings, {}, 'findings');
  });

  await step('Lighthouse scores a list page at least 95 for accessibility', async () => {
    const cookies = (await context.cookies()).map((c) => `${c.name}=${c.value}`).join('; ');
    const result = await lighthouse(list('Student'), { port: debugPort, output: 'json', logLevel: 'error',
      onlyCategories: ['accessibility'], extraHeaders: { Cookie: cookies } });
    const score = Math.round(result.lhr.categories.accessibility.score * 100);
    const failing = Object.values(result.lhr.audits).filter((a) => a.score === 0).map((a) => a.id);
    equal(score >= 95 ? 'ok' : `${score}: ${failing.join(', ')}`, 'ok', 'accessibility');
  });
} finally {
  await browser.close();
}
finish('relations');
