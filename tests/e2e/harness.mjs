// What the page audits share: the database as the test's root user sees it, and numbered steps
// that report each result and let the run go on after a failure.
import { execFileSync } from 'node:child_process';

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
