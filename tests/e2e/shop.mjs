// The shop project, of another shape than the school (a text key referred to, a reference as
// display member, hidden members): every class's generated page loads after login, rows are
// added through its form and listed, and PHP logs no warning or notice. Started by run_e2e.sh.
import { chromium } from 'playwright-core';
import fs from 'node:fs';
import path from 'node:path';

const BASE = process.env.E2E_BASE_URL;
const OUT = process.env.E2E_OUTPUT;
const PHP_LOG = process.env.E2E_PHP_ERROR_LOG;

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium', headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--lang=zh-CN'],
});
const page = await browser.newPage({ viewport: { width: 1280, height: 800 }, locale: 'zh-CN' });
page.setDefaultTimeout(60000); // a loaded machine may take seconds for a page
page.on('dialog', (d) => d.accept());
const main = page.frameLocator('#main');
const dialog = main.frameLocator('iframe.vo-frame');
const mainFrame = () => page.frame({ name: 'main' });

// Runs the action and waits until the page it leads to has loaded in the given page or frame.
async function navigates(frame, action) {
  await Promise.all([frame.waitForNavigation({ waitUntil: 'load' }), action()]);
}

// Each class: its menu entry, the form filled for one new row, and the row's text in the list.
const classes = [
  { cls: 'Category', title: '商品分类管理', fill: { 'category[title]': '文具' }, listed: '文具' },
  { cls: 'Product', title: '商品管理',
    fill: { 'product[productName]': '铅笔', 'product[price]': '1.5', 'product[stock]': '100',
      'product[category]': '文具', 'product[intro]': '一支铅笔' }, listed: '铅笔' },
  { cls: 'SalesOrder', title: '订单管理',
    fill: { 'salesOrder[orderNo]': 'A-001', 'salesOrder[customer]': '王女士', 'salesOrder[orderDate]': '2026-01-02' }, listed: 'A-001' },
  { cls: 'OrderLine', title: '订单明细管理',
    fill: { 'orderLine[orderRef]': 'A-001', 'orderLine[product]': '铅笔', 'orderLine[quantity]': '3' }, listed: '铅笔' },
];

let failed = 0;
async function step(name, body) {
  try {
    await body();
    console.log(`ok - shop: ${name}`);
  } catch (err) {
    failed++;
    console.log(`not ok - shop: ${name}\n  ${String(err && err.stack || err).split('\n').join('\n  ')}`);
    throw err;
  }
}

try {
  await step('log in with the first-login password change', async () => {
    await page.goto(`${BASE}/login.php`);
    await page.fill('#username', 'admin');
    await page.fill('#password', 'admin');
    await navigates(page, () => page.click('button[type=submit]'));
    if (!page.url().endsWith('/changePassword.php')) throw new Error(`page after the first login: ${page.url()}`);
    for (const id of ['#oldPassword', '#newPassword', '#confirmPassword'])
      await page.fill(id, id === '#oldPassword' ? 'admin' : 'Shop#2026');
    await navigates(page, () => page.click('button[type=submit]'));
    await navigates(page, () => page.locator('#enter').click());
    if (!page.url().endsWith('/index.php')) throw new Error(`page after the password change: ${page.url()}`);
    const title = (await page.locator('.topbar .title').textContent()).trim();
    if (title !== 'shop') throw new Error(`header title: ${title}`);
  });

  for (const c of classes) {
    await step(`${c.cls}: the page loads, a row is added and listed`, async () => {
      await navigates(mainFrame(), () => page.locator(`#menu a[data-class="${c.cls}"]`).click());
      await main.locator('h2', { hasText: c.title }).waitFor();
      await main.locator('#add').click();
      await dialog.locator('form').waitFor();
      for (const [name, value] of Object.entries(c.fill)) {
        const field = dialog.locator(`[name="${name}"]`);
        if (await field.evaluate((el) => el.tagName) === 'SELECT') await field.selectOption({ label: value });
        else await field.fill(value);
      }
      await navigates(mainFrame(), () => dialog.locator('button[type=submit]').click());
      const cells = await main.locator('.grid td').allTextContents();
      if (!cells.some((t) => t.trim() === c.listed)) throw new Error(`${c.listed} not listed: ${cells.join('|')}`);
      await page.screenshot({ path: path.join(OUT, `shop-${c.cls}.png`), fullPage: true });
    });
  }

  await step('the PHP error log holds no warning, notice or error', async () => {
    const log = fs.existsSync(PHP_LOG) ? fs.readFileSync(PHP_LOG, 'utf8') : '';
    const bad = log.split('\n').filter((l) => /PHP (Warning|Notice|Deprecated|Fatal error|Parse error)|Uncaught/.test(l));
    if (bad.length) throw new Error(bad.join('\n'));
  });
} catch (err) {
  await page.screenshot({ path: path.join(OUT, 'shop-failure.png'), fullPage: true }).catch(() => {});
} finally {
  await browser.close();
}
process.exit(failed === 0 ? 0 : 1);
