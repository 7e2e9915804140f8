<?php
/*
 * 首页的数据概览：每个数据表的记录数，有日期成员的表再按月统计最近 12 个月的记录数，
 * 画成服务器端生成的 SVG 柱状图（不加载任何外部脚本），并附上同样内容的表格作为文字说明。
 */
require_once __DIR__ . '/util.php';

/* 包括本月在内的最近 12 个月，例如 ['2025-01', ..., '2025-12']。 */
function desk_months(?int $now = null): array
{
    $first = strtotime(date('Y-m-01', $now ?? time()));
    $months = [];
    for ($i = 11; $i >= 0; $i--) {
        $months[] = date('Y-m', strtotime("-$i month", $first));
    }
    return $months;
}

/* 类的第一个日期成员：['name' => 数据库中的列名, 'label' => 标签]，没有时返回 null。 */
function desk_date_member(string $class): ?array
{
    foreach ((array)(velmora_class_fields($class)['fields'] ?? []) as $field) {
        $name = (string)($field['name'] ?? '');
        $column = (string)($field['column'] ?? $name);
        if (($field['type'] ?? '') === 'date' && velmora_is_sql_name($column)) {
            return ['name' => $column, 'label' => (string)($field['label'] ?? $name)];
        }
    }
    return null;
}

/* 每月的记录数（月份 => 条数，12 个月都有），查询失败时返回 null。 */
function desk_monthly_counts(SqlHelper $db, string $table, string $column, array $months): ?array
{
    $from = $months[0] . '-01';
    $to = date('Y-m-d', strtotime('+1 month', strtotime(end($months) . '-01')));
    $rows = $db->query_prepared('SELECT DATE_FORMAT(' . velmora_sql_name($column) . ', \'%Y-%m\') AS m, COUNT(*) AS n FROM ' . velmora_sql_name($table)
        . ' WHERE ' . velmora_sql_name($column) . ' >= ? AND ' . velmora_sql_name($column) . ' < ? GROUP BY m', [$from, $to]);
    if ($rows === null) {
        return null;
    }
    $counts = array_fill_keys($months, 0);
    foreach ($rows as $row) {
        if (array_key_exists($row['m'], $counts)) {
            $counts[$row['m']] = (int)$row['n'];
        }
    }
    return $counts;
}

/* 柱状图：$id 用于图的标题与说明的 id，$caption 为图的名称。 */
function desk_bar_chart(string $id, string $caption, array $counts): string
{
    $width = 360;
    $height = 150;
    $top = 16;
    $bottom = 22;
    $slot = $width / max(1, count($counts));
    $max = max(1, max($counts ?: [0]));
    $total = array_sum($counts);
    $svg = '<svg class="chart" viewBox="0 0 ' . $width . ' ' . $height . '" role="img" aria-labelledby="' . h($id) . '-t ' . h($id) . '-d">'
        . '<title id="' . h($id) . '-t">' . h($caption) . '</title>'
        . '<desc id="' . h($id) . '-d">' . h('最近 12 个月共 ' . $total . ' 条，最多的一个月 ' . max($counts ?: [0]) . ' 条') . '</desc>';
    $i = 0;
    foreach ($counts as $month => $n) {
        $barHeight = (int)round(($height - $top - $bottom) * $n / $max);
        $x = (int)round($i * $slot + $slot * 0.15);
        $y = $height - $bottom - $barHeight;
        $svg .= '<g><title>' . h($month . '：' . $n . ' 条') . '</title>'
            . '<rect x="' . $x . '" y="' . $y . '" width="' . (int)round($slot * 0.7) . '" height="' . $barHeight . '"></rect>'
            . ($n > 0 ? '<text x="' . (int)round($x + $slot * 0.35) . '" y="' . ($y - 3) . '" text-anchor="middle">' . $n . '</text>' : '')
            . '<text class="month" x="' . (int)round($x + $slot * 0.35) . '" y="' . ($height - 6) . '" text-anchor="middle">' . (int)substr($month, 5) . '月</text></g>';
        $i++;
    }
    return $svg . '</svg>';
}

/* 与柱状图内容相同的表格（屏幕上不显示，读屏软件与复制时使用）。 */
function desk_chart_table(string $caption, array $counts): string
{
    $html = '<table class="visually-hidden chart-data"><caption>' . h($caption) . '</caption>'
        . '<thead><tr><th scope="col">月份</th><th scope="col">记录数</th></tr></thead><tbody>';
    foreach ($counts as $month => $n) {
        $html .= '<tr><td>' . h($month) . '</td><td>' . (int)$n . '</td></tr>';
    }
    return $html . '</tbody></table>';
}
