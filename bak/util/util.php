<?php
/*
 * 管理页面常用的小函数。
 *
 * 管理页面由控制器在 action=query 时包含，这时请求值已被转义（见 guard.php），
 * 适合直接交给业务层类；要在页面上显示用户输入的内容时，请用 req_raw() 取原始值，
 * 并且所有输出都经过 h() 转义。
 */
require_once __DIR__ . '/guard.php';
require_once __DIR__ . '/history.php';
require_once __DIR__ . '/reference_field.php';
require_once __DIR__ . '/children.php';

if (!function_exists('h')) {
    /* HTML 转义 */
    function h($value): string
    {
        return htmlspecialchars((string)$value, ENT_QUOTES | ENT_SUBSTITUTE, 'UTF-8');
    }
}

/* 请求参数的原始值（转义前），依次在 POST、GET 中查找。 */
function req_raw(string $name, $default = '')
{
    $raw = $GLOBALS['VELMORA_RAW'] ?? ['get' => $_GET, 'post' => $_POST];
    if (array_key_exists($name, $raw['post'])) {
        return $raw['post'][$name];
    }
    if (array_key_exists($name, $raw['get'])) {
        return $raw['get'][$name];
    }
    return $default;
}

/* 请求参数的原始值，只接受字符串。 */
function req_raw_string(string $name, string $default = ''): string
{
    $v = req_raw($name, $default);
    return is_scalar($v) ? (string)$v : $default;
}

/*
 * 由 QueryAll{Class}() 的结果生成下拉框选项：每条记录第一列为值，第二列为显示文字。
 * $selected 为当前选中的值；$empty 不为 null 时在最前面加一个值为空的选项。
 */
function select_options($rows, $selected = '', ?string $empty = null): string
{
    $html = '';
    if ($empty !== null) {
        $html .= '<option value="">' . h($empty) . '</option>';
    }
    $rows = is_iterable($rows) ? $rows : (array)$rows;
    $seen = [];
    foreach ($rows as $row) {
        $cols = array_values((array)$row);
        if (isset($cols[1])) {
            $seen[(string)$cols[1]] = ($seen[(string)$cols[1]] ?? 0) + 1;
        }
    }
    foreach ($rows as $row) {
        $cols = array_values((array)$row);
        if (!$cols) {
            continue;
        }
        $value = (string)$cols[0];
        $text = isset($cols[1]) ? distinct_text((string)$cols[1], $value, $seen) : $value;
        $sel = ((string)$selected !== '' && $value === (string)$selected) ? ' selected' : '';
        $html .= '<option value="' . h($value) . '"' . $sel . '>' . h($text) . '</option>';
    }
    return $html;
}

/* 显示文字在候选中重复时（$seen 为 文字 => 次数）附上主键，选项才分得清。 */
function distinct_text(string $text, string $key, array $seen): string
{
    return ($seen[$text] ?? 0) > 1 && $text !== $key ? $text . '（' . $key . '）' : $text;
}

/* 在 QueryAll{Class}() 的结果中按值查找显示文字，找不到时返回值本身。 */
function lookup_display($rows, $value): string
{
    if ($rows instanceof LookupRows) {
        return $rows->display($value) ?? (string)$value;
    }
    // 导出时每行都要查：同一个数组只建一次 值 => 文字 的索引（=== 对同一个数组是常数时间）。
    static $indexes = [];
    $index = null;
    foreach ($indexes as [$seen, $known]) {
        if ($seen === $rows) {
            $index = $known;
            break;
        }
    }
    if ($index === null) {
        $index = [];
        foreach ((array)$rows as $row) {
            $cols = array_values((array)$row);
            if ($cols && !array_key_exists((string)$cols[0], $index)) {
                $index[(string)$cols[0]] = isset($cols[1]) ? (string)$cols[1] : (string)$cols[0];
            }
        }
        $indexes = array_slice(array_merge([[$rows, $index]], $indexes), 0, 8);
    }
    if (array_key_exists((string)$value, $index)) {
        return $index[(string)$value];
    }
    return (string)$value;
}

/* 日期格式化：接受 YYYY-MM-DD 或日期时间文本，空值和无效日期返回空字符串。 */
function format_date($value, string $format = 'Y-m-d'): string
{
    $value = trim((string)$value);
    if ($value === '' || strncmp($value, '0000-00-00', 10) === 0) {
        return '';
    }
    $ts = strtotime($value);
    return $ts === false ? '' : date($format, $ts);
}

/* 是否型的显示：1 为“是”，0 为“否”，空值（NULL）为空字符串。 */
function format_yes_no($value): string
{
    if ($value === null || $value === '') {
        return '';
    }
    return (string)$value === '0' ? '否' : '是';
}

/*
 * 图片地址：空值，以及不是本站路径的值（例如 javascript: 或其他网站的地址）时使用默认图片。
 * 上传的图片经 manage/file.php 取得，它按使用图片的记录检查权限（类为当前页面的类）。
 */
function picture_url($path): string
{
    $path = trim((string)$path);
    if ($path === '' || $path[0] !== '/' || strncmp($path, '//', 2) === 0 || strpos($path, '\\') !== false) {
        return velmora_url('/upload/NoImage.jpg');
    }
    if (velmora_picture_file($path) !== null) {
        $class = velmora_controller_class();
        return velmora_url('/manage/file.php') . '?' . http_build_query(['f' => substr($path, strlen('/upload/'))]
            + ($class !== null ? ['c' => $class] : []), '', '&', PHP_QUERY_RFC3986);
    }
    return velmora_located($path, velmora_base());
}

/* CSV 中的一格：电子表格会把以 = + - @ 开头的文字当作公式，这类文字前加一个单引号（数字除外）。 */
function csv_cell($value): string
{
    $text = (string)$value;
    if ($text !== '' && strpos("=+-@\t\r", $text[0]) !== false && !is_numeric($text)) {
        return "'" . $text;
    }
    return $text;
}

/*
 * 把记录作为 CSV 文件发给浏览器并结束请求：UTF-8 带 BOM（电子表格才能正确显示中文），
 * 第一行为列标题，行尾为 CR LF。$name 用作文件名的开头。
 * $lines 可以是迭代器，给出 $line 时每一项先经它变为一行：行按批写出、随时发出的，
 * 导出很多记录时内存不随记录数增长，浏览器也马上开始收到文件。
 */
/* 导出时一次写出的行数：引用的显示文字按这一批的主键一次查出。 */
const VELMORA_CSV_BLOCK = 1000;

/*
 * 写出一批行：先让引用成批查出显示文字（见 LookupRows::collect），再把这批行一次发出。
 * $batched 在第一批后记下这些行是否用到 LookupRows；没用到时以后各批不必先过一遍。
 */
function csv_write_block($out, array $items, ?callable $line, ?bool &$batched = null): void
{
    if (!$items) {
        return;
    }
    if ($line !== null && $batched !== false && class_exists('LookupRows', false)) {
        $batched = LookupRows::collect(function () use ($items, $line) {
            foreach ($items as $item) {
                $line($item);
            }
        });
    }
    $buffer = fopen('php://memory', 'w+');
    foreach ($items as $item) {
        $cells = $line !== null ? $line($item) : $item;
        fputcsv($buffer, array_map('csv_cell', (array)$cells), ',', '"', '', "\r\n");
    }
    rewind($buffer);
    fwrite($out, (string)stream_get_contents($buffer));
    fclose($buffer);
    flush();
}

function csv_send(string $name, array $headings, iterable $lines, ?callable $line = null): void
{
    while (ob_get_level() > 0) {
        ob_end_clean();
    }
    $file = $name . '-' . date('Ymd-His') . '.csv';
    header('Content-Type: text/csv; charset=UTF-8');
    header('Content-Disposition: attachment; filename="export.csv"; filename*=UTF-8\'\'' . rawurlencode($file));
    header('Cache-Control: no-store');
    $out = fopen('php://output', 'w');
    fwrite($out, VELMORA_BOM);
    fputcsv($out, array_map('csv_cell', $headings), ',', '"', '', "\r\n");
    $block = [];
    $batched = null;
    foreach ($lines as $item) {
        $block[] = $item;
        if (count($block) >= VELMORA_CSV_BLOCK) {
            csv_write_block($out, $block, $line, $batched);
            $block = [];
        }
    }
    csv_write_block($out, $block, $line, $batched);
    fclose($out);
    exit();
}

/*
 * 管理页面的页头：标题、样式表与脚本。$bodyAttrs 为 body 上的其他属性，
 * 例如 ['data-reload-url' => $fenyePage->pageUrl($fenyePage->pageNow)]，
 * 浮动窗口中的表单保存成功后父页面按这个地址刷新。
 */
function page_begin(string $title, string $bodyClass = '', array $bodyAttrs = []): void
{
    $attrs = $bodyClass !== '' ? ' class="' . h($bodyClass) . '"' : '';
    foreach ($bodyAttrs as $name => $value) {
        if (preg_match('/^[a-z][a-z0-9-]*$/', (string)$name)) {
            $attrs .= ' ' . $name . '="' . h($value) . '"';
        }
    }
    echo '<!DOCTYPE html>' . "\n" . '<html lang="zh-CN"><head><meta charset="UTF-8">'
        . '<meta name="viewport" content="width=device-width, initial-scale=1">'
        . '<title>' . h($title) . '</title>'
        . '<link rel="icon" href="' . h(velmora_url('/images/favicon.svg')) . '" type="image/svg+xml">'
        . '<link rel="stylesheet" href="' . h(velmora_url('/css/style.css')) . '">'
        . '<link rel="stylesheet" href="' . h(velmora_url('/opennew/opennew.css')) . '">'
        . '<script src="' . h(velmora_url('/js/app.js')) . '"></script>'
        . '<script src="' . h(velmora_url('/js/lookup.js')) . '"></script>'
        . '<script src="' . h(velmora_url('/js/columns.js')) . '"></script>'
        . '<meta name="velmora-user" content="' . h((string)($_SESSION['velmora_admin_name'] ?? '')) . '">'
        . '<script src="' . h(velmora_url('/opennew/opennew.js')) . '"></script>'
        . '</head><body' . $attrs . '>' . "\n";
    if (defined('VELMORA_ADMIN_PAGE')) {
        echo admin_page_nav();
    }
}

/*
 * 管理员页面的菜单与退出：在框架页的内容区中打开时框架页已有，由样式表隐藏（html.in-frame），
 * 单独打开（书签、新标签页）时显示。
 */
function admin_page_nav(): string
{
    $links = ['/index.php' => '首页', '/manage/users.php' => '用户管理', '/manage/roles.php' => '角色管理',
        '/manage/changes.php' => '操作记录', '/manage/trash.php' => '回收站', '/manage/owners.php' => '记录的创建者'];
    $html = '<nav class="admin-nav" aria-label="管理菜单">';
    foreach ($links as $path => $label) {
        $html .= '<a href="' . h(velmora_url($path)) . '">' . h($label) . '</a>';
    }
    return $html . '<form class="logout" method="post" action="' . h(velmora_url('/logout.php')) . '" target="_top">'
        . '<button type="submit" class="link">退出</button></form></nav>' . "\n";
}

function page_end(): void
{
    echo "\n</body></html>\n";
}
