<?php
/*
 * 读取生成的代码：当前请求的控制器、业务层类中请求值的用法、实体类的注释、字段说明。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/*
 * 当前请求的控制器对应的类名：入口文件为 controller/{Class}Action.php 时返回 {Class}。
 */
function velmora_controller_class(): ?string
{
    $script = $_SERVER['SCRIPT_FILENAME'] ?? '';
    if ($script === '' || basename(dirname($script)) !== 'controller') {
        return null;
    }
    if (!preg_match('/^([A-Za-z_][A-Za-z0-9_]*)Action\.php$/', basename($script), $m)) {
        return null;
    }
    return $m[1];
}

/*
 * 从生成的业务层类中读出请求值在 SQL 中的用法：
 *  bare_top     不加引号使用、直接来自请求参数的变量（查询条件、按主键查询与删除的参数）
 *  bare_nested  不加引号使用、来自表单数组 {class}[...] 的成员
 *  search       分页查询的条件参数
 *  bare_search  其中不加引号的条件参数
 *  like_search  其中以 like '%...%' 做包含查询的参数
 */
function velmora_service_profile(string $class): ?array
{
    static $cache = [];
    if (array_key_exists($class, $cache)) {
        return $cache[$class];
    }
    $file = velmora_root() . '/service/' . $class . 'Service.class.php';
    $src = is_file($file) ? (string)file_get_contents($file) : '';
    if ($src === '') {
        return $cache[$class] = null;
    }
    $lc = velmora_lcfirst($class) . '_';
    $profile = ['bare_top' => [], 'bare_nested' => [], 'search' => [], 'bare_search' => [], 'like_search' => []];
    foreach (preg_split('/\r\n|\r|\n/', $src) as $line) {
        $searchVar = null;
        if (preg_match('/^\s*if\(\$([A-Za-z_]\w*) != ""\) \$condition = /', $line, $cm)) {
            $searchVar = $cm[1];
            $profile['search'][$searchVar] = true;
            if (strpos($line, "like '%$" . $searchVar . "%'") !== false) {
                $profile['like_search'][$searchVar] = true;
            }
        }
        if (!preg_match_all('/"((?:[^"\\\\]|\\\\.)*)"/', $line, $lits)) {
            continue;
        }
        foreach ($lits[1] as $lit) {
            $quoted = false;
            $len = strlen($lit);
            for ($i = 0; $i < $len; $i++) {
                if ($lit[$i] === "'") {
                    $quoted = !$quoted;
                } elseif ($lit[$i] === '$' && preg_match('/\G\$([A-Za-z_]\w*)/', $lit, $vm, 0, $i)) {
                    $i += strlen($vm[0]) - 1;
                    if ($quoted) {
                        continue;
                    }
                    $var = $vm[1];
                    $profile['bare_top'][$var] = true;
                    if (strncmp($var, $lc, strlen($lc)) === 0 && strlen($var) > strlen($lc)) {
                        $profile['bare_nested'][substr($var, strlen($lc))] = true;
                    }
                    if ($var === $searchVar) {
                        $profile['bare_search'][$var] = true;
                    }
                }
            }
        }
    }
    foreach ($profile as $k => $set) {
        $profile[$k] = array_keys($set);
    }
    return $cache[$class] = $profile;
}

/* 实体类中各成员的注释，用作提示信息里的字段名称。 */
function velmora_member_labels(string $class): array
{
    $file = velmora_root() . '/phpbean/' . $class . '.class.php';
    $src = is_file($file) ? (string)file_get_contents($file) : '';
    $labels = [];
    if (preg_match_all('#/\*(.*?)\*/\s*private \$([A-Za-z_]\w*);#u', $src, $m, PREG_SET_ORDER)) {
        foreach ($m as $row) {
            $labels[$row[2]] = trim($row[1]) !== '' ? trim($row[1]) : $row[2];
        }
    }
    return $labels;
}

/* 生成时写在管理页面旁边的字段说明：{Class}/{class}.fields.json。 */
function velmora_class_fields(string $class): ?array
{
    static $cache = [];
    if (!array_key_exists($class, $cache)) {
        $cache[$class] = velmora_read_fields(velmora_root() . '/' . $class . '/' . velmora_lcfirst($class) . '.fields.json');
    }
    return $cache[$class];
}

/* 类在模型中的位置（从 1 起，生成时写在字段说明中）；菜单与首页按它排列，没有时排在最后。 */
function velmora_class_order(string $class): int
{
    $order = velmora_class_fields($class)['order'] ?? null;
    return is_int($order) ? $order : PHP_INT_MAX;
}

/* 当前控制器的查询条件参数名（供分页导航保留查询条件）。 */
function velmora_search_fields(): ?array
{
    $class = velmora_controller_class();
    $profile = $class !== null ? velmora_service_profile($class) : null;
    return $profile !== null ? $profile['search'] : null;
}
