// Drives the generated school application in headless Chromium and checks the database after
// every step. Started by run_e2e.sh, which provides the servers and the environment below.
import { chromium } from 'playwright-core';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { makePng, makeBigJpeg } from './pictures.mjs';
import { refusalSteps } from './refusals.mjs';

const BASE = process.env.E2E_BASE_URL;
// The application's own path when it is served from a subfolder ("/school"), else empty.
const APP = new URL(BASE).pathname.replace(/\/$/, '');
const OTHER = `http://127.0.0.1:${process.env.E2E_OTHER_PORT}`;
const OTHER_ROOT = process.env.E2E_OTHER_ROOT;
const SOCKET = process.env.E2E_DB_SOCKET;
const PROJECT = process.env.E2E_PROJECT_DIR;
const OUT = process.env.E2E_OUTPUT;
const SCRATCH = process.env.E2E_SCRATCH;
const PHP_LOG = process.env.E2E_PHP_ERROR_LOG;
const DB = process.env.E2E_DB_NAME || 'school';
const SHOT_PREFIX = process.env.E2E_SHOT_PREFIX || '';
const NEW_PASSWORD = 'Velmora#2026';
// Quotes, backslashes, LIKE wildcards and markup: stored and shown exactly as typed.
const TRICKY = `He said "it's fine" \\ C:\\temp\\ 'x' \\' \\\\ 50% a_b <b>bold</b>`;

// ---------------------------------------------------------------- database

function sql(query) {
  return execFileSync('mariadb', ['--socket', SOCKET, '-uroot', '--default-character-set=utf8mb4',
    '-N', '-B', '--raw', DB, '-e', query], { encoding: 'utf8' }).replace(/\n$/, '');
}
const count = (table, where = '1=1') => Number(sql(`SELECT COUNT(*) FROM ${table} WHERE ${where}`));
const hex = (text) => Buffer.from(text, 'utf8').toString('hex').toUpperCase();
const q = (text) => `'${text.replace(/\\/g, '\\\\').replace(/'/g, "\\'")}'`;
function student(name) {
  const line = sql(`SELECT studentId, age, score, DATE_FORMAT(birthday, '%Y-%m-%d'), photo, grade, department, HEX(remark)
    FROM t_Student WHERE studentName = ${q(name)}`);
  if (!line) return null;
  const [id, age, score, birthday, photo, grade, department, remark] = line.split('\t');
  return { id: Number(id), age: Number(age), score: Number(score), birthday, photo, grade: Number(grade), department, remarkHex: remark };
}
const uploads = () => fs.readdirSync(path.join(PROJECT, 'upload')).filter((f) => !f.startsWith('.')).sort();

// ---------------------------------------------------------------- checks

function check(condition, message) {
  if (!condition) throw new Error(message);
}
function equal(actual, expected, what) {
  const a = JSON.stringify(actual), e = JSON.stringify(expected);
  if (a !== e) throw new Error(`${what}: expected ${e}, got ${a}`);
}

let passed = 0, failed = 0;
async function step(name, body) {
  const started = Date.now();
  try {
    await body();
    passed++;
    console.log(`ok - ${name} (${Date.now() - started} ms)`);
  } catch (err) {
    failed++;
    console.log(`not ok - ${name}\n  ${String(err && err.stack || err).split('\n').join('\n  ')}`);
    throw err;
  }
}

// ---------------------------------------------------------------- pictures

const photoPath = path.join(SCRATCH, 'photo.png');
const bigPath = path.join(SCRATCH, 'big.jpg');
const shellJpg = path.join(SCRATCH, 'shell.jpg');
const shellPhp = path.join(SCRATCH, 'shell.php');
fs.writeFileSync(photoPath, makePng(64, 64));
fs.writeFileSync(bigPath, makeBigJpeg(fs.readFileSync(path.join(PROJECT, 'upload', 'NoImage.jpg')), 2060000));
fs.writeFileSync(shellJpg, '<?php echo "owned"; system($_GET["c"]); ?>\n');
fs.writeFileSync(shellPhp, makePng(8, 8));

// ---------------------------------------------------------------- browser helpers

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync', '--lang=zh-CN'],
});
const context = await browser.newContext({ viewport: { width: 1280, height: 800 }, locale: 'zh-CN' });
// Generous: on a loaded machine a page may take seconds, and a timeout only delays a real failure.
context.setDefaultTimeout(60000);
const page = await context.newPage();
const confirmations = [];
page.on('dialog', (dialog) => { confirmations.push(dialog.message()); dialog.accept(); });

const main = page.frameLocator('#main');
const mainFrame = () => page.frame({ name: 'main' });
const dialog = main.frameLocator('iframe.vo-frame');
const dialogFrame = () => page.frame({ name: 'vo-frame' });

// Runs the action (a click or a submit) and waits until the page it leads to has loaded in the
// given page or frame, so that nothing is read from the page before it. Returns the response.
async function navigates(frame, action) {
  const [response] = await Promise.all([frame.waitForNavigation({ waitUntil: 'load' }), action()]);
  return response;
}

async function shot(name) {
  await page.screenshot({ path: path.join(OUT, SHOT_PREFIX + name), fullPage: true });
}

async function openMenu(cls, title) {
  // The list may already be showing: wait for its reload, not for the heading of the old one.
  if (await page.locator('#menu-toggle').isVisible()) await page.locator('#menu-toggle').click(); // folded on a phone
  await navigates(mainFrame(), () => page.locator(`#menu a[data-class="${cls}"]`).click());
  await main.locator('h2', { hasText: title }).waitFor();
}

// Opens the add or edit form in the overlay, fills it and saves; waits for the list to reload.
async function saveInDialog(opener, fill, screenshot = '') {
  await opener.click();
  await dialog.locator('form').waitFor();
  await fill(dialog);
  if (screenshot) await shot(screenshot);
  await navigates(mainFrame(), () => dialog.locator('button[type=submit]').click());
  await main.locator('.vo-mask').waitFor({ state: 'detached' });
}

// Same, for a submission that must fail: returns the reason shown and closes the overlay.
async function refusedInDialog(opener, fill, screenshot = '') {
  await opener.click();
  await dialog.locator('form').waitFor();
  await fill(dialog);
  // Loaded, not only parsed: the error page's script turns 回到首页 into closing the overlay.
  await navigates(dialogFrame(), () => dialog.locator('button[type=submit]').click());
  const reason = (await dialog.locator('#reason').textContent()).trim();
  if (screenshot) await shot(screenshot);
  await dialog.locator('#home').click();
  await main.locator('.vo-mask').waitFor({ state: 'detached' });
  return reason;
}

async function fillStudent(d, s) {
  await d.locator('input[name="student[studentName]"]').fill(s.name);
  await d.locator('input[name="student[age]"]').fill(String(s.age));
  await d.locator('input[name="student[score]"]').fill(String(s.score));
  await d.locator('input[name="student[birthday]"]').fill(s.birthday);
  await d.locator('select[name="student[grade]"]').selectOption({ label: s.grade });
  await d.locator('select[name="student[department]"]').selectOption({ label: s.department });
  if (s.remark !== undefined) await d.locator('[name="student[remark]"]').fill(s.remark);
  if (s.photo) await d.locator('input[name=photo]').setInputFiles(s.photo);
}

async function search(fields) {
  const form = main.locator('#search');
  for (const [name, value] of Object.entries(fields)) {
    const field = form.locator(`[name="${name}"]`);
    if (await field.evaluate((el) => el.tagName) === 'SELECT') {
      await field.selectOption(value === '' ? '' : { label: value });
    } else {
      await field.fill(value);
    }
  }
  await navigates(mainFrame(), () => form.locator('button[type=submit]').click());
}

const listedNames = () => main.locator('.grid td[data-col=studentName]').allTextContents();
const summary = async () => (await main.locator('.pager .summary').textContent()).trim();

async function gotoPager(text) {
  await navigates(mainFrame(), () => main.locator('.pager a', { hasText: text }).first().click());
}

// A request from the application's own pages, made outside the forms (same cookies).
const own = { Origin: new URL(BASE).origin, Referer: `${BASE}/index.php` };

// ---------------------------------------------------------------- the run

const students = [
  { name: '张三', age: 18, score: 90.5, birthday: '2006-05-01', grade: '一年级', department: '计算机系', remark: TRICKY, photo: photoPath },
  { name: '张小明', age: 17, score: 88, birthday: '2007-03-12', grade: '一年级', department: '数学系' },
  { name: '李四', age: 18, score: 76.5, birthday: '2006-05-01', grade: '一年级', department: '计算机系' },
  { name: '王五', age: 19, score: 65, birthday: '2005-11-20', grade: '一年级', department: '数学系' },
  { name: "O'Neil \\x", age: 20, score: 99, birthday: '2004-01-02', grade: '一年级', department: '计算机系' },
  { name: '赵六', age: 18, score: 70, birthday: '2006-07-07', grade: '一年级', department: '数学系' },
  { name: '钱七', age: 17, score: 60, birthday: '2007-08-08', grade: '二年级', department: '计算机系' },
];

try {
  await step('requests without login are sent to the login page and change nothing', async () => {
    const anon = await (await import('playwright-core')).request.newContext({ baseURL: BASE });
    for (const [method, url, form] of [
      ['get', '/index.php'], ['get', '/desk.php'], ['get', '/controller/StudentAction.php?action=query'],
      ['get', '/controller/GradeAction.php?action=del&gradeId=1'],
      ['post', '/controller/GradeAction.php', { action: 'add', 'grade[gradeName]': '匿名' }],
      ['post', '/changePassword.php', { oldPassword: 'admin', newPassword: 'x123456', confirmPassword: 'x123456' }],
    ]) {
      const res = await anon[method](BASE + url, { form, headers: own, maxRedirects: 0 });
      equal(res.status(), 302, `${method} ${url} status`);
      equal(new URL(res.headers().location, BASE).pathname, `${APP}/login.php`, `${method} ${url} redirect`);
    }
    await anon.dispose();
    equal(count('t_Grade'), 0, 'grades after anonymous add');
    equal(sql("SELECT mustChangePassword FROM t_admin WHERE adminName='admin'"), '1', 'password flag');

    await page.goto(`${BASE}/controller/StudentAction.php?action=query`);
    equal(new URL(page.url()).pathname, `${APP}/login.php`, 'browser lands on');
    await page.locator('#username').waitFor();
    await shot('01-login.png');
  });

  await step('login: a wrong password is refused, the default account must set a new password', async () => {
    await page.fill('#username', 'admin');
    await page.fill('#password', 'wrong');
    await navigates(page, () => page.click('button[type=submit]'));
    check((await page.locator('.alert.error').textContent()).includes('用户名或密码不正确'), 'no wrong-password message');

    await page.fill('#username', 'admin');
    await page.fill('#password', 'admin');
    await navigates(page, () => page.click('button[type=submit]'));
    equal(new URL(page.url()).pathname, `${APP}/changePassword.php`, 'page after the first login');
    check((await page.locator('.alert.info').textContent()).includes('初始密码'), 'no first-login notice');
    await page.goto(`${BASE}/index.php`);
    await page.waitForURL(/\/changePassword\.php$/);
    await page.goto(`${BASE}/controller/GradeAction.php?action=query`);
    await page.waitForURL(/\/changePassword\.php$/);

    await page.locator(`form[action="${APP}/changePassword.php"]`).evaluate((form) => { form.noValidate = true; }); // the server's own check
    await page.fill('#oldPassword', 'admin');
    for (const [weak, reason] of [['1234567', '至少需要 8 个字符'], ['password', '太常见'], ['88888888', '太常见']]) {
      await page.fill('#oldPassword', 'admin');
      await page.fill('#newPassword', weak);
      await page.fill('#confirmPassword', weak);
      await navigates(page, () => page.click('button[type=submit]'));
      check((await page.locator('.alert.error').allTextContents()).some((t) => t.includes(reason)), `weak password ${weak} accepted`);
    }
    equal(sql("SELECT mustChangePassword FROM t_admin WHERE adminName='admin'"), '1', 'flag after weak passwords');

    await page.fill('#oldPassword', 'admin');
    await page.fill('#newPassword', NEW_PASSWORD);
    await page.fill('#confirmPassword', NEW_PASSWORD);
    await navigates(page, () => page.click('button[type=submit]'));
    await navigates(page, () => page.locator('#enter').click());
    equal(new URL(page.url()).pathname, `${APP}/index.php`, 'page after the password change');
    equal(sql("SELECT mustChangePassword FROM t_admin WHERE adminName='admin'"), '0', 'flag after change');
    const hash = sql("SELECT adminPassword FROM t_admin WHERE adminName='admin'");
    const ok = execFileSync('php', ['-r', 'echo password_verify($argv[1], $argv[2]) ? "yes" : "no";', NEW_PASSWORD, hash], { encoding: 'utf8' });
    equal(ok, 'yes', 'stored hash verifies the new password');
    check(!hash.includes(NEW_PASSWORD), 'password stored in clear');
  });

  await step('the start page shows the menu built from the generated classes', async () => {
    equal((await page.locator('.topbar .title').textContent()).trim(), 'school', 'header shows the project name');
    equal((await page.locator('#menu a[data-class]').allTextContents()).map((t) => t.trim()),
      ["年级管理", "院系管理", "学生管理"], 'menu entries');
    await main.locator('.cards .card').first().waitFor();
    equal(await main.locator('.cards .card .name').allTextContents(), ['年级', '院系', '学生'], 'overview cards');
    await shot('02-start.png');
  });

  await step('grades and departments are added through the forms', async () => {
    await openMenu('Grade', '年级管理');
    for (const [i, name] of ['一年级', '二年级'].entries()) {
      await saveInDialog(main.locator('#add'), (d) => d.locator('input[name="grade[gradeName]"]').fill(name));
      equal(count('t_Grade'), i + 1, `grades after adding ${name}`);
    }
    equal(await main.locator('.grid td:nth-child(2)').allTextContents(), ['一年级', '二年级'], 'grade list');

    await openMenu('Department', '院系管理');
    for (const [no, name] of [['CS', '计算机系'], ['MATH', '数学系']]) {
      await saveInDialog(main.locator('#add'), async (d) => {
        await d.locator('input[name="department[deptNo]"]').fill(no);
        await d.locator('input[name="department[deptName]"]').fill(name);
      });
      equal(sql(`SELECT deptName FROM t_Department WHERE deptNo='${no}'`), name, `department ${no}`);
    }
    const reason = await refusedInDialog(main.locator('#add'), async (d) => {
      await d.locator('input[name="department[deptNo]"]').fill('CS');
      await d.locator('input[name="department[deptName]"]').fill('重复的院系');
    });
    check(reason.includes('已经存在'), `duplicate key reason: ${reason}`);
    equal(count('t_Department'), 2, 'departments after the duplicate');
  });

  await step('students are added through the form, the first with an uploaded picture', async () => {
    await openMenu('Student', '学生管理');
    for (const [i, s] of students.entries()) {
      await saveInDialog(main.locator('#add'), (d) => fillStudent(d, s), i === 0 ? '04-add-form.png' : '');
      equal(count('t_Student'), i + 1, `students after adding ${s.name}`);
      const row = student(s.name);
      check(row, `${s.name} not stored`);
      equal([row.age, row.score, row.birthday], [s.age, s.score, s.birthday], `${s.name} values`);
      equal(row.grade, Number(sql(`SELECT gradeId FROM t_Grade WHERE gradeName='${s.grade}'`)), `${s.name} grade`);
      equal(row.department, s.department === '计算机系' ? 'CS' : 'MATH', `${s.name} department`);
      if (s.photo) {
        check(/^\/upload\/[0-9a-f]{20,}\.png$/.test(row.photo), `stored picture path ${row.photo}`);
        // Kept behind a line that ends any request for the file itself.
        const stored = fs.readFileSync(path.join(PROJECT, `${row.photo}.php`));
        const guard = '<?php http_response_code(404); exit; __halt_compiler();';
        check(stored.subarray(0, guard.length).toString() === guard && stored.subarray(guard.length).equals(fs.readFileSync(s.photo)),
          'stored picture differs from the upload');
        // Only through the application, to those who may see the row: never by its own address.
        const name = row.photo.slice('/upload/'.length);
        const stranger = { redirect: 'manual' };
        const direct = await fetch(`${BASE}/upload/${name}.php`, stranger);
        check(direct.status === 404 && (await direct.arrayBuffer()).byteLength === 0, `the stored file answered ${direct.status}`);
        const served = await fetch(`${BASE}/manage/file.php?f=${name}&c=Student`, stranger);
        check(served.status === 302 && /\/login\.php$/.test(served.headers.get('location')), `a stranger got the picture: ${served.status}`);
        const viaPage = await page.request.get(`${BASE}/manage/file.php?f=${name}&c=Student`);
        check(viaPage.status() === 200 && (await viaPage.body()).equals(fs.readFileSync(s.photo)), 'the logged-in user cannot see the picture');
      } else {
        equal(row.photo, '/upload/NoImage.jpg', `${s.name} default picture`);
      }
    }
  });

  await step('a text with quotes and backslashes is stored and shown exactly', async () => {
    equal(student('张三').remarkHex, hex(TRICKY), 'stored remark');
    check(student("O'Neil \\x"), 'name with a quote and a backslash not stored exactly');
    await search({ studentName: "O'Neil \\" });
    equal(await listedNames(), ["O'Neil \\x"], 'search for a quoted name');
    equal(await main.locator('#search input[name=studentName]').inputValue(), "O'Neil \\", 'search box keeps the text');
    await search({ studentName: '张三' });
    equal(await main.locator('.grid td[data-col=remark]').first().textContent(), TRICKY, 'shown remark');
    equal(await main.locator('.grid td[data-col=remark] b').count(), 0, 'markup in data was not escaped');
  });

  await step('the list pages through the rows and keeps the search across pages', async () => {
    await search({ studentName: '', grade: '', department: '', birthday: '' });
    // Five a page (the session keeps the choice) so that seven rows make two pages.
    const five = mainFrame().waitForNavigation({ waitUntil: 'load' });
    await main.locator('#search select[name=pageSize]').selectOption('5');
    await five;
    equal(await summary(), '共 7 条记录，第 1/2 页', 'unfiltered summary');
    equal((await listedNames()).length, 5, 'rows on page 1');
    // The generated files start with a byte-order mark; none may reach the page (it would force quirks mode).
    equal(await mainFrame().evaluate(() => [document.compatMode, document.documentElement.outerHTML.includes('\uFEFF')]),
      ['CSS1Compat', false], 'list page rendering mode and stray byte-order marks');
    await shot('03-list.png');
    await gotoPager('下一页');
    equal(await summary(), '共 7 条记录，第 2/2 页', 'page 2 summary');
    equal(await listedNames(), ['赵六', '钱七'], 'rows on page 2');

    await search({ grade: '一年级' });
    equal(await summary(), '共 6 条记录，第 1/2 页', 'grade search summary');
    await gotoPager('下一页');
    equal(await summary(), '共 6 条记录，第 2/2 页', 'grade search page 2');
    equal(await listedNames(), ['赵六'], 'grade search page 2 rows');
    equal(await main.locator('#search select[name=grade] option:checked').textContent(), '一年级', 'grade kept on page 2');
    await gotoPager('首页');
    equal((await listedNames()).length, 5, 'grade search back on page 1');

    await search({ grade: '', studentName: '张' });
    equal(await listedNames(), ['张三', '张小明'], 'name search');
    await search({ studentName: '', department: '数学系' });
    equal(await listedNames(), ['张小明', '王五', '赵六'], 'department search');
    await search({ department: '', birthday: '2006-05-01' });
    equal(await listedNames(), ['张三', '李四'], 'birthday search');
    await search({ birthday: '', studentName: '张', department: '计算机系' });
    equal(await listedNames(), ['张三'], 'combined search');
  });

  await step('sorting by a heading across pages, both ways; the page size; both keep the search', async () => {
    await search({ studentName: '', department: '', birthday: '', grade: '' });
    const byScore = (desc) => students.map((s) => s).sort((a, b) => desc ? b.score - a.score : a.score - b.score).map((s) => s.name);
    const heading = () => main.locator('.grid th a[data-sort=score]');
    for (const desc of [false, true]) {
      await navigates(mainFrame(), () => heading().click());
      equal(await listedNames(), byScore(desc).slice(0, 5), `page 1 by score ${desc ? 'desc' : 'asc'}`);
      await gotoPager('下一页');
      equal(await listedNames(), byScore(desc).slice(5), `page 2 by score ${desc ? 'desc' : 'asc'}`);
      await gotoPager('首页');
    }
    await navigates(mainFrame(), () => main.locator('#search select[name=pageSize]').selectOption('10'));
    equal(await summary(), '共 7 条记录，第 1/1 页', 'ten a page');
    equal(await listedNames(), byScore(true), 'sort kept with the page size');
    await search({ department: '数学系' });
    equal(await listedNames(), ['张小明', '赵六', '王五'], 'search keeps sort and size');
    equal(await main.locator('#search select[name=pageSize]').inputValue(), '10', 'page size kept');
    // A sort column that is not a real column is ignored and never reaches the database.
    for (const bad of ['score desc, (select sleep(3))', 'nosuch', '`score`']) {
      const res = await page.request.get(`${BASE}/controller/StudentAction.php?action=query&sort=${encodeURIComponent(bad)}&pageSize=7`);
      const html = await res.text();
      check(html.includes('共 7 条记录，第 1/1 页') && !html.includes('alert error'), `sort ${bad} ignored`);
    }
    await search({ department: '' });
  });

  await step('an update keeps the picture when no new one is chosen', async () => {
    await search({ studentName: '张三', department: '' });
    const before = student('张三');
    await saveInDialog(main.locator('.grid a.edit').first(), async (d) => {
      equal(await d.locator('input[name="student[studentName]"]').inputValue(), '张三', 'edit form name');
      equal(await d.locator('[name="student[remark]"]').inputValue(), TRICKY, 'edit form remark');
      await d.locator('input[name="student[score]"]').fill('95');
      await d.locator('input[name="student[age]"]').fill('19');
    });
    const after = student('张三');
    equal([after.score, after.age], [95, 19], 'updated values');
    equal(after.photo, before.photo, 'picture kept');
    equal(after.remarkHex, before.remarkHex, 'remark unchanged by the round trip');

    // Saving without any change still counts as success.
    await saveInDialog(main.locator('.grid a.edit').first(), async () => {});
    equal(student('张三'), after, 'row after an unchanged save');

    // A new picture replaces the path, and the replaced picture leaves upload/.
    await saveInDialog(main.locator('.grid a.edit').first(),
      (d) => d.locator('input[name=photo]').setInputFiles(photoPath));
    check(student('张三').photo !== before.photo && /^\/upload\/[0-9a-f]+\.png$/.test(student('张三').photo), 'new picture path');
    check(!fs.existsSync(path.join(PROJECT, `${before.photo}.php`)), 'replaced picture still in upload/');
    check(fs.existsSync(path.join(PROJECT, `${student('张三').photo}.php`)), 'new picture missing');
  });

  await step('the detail shows every member, references by their display value', async () => {
    await search({ studentName: '张三' });
    await main.locator('.grid a.view').first().click();
    await dialog.locator('.detail-list').waitFor();
    const shown = async (col) => (await dialog.locator(`dd[data-col=${col}]`).textContent()).trim();
    equal([await shown('studentName'), await shown('grade'), await shown('department'), await shown('birthday'), await shown('remark')],
      ['张三', '一年级', '计算机系', '2006-05-01', TRICKY], 'detail values');
    check(/\/manage\/file\.php\?f=[0-9a-f]+\.png&c=Student$/.test(await dialog.locator('dd[data-col=photo] a').getAttribute('href')), 'picture link');
    await shot('06-detail.png');
    await main.locator('.vo-close').click();
  });

  await step('a delete removes the row; a referenced row cannot be deleted', async () => {
    await search({ studentName: '钱七' });
    confirmations.length = 0;
    const gone = student('钱七').id;
    const loaded = mainFrame().waitForURL(/ok\.php/);
    await main.locator('.grid button.delete').first().click();
    await loaded;
    await mainFrame().waitForURL(/action=query/);
    equal(confirmations, ['确定要删除学生“钱七”吗？'], 'confirmation names the row');
    equal(count('t_Student'), 6, 'students after the delete');
    equal(student('钱七'), null, 'deleted row');

    // Changing or deleting a row that is gone is reported as a failure, not as success.
    const reasonAfter = async (res) => {
      equal(res.headers().location, `${APP}/error.php`, 'redirect');
      const page2 = await page.request.get(`${BASE}/error.php`);
      return (await page2.text()).match(/<p id="reason">([^<]*)/)[1];
    };
    // The picture sent with a failed change does not stay in upload/.
    const uploadsBefore = uploads();
    const update = await page.request.post(`${BASE}/controller/StudentAction.php`, {
      multipart: { action: 'update', 'student[studentId]': String(gone), 'student[studentName]': '钱七',
        'student[age]': '17', 'student[score]': '60', 'student[birthday]': '2007-08-08', 'student[grade]': '2',
        'student[department]': 'CS', 'student[remark]': '',
        photo: { name: 'p.png', mimeType: 'image/png', buffer: fs.readFileSync(photoPath) } },
      headers: own, maxRedirects: 0 });
    check((await reasonAfter(update)).includes('没有找到要修改的记录'), 'update of a deleted row');
    equal(uploads(), uploadsBefore, 'upload folder after the failed update');
    const again = await page.request.post(`${BASE}/controller/StudentAction.php?action=del&studentId=${gone}`,
      { form: { action: 'del' }, headers: own, maxRedirects: 0 });
    check((await reasonAfter(again)).includes('没有找到要删除的记录'), 'second delete of a row');
    equal(count('t_Student'), 6, 'students after the repeated change and delete');

    await openMenu('Grade', '年级管理');
    await main.locator('.grid button.delete').first().click();
    await mainFrame().waitForURL(/error\.php/);
    check((await main.locator('#reason').textContent()).includes('正被其他数据引用'), 'referenced-row reason');
    equal(count('t_Grade'), 2, 'grades after the refused delete');
  });

  await refusalSteps({
    step, sql, count, student, uploads, check, equal, BASE, APP, OTHER, OTHER_ROOT, PHP_LOG,
    page, main, dialog, navigates, shot, openMenu, refusedInDialog, fillStudent, search, listedNames, summary, own,
    shellJpg, shellPhp, bigPath });

  await step('CSV export of the current search: byte-order mark, headings, display values, all pages', async () => {
    await openMenu('Student', '学生管理');
    await search({ grade: '一年级' });
    const href = await main.locator('#export').getAttribute('href');
    const res = await page.request.get(new URL(href, `${BASE}/controller/`).href);
    check(res.headers()['content-type'].startsWith('text/csv'), 'content type');
    const body = await res.body();
    equal([...body.subarray(0, 3)], [0xef, 0xbb, 0xbf], 'byte-order mark');
    const lines = body.subarray(3).toString('utf8').split('\r\n').filter((l) => l !== '');
    equal(lines[0], '学号,姓名,年龄,成绩,出生日期,照片,年级,院系,备注', 'headings');
    equal(lines.length - 1, count('t_Student', 'grade = 1'), 'every row of the search, not one page');
    check(lines.slice(1).every((l) => l.includes(',一年级,')), 'grade as its display value');
    check(lines.some((l) => l.includes(',计算机系,')) && !lines.some((l) => l.includes(',CS,')), 'department as its display value');
    await search({ grade: '' });
  });

  await step('usable at 390 px: the list fits as cards, the form fields stack', async () => {
    await page.setViewportSize({ width: 390, height: 844 });
    await page.goto(`${BASE}/index.php`);
    await openMenu('Student', '学生管理');
    const widths = await mainFrame().evaluate(() => [document.documentElement.scrollWidth, document.querySelector('.grid-wrap').scrollWidth > document.querySelector('.grid-wrap').clientWidth]);
    check(widths[0] <= 390 && !widths[1], `page width ${widths[0]}, list scrolls ${widths[1]}`);
    await shot('08-narrow-list.png');
    await main.locator('#add').click();
    await dialog.locator('form').waitFor();
    const [label, input] = await Promise.all([dialog.locator('label[for=f-studentName]').boundingBox(), dialog.locator('#f-studentName').boundingBox()]);
    check(input.y >= label.y + label.height - 1, 'label above its field');
    await shot('09-narrow-form.png');
    await main.locator('.vo-close').click();
    await page.setViewportSize({ width: 1280, height: 800 });
  });

  await step('logout ends the session', async () => {
    await page.goto(`${BASE}/index.php`);
    await page.locator('.topbar #logout').click();
    await page.waitForURL(/\/login\.php$/);
    await page.goto(`${BASE}/controller/StudentAction.php?action=query`);
    await page.waitForURL(/\/login\.php$/);
  });

  await step('the PHP error log holds no error, warning or notice', async () => {
    const log = fs.existsSync(PHP_LOG) ? fs.readFileSync(PHP_LOG, 'utf8') : '';
    const fatal = log.split('\n').filter((l) => /PHP (Fatal error|Parse error|Warning|Notice|Deprecated)|Uncaught/.test(l));
    equal(fatal, [], 'errors, warnings and notices');
  });
} catch (err) {
  await page.screenshot({ path: path.join(OUT, 'failure.png'), fullPage: true }).catch(() => {});
} finally {
  await browser.close();
}

console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
