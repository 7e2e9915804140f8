// Attacks on a generated application under a real web server (run_e2e.sh runs this on Apache with
// mod_php and AllowOverride None, after e2e.mjs has set the administrator's password there).
import { chromium, request as http } from 'playwright-core';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

const BASE = process.env.E2E_BASE_URL;
const OTHER = `http://127.0.0.1:${process.env.E2E_OTHER_PORT}`;
const OTHER_ROOT = process.env.E2E_OTHER_ROOT;
const PROJECT = process.env.E2E_PROJECT_DIR;
const PHP_LOG = process.env.E2E_PHP_ERROR_LOG;
const DB = process.env.E2E_DB_NAME || 'school';
let password = 'Velmora#2026';

const sql = (query) => execFileSync('mariadb', ['--socket', process.env.E2E_DB_SOCKET, '-uroot',
  '--default-character-set=utf8mb4', '-N', '-B', DB, '-e', query], { encoding: 'utf8' }).trim();
const phpLog = () => (fs.existsSync(PHP_LOG) ? fs.readFileSync(PHP_LOG, 'utf8') : '');
const own = { Origin: BASE, Referer: `${BASE}/index.php` };

function check(condition, message) {
  if (!condition) throw new Error(message);
}

let failed = 0;
async function step(name, body) {
  try {
    await body();
    console.log(`ok - hardening: ${name}`);
  } catch (err) {
    failed++;
    console.log(`not ok - hardening: ${name}\n  ${String(err && err.stack || err).split('\n').join('\n  ')}`);
  }
}

// A logged-in client of its own (cookies kept); returns it with the outcome of the login.
async function login(name = 'admin', pass = password) {
  const client = await http.newContext({ baseURL: BASE });
  const res = await client.post('/login.php', { form: { username: name, password: pass }, headers: own, maxRedirects: 0 });
  return { client, status: res.status(), location: res.headers().location || '', body: res.status() === 200 ? await res.text() : '' };
}
const alive = async (client) => (await client.get('/desk.php', { maxRedirects: 0 })).status() === 200;
// The reason /error.php shows after a redirect to it.
async function reason(client, res) {
  check(res.headers().location === '/error.php', `expected the error page, got ${res.status()} ${res.headers().location}`);
  return (await (await client.get('/error.php')).text()).match(/<p id="reason">([^<]*)/)[1];
}

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run'] });
try {
  await step('no folder is listed, to anyone', async () => {
    const anon = await http.newContext({ baseURL: BASE });
    const folders = [];
    const walk = (dir) => {
      for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
        if (entry.isDirectory()) {
          folders.push(path.relative(PROJECT, path.join(dir, entry.name)));
          walk(path.join(dir, entry.name));
        }
      }
    };
    walk(PROJECT);
    check(folders.includes('upload') && folders.includes('phpbean') && folders.includes('Student'), `folders: ${folders}`);
    const { client } = await login();
    for (const folder of folders) {
      for (const who of [anon, client]) {
        const res = await who.get(`/${folder}/`, { maxRedirects: 0 });
        const body = await res.text();
        const named = fs.readdirSync(path.join(PROJECT, folder)).filter((f) => f !== 'index.html' && body.includes(f));
        check(!/Index of/i.test(body) && named.length === 0, `/${folder}/ lists ${named.join(', ')} (${res.status()})`);
      }
    }
    await anon.dispose();
    await client.dispose();
  });

  await step('a GET logout and a cross-origin logout leave the session alive', async () => {
    const context = await browser.newContext();
    context.setDefaultTimeout(60000); // a loaded machine may take seconds for a page
    const page = await context.newPage();
    await page.goto(`${BASE}/login.php`);
    await page.fill('#username', 'admin');
    await page.fill('#password', password);
    await Promise.all([page.waitForURL(/\/index\.php$/), page.click('button[type=submit]')]);
    fs.writeFileSync(path.join(OTHER_ROOT, 'logout.html'), `<!DOCTYPE html><meta charset="UTF-8">
      <img src="${BASE}/logout.php"><form id="f" method="post" action="${BASE}/logout.php"></form>`);
    await page.goto(`${OTHER}/logout.html`, { waitUntil: 'load' });
    const [post] = await Promise.all([page.waitForResponse(`${BASE}/logout.php`),
      page.waitForURL(`${BASE}/logout.php`, { waitUntil: 'load' }), page.evaluate(() => document.getElementById('f').submit())]);
    check(post.status() === 403, `cross-origin logout answered ${post.status()}`);
    await page.goto(`${BASE}/logout.php`);
    await page.goto(`${BASE}/desk.php`);
    check(new URL(page.url()).pathname === '/desk.php', `session ended, now at ${page.url()}`);
    await context.close();
  });

  await step('headers: content security policy, nosniff, referrer policy, no versions', async () => {
    const { client } = await login();
    const res = await client.get('/desk.php');
    const h = res.headers();
    check(/script-src 'self'/.test(h['content-security-policy'] || '') && !/unsafe-inline/.test(h['content-security-policy']), `CSP ${h['content-security-policy']}`);
    check(h['x-content-type-options'] === 'nosniff' && h['referrer-policy'] === 'same-origin', 'nosniff or referrer policy missing');
    check(!('x-powered-by' in h), `X-Powered-By: ${h['x-powered-by']}`);
    const body = await res.text();
    check(!body.includes('PHP 版本') && !body.includes(process.versions.node) && !/\d+\.\d+\.\d+-MariaDB/.test(body), 'desk.php shows versions');
    await client.dispose();
  });

  await step('bad bytes and fractional integers give the error page with a reason', async () => {
    const { client } = await login();
    for (const [url, form, expected] of [
      ['/changePassword.php', { oldPassword: password, newPassword: 'Abc\0defgh12', confirmPassword: 'Abc\0defgh12' }, '“新密码”中有无效的字符'],
      ['/controller/GradeAction.php', { action: 'add', 'grade[gradeId]': '0', 'grade[gradeName]': 'a\0b' }, '“年级名称”中有无效的字符'],
      ['/controller/StudentAction.php?action=query&studentName=%BF%27%20OR%201%3D1%20--%20x', null, '“姓名”中有无效的字符'],
      ['/controller/StudentAction.php?action=query&grade=1.9', null, '“年级”必须是整数'],
    ]) {
      const res = form ? await client.post(url, { form, headers: own, maxRedirects: 0 }) : await client.get(url, { maxRedirects: 0 });
      const shown = await reason(client, res);
      check(shown.includes(expected), `${url}: "${shown}" lacks ${expected}`);
    }
    check(sql(`SELECT COUNT(*) FROM t_Grade WHERE gradeName LIKE 'a%b'`) === '0', 'grade with a NUL stored');
    await client.dispose();
  });

  await step('a database charset other than utf8mb4 is refused, in the log and on the error page', async () => {
    const config = path.join(PROJECT, 'database', 'config.php');
    const shipped = fs.readFileSync(config, 'utf8');
    const { client } = await login();
    try {
      fs.writeFileSync(config, shipped.replace(/'charset' => '[^']*'/, "'charset' => 'gbk'"));
      const res = await client.post('/controller/GradeAction.php', { form: { action: 'add', 'grade[gradeId]': '0', 'grade[gradeName]': '三年级' }, headers: own, maxRedirects: 0 });
      check((await reason(client, res)).includes('utf8mb4'), 'reason names utf8mb4');
      const list = await (await client.get(`/controller/StudentAction.php?action=query&studentName=${encodeURIComponent("縗' OR 1=1 -- x")}`)).text();
      check(list.includes('utf8mb4') && !list.includes('data-col="studentName">张'), 'list under gbk');
      check(phpLog().includes('charset "gbk" refused'), 'refusal not logged');
    } finally {
      fs.writeFileSync(config, shipped);
    }
    check(sql("SELECT COUNT(*) FROM t_Grade WHERE gradeName='三年级'") === '0', 'stored under gbk');
    await client.dispose();
  });

  await step('login: repeated failures back off, the lock is logged, and a forged log line stays one line', async () => {
    for (let i = 0; i < 5; i++) {
      const { body } = await login('admin', `wrong-${i}`);
      check(body.includes('用户名或密码不正确'), `failure ${i + 1}: ${body.slice(0, 80)}`);
    }
    const locked = await login('admin', password);
    check(locked.status === 200 && locked.body.includes('登录失败的次数过多'), 'the right password got through the lock');
    check(phpLog().includes('登录连续失败 5 次（user:admin），暂停登录'), 'lock not logged');
    await new Promise((r) => setTimeout(r, 5100)); // run_e2e.sh sets login_lock to 5 s
    const after = await login('admin', password);
    check(after.location === '/index.php', `login after the lock: ${after.status} ${after.location}`);
    await after.client.dispose();

    await login('ghost\n[velmora] forged line', 'x');
    check(!phpLog().split('\n').some((l) => l.startsWith('[velmora] forged')), 'a newline in the name forged a log line');
  });

  await step('a password change ends the account\'s other sessions', async () => {
    const a = await login();
    const b = await login();
    check(await alive(b.client), 'second session not alive');
    const next = 'Another#Pass2026';
    await a.client.post('/changePassword.php', { form: { oldPassword: password, newPassword: next, confirmPassword: next }, headers: own });
    password = next;
    check(await alive(a.client), 'the session that changed the password ended');
    check(!(await alive(b.client)), 'the other session is still alive');
    await a.client.dispose();
    await b.client.dispose();
  });

  await step('the PHP error log holds no error, warning or notice', async () => {
    const bad = phpLog().split('\n').filter((l) => /PHP (Fatal error|Parse error|Warning|Notice|Deprecated)|Uncaught/.test(l));
    check(bad.length === 0, bad.join('\n'));
  });
} finally {
  await browser.close();
}
process.exit(failed === 0 ? 0 : 1);
