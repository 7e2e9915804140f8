<?php
/* 登录页：唯一不需要登录即可访问的页面。 */
define('VELMORA_OWN_PAGE', true);
define('VELMORA_PUBLIC_PAGE', true);
require_once __DIR__ . '/database/SqlHelper.class.php';
require_once __DIR__ . '/util/util.php';
require_once __DIR__ . '/util/account.php';

/* 用户名不存在时用来验证的散列（与默认的 password_hash 代价相同，对应的密码不存在）。 */
const VELMORA_DUMMY_HASH = '$2y$10$rwSmP/71USVQ1t3Ujkd2nuOZgizx.0D0WB09plIpemOLqT8u0pzPG';

/*
 * 检查用户名和密码（退避已允许这次尝试）。成功时登录并转到首页，不再返回；
 * 否则返回给用户看的原因。
 */
function velmora_try_login(SqlHelper $db, LoginThrottle $throttle, string $username, string $password): string
{
    $table = velmora_admin_table();
    $rows = $db->query_prepared('SELECT * FROM ' . $table . ' WHERE adminName = ?', [$username]);
    if ($rows === null) {
        $throttle->abandon();
        return velmora_db_failure($db);
    }
    $admin = $rows[0] ?? null;
    // 用户名不存在时也验证一次密码，两种情况花的时间相同，无法据此判断用户名是否存在。
    $hash = $admin !== null ? (string)$admin['adminPassword'] : VELMORA_DUMMY_HASH;
    if (!password_verify($password, $hash) || $admin === null) {
        if (!$throttle->failed()) {
            return velmora_db_failure($db);
        }
        velmora_log('登录失败：' . $username);
        usleep(400000);
        return '用户名或密码不正确。';
    }
    if (!$throttle->succeeded()) {
        return velmora_db_failure($db);
    }
    if (!empty($admin['disabled'])) {
        velmora_log('已停用的账号试图登录：' . $username);
        return '该账号已停用，请联系管理员。';
    }
    session_regenerate_id(true);
    $_SESSION['velmora_admin_id'] = (int)$admin['adminId'];
    $_SESSION['velmora_admin_name'] = (string)$admin['adminName'];
    $_SESSION['velmora_must_change'] = (int)$admin['mustChangePassword'] === 1;
    $_SESSION['velmora_session_version'] = (int)($admin['sessionVersion'] ?? 0);
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

/* 数据库操作失败时给用户看的原因（细节已由 SqlHelper 写入日志）。 */
function velmora_db_failure(SqlHelper $db): string
{
    return $db->error !== '' ? $db->error : '数据库操作失败。';
}

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
        $throttle = new LoginThrottle($db, $username, (string)($_SERVER['REMOTE_ADDR'] ?? ''));
        $wait = $db->conn !== null ? $throttle->begin() : LoginThrottle::FAILED;
        if ($wait === LoginThrottle::FAILED) {
            $message = velmora_db_failure($db);
        } elseif ($wait === LoginThrottle::BUSY) {
            $message = '同时进行的登录尝试太多，请稍后再试。';
            velmora_log('同时进行的登录尝试太多，拒绝尝试：' . $username);
        } elseif ($wait > 0) {
            $message = '登录失败的次数过多，请 ' . velmora_wait_text($wait) . '后再试。';
            velmora_log('登录暂停中，拒绝尝试：' . $username);
        } else {
            $message = velmora_try_login($db, $throttle, $username, $password);
        }
        $db->close_connect();
    }
}

$title = velmora_app_title();
page_begin('登录 - ' . $title, 'login-body');
?>
<form class="login-box" method="post" action="<?= h(velmora_url('/login.php')) ?>" autocomplete="off">
  <div class="brand">
    <img src="<?= h(velmora_url('/images/logo.svg')) ?>" alt="">
    <h1><?= h($title) ?></h1>
  </div>
  <?php if ($message !== ''): ?><div class="alert error"><?= h($message) ?></div><?php endif; ?>
  <label for="username">用户名</label>
  <input type="text" id="username" name="username" autocomplete="username" value="<?= h($username) ?>" maxlength="50" autofocus required>
  <label for="password">密码</label>
  <input type="password" id="password" name="password" autocomplete="current-password" maxlength="72" required>
  <button type="submit">登 录</button>
  <div class="foot"><a href="<?= h(velmora_url('/about.html')) ?>">关于本系统</a></div>
</form>
<?php page_end();
