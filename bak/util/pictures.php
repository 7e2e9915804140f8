<?php
/*
 * 上传图片的清理，使 upload/ 中只留下仍被记录使用的图片。
 *
 *  - 本次请求保存的图片（upFiles::upload() 登记）：请求以失败结束（转到 /error.php 或被拒绝）时删除，
 *    例如添加记录失败、第二张图片不合格；
 *  - 修改时被新图片替换的旧图片：请求成功（转到 /ok.php）后删除，表中仍有其他记录使用它时保留；
 *    删除的记录进入回收站，它的图片留着，彻底删除时才删除。
 * 只删除上传类起的名字（日期加随机十六进制）的文件，默认图片和其他文件从不删除。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/* 上传类保存的文件名 */
const VELMORA_PICTURE_NAME = '/^\d{8}[0-9a-f]{24}\.(jpg|png|gif|bmp|webp)$/';

/* 登记本次请求保存的图片（完整路径）。 */
function velmora_saved_picture(string $file): void
{
    // 完整路径：Apache 下请求结束时的清理函数不一定在原来的工作目录中运行。
    $GLOBALS['VELMORA_PICTURES']['saved'][] = realpath($file) ?: $file;
}

/*
 * 上传的图片保存为“文件名.php”，开头是结束执行的一行：Apache（有没有 .htaccess）和 php -S 都只会执行它，
 * 什么也不给出；图片只经 manage/file.php 按使用它的记录的权限取得。__halt_compiler() 之后的内容不会被解析。
 * 以前的版本保存的图片（没有 .php）照常使用，第一次经 manage/file.php 取得时改为这种保存方式。
 */
const VELMORA_PICTURE_GUARD = "<?php http_response_code(404); exit; __halt_compiler();";

/* 数据库中保存的图片地址（/upload/文件名）对应的文件；不是上传类保存的图片时返回 null。 */
function velmora_picture_file(string $value): ?string
{
    if (!preg_match('#^/upload/([^/\\\\]+)$#', trim($value), $m) || !preg_match(VELMORA_PICTURE_NAME, $m[1])) {
        return null;
    }
    $file = velmora_root() . '/upload/' . $m[1];
    return is_file($file) ? $file : $file . '.php';
}

/* 把图片的内容保存为受保护的文件 $file（文件名.php），先写临时文件再改名，不会留下写了一半的文件。 */
function velmora_store_picture(string $file, string $bytes): bool
{
    $temp = substr($file, 0, -4) . '.' . bin2hex(random_bytes(4)) . '.tmp.php';
    if (@file_put_contents($temp, VELMORA_PICTURE_GUARD . $bytes) === false || !@rename($temp, $file)) {
        @unlink($temp);
        return false;
    }
    @chmod($file, 0644);
    return true;
}

/* 图片文件的内容（去掉保护的开头）；读不到时返回 null。以前保存的图片顺便改为受保护的文件。 */
function velmora_picture_bytes(string $file): ?string
{
    $bytes = @file_get_contents($file);
    if (!is_string($bytes)) {
        return null;
    }
    if (substr($file, -4) === '.php') {
        return strncmp($bytes, VELMORA_PICTURE_GUARD, strlen(VELMORA_PICTURE_GUARD)) === 0
            ? substr($bytes, strlen(VELMORA_PICTURE_GUARD)) : null;
    }
    if (velmora_store_picture($file . '.php', $bytes)) {
        @unlink($file);
    }
    return $bytes;
}

/*
 * 当前用户能否看到使用图片 $value 的记录：类 $classes 中他能查看或修改、且不受“仅限本人”排除的记录。
 * 管理员都能看到（回收站中的记录也用它的图片）。
 */
function velmora_picture_visible(array $classes, string $value): bool
{
    if (velmora_is_admin()) {
        return true;
    }
    foreach ($classes as $class) {
        if (!velmora_may($class, 'view') && !velmora_may($class, 'edit')) {
            continue;
        }
        $source = velmora_list_source($class);
        $own = velmora_own_condition($class);
        $columns = [];
        foreach ((array)(velmora_class_fields($class)['fields'] ?? []) as $field) {
            $column = ($field['type'] ?? '') === 'picture' ? velmora_member_column($class, (string)($field['name'] ?? '')) : null;
            if ($column !== null) {
                $columns[] = $column . ' = ?';
            }
        }
        if ($source === null || $own === null || !$columns) {
            continue;
        }
        $rows = velmora_rows(velmora_guard_conn(), 'SELECT 1 FROM ' . $source['table'] . ' WHERE 1=1' . $own
            . ' AND (' . implode(' OR ', $columns) . ') LIMIT 1', array_fill(0, count($columns), $value));
        if ($rows === null) {
            velmora_fail('无法读取图片所属的记录，请稍后再试。');
        }
        if ($rows !== []) {
            return true;
        }
    }
    return false;
}

/*
 * 在控制器运行前记下修改或删除会替换掉的图片，并安排请求结束时的清理。
 * 只记下修改时选择了新文件的图片项；删除的记录进入回收站，它的图片留着以便恢复。
 */
function velmora_watch_pictures(string $class, string $action): void
{
    if (!in_array($action, ['add', 'update', 'del'], true)) {
        return;
    }
    $GLOBALS['VELMORA_PICTURES'] = ['saved' => [], 'old' => [], 'table' => '', 'class' => $class];
    register_shutdown_function('velmora_clean_pictures');
    $fields = velmora_class_fields($class);
    if ($fields === null || $action === 'add') {
        return;
    }
    // 表与列按数据库中的名称（可以不同于类名与成员名）。
    $info = velmora_class_table($class);
    $table = (string)($info['table'] ?? '');
    $key = (string)($fields['key'] ?? '');
    $columns = [];
    foreach ($fields['fields'] as $field) {
        $name = is_array($field) ? (string)($field['name'] ?? '') : '';
        if (($field['type'] ?? '') !== 'picture' || !preg_match('/^[A-Za-z_]\w*$/', $name)) {
            continue;
        }
        $chosen = is_string($_FILES[$name]['name'] ?? null) && $_FILES[$name]['name'] !== '';
        if ($chosen && velmora_is_sql_name((string)($field['column'] ?? $name))) {
            $columns[] = (string)($field['column'] ?? $name);
        }
    }
    $raw = $GLOBALS['VELMORA_RAW'] ?? ['get' => [], 'post' => []];
    $form = $raw['post'][velmora_lcfirst($class)] ?? [];
    $id = $action === 'del' ? ($raw['get'][$key] ?? null) : (is_array($form) ? ($form[$key] ?? null) : null);
    if (!$columns || !is_string($id) || $info === null || !preg_match('/^[A-Za-z_]\w*$/', $key)) {
        return;
    }
    $conn = velmora_connect();
    if ($conn === null) {
        return;
    }
    try {
        $list = implode(', ', array_map('velmora_sql_name', $columns));
        $stmt = $conn->prepare('SELECT ' . $list . ' FROM ' . velmora_sql_name($table) . ' WHERE ' . velmora_sql_name($info['keyColumn']) . ' = ?');
        if ($stmt !== false) {
            $stmt->bind_param('s', $id);
            $stmt->execute();
            $row = $stmt->get_result()->fetch_assoc();
            $stmt->close();
            foreach ((array)$row as $column => $value) {
                if (is_string($value) && velmora_picture_file($value) !== null) {
                    $GLOBALS['VELMORA_PICTURES']['old'][] = [$column, $value];
                }
            }
            $GLOBALS['VELMORA_PICTURES']['table'] = $table;
        }
    } catch (Throwable $e) {
        velmora_log('无法读取记录原来的图片：' . $e->getMessage());
    } finally {
        $conn->close();
    }
}

/* 请求的结果：'ok'（转到 /ok.php）、'failed'（转到 /error.php 或被拒绝）或 ''（无法判断）。 */
function velmora_request_outcome(): string
{
    foreach (headers_list() as $header) {
        if (preg_match('#^Location:\s*/ok\.php#i', $header)) {
            return 'ok';
        }
        if (preg_match('#^Location:\s*/error\.php#i', $header)) {
            return 'failed';
        }
    }
    $code = http_response_code();
    return is_int($code) && $code >= 400 && $code < 500 ? 'failed' : '';
}

/* 请求结束时的清理（见文件开头的说明）。 */
function velmora_clean_pictures(): void
{
    $state = $GLOBALS['VELMORA_PICTURES'] ?? null;
    if (!is_array($state)) {
        return;
    }
    $outcome = velmora_request_outcome();
    if ($outcome === 'failed') {
        foreach ($state['saved'] as $file) {
            if (is_file($file) && @unlink($file)) {
                velmora_log('操作没有完成，删除本次上传的图片 ' . basename($file));
            }
        }
        return;
    }
    if ($outcome !== 'ok' || !$state['old'] || $state['table'] === '') {
        return;
    }
    $conn = velmora_connect();
    if ($conn === null) {
        return;
    }
    try {
        foreach ($state['old'] as [$column, $value]) {
            $stmt = $conn->prepare('SELECT COUNT(*) FROM ' . velmora_sql_name($state['table']) . ' WHERE ' . velmora_sql_name($column) . ' = ?');
            if ($stmt === false) {
                continue;
            }
            $stmt->bind_param('s', $value);
            $stmt->execute();
            $used = (int)$stmt->get_result()->fetch_row()[0];
            $stmt->close();
            $file = velmora_picture_file($value);
            if ($used === 0 && $file !== null && is_file($file) && @unlink($file)) {
                velmora_log('图片 ' . basename($file) . ' 已不再使用，已删除');
            }
        }
    } catch (Throwable $e) {
        velmora_log('清理不再使用的图片时出错：' . $e->getMessage());
    } finally {
        $conn->close();
    }
}
