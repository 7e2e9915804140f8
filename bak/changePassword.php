<?php
/* 修改密码。使用初始密码登录后必须先在这里设置新密码。 */
define('VELMORA_OWN_PAGE', true);
define('VELMORA_PASSWORD_PAGE', true);
require_once __DIR__ . '/database/SqlHelper.class.php';
require_once __DIR__ . '/util/util.php';
require_once __DIR__ . '/util/account.php';

$forced = !empty($_SESSION['velmora_must_change']);
$errors = [];
$done = false;
if (($_SERVER['REQUEST_METHOD'] ?? 'GET') === 'POST') {
    $old = is_string($_POST['oldPassword'] ?? null) ? $_POST['oldPassword'] : '';
    $new = is_string($_POST['newPassword'] ?? null) ? $_POST['newPassword'] : '';
    $again = is_string($_POST['confirmPassword'] ?? null) ? $_POST['confirmPassword'] : '';
    if ($old === '') {
        $errors[] = '请输入原密码。';
    }
    foreach (velmora_password_problems($new, (string)($_SESSION['velmora_admin_name'] ?? '')) as $problem) {
        $errors[] = $problem;
    }
    if ($new !== $again) {
        $errors[] = '两次输入的新密码不一致。';
    }
    if ($new !== '' && $new === $old) {
        $errors[] = '新密码不能与原密码相同。';
    }
    if (!$errors) {
        $db = new SqlHelper();
        velmora_account_schema($db);
        $table = velmora_admin_table();
        $id = (int)$_SESSION['velmora_admin_id'];
        $rows = $db->query_prepared('SELECT adminPassword FROM ' . $table . ' WHERE adminId = ?', [$id]);
        if ($rows === null) {
            $errors[] = $db->error !== '' ? $db->error : '数据库操作失败。';
        } elseif (!$rows) {
            $errors[] = '当前账号已不存在，请重新登录。';
        } elseif (!password_verify($old, (string)$rows[0]['adminPassword'])) {
            $errors[] = '原密码不正确。';
            usleep(400000);
        } else {
            // 会话版本加一：这个账号在其他地方的会话随之失效，本会话记下新的版本。
            $hash = password_hash($new, PASSWORD_DEFAULT);
            $n = $db->execute_prepared(
                'UPDATE ' . $table . ' SET adminPassword = ?, mustChangePassword = 0, sessionVersion = sessionVersion + 1 WHERE adminId = ?',
                [$hash, $id]
            );
            if ($n < 0 && $db->errno === 1054) {
                // 较早的数据库还没有 sessionVersion 列，而数据库用户又无权补上它。
                $n = $db->execute_prepared(
                    'UPDATE ' . $table . ' SET adminPassword = ?, mustChangePassword = 0 WHERE adminId = ?',
                    [$hash, $id]
                );
            }
            if ($n < 0) {
                $errors[] = $db->error !== '' ? $db->error : '保存新密码失败。';
            } else {
                // 读不到新的版本时本会话也随之结束，用新密码重新登录即可。
                $version = $db->query_prepared('SELECT * FROM ' . $table . ' WHERE adminId = ?', [$id]);
                $_SESSION['velmora_session_version'] = (int)($version[0]['sessionVersion'] ?? 0);
                velmora_log('账号 ' . ($_SESSION['velmora_admin_name'] ?? '') . ' 修改了密码，其他会话随之结束');
                $_SESSION['velmora_must_change'] = false;
                session_regenerate_id(true);
                $done = true;
            }
        }
        $db->close_connect();
    }
}
page_begin('修改密码', $forced || $done ? 'message-page' : '');
?>
<?php if ($done): ?>
<div class="message-box ok">
  <h1>密码修改成功</h1>
  <p>以后请使用新密码登录。</p>
  <p class="actions"><a class="btn" href="<?= h(velmora_url('/index.php')) ?>" target="_top" id="enter">进入系统</a></p>
</div>
<?php else: ?>
<div class="<?= $forced ? 'message-box left' : 'page' ?>">
  <h2>修改密码</h2>
  <?php if ($forced): ?><div class="alert info">您正在使用初始密码登录，请先设置新密码。</div><?php endif; ?>
  <?php foreach ($errors as $e): ?><div class="alert error"><?= h($e) ?></div><?php endforeach; ?>
  <form method="post" action="<?= h(velmora_url('/changePassword.php')) ?>" class="<?= $forced ? '' : 'panel' ?>" autocomplete="off">
    <table class="form-table"><tbody>
      <tr><th>用户名</th><td><?= h($_SESSION['velmora_admin_name'] ?? '') ?></td></tr>
      <tr><th><label for="oldPassword">原密码</label></th><td><input type="password" id="oldPassword" name="oldPassword" autocomplete="current-password" required></td></tr>
      <tr><th><label for="newPassword">新密码</label></th><td><input type="password" id="newPassword" name="newPassword" autocomplete="new-password" minlength="8" maxlength="72" required><div class="hint">至少 8 个字符，不能与用户名相同，也不能是常见的密码</div></td></tr>
      <tr><th><label for="confirmPassword">确认新密码</label></th><td><input type="password" id="confirmPassword" name="confirmPassword" autocomplete="new-password" maxlength="72" required></td></tr>
    </tbody></table>
    <div class="form-actions">
      <button type="submit">保存</button>
    </div>
  </form>
  <?php if ($forced): ?><form class="logout" method="post" action="<?= h(velmora_url('/logout.php')) ?>" target="_top"><button type="submit" class="plain">退出登录</button></form><?php endif; ?>
</div>
<?php endif; ?>
<?php page_end();
