<?php
/* 登录页：唯一不需要登录即可访问的页面。 */
define('VELMORA_OWN_PAGE', true);
define('VELMORA_PUBLIC_PAGE', true);
require_once __DIR__ . '/database/SqlHelper.class.php';
require_once __DIR__ . '/util/util.php';

if (velmora_logged_in()) {
    velmora_redirect(empty($_SESSION['velmora_must_change']) ? '/index.php' : '/changePassword.php');
}

$message = '';
$username = '';
if (($_SERVER['REQUEST_METHOD'] ?? 'GET') === 'POST') {
    $username = trim(is_string($_POST['username'] ?? null) ? $_POST['username'] : '');
    $password = is_string($_POST['password'] ?? null) ? $_POST['password'] : '';
    if ($username === '' || $password === '') {
        $message = '请输入用户名和密码。';
    } else {
        $db = new SqlHelper();
        $table = velmora_admin_table();
        $rows = $db->query_prepared(
            'SELECT adminId, adminName, adminPassword, mustChangePassword FROM ' . $table . ' WHERE adminName = ?',
            [$username]
        );
        $admin = $rows[0] ?? null;
        if ($admin !== null && password_verify($password, (string)$admin['adminPassword'])) {
            session_regenerate_id(true);
            $_SESSION['velmora_admin_id'] = (int)$admin['adminId'];
            $_SESSION['velmora_admin_name'] = (string)$admin['adminName'];
            $_SESSION['velmora_must_change'] = (int)$admin['mustChangePassword'] === 1;
            $_SESSION['velmora_login_time'] = date('Y-m-d H:i:s');
            $_SESSION['velmora_seen'] = time();
            $update = 'UPDATE ' . $table . ' SET lastLoginTime = NOW()';
            $params = [];
            if (password_needs_rehash((string)$admin['adminPassword'], PASSWORD_DEFAULT)) {
                $update .= ', adminPassword = ?';
                $params[] = password_hash($password, PASSWORD_DEFAULT);
            }
            $params[] = (int)$admin['adminId'];
            $db->execute_prepared($update . ' WHERE adminId = ?', $params);
            $db->close_connect();
            velmora_redirect($_SESSION['velmora_must_change'] ? '/changePassword.php' : '/index.php');
        }
        $message = $db->error !== '' ? $db->error : '用户名或密码不正确。';
        $db->close_connect();
        velmora_log('登录失败：' . $username);
        usleep(400000);
    }
}
$title = velmora_app_title();
page_begin('登录 - ' . $title, 'login-body');
?>
<script>if (window.top !== window.self) { window.top.location.href = '/login.php'; }</script>
<form class="login-box" method="post" action="/login.php" autocomplete="off">
  <div class="brand">
    <img src="/images/logo.svg" alt="">
    <h1><?= h($title) ?></h1>
  </div>
  <?php if ($message !== ''): ?><div class="alert error"><?= h($message) ?></div><?php endif; ?>
  <label for="username">用户名</label>
  <input type="text" id="username" name="username" value="<?= h($username) ?>" maxlength="50" autofocus required>
  <label for="password">密码</label>
  <input type="password" id="password" name="password" maxlength="72" required>
  <button type="submit">登 录</button>
  <div class="foot"><a href="/about.html">关于本系统</a></div>
</form>
<?php page_end();
