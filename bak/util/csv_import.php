<?php
/*
 * CSV 导入的检查（试导入）：读出导出格式的 CSV 文件（有没有 BOM 都可以），按列标题找到成员，
 * 把每一行整理成要添加或修改的记录，或者连同原因列为不能导入的行。
 *  - 列标题是导出文件的列标题（成员的标题），也接受成员名；不认识的列不导入；
 *  - 引用按所引用记录的显示文字查找（也接受主键），是/否写作“是”“否”；
 *  - 导出时为防止电子表格当作公式而加的单引号去掉；
 *  - 主键已有的行是修改，没有的是添加（由数据库编号的主键留空也是添加）；与表中的值相同的行不修改；
 *  - 检查与添加、修改表单相同（util/validation.php），并且按用户的权限：
 *    添加需要添加的权限，修改需要修改的权限，只能改本人创建的记录时只能修改这些。
 * 图片不随 CSV 导入：添加的记录使用默认图片，修改的记录保留原图片。
 */

class CsvImportPlan
{
    /** 一次最多导入的行数 */
    public const MAX_ROWS = 5000;

    public $class;
    /** 字段说明（util/settings.php 读出的 {class}.fields.json） */
    public $fields;
    /** 表（可以写进 SQL） */
    public $table;
    /** 成员 => 列（可以写进 SQL） */
    public $columns = [];
    /** 文件中的列标题 */
    public $headings = [];
    /** 列的位置 => 字段 */
    public $mapped = [];
    /** 不认识的列标题 */
    public $ignored = [];
    /**
     * 要添加、修改的记录：['line' => 行号, 'key' => 主键（由数据库编号时为空）, 'values' => 成员 => 值,
     * 'changes' => 修改的成员 => [原值, 新值]]
     */
    public $adds = [];
    public $updates = [];
    /** 与表中相同、不必修改的行数 */
    public $unchanged = 0;
    /** 不能导入的行：['line' => 行号, 'cells' => 原来的各格, 'reason' => 原因] */
    public $refused = [];
    /** 整个文件不能导入时的原因 */
    public $error = '';

    /** @var SqlHelper */
    private $db;
    private $keyName;
    private $integerKey;
    /** 引用的查找结果：成员 => [文字 => 主键或 null（没有）或 false（不止一条）] */
    private $references = [];

    public function __construct(string $class, SqlHelper $db)
    {
        $this->class = $class;
        $this->db = $db;
        $this->fields = velmora_class_fields($class);
        $source = velmora_list_source($class);
        $this->table = $source['table'] ?? null;
        $this->keyName = (string)($this->fields['key'] ?? '');
        $this->integerKey = !empty($this->fields['integerKey']);
        foreach ((array)($this->fields['fields'] ?? []) as $field) {
            // 图片、二进制与文件型的值不从文件导入（文件中只有文件名、十六进制或大小）。
            if (is_array($field) && is_string($field['name'] ?? null) && !in_array($field['type'] ?? '', ['picture', 'binary', 'blob'], true)) {
                $this->columns[$field['name']] = velmora_member_column($class, $field['name']);
            }
        }
    }

    /* 检查整个文件；结果在 adds、updates、refused、error 中。 */
    public function check(string $text): void
    {
        if ($this->fields === null || $this->table === null || $this->keyName === '' || in_array(null, $this->columns, true)) {
            $this->error = '这个类的字段说明或业务层类不完整，无法导入。';
            return;
        }
        // 导入按一个主键找已有的记录；几个成员共同作为主键的类不能这样找。
        if (count((array)($this->fields['keys'] ?? [])) > 1) {
            $this->error = '这个类由几个成员共同作为主键，暂不支持从文件导入。';
            return;
        }
        if (strncmp($text, VELMORA_BOM, 3) === 0) {
            $text = substr($text, 3);
        }
        if (!velmora_clean_text($text)) {
            $this->error = '文件不是 UTF-8 编码的文字。请在电子表格中另存为“CSV UTF-8”格式后再导入。';
            return;
        }
        $lines = self::csv_lines($text);
        $this->headings = array_map('trim', (array)array_shift($lines));
        $this->map_headings();
        if ($this->error !== '') {
            return;
        }
        if (count($lines) > self::MAX_ROWS) {
            $this->error = '文件中的记录超过 ' . self::MAX_ROWS . ' 行，请分成几个文件导入。';
            return;
        }
        $seen = [];
        foreach ($lines as $i => $cells) {
            if (count(array_filter($cells, function ($c) { return trim((string)$c) !== ''; })) === 0) {
                continue; // 空行
            }
            $line = $i + 2;
            $row = $this->row($cells);
            $reason = $row['reason'] ?? null;
            if ($reason === null && $row['key'] !== '' && isset($seen[$row['key']])) {
                $reason = '主键与第 ' . $seen[$row['key']] . ' 行相同。';
            }
            if ($reason !== null) {
                $this->refused[] = ['line' => $line, 'cells' => $cells, 'reason' => $reason];
                continue;
            }
            if ($row['key'] !== '') {
                $seen[$row['key']] = $line;
            }
            if (!empty($row['same'])) {
                $this->unchanged++;
                continue;
            }
            $planned = ['line' => $line, 'key' => $row['key'], 'values' => $row['values'], 'changes' => $row['changes'] ?? []];
            if ($row['update']) {
                $this->updates[] = $planned;
            } else {
                $this->adds[] = $planned;
            }
        }
    }

    /* CSV 文字的各行（每行是各格的数组）。 */
    private static function csv_lines(string $text): array
    {
        $in = fopen('php://temp', 'w+');
        fwrite($in, $text);
        rewind($in);
        $lines = [];
        while (($cells = fgetcsv($in, 0, ',', '"', '')) !== false) {
            $lines[] = $cells === [null] ? [] : $cells;
        }
        fclose($in);
        return $lines;
    }

    /* 按列标题（成员的标题或成员名）找到各列的成员。 */
    private function map_headings(): void
    {
        $byHeading = [];
        foreach ((array)$this->fields['fields'] as $field) {
            if (is_array($field) && isset($this->columns[$field['name'] ?? ''])) {
                $byHeading[(string)($field['label'] ?? '')] = $byHeading[(string)($field['label'] ?? '')] ?? $field;
                $byHeading[(string)$field['name']] = $byHeading[(string)$field['name']] ?? $field;
            }
        }
        $taken = [];
        foreach ($this->headings as $position => $heading) {
            $field = $byHeading[$heading] ?? null;
            if ($heading === '' || $field === null || isset($taken[$field['name']])) {
                $this->ignored[] = $heading;
                continue;
            }
            $taken[$field['name']] = true;
            $this->mapped[$position] = $field;
        }
        if (!isset($taken[$this->keyName]) && !$this->integerKey) {
            $this->error = '文件中没有主键一列（' . $this->label_of($this->keyName) . '），无法判断每行是添加还是修改。';
        } elseif (!$taken) {
            $this->error = '文件的第一行不是导出文件的列标题，没有可以导入的列。';
        }
    }

    /* 成员的标题。 */
    public function label_of(string $name): string
    {
        foreach ((array)$this->fields['fields'] as $field) {
            if (is_array($field) && ($field['name'] ?? null) === $name) {
                return (string)($field['label'] ?? $name);
            }
        }
        return $name;
    }

    /* 一行：['key', 'update', 'values']，或 ['reason']。 */
    private function row(array $cells): array
    {
        $given = [];
        $ambiguous = [];
        foreach ($this->mapped as $position => $field) {
            $converted = $this->stored_value($field, self::cell_text((string)($cells[$position] ?? '')));
            if (is_array($converted) && isset($converted['ambiguous'])) {
                $ambiguous[$field['name']] = [$field, $converted];
                continue;
            }
            if (is_array($converted)) {
                return $converted;
            }
            $given[$field['name']] = $converted;
        }
        $key = trim((string)($given[$this->keyName] ?? ''));
        $stored = $key === '' ? [] : $this->stored($key);
        // 显示文字相同的几条被引用的记录中，已经引用着其中一条时就是它（导出的文件导回时不会因此失败）。
        foreach ($ambiguous as $name => [$field, $converted]) {
            $current = is_array($stored) ? ($stored[self::column_name((string)$this->columns[$name])] ?? null) : null;
            if ($current === null || !$this->reference_matches($field, $converted['ambiguous'], (string)$current)) {
                return ['reason' => $converted['reason']];
            }
            $given[$name] = (string)$current;
        }
        $update = $stored === null ? null : $stored !== [];
        if ($update === null) {
            return ['reason' => $this->db->error !== '' ? $this->db->error : '数据库查询失败。'];
        }
        $right = $update ? 'edit' : 'add';
        if (!velmora_may($this->class, $right)) {
            return ['reason' => $update ? '你没有修改的权限。' : '你没有添加的权限。'];
        }
        if ($update && velmora_own_only($this->class) && !velmora_owns($this->class, $key)) {
            return ['reason' => '只能修改本人创建的记录。'];
        }
        $values = [];
        foreach ((array)$this->fields['fields'] as $field) {
            $name = (string)($field['name'] ?? '');
            if (!isset($this->columns[$name]) || ($update && !array_key_exists($name, $given))) {
                continue; // 修改时没有的列保持原值
            }
            $value = $given[$name] ?? null;
            if ($name === $this->keyName && $this->integerKey && !$update && $key === '') {
                continue; // 由数据库编号
            }
            // 引用的记录在上面已经找到，不必像表单那样再逐行向数据库确认。
            $found = ($field['type'] ?? '') === 'ref' && trim((string)$value) !== '';
            $problem = $found ? null : velmora_field_problem($field, $value, !$update, $this->integerKey && $key === '');
            if ($problem !== null) {
                return ['reason' => sprintf($problem, '“' . ($field['label'] ?? $name) . '”')];
            }
            $values[$name] = self::saved_value($field, $value);
        }
        $changes = $update ? $this->changes($values, $stored) : [];
        return ['key' => $key, 'update' => $update, 'values' => $values, 'same' => $update && !$changes, 'changes' => $changes];
    }

    /*
     * 与表中的记录不同的值：成员 => [原值, 新值]（数值按大小比较，导出的文件原样导入时不算修改）。
     */
    private function changes(array $values, array $stored): array
    {
        $changes = [];
        foreach ($values as $name => $value) {
            $have = $stored[self::column_name((string)$this->columns[$name])] ?? null;
            if ($value === null || $have === null) {
                if ($value !== $have) {
                    $changes[$name] = [$have, $value];
                }
                continue;
            }
            $a = (string)$value;
            $b = is_float($have) ? var_export($have, true) : (string)$have;
            if ($a !== $b && !(is_numeric($a) && is_numeric($b) && in_array($this->type_of($name), ['int', 'bigint', 'decimal', 'bool', 'float', 'integer', 'ref'], true)
                    && self::number_text($a) === self::number_text($b))) {
                $changes[$name] = [$have === null ? null : $b, $value];
            }
        }
        return $changes;
    }

    private function type_of(string $name): string
    {
        foreach ((array)$this->fields['fields'] as $field) {
            if (($field['name'] ?? null) === $name) {
                return (string)($field['type'] ?? '');
            }
        }
        return '';
    }

    /* 数值的规范写法：去掉正号、多余的前导 0 与小数末尾的 0。 */
    private static function number_text(string $n): string
    {
        if (stripos($n, 'e') !== false) {
            return var_export((float)$n, true);
        }
        $n = ltrim(trim($n), '+');
        $sign = $n !== '' && $n[0] === '-' ? '-' : '';
        $n = ltrim(ltrim($n, '-'), '0');
        if (strpos($n, '.') !== false) {
            $n = rtrim(rtrim($n, '0'), '.');
        }
        $n = $n === '' || $n[0] === '.' ? '0' . $n : $n;
        return $n === '0' ? '0' : $sign . $n;
    }

    /* 导出时加在公式样文字前的单引号去掉（与 csv_cell() 相反）。 */
    public static function cell_text(string $cell): string
    {
        if (strlen($cell) > 1 && $cell[0] === "'" && strpos("=+-@\t\r", $cell[1]) !== false && !is_numeric(substr($cell, 1))) {
            return substr($cell, 1);
        }
        return $cell;
    }

    /* 格中的文字按表单提交的写法：引用换成主键，是/否换成 1/0。不能换时返回 ['reason' => ...]。 */
    private function stored_value(array $field, string $text)
    {
        $type = (string)($field['type'] ?? '');
        $trimmed = trim($text);
        if ($type === 'bool') {
            $yesNo = ['是' => '1', '否' => '0'];
            return $yesNo[$trimmed] ?? $trimmed;
        }
        if ($type !== 'ref' || $trimmed === '') {
            return $text;
        }
        $key = $this->reference_key($field, $trimmed);
        if ($key === false) {
            return ['reason' => '“' . ($field['label'] ?? $field['name']) . '”为“' . $trimmed . '”的记录不止一条，无法确定是哪一条。', 'ambiguous' => $trimmed];
        }
        if ($key === null) {
            return ['reason' => '没有找到“' . ($field['label'] ?? $field['name']) . '”为“' . $trimmed . '”的记录。'];
        }
        return $key;
    }

    /* 按显示文字（找不到时按主键）查找所引用的记录：主键，没有时 null，不止一条时 false。 */
    private function reference_key(array $field, string $text)
    {
        $name = (string)$field['name'];
        if (array_key_exists($text, $this->references[$name] ?? [])) {
            return $this->references[$name][$text];
        }
        $target = (string)($field['refClass'] ?? '');
        $shape = velmora_lookup_source($target);
        $found = null;
        if ($shape !== null) {
            $select = 'select ' . $shape['key'] . ' as k from ' . $shape['table'] . ' where 1=1' . velmora_lookup_condition($target);
            $rows = $this->db->query_prepared($select . ' and ' . $shape['display'] . ' = ? limit 2', [$text]);
            if ($rows !== null && !$rows) {
                $rows = $this->db->query_prepared($select . ' and ' . $shape['key'] . ' = ? limit 1', [$text]);
            }
            $found = $rows === null || !$rows ? null : (count($rows) > 1 ? false : (string)$rows[0]['k']);
        }
        return $this->references[$name][$text] = $found;
    }

    /* 所引用的类中主键为 $key 的记录，显示文字是否为 $text。 */
    private function reference_matches(array $field, string $text, string $key): bool
    {
        $shape = velmora_lookup_source((string)($field['refClass'] ?? ''));
        $rows = $shape === null ? null : $this->db->query_prepared('select 1 as found from ' . $shape['table'] . ' where '
            . $shape['display'] . ' = ? and ' . $shape['key'] . ' = ? limit 1', [$text, $key]);
        return (bool)$rows;
    }

    /* 列名（去掉反引号）。 */
    private static function column_name(string $quoted): string
    {
        return $quoted !== '' && $quoted[0] === '`' ? str_replace('``', '`', substr($quoted, 1, -1)) : $quoted;
    }

    /* 主键为 $key 的记录（没有时为 []）；查询失败时返回 null。 */
    private function stored(string $key): ?array
    {
        $rows = $this->db->query_prepared('select * from ' . $this->table . ' where ' . $this->columns[$this->keyName] . ' = ? limit 1', [$key]);
        return $rows === null ? null : ($rows[0] ?? []);
    }

    /* 检查通过的值存入数据库时的写法；允许空的成员留空时为 NULL。 */
    private static function saved_value(array $field, $value): ?string
    {
        $text = trim((string)$value);
        if ($text === '') {
            if (!empty($field['nullable'])) {
                return null;
            }
            return ($field['type'] ?? '') === 'bool' ? '0' : (string)$value;
        }
        return velmora_field_value($field, (string)$value);
    }
}
