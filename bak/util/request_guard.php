<?php
/*
 * 请求守卫的主体：每个请求依次经过的步骤（见 guard.php 的说明）。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/*
 * 内容安全策略：只运行本站的脚本文件和样式表（页面中不写内联脚本、事件属性和 style 属性），
 * 图片另外允许 blob:（表单中预览所选的图片），只允许本站页面嵌入。
 */
const VELMORA_CSP = "Content-Security-Policy: default-src 'self'; script-src 'self'; style-src 'self';"
    . " img-src 'self' blob: data:; object-src 'none'; base-uri 'self'; form-action 'self'; frame-ancestors 'self'";

/* 把数值按字节数换算（php.ini 中 8M 之类的写法）。 */
function velmora_ini_bytes(string $v): int
{
    $v = trim($v);
    if ($v === '') {
        return 0;
    }
    $n = (int)$v;
    switch (strtolower(substr($v, -1))) {
        case 'g': $n *= 1024;
        // no break
        case 'm': $n *= 1024;
        // no break
        case 'k': $n *= 1024;
    }
    return $n;
}

/* 整理控制器请求：补回查询条件、检查数值、处理空的数值型查询条件。 */
function velmora_guard_controller(string $class, bool $beforeEscape): void
{
    $profile = velmora_service_profile($class);
    if ($profile === null) {
        return;
    }
    $action = $_REQUEST['action'] ?? '';
    $form = velmora_lcfirst($class);

    if ($beforeEscape) {
        // 分页链接用 GET 带回查询条件，而控制器从 $_POST 读取它们。
        if ($action === 'query') {
            foreach ($profile['search'] as $f) {
                if (!isset($_POST[$f]) && isset($_GET[$f]) && is_string($_GET[$f])) {
                    $_POST[$f] = $_GET[$f];
                }
            }
        }
        if (($action === 'add' || $action === 'update') && !is_array($_POST[$form] ?? null)) {
            velmora_fail('提交的表单数据不完整，请从页面上的表单提交。');
        }
        if ($action === 'add' || $action === 'update') {
            velmora_validate_form($class, $action);
        }
        return;
    }

    $labels = velmora_member_labels($class);
    $label = function (string $name) use ($labels): string {
        return $labels[$name] ?? $name;
    };
    // 检查不加引号进入 SQL 的值。空的数值型查询条件表示“不限”，下面单独处理。
    foreach ($profile['bare_top'] as $f) {
        foreach ([$_GET, $_POST, $_REQUEST] as $source) {
            if (!array_key_exists($f, $source)) {
                continue;
            }
            $v = $source[$f];
            if (in_array($f, $profile['bare_search'], true) && ($v === '' || $v === '0')) {
                continue;
            }
            if (!velmora_is_number($v)) {
                velmora_log('参数 ' . $f . ' 不是数字，已拒绝');
                velmora_fail('“' . $label($f) . '”必须是数字。');
            }
            // 整型成员带小数时数据库会悄悄四舍五入，按错误的值查找或删除。
            $member = strncmp($f, $form . '_', strlen($form) + 1) === 0 ? substr($f, strlen($form) + 1) : $f;
            if (velmora_bare_problem($class, $member, $v) !== null) {
                velmora_log('参数 ' . $f . ' 不是整数，已拒绝');
                velmora_fail('“' . $label($member) . '”必须是整数。');
            }
        }
    }
    if (isset($_POST[$form]) && is_array($_POST[$form])) {
        foreach ($profile['bare_nested'] as $f) {
            // 允许空的成员留空时保存为 NULL。
            if (velmora_empty_nullable($class, $f, $_POST[$form][$f] ?? null)) {
                continue;
            }
            if (array_key_exists($f, $_POST[$form]) && !velmora_is_number($_POST[$form][$f])) {
                velmora_log('表单项 ' . $form . '[' . $f . '] 不是数字，已拒绝');
                velmora_fail('“' . $label($f) . '”必须填写数字。');
            }
            if (array_key_exists($f, $_POST[$form]) && velmora_bare_problem($class, $f, $_POST[$form][$f]) !== null) {
                velmora_log('表单项 ' . $form . '[' . $f . '] 不是整数，已拒绝');
                velmora_fail('“' . $label($f) . '”必须填写整数。');
            }
        }
    }
    // 包含查询（like '%...%'）中，反斜杠、% 和 _ 有特殊含义；按原样查找用户输入的文字。
    if ($action === 'query') {
        $raw = $GLOBALS['VELMORA_RAW']['post'] ?? [];
        foreach ($profile['like_search'] as $f) {
            if (isset($raw[$f]) && is_string($raw[$f])) {
                $_POST[$f] = velmora_escape(strtr($raw[$f], ['\\' => '\\\\', '%' => '\\%', '_' => '\\_']));
            }
        }
    }
    // 数值型查询条件为空时，生成的代码会取默认值 0，而 PHP 8 中 0 != "" 成立，
    // 结果变成“字段=0”而查不到任何记录。这里把它换成字段名本身，条件成为“字段=字段”，
    // 对所有记录都成立，即“不限”。管理页面显示时请用 req_raw() 取原值。
    if ($action === 'query') {
        foreach ($profile['bare_search'] as $f) {
            $v = $_POST[$f] ?? '';
            if ($v === '' || $v === '0' || $v === null) {
                // 允许空的成员中有 NULL，“字段=字段”对它不成立：留空，生成的代码不加这个条件。
                if (velmora_nullable_member($class, $f)) {
                    $_POST[$f] = '';
                    $_REQUEST[$f] = '';
                    continue;
                }
                $_POST[$f] = $f;
                $_REQUEST[$f] = $f;
            }
        }
    }
}

/* 页码只接受正整数，其他值去掉（控制器随之使用第 1 页）。 */
function velmora_normalize_page_now(array &$params): void
{
    if (!array_key_exists('pageNow', $params)) {
        return;
    }
    $v = $params['pageNow'];
    if (is_string($v) && preg_match('/^\s*0*([1-9]\d{0,8})\s*$/', $v, $m)) {
        $params['pageNow'] = $m[1];
    } else {
        unset($params['pageNow']);
    }
}

/* 输出缓冲的回调：去掉所有 UTF-8 BOM（生成的文件都以 BOM 开头，包含几个文件就会输出几个）。 */
function velmora_strip_bom(string $buffer): string
{
    return str_replace(VELMORA_BOM, '', $buffer);
}

function velmora_guard_request(): void
{
    $config = velmora_config();
    ini_set('display_errors', $config['debug'] ? '1' : '0');
    ini_set('log_errors', '1');

    // 1. 输出缓冲。之前已经输出的只是各文件开头的 BOM。
    $pending = '';
    if (ob_get_level() > 0) {
        $pending = (string)ob_get_contents();
        ob_clean();
    }
    ob_start('velmora_strip_bom');
    if ($pending !== '') {
        echo velmora_strip_bom($pending);
    }
    if (!headers_sent()) {
        header('Content-Type: text/html; charset=UTF-8');
        header('X-Frame-Options: SAMEORIGIN');
        header('X-Content-Type-Options: nosniff');
        header('Referrer-Policy: same-origin');
        header('Cache-Control: no-store');
        header(VELMORA_CSP);
        header_remove('X-Powered-By');
    }

    // 2. 会话与登录。
    velmora_session_start();
    $idle = (int)$config['session_idle'];
    if (velmora_logged_in() && $idle > 0 && isset($_SESSION['velmora_seen'])
        && time() - (int)$_SESSION['velmora_seen'] > $idle) {
        $_SESSION = [];
        session_regenerate_id(true);
    }
    if (velmora_logged_in()) {
        $_SESSION['velmora_seen'] = time();
        // 修改密码后，同一账号在其他地方的会话到此结束。
        if (!velmora_session_current()) {
            velmora_log('账号 ' . ($_SESSION['velmora_admin_name'] ?? '') . ' 的密码已修改或账号已删除，本会话结束');
            $_SESSION = [];
            session_regenerate_id(true);
        }
    }
    $method = strtoupper($_SERVER['REQUEST_METHOD'] ?? 'GET');
    if (!defined('VELMORA_PUBLIC_PAGE') && !velmora_logged_in()) {
        if ($method !== 'GET' && $method !== 'HEAD') {
            velmora_log('未登录的修改请求，已拒绝');
        }
        velmora_redirect('/login.php');
    }
    if (!defined('VELMORA_PUBLIC_PAGE') && !defined('VELMORA_PASSWORD_PAGE')
        && !empty($_SESSION['velmora_must_change'])) {
        velmora_redirect('/changePassword.php');
    }
    if (!defined('VELMORA_PUBLIC_PAGE') && !defined('VELMORA_PASSWORD_PAGE')) {
        velmora_guard_rights();
    }

    // 3. 修改数据的请求只接受本站页面提交的。
    $action = $_REQUEST['action'] ?? '';
    $changing = !in_array($method, ['GET', 'HEAD', 'OPTIONS'], true)
        || in_array($action, ['add', 'update', 'del'], true);
    if ($changing) {
        $problem = velmora_origin_problem();
        if ($problem !== null) {
            velmora_log('拒绝非本站提交的请求：' . $problem);
            velmora_refuse(403, '只接受从本系统页面提交的操作，本次请求已被拒绝。');
        }
        // 链接（GET）不能修改数据：添加、修改、删除都必须以表单 POST 提交。
        if ($method !== 'POST' && velmora_controller_class() !== null) {
            velmora_log('以 ' . $method . ' 方式请求修改数据，已拒绝');
            velmora_refuse(405, '修改数据只接受从页面表单提交的请求，本次请求已被拒绝。');
        }
    }

    // 删除之前：随之删除或修改的记录要经用户确认，不能删除的（RESTRICT、权限）在删除前拒绝。
    $deleting = velmora_controller_class();
    if ($deleting !== null && $method === 'POST' && ($_REQUEST['action'] ?? '') === 'del') {
        velmora_guard_delete($deleting);
    }

    // 超过 post_max_size 的提交，PHP 会丢弃全部表单数据。
    if ($method === 'POST' && empty($_POST) && empty($_FILES)) {
        $length = (int)($_SERVER['CONTENT_LENGTH'] ?? 0);
        $max = velmora_ini_bytes((string)ini_get('post_max_size'));
        if ($max > 0 && $length > $max) {
            velmora_log('提交内容过大：' . $length . ' 字节');
            velmora_fail('提交的内容超过了服务器允许的大小。');
        }
    }

    velmora_refuse_bad_bytes();

    if (defined('VELMORA_OWN_PAGE')) {
        $GLOBALS['VELMORA_RAW'] = ['get' => $_GET, 'post' => $_POST, 'cookie' => $_COOKIE];
        return;
    }

    // 4 至 6. 请求值的整理与转义。
    $class = velmora_controller_class();
    if ($class !== null) {
        velmora_guard_controller($class, true);
    }
    velmora_normalize_page_now($_GET);
    velmora_normalize_page_now($_POST);
    velmora_normalize_page_now($_REQUEST);
    $GLOBALS['VELMORA_RAW'] = ['get' => $_GET, 'post' => $_POST, 'cookie' => $_COOKIE];
    $conn = velmora_needs_escaping([$_GET, $_POST, $_COOKIE]) ? velmora_connect() : null;
    $_GET = velmora_escape($_GET, $conn);
    $_POST = velmora_escape($_POST, $conn);
    $_COOKIE = velmora_escape($_COOKIE, $conn);
    $_REQUEST = velmora_escape($_REQUEST, $conn);
    if ($conn !== null) {
        $conn->close();
    }
    if ($class !== null) {
        velmora_guard_controller($class, false);
        velmora_watch_pictures($class, is_string($_REQUEST['action'] ?? null) ? $_REQUEST['action'] : '');
    }
}
