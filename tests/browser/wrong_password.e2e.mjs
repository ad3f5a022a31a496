// A wrong password keeps the log-in form with the reason shown; the right
// one then logs in.
import { check, finish, logIn, newPage, shot, step, typeLogin } from './lib/e2e.mjs';

const page = await newPage('admin');

await step('a wrong password is refused on the log-in page', async () => {
  await typeLogin(page, 'admin', 'not-the-password');
  const error = page.locator('#login-error');
  await page.getByRole('alert').filter({ hasText: /\S/ }).first().waitFor();
  const text = (await error.textContent()).trim();
  check(text.includes("Login failed for user 'admin'."), `the refusal says why: "${text}"`);
  check(await page.locator('#app').isHidden(), 'the application stays hidden');
  check(await page.getByRole('button', { name: 'Log in', exact: true }).isEnabled(),
        'the form can be sent again');
  await shot(page, 'refused');
});

await step('the right password then logs in', async () => {
  await logIn(page, 'admin', 'admin');
  await page.locator('#who', { hasText: 'admin' }).waitFor();
  check(await page.locator('#login').isHidden(), 'the log-in form is gone');
});

await finish();
