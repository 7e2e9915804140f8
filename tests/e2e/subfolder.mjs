// The school project served from a subfolder by `php -S` with its router, the web root being the
// folder above the project: every asset loads, every link and form stays inside the subfolder,
// the login's redirect keeps it, and util/ is still refused.
// Environment: E2E_BASE_URL (ending in the subfolder, e.g. http://127.0.0.1:8080/school).
import { chromium, request as http } from 'playwright-core';

const BASE = process.env.E2E_BASE_URL;
const APP = new URL(BASE).pathname.replace(/\/$/, '');
let failures = 0;
const check = (ok, what) => { if (!ok) { failures++; console.error(`not ok - ${what}`); } };

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run'] });
try {
  const page = await browser.newPage();
  const broken = [];
  page.on('response', (res) => { if (res.status() >= 400) broken.push(`${res.status()} ${res.url()}`); });
  // Every address a page names, resolved: all must lie below the subfolder.
  const outside = () => page.evaluate((app) => [...document.querySelectorAll('[href],[src],form[action]')]
    .map((el) => new URL(el.getAttribute(el.tagName === 'FORM' ? 'action' : (el.hasAttribute('href') ? 'href' : 'src')), location.href))
    .filter((u) => u.origin === location.origin && !u.pathname.startsWith(`${app}/`)).map((u) => u.pathname), APP);

  await page.goto(`${BASE}/`);
  check(new URL(page.url()).pathname === `${APP}/login.php`, `the subfolder opens the login page, got ${page.url()}`);
  check(await page.evaluate(() => getComputedStyle(document.body).fontFamily !== '' && document.styleSheets.length > 0
    && [...document.styleSheets].every((s) => s.cssRules.length > 0)), 'the login page has its styles');
  check((await outside()).length === 0, `login page addresses outside the subfolder: ${await outside()}`);

  await page.fill('#username', 'admin');
  await page.fill('#password', 'admin');
  await Promise.all([page.waitForURL(/changePassword\.php/), page.click('button[type=submit]')]);
  check(new URL(page.url()).pathname === `${APP}/changePassword.php`, `the first login asks for a new password at ${page.url()}`);
  check((await outside()).length === 0, `password page addresses outside the subfolder: ${await outside()}`);
  check(broken.length === 0, `failed requests: ${broken.join(', ')}`);

  const anon = await http.newContext();
  for (const [path, status] of [['/util/guard.php', 403], ['/css/style.css', 200], ['/js/app.js', 200]]) {
    const res = await anon.get(BASE + path, { maxRedirects: 0 });
    check(res.status() === status, `${path} answered ${res.status()} instead of ${status}`);
  }
  await anon.dispose();
} finally {
  await browser.close();
}
console.log(failures ? `subfolder: ${failures} failed` : 'subfolder: all passed');
process.exit(failures ? 1 : 0);
