// What the page audits share: the database as the test's root user sees it, numbered steps that
// report each result and let the run go on after a failure, and the accessibility and markup audit.
import { execFileSync } from 'node:child_process';
import { HtmlValidate } from 'html-validate';
import { createRequire } from 'node:module';
import fs from 'node:fs';

export const sqlOn = (socket, db) => (query) => execFileSync('mariadb', ['--socket', socket, '-uroot',
  '--default-character-set=utf8mb4', '-N', '-B', '--raw', db, '-e', query], { encoding: 'utf8' }).replace(/\n$/, '');

export function equal(actual, expected, what) {
  const a = JSON.stringify(actual), e = JSON.stringify(expected);
  if (a !== e) throw new Error(`${what}: expected ${e}, got ${a}`);
}

let passed = 0, failed = 0;
export async function step(name, body) {
  try {
    await body();
    passed++;
    console.log(`ok - ${name}`);
  } catch (err) {
    failed++;
    console.log(`not ok - ${name}\n  ${String(err.stack || err).split('\n').slice(0, 4).join('\n  ')}`);
  }
}

// Prints the tally under the run's name and ends the process: 0 when every step passed.
export function finish(run) {
  console.log(`${run}: ${passed} passed, ${failed} failed`);
  process.exit(failed === 0 ? 0 : 1);
}

const AXE = fs.readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

// An audit of the page at url in the given browser page (whose context must bypass the pages'
// script policy, which would refuse axe-core): axe-core's serious and critical findings (WCAG 2.1
// A/AA) and html-validate's errors (recommended rules).
export function auditor(page) {
  const validator = new HtmlValidate({ extends: ['html-validate:recommended'] });
  return async (url) => {
    await page.goto(url);
    await page.evaluate(AXE);
    const axe = await page.evaluate(async () => (await window.axe.run(document, {
      runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'] } })).violations
      .filter((v) => v.impact === 'serious' || v.impact === 'critical')
      .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).slice(0, 3).join(', ')}`));
    const html = await (await page.request.get(url)).text();
    const report = await validator.validateString(html);
    const markup = report.results.flatMap((r) => r.messages).filter((m) => m.severity === 2)
      .map((m) => `${m.ruleId} line ${m.line}: ${m.message}`);
    return { axe, markup };
  };
}
