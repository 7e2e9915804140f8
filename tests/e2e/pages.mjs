// The school application's pages as people meet them: the menu in the model's order, the page
// size, the refused delete, the desk's counts and charts against SQL, the list at phone width and
// its folding menu, the list's chosen columns,
// the add dialog's focus, and an audit of every page kind with axe-core (WCAG 2.1 A/AA, no
// serious or critical finding) and html-validate (recommended rules, no error).
// Started by run_e2e.sh after e2e.mjs, on the same server and database.
import { chromium } from 'playwright-core';
import { auditor, equal, finish, sqlOn, step } from './harness.mjs';
import path from 'node:path';

const BASE = process.env.E2E_BASE_URL;
const SOCKET = process.env.E2E_DB_SOCKET;
const OUT = process.env.E2E_OUTPUT;
const DB = process.env.E2E_DB_NAME || 'school';
const PASSWORD = 'Velmora#2026';
const own = { Origin: new URL(BASE).origin, Referer: `${BASE}/index.php` };
const list = (cls, query = '') => `${BASE}/controller/${cls}Action.php?action=query${query}`;

const sql = sqlOn(SOCKET, DB);

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run'] });
// The audit injects axe-core, which the pages' script policy would refuse.
const context = await browser.newContext({ viewport: { width: 1280, height: 800 }, bypassCSP: true });
const page = await context.newPage();
page.on('dialog', (d) => d.accept());

const audit = auditor(page);
const clean = async (kind, url) => equal(await audit(url), { axe: [], markup: [] }, `${kind} findings`);

try {
  await step('the login page passes the audit', () => clean('login', `${BASE}/login.php`));

  await page.goto(`${BASE}/login.php`);
  await page.fill('#username', 'admin');
  await page.fill('#password', PASSWORD);
  await Promise.all([page.waitForURL(/index\.php$/), page.click('button[type=submit]')]);

  // Rows with birthdays spread over the last 13 months: the chart's window holds 12 of them.
  if (sql('SELECT COUNT(*) FROM t_Grade') === '0') sql("INSERT INTO t_Grade (gradeName) VALUES ('概览年级')");
  if (sql('SELECT COUNT(*) FROM t_Department') === '0') sql("INSERT INTO t_Department (deptNo, deptName) VALUES ('D9', '概览院系')");
  for (let k = 0; k <= 12; k++) {
    sql(`INSERT INTO t_Student (studentName, age, score, birthday, photo, grade, department, remark)
      SELECT '概览${k}', 20, 80, DATE_SUB(CURDATE(), INTERVAL ${k} MONTH), '', MIN(g.gradeId), MIN(d.deptNo), ''
      FROM t_Grade g, t_Department d`);
  }
  const student = sql('SELECT MIN(studentId) FROM t_Student');

  await step('every page kind passes the audit', async () => {
    const findings = {};
    for (const [kind, url] of [
      ['frame', `${BASE}/index.php`], ['desk', `${BASE}/desk.php`], ['password change', `${BASE}/changePassword.php`],
      ['list', list('Student')], ['add', list('Student', '&view=add')],
      ['edit', list('Student', `&view=edit&studentId=${student}`)], ['detail', list('Student', `&view=detail&studentId=${student}`)],
      ['list of a text key', list('Department')],
    ]) {
      const { axe, markup } = await audit(url);
      if (axe.length || markup.length) findings[kind] = { axe, markup };
    }
    equal(findings, {}, 'findings');
  });

  await step('the menu follows the model, not the alphabet', async () => {
    await page.goto(`${BASE}/index.php`);
    equal(await page.locator('#menu a[data-class]').evaluateAll((as) => as.map((a) => a.dataset.class)),
      ['Grade', 'Department', 'Student'], 'menu');
  });

  await step('ten rows a page until the user picks another size, kept for the session', async () => {
    const rows = async (url) => { await page.goto(url); return page.locator('table.grid tbody tr:not(.empty-row)').count(); };
    equal(await rows(list('Student')), 10, 'rows by default');
    equal(await rows(list('Student', '&pageSize=5')), 5, 'rows after choosing 5');
    equal(await rows(list('Student')), 5, 'rows when the list is opened again');
    equal(await page.locator('select[name=pageSize]').inputValue(), '5', 'size shown');
    equal(await rows(list('Grade')), Math.min(10, Number(sql('SELECT COUNT(*) FROM t_Grade'))), 'another list keeps its own size');
  });

  await step('a refused delete offers 返回, a refused save 返回修改', async () => {
    const grade = sql('SELECT MIN(grade) FROM t_Student');
    const del = await page.request.post(`${BASE}/controller/GradeAction.php?action=del&gradeId=${grade}`,
      { form: { action: 'del' }, headers: own, maxRedirects: 0 });
    equal(new URL(del.headers().location, BASE).pathname.endsWith('/error.php'), true, 'refused');
    await page.goto(`${BASE}/error.php`);
    equal(await page.locator('#back').textContent(), '返回', 'after a delete');
    await page.request.post(`${BASE}/controller/StudentAction.php`, { headers: own, maxRedirects: 0,
      form: { action: 'add', 'student[studentName]': 'x', 'student[age]': '1', 'student[score]': '1', 'student[birthday]': '2000-01-01',
        'student[grade]': '999999', 'student[department]': 'none', 'student[remark]': '', 'student[studentId]': '0' } });
    await page.goto(`${BASE}/error.php`);
    equal(await page.locator('#back').textContent(), '返回修改', 'after a save');
  });

  await step('the desk counts every table and charts twelve months as SQL does', async () => {
    await page.goto(`${BASE}/desk.php`);
    for (const [cls, table] of [['Grade', 't_Grade'], ['Department', 't_Department'], ['Student', 't_Student']]) {
      equal(await page.locator(`.card[data-class=${cls}] .num`).textContent(), sql(`SELECT COUNT(*) FROM ${table}`), `${cls} count`);
    }
    equal(await page.locator('figure.chart-panel').evaluateAll((fs) => fs.map((f) => f.dataset.class)), ['Student'], 'charts');
    const expected = sql(`SELECT DATE_FORMAT(m.d, '%Y-%m'), (SELECT COUNT(*) FROM t_Student WHERE DATE_FORMAT(birthday, '%Y-%m') = DATE_FORMAT(m.d, '%Y-%m'))
      FROM (SELECT DATE_SUB(DATE_FORMAT(CURDATE(), '%Y-%m-01'), INTERVAL seq MONTH) AS d FROM seq_0_to_11) m ORDER BY m.d`)
      .split('\n').map((l) => l.split('\t'));
    const chart = page.locator('figure[data-class=Student]');
    equal(await chart.locator('table.chart-data tbody tr').evaluateAll((trs) => trs.map((tr) => [...tr.cells].map((c) => c.textContent))),
      expected, 'months and counts');
    equal(await chart.locator('svg rect').count(), 12, 'bars');
    equal(await chart.locator('svg[role=img] > title').count(), 1, 'the chart is named');
    equal(await page.locator('script[src^=http], svg script').count(), 0, 'scripts from elsewhere');
  });

  await step('at 390 px the list is cards with their actions in reach, and nothing scrolls sideways', async () => {
    await page.setViewportSize({ width: 390, height: 844 });
    for (const url of [`${BASE}/index.php`, `${BASE}/desk.php`, list('Student')]) {
      await page.goto(url);
      const [wide, view] = await page.evaluate(() => [document.documentElement.scrollWidth, window.innerWidth]);
      equal(wide <= view, true, `${url} is ${wide} px wide in ${view}`);
    }
    const cards = page.locator('table.grid tbody tr:not(.empty-row)');
    equal(await page.locator('table.grid thead').isVisible(), false, 'headings hidden');
    const labelled = await cards.first().locator('td[data-label]').evaluateAll((tds) => tds.map((td) => getComputedStyle(td, '::before').content));
    equal(labelled.includes('"姓名"'), true, `cells name their column: ${labelled}`);
    for (const box of await cards.locator('td.ops a, td.ops button').evaluateAll((els) => els.map((el) => el.getBoundingClientRect().toJSON()))) {
      equal(box.left >= 0 && box.right <= 390 && box.width >= 24 && box.height >= 24, true, `action at ${JSON.stringify(box)}`);
    }
    await page.screenshot({ path: path.join(OUT, 'pages-390-list.png'), fullPage: true });
    await page.goto(`${BASE}/index.php`);
    const menu = page.locator('#menu');
    equal([await menu.isVisible(), await page.locator('#menu-toggle').getAttribute('aria-expanded')], [false, 'false'], 'the menu folded away');
    await page.locator('#menu-toggle').click();
    equal((await menu.boundingBox()).height <= 844 * 0.6, true, 'the open menu leaves room');
    await page.locator('#menu a[data-class]').first().click();
    equal(await menu.isVisible(), false, 'folds again once an entry is chosen');
    await page.setViewportSize({ width: 1280, height: 800 });
  });

  await step('a user chooses the list columns: kept over a reload, the actions always shown', async () => {
    await page.goto(list('Student'));
    const cell = (name) => page.locator(`table.grid tbody td[data-col="${name}"]`).first();
    await page.locator('#columns summary').click();
    const first = page.locator('#columns input').first();
    const name = await first.inputValue();
    await first.uncheck();
    await page.reload();
    equal([await cell(name).isVisible(), await page.locator('table.grid td.ops').first().isVisible()], [false, true], 'hidden after a reload');
    await page.locator('#columns summary').click();
    await page.locator('#columns input').first().check();
    equal(await cell(name).isVisible(), true, 'shown again');
  });

  await step('the add dialog takes the focus, keeps it, closes on Esc and gives it back', async () => {
    await page.goto(list('Student'));
    await page.locator('#add').focus();
    await page.keyboard.press('Enter');
    const dialog = page.locator('[role=dialog][aria-modal=true]');
    await dialog.waitFor();
    equal(await dialog.locator('iframe').getAttribute('title'), await page.locator('#add').getAttribute('data-dialog'), 'frame title');
    await page.frameLocator('.vo-frame').locator('form').waitFor();
    await page.waitForFunction(() => document.activeElement && document.activeElement.tagName === 'IFRAME');
    const inside = () => page.evaluate(() => document.querySelector('.vo-dialog').contains(document.activeElement));
    for (let i = 0; i < 30; i++) {
      await page.keyboard.press(i % 7 === 6 ? 'Shift+Tab' : 'Tab');
      equal(await inside(), true, `focus inside after ${i + 1} presses`);
    }
    await page.keyboard.press('Escape');
    await dialog.waitFor({ state: 'detached' });
    equal(await page.evaluate(() => document.activeElement.id), 'add', 'focus back on the button');
  });
} finally {
  await browser.close();
}
finish('pages');
