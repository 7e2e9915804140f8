// The store project (tests/fixtures/store), whose product uses every later member type: a row
// is added with a nullable reference and nullable numbers left empty, listed, edited and
// searched; each step is checked in MariaDB; a duplicate unique value is refused naming its
// field. Started by run_e2e.sh.
import { chromium } from 'playwright-core';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

const BASE = process.env.E2E_BASE_URL;
const OUT = process.env.E2E_OUTPUT;
const PHP_LOG = process.env.E2E_PHP_ERROR_LOG;
const SOCKET = process.env.E2E_DB_SOCKET;

function sql(query) {
  return execFileSync('mariadb', ['--socket', SOCKET, '-uroot', '--default-character-set=utf8mb4',
    '-N', '-B', '--raw', 'store', '-e', query], { encoding: 'utf8' }).replace(/\n$/, '');
}

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium', headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--lang=zh-CN'],
});
const page = await browser.newPage({ viewport: { width: 1400, height: 900 }, locale: 'zh-CN' });
page.setDefaultTimeout(15000);
page.on('dialog', (d) => d.accept());
const main = page.frameLocator('#main');
const dialog = main.frameLocator('iframe.vo-frame');

let failed = 0;
async function step(name, body) {
  try {
    await body();
    console.log(`ok - types: ${name}`);
  } catch (err) {
    failed++;
    console.log(`not ok - types: ${name}\n  ${String(err && err.stack || err).split('\n').join('\n  ')}`);
    throw err;
  }
}
function equal(actual, expected, what) {
  if (JSON.stringify(actual) !== JSON.stringify(expected))
    throw new Error(`${what}: expected ${JSON.stringify(expected)}, got ${JSON.stringify(actual)}`);
}

// Fills a form: a string fills or selects by label, true/false ticks a checkbox.
async function fill(d, values) {
  for (const [name, value] of Object.entries(values)) {
    const field = d.locator(`[name="${name}"]:not([type=hidden])`);
    if (typeof value === 'boolean') await field.setChecked(value);
    else if (await field.evaluate((el) => el.tagName) === 'SELECT') await field.selectOption({ label: value });
    else await field.fill(value);
  }
}
async function openList(cls, title) {
  // The list may already be showing: wait for its reload, not for the heading of the old one.
  await Promise.all([page.frame({ name: 'main' }).waitForNavigation({ waitUntil: 'load' }),
    page.locator(`#menu a[data-class="${cls}"]`).click()]);
  await main.locator('h2', { hasText: title }).waitFor();
}
async function save(opener, values) {
  await opener.click();
  await dialog.locator('form').waitFor();
  await fill(dialog, values);
  const reloaded = page.frame({ name: 'main' }).waitForNavigation({ waitUntil: 'load' });
  await dialog.locator('button[type=submit]').click();
  await reloaded;
  await main.locator('.vo-mask').waitFor({ state: 'detached' });
}
async function listed() {
  const problem = await main.locator('.alert.error').allTextContents();
  if (problem.length) throw new Error(`the list shows: ${problem.join(' ')}`);
  const rows = [];
  for (const row of await main.locator('.grid tr:has(td[data-col])').all()) {
    const cells = {};
    for (const cell of await row.locator('td[data-col]').all())
      cells[await cell.getAttribute('data-col')] = (await cell.textContent()).trim();
    rows.push(cells);
  }
  return rows;
}

const product = (values) => Object.fromEntries(Object.entries(values).map(([k, v]) => [`product[${k}]`, v]));
const stored = () => sql(`SELECT sku, stock, qty, price, IFNULL(rate, 'NULL'), addedAt, IFNULL(opensAt, 'NULL'),
  IFNULL(notes, 'NULL'), summary, active, status, IFNULL(category, 'NULL'), IFNULL(maker, 'NULL') FROM t_Product ORDER BY id`)
  .split('\n').filter(Boolean).map((l) => l.split('\t'));

try {
  await step('log in with the first-login password change', async () => {
    await page.goto(`${BASE}/login.php`);
    await page.fill('#username', 'admin');
    await page.fill('#password', 'admin');
    await page.click('button[type=submit]');
    await page.waitForURL(/changePassword\.php$/);
    for (const id of ['#oldPassword', '#newPassword', '#confirmPassword'])
      await page.fill(id, id === '#oldPassword' ? 'admin' : 'Store#2026');
    await page.click('button[type=submit]');
    await page.locator('#enter').click();
    await page.waitForURL(/\/index\.php$/);
  });

  await step('a category with its nullable parent left empty', async () => {
    await openList('Category', '分类管理');
    await save(main.locator('#add'), { 'category[name]': '文具' });
    equal(sql('SELECT name, IFNULL(parent, \'NULL\') FROM t_Category'), '文具\tNULL', 'stored category');
  });

  await step('a product of every type is added and listed, empty nullable fields stored as NULL', async () => {
    await openList('Product', '商品管理');
    await save(main.locator('#add'), product({
      sku: 'P-001', stock: '5000000000', qty: '3', price: '139.69', addedAt: '2026-03-04T10:30:15',
      opensAt: '09:15:30', summary: '一支铅笔', active: true, status: 'sold', maker: 'ACME',
    }));
    equal(stored(), [['P-001', '5000000000', '3', '139.69', 'NULL', '2026-03-04 10:30:15', '09:15:30', 'NULL',
      '一支铅笔', '1', 'sold', 'NULL', 'ACME']], 'stored product');
    equal(await listed(), [{ id: '1', sku: 'P-001', stock: '5000000000', qty: '3', price: '139.69', rate: '',
      addedAt: '2026-03-04 10:30', opensAt: '09:15', active: '是', status: 'sold', category: '', maker: 'ACME' }], 'listed');
  });

  await step('the product is edited: the box unticked, an enumeration value with a quote, a reference chosen', async () => {
    await save(main.locator('.grid a.edit').first(), product({
      active: false, status: "it's gone", rate: '0.125', category: '文具', stock: '',
    }));
    equal(stored(), [['P-001', 'NULL', '3', '139.69', '0.125', '2026-03-04 10:30:15', '09:15:30', 'NULL',
      '一支铅笔', '0', "it's gone", sql('SELECT id FROM t_Category'), 'ACME']], 'stored after the edit');
  });

  await step('searched by enumeration value, yes/no and reference', async () => {
    // One search field per row: [field, label chosen, rows expected].
    for (const [field, label, rows] of [['status', "it's gone", 1], ['status', 'sold', 0], ['active', '否', 1],
      ['active', '是', 0], ['category', '文具', 1]]) {
      await openList('Product', '商品管理');
      await main.locator(`#search select[name="${field}"]`).selectOption({ label });
      const reloaded = page.frame({ name: 'main' }).waitForNavigation({ waitUntil: 'load' });
      await main.locator('#search button[type=submit]').click();
      await reloaded;
      equal((await listed()).length, rows, `rows found for ${field} = ${label}`);
    }
  });

  await step('a duplicate unique value is refused naming its fields', async () => {
    for (const [values, reason] of [
      [{ sku: 'P-001', maker: 'Other' }, '“货号”的值已经存在，不能重复。'],
      [{ sku: 'P-002', maker: 'ACME' }, '“厂家”、“价格”的这一组值已经存在，不能重复。'],
    ]) {
      await openList('Product', '商品管理');
      await main.locator('#add').click();
      await dialog.locator('form').waitFor();
      await fill(dialog, product({ qty: '1', price: '139.69', addedAt: '2026-03-05T08:00:00', summary: 'x',
        status: 'new', ...values }));
      await dialog.locator('button[type=submit]').click();
      equal((await dialog.locator('#reason').textContent()).trim(), reason, 'reason');
      await dialog.locator('#home').click();
      await main.locator('.vo-mask').waitFor({ state: 'detached' });
    }
    equal(sql('SELECT COUNT(*) FROM t_Product'), '1', 'rows after the refusals');
  });

  await step('values outside a type are refused before the database', async () => {
    for (const [values, reason] of [
      [{ qty: '-1' }, '“起订量”不能是负数。'],
      [{ price: '1.234' }, '“价格”最多保留 2 位小数。'],
    ]) {
      const response = await page.request.post(`${BASE}/controller/ProductAction.php`, {
        headers: { Origin: BASE },
        form: { action: 'add', ...product({ id: '0', sku: 'P-009', qty: '1', price: '1', addedAt: '2026-01-01T00:00',
          summary: '', active: '0', status: 'new', ...values }) },
        maxRedirects: 0,
      });
      equal(response.headers().location, '/error.php', 'redirect');
      const shown = await (await page.request.get(`${BASE}/error.php`)).text();
      equal(shown.match(/<p id="reason">([^<]*)/)[1], reason, 'reason');
    }
  });

  await step('deleting a category names the product it clears, and the trash puts both back', async () => {
    const messages = [];
    const seen = (d) => messages.push(d.message());
    page.on('dialog', seen);
    await openList('Category', '分类管理');
    const deleted = page.frame({ name: 'main' }).waitForNavigation({ waitUntil: 'load' });
    await main.locator('.grid button.delete').first().click();
    await deleted;
    page.off('dialog', seen);
    equal(messages, ['确定要删除分类“文具”吗？\n\n将清空 1 条商品中引用它的值。'], 'the confirmation');
    equal([sql('SELECT COUNT(*) FROM t_Category'), sql('SELECT IFNULL(category, \'NULL\') FROM t_Product')], ['0', 'NULL'], 'after the delete');
    const trashId = sql("SELECT trashId FROM t_trash WHERE className = 'Category'");
    await page.request.post(`${BASE}/manage/trash.php`, { headers: { Origin: BASE }, form: { op: 'restore', id: trashId }, maxRedirects: 0 });
    equal(sql('SELECT category FROM t_Product'), sql("SELECT id FROM t_Category WHERE name = '文具'"), 'the reference put back');
  });

  await step('the PHP error log holds no warning, notice or error', async () => {
    const log = fs.existsSync(PHP_LOG) ? fs.readFileSync(PHP_LOG, 'utf8') : '';
    const bad = log.split('\n').filter((l) => /PHP (Warning|Notice|Deprecated|Fatal error|Parse error)|Uncaught/.test(l));
    if (bad.length) throw new Error(bad.join('\n'));
  });
} catch (err) {
  await page.screenshot({ path: path.join(OUT, 'types-failure.png'), fullPage: true }).catch(() => {});
} finally {
  await browser.close();
}
process.exit(failed === 0 ? 0 : 1);
