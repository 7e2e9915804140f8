// The school application's refusals: forged requests, disguised uploads, SQL in searches and
// parameters, and invalid form values. Run by e2e.mjs in the middle of its session, with its
// helpers and its logged-in page.
import fs from 'node:fs';
import path from 'node:path';

export async function refusalSteps({
  step, sql, count, student, uploads, check, equal, BASE, APP, OTHER, OTHER_ROOT, PHP_LOG,
  page, main, dialog, navigates, shot, openMenu, refusedInDialog, fillStudent, search, listedNames, summary, own,
  shellJpg, shellPhp, bigPath }) {
  await step('refused: a cross-origin POST and a cross-origin delete link', async () => {
    const target = (await student('李四')).id;
    fs.writeFileSync(path.join(OTHER_ROOT, 'forge.html'), `<!DOCTYPE html><meta charset="UTF-8">
      <form id="f" method="post" action="${BASE}/controller/GradeAction.php">
        <input name="action" value="add"><input name="grade[gradeName]" value="伪造的年级"></form>
      <a id="del" href="${BASE}/controller/StudentAction.php?action=del&studentId=${target}">click</a>`);
    await page.goto(`${OTHER}/forge.html`);
    const post = await navigates(page, () => page.evaluate(() => document.getElementById('f').submit()));
    equal([post.url(), post.status()], [`${BASE}/controller/GradeAction.php`, 403], 'forged POST');
    check((await page.locator('h1').textContent()).includes('请求被拒绝'), 'refusal page');
    equal(count('t_Grade', "gradeName='伪造的年级'"), 0, 'forged grade stored');

    await page.goto(`${OTHER}/forge.html`);
    const del = await navigates(page, () => page.click('#del'));
    equal([/action=del/.test(del.url()), del.status()], [true, 403], 'forged delete');
    check(student('李四'), 'forged delete removed the row');

    // Without Origin and Referer a data-changing request is refused as well.
    const bare = await page.request.post(`${BASE}/controller/GradeAction.php`,
      { form: { action: 'add', 'grade[gradeName]': '无来源' }, maxRedirects: 0 });
    equal(bare.status(), 403, 'POST without Origin or Referer');
    equal(count('t_Grade'), 2, 'grades after the refusals');
    check(fs.readFileSync(PHP_LOG, 'utf8').includes('拒绝非本站提交的请求'), 'refusal not logged');
    await page.goto(`${BASE}/index.php`);
  });

  await step('refused: a .php file disguised as a picture, a .php name, and a picture over the limit', async () => {
    await openMenu('Student', '学生管理');
    const before = uploads();
    const rows = count('t_Student');
    const cases = [
      [shellJpg, '不是有效的图片'],
      [shellPhp, '不允许上传这种类型的文件'],
      [bigPath, '图片太大'],
    ];
    for (const [file, expected] of cases) {
      const reason = await refusedInDialog(main.locator('#add'), (d) => fillStudent(d,
        { name: '上传测试', age: 18, score: 1, birthday: '2006-01-01', grade: '一年级', department: '数学系', photo: file }),
        file === shellJpg ? '05-refused-upload.png' : '');
      check(reason.includes(expected), `${path.basename(file)}: reason "${reason}"`);
      equal(count('t_Student'), rows, `students after ${path.basename(file)}`);
      equal(uploads(), before, `upload folder after ${path.basename(file)}`);
    }
    // Also on update: the row keeps its picture.
    await search({ studentName: '李四' });
    const kept = student('李四');
    const reason = await refusedInDialog(main.locator('.grid a.edit').first(), async (d) => {
      await d.locator('input[name="student[age]"]').fill('30');
      await d.locator('input[name=photo]').setInputFiles(shellJpg);
    });
    check(reason.includes('不是有效的图片'), `update reason "${reason}"`);
    equal(student('李四'), kept, 'row after the refused update');
  });

  await step('search strings and parameters holding SQL are handled or refused', async () => {
    const rows = count('t_Student');
    for (const text of ["' OR '1'='1", "%' OR 1=1 -- ", "'; DROP TABLE t_Student; -- ", '%', '_']) {
      await search({ studentName: text });
      equal(await summary(), '共 0 条记录', `search for ${text}`);
      equal(await main.locator('#search input[name=studentName]').inputValue(), text, 'search box text');
    }
    await search({ studentName: '\\' });
    equal(await listedNames(), ["O'Neil \\x"], 'search for a backslash');
    await search({ studentName: '' });

    const res = await page.request.post(`${BASE}/controller/StudentAction.php`,
      { form: { action: 'query', grade: '1 OR 1=1' }, headers: own, maxRedirects: 0 });
    equal([res.status(), res.headers().location], [302, `${APP}/error.php`], 'SQL in a numeric search field');
    await page.goto(`${BASE}/error.php`);
    check((await page.locator('#reason').textContent()).includes('必须是数字'), 'numeric refusal reason');

    const del = await page.request.post(`${BASE}/controller/StudentAction.php?action=del&studentId=${encodeURIComponent('1 OR 1=1')}`,
      { form: { action: 'del' }, headers: own, maxRedirects: 0 });
    equal(del.headers().location, `${APP}/error.php`, 'SQL in the delete key');
    const add = await page.request.post(`${BASE}/controller/StudentAction.php`, {
      multipart: { action: 'add', 'student[studentName]': 'x', 'student[age]': '1); DROP TABLE t_Grade; --',
        'student[score]': '1', 'student[birthday]': '2006-01-01', 'student[grade]': '1', 'student[department]': 'CS' },
      headers: own, maxRedirects: 0 });
    equal(add.headers().location, `${APP}/error.php`, 'SQL in a numeric form field');
    const paged = await page.request.get(`${BASE}/controller/StudentAction.php?action=query&pageSize=5&pageNow=${encodeURIComponent('2;DROP TABLE t_Student')}`);
    check((await paged.text()).includes('第 1/2 页'), 'bad page number falls back to page 1');
    const far = await page.request.get(`${BASE}/controller/StudentAction.php?action=query&pageSize=5&pageNow=99`);
    check((await far.text()).includes('第 2/2 页'), 'page number past the end shows the last page');

    equal(count('t_Student'), rows, 'students after the attempts');
    equal(count('t_Grade'), 2, 'grades after the attempts');
    equal(sql("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA='school' AND TABLE_NAME IN ('t_Student', 't_Grade', 't_Department', 't_admin')"), '4', 'tables');
  });

  await step('a required field left empty is refused in the browser and on the server; bad values are refused by name', async () => {
    await page.goto(`${BASE}/index.php`);
    await openMenu('Student', '学生管理');
    await main.locator('#add').click();
    await dialog.locator('form').waitFor();
    await fillStudent(dialog, { name: '', age: 18, score: 1, birthday: '2006-01-01', grade: '一年级', department: '数学系' });
    await dialog.locator('button[type=submit]').click();
    const missing = await dialog.locator('input[name="student[studentName]"]').evaluate((el) => [el.validity.valueMissing, el.validationMessage !== '']);
    equal(missing, [true, true], 'browser reports the empty name');
    await shot('07-required.png');
    await main.locator('.vo-close').click();

    const rows = count('t_Student');
    const good = { action: 'add', 'student[studentId]': '0', 'student[studentName]': '新同学', 'student[age]': '18', 'student[score]': '1.5',
      'student[birthday]': '2006-01-01', 'student[grade]': '1', 'student[department]': 'CS', 'student[remark]': '' };
    for (const [field, value, reason] of [
      ['student[studentName]', '', '“姓名”不能为空'],
      ['student[studentName]', '一'.repeat(21), '“姓名”不能超过 20 个字符'],
      ['student[age]', '1.5', '“年龄”必须是整数'],
      ['student[score]', 'abc', '“成绩”必须是数字'],
      ['student[birthday]', '2006-02-30', '“出生日期”不是有效的日期'],
      ['student[grade]', '999', '所选的“年级”不存在'],
      ['student[department]', 'NOPE', '所选的“院系”不存在'],
    ]) {
      const res = await page.request.post(`${BASE}/controller/StudentAction.php`,
        { multipart: { ...good, [field]: value }, headers: own, maxRedirects: 0 });
      equal(res.headers().location, `${APP}/error.php`, `${field}=${value} redirect`);
      const text = await (await page.request.get(`${BASE}/error.php`)).text();
      check(text.includes(reason), `${field}=${value}: expected ${reason}`);
    }
    equal(count('t_Student'), rows, 'nothing stored by the refused forms');
    const getDelete = await page.request.get(`${BASE}/controller/StudentAction.php?action=del&studentId=1`, { headers: own, maxRedirects: 0 });
    equal(getDelete.status(), 405, 'a delete by GET link');
    equal(count('t_Student'), rows, 'nothing deleted by GET');
  });
}
