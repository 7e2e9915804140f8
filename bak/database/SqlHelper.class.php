<?php
/*
 * 数据访问类。每个业务层类都通过它执行 SQL。
 *
 * 加载本文件时先运行请求守卫（util/guard.php），见该文件的说明。
 * 数据库错误不会以 PHP 异常的形式抛出：失败的操作返回失败值，原因写入 PHP 错误日志，
 * 修改数据失败时还会把简短的中文原因交给 /error.php 显示。生成的页面分不清“查询失败”与
 * “没有记录”，所以它们的查询（execute_dql2）失败时直接转到 /error.php。
 */
require_once __DIR__ . '/../util/guard.php';
require_once __DIR__ . '/RowChange.class.php';
require_once __DIR__ . '/LookupRows.class.php';
require_once __DIR__ . '/SqlRetry.trait.php';

mysqli_report(MYSQLI_REPORT_OFF);

class SqlHelper
{
    // 事务与出错后的重来（死锁、集群的认证冲突、连接中断），见 SqlRetry.trait.php。
    use SqlRetry;

    /** @var mysqli|null */
    public $conn = null;
    /** 最近一次失败的原因（中文），成功时为空 */
    public $error = '';
    /** 最近一次失败的服务器错误号，不是服务器报告的失败时为 0 */
    public $errno = 0;
    /** 是否在 in_transaction 的事务中：事务中的语句出错时由事务整个重来，语句自己不重来 */
    private $inTransaction = false;
    /** 正在重来的失败的细节，放弃时写入日志 */
    private $pending = '';
    /** 本次事务的提交凭据 [查询, 参数]：能查到记录说明事务已经提交（见 commit_proof） */
    private $proof = null;

    public function __construct()
    {
        // 连接设置与字符集检查见 util/settings.php 中的 velmora_connect()。
        $conn = velmora_connect($reason, $detail);
        if ($conn === null) {
            $this->fail((string)$reason, (string)$detail, false);
            return;
        }
        $this->conn = $conn;
    }

    public function __destruct()
    {
        $this->close_connect();
    }

    /*
     * 执行 insert、update、delete。
     * 返回 0：失败（包括 update 没有找到要修改的记录）；
     *      1：有记录被改变；
     *      2：语句执行成功但没有改变任何记录（例如修改后的值与原值相同，或删除的记录不存在）。
     * 控制器的添加、修改、删除连同操作记录、创建者与回收站在一个事务中完成（见 RowChange）。
     */
    public function execute_dml($sql)
    {
        $change = $this->conn !== null ? RowChange::for_statement((string)$sql) : null;
        if ($change !== null) {
            return $change->run($this, function () use ($sql) {
                return $this->run_dml($sql);
            });
        }
        return $this->run_dml($sql);
    }

    private function run_dml($sql): int
    {
        if ($this->conn === null) {
            $this->remember_failure();
            return 0;
        }
        try {
            if (!$this->alone(function () use ($sql) {
                return $this->conn->query((string)$sql) !== false;
            }, (string)$sql)) {
                return 0;
            }
            $affected = $this->conn->affected_rows;
            if ($affected > 0) {
                return 1;
            }
            $verb = strtolower(strtok(ltrim((string)$sql), " \t\r\n("));
            if ($verb === 'update' && preg_match('/Rows matched:\s*0\b/', (string)$this->conn->info)) {
                $this->fail('没有找到要修改的记录，它可能已被删除。', 'update matched no row: ' . $this->short($sql));
                return 0;
            }
            if ($verb === 'delete') {
                $this->fail('没有找到要删除的记录，它可能已被删除。', 'delete matched no row: ' . $this->short($sql));
            }
            return 2;
        } catch (Throwable $e) {
            $this->fail('数据库操作失败。', $e->getMessage() . ' SQL: ' . $this->short($sql));
            return 0;
        }
    }

    /* 执行查询，返回 mysqli_result；失败时返回 false。用完请调用 free()。 */
    public function execute_dql($sql)
    {
        if ($this->conn === null) {
            return false;
        }
        try {
            $res = false;
            $this->alone(function () use ($sql, &$res) {
                $res = $this->conn->query((string)$sql);
                return $res !== false;
            }, (string)$sql, false);
            return $res;
        } catch (Throwable $e) {
            $this->fail('数据库查询失败。', $e->getMessage() . ' SQL: ' . $this->short($sql), false);
            return false;
        }
    }

    /*
     * 执行查询，返回全部记录，每条记录是以列名为键的数组；失败时返回空数组。
     * 请求生成的页面时，失败则转到 /error.php 显示原因，页面不会当作没有记录继续下去。
     * 只能看本人记录的用户，下拉框的数据也只包括这些记录（见 velmora_own_lookup）。
     * 下拉框的数据多于 VELMORA_LOOKUP_LIST_MAX 条时返回 LookupRows 对象，页面随之改用查找框。
     */
    public function execute_dql2($sql)
    {
        $shape = PHP_SAPI === 'cli' ? null : velmora_lookup_shape((string)$sql);
        $sql = velmora_own_lookup((string)$sql);
        $rows = $this->fetch_rows($shape === null ? $sql : $sql . ' limit ' . (VELMORA_LOOKUP_LIST_MAX + 1));
        if ($rows !== null && $shape !== null && count($rows) > VELMORA_LOOKUP_LIST_MAX) {
            return new LookupRows($shape, $sql);
        }
        if ($rows === null) {
            if (PHP_SAPI !== 'cli' && !defined('VELMORA_OWN_PAGE')) {
                velmora_fail($this->error !== '' ? $this->error : '数据库查询失败。');
            }
            return [];
        }
        return $rows;
    }

    /* 执行查询并取出全部记录；失败时返回 null。 */
    private function fetch_rows($sql): ?array
    {
        $res = $this->execute_dql($sql);
        if (!($res instanceof mysqli_result)) {
            if ($this->error === '') {
                $this->error = '数据库查询失败。';
            }
            return null;
        }
        $rows = $res->fetch_all(MYSQLI_ASSOC);
        $res->free();
        return $rows;
    }

    /*
     * 导出用：逐条取出记录的迭代器，失败时返回 null。查询不缓冲，在自己的连接上进行
     * （业务层在分页查询后就关闭它的连接），取完或放弃时关闭；内存不随记录数增长。
     */
    private function stream_rows(string $sql): ?Generator
    {
        $conn = velmora_connect($reason, $detail);
        if ($conn === null) {
            $this->fail((string)$reason, (string)$detail, false);
            return null;
        }
        try {
            $res = $conn->query($sql, MYSQLI_USE_RESULT);
        } catch (Throwable $e) {
            $res = false;
        }
        if (!($res instanceof mysqli_result)) {
            $this->fail('数据库查询失败。', $conn->errno . ' ' . $conn->error . ' SQL: ' . $this->short($sql), false);
            $conn->close();
            return null;
        }
        return (function () use ($conn, $res) {
            try {
                while (($row = $res->fetch_assoc()) !== null && $row !== false) {
                    yield $row;
                }
            } finally {
                $res->free();
                $conn->close();
            }
        })();
    }

    /*
     * 分页查询：$sql1 取当前页的记录，$sql2 统计符合条件的记录数。
     * 结果填入 $fenyePage（记录、记录总数、总页数、导航条）。
     * 页码超出最后一页时改为显示最后一页。
     * 请求选择的每页条数与排序列（见 FenyePage）在这里生效：排序列必须是该表真实的列，
     * 否则不排序，请求中的列名不会进入 SQL。导出时 res_array 是逐条取出全部记录的迭代器。
     * 分页对象能推迟查询时，查询在页面读取结果时才在新的连接上执行（业务层随后就关闭本连接）。
     */
    public function execute_dql_fenye($sql1, $sql2, $fenyePage)
    {
        if ($fenyePage instanceof FenyePage) {
            $fenyePage->defer(function () use ($sql1, $sql2, $fenyePage) {
                $helper = new SqlHelper();
                $helper->fill_page($sql1, $sql2, $fenyePage);
                $helper->close_connect();
            });
            return;
        }
        $this->fill_page($sql1, $sql2, $fenyePage);
    }

    private function fill_page($sql1, $sql2, $fenyePage): void
    {
        // 只能看本人创建的记录时，列表、记录数和导出都只包括这些记录。
        $class = PHP_SAPI === 'cli' ? null : velmora_controller_class();
        $own = $class !== null ? velmora_own_condition($class) : '';
        if ($own !== '') {
            $info = velmora_class_table($class);
            $where = '/(\bfrom\s+`?' . preg_quote((string)($info['table'] ?? ''), '/') . '`?\s+where\s+1=1)/i';
            $sql1 = $own !== null ? preg_replace($where, '$1' . str_replace('$', '\\$', $own), (string)$sql1, 1, $found1) : '';
            $sql2 = $own !== null ? preg_replace($where, '$1' . str_replace('$', '\\$', $own), (string)$sql2, 1, $found2) : '';
            if ($own === null || !$found1 || !$found2) {
                // 无法加上条件时宁可不显示任何记录。
                $sql1 = 'select 1 from dual where 0=1';
                $sql2 = 'select 0';
            }
        }
        // 只列出引用某条记录的行（详细信息中“查看全部”的链接）。
        $parent = $class !== null && $this->conn !== null ? velmora_parent_condition($class, $this->conn) : '';
        if ($parent !== '') {
            $add = function (array $m) use ($parent): string {
                return $m[0] . $parent;
            };
            $sql1 = preg_replace_callback('/\bwhere\s+1=1/i', $add, (string)$sql1, 1, $found1);
            $sql2 = preg_replace_callback('/\bwhere\s+1=1/i', $add, (string)$sql2, 1, $found2);
            if (!$found1 || !$found2) {
                $sql1 = 'select 1 from dual where 0=1';
                $sql2 = 'select 0';
            }
        }
        $pageSize = method_exists($fenyePage, 'chosenPageSize') ? $fenyePage->chosenPageSize() : max(1, (int)$fenyePage->pageSize);
        $exporting = method_exists($fenyePage, 'exporting') && $fenyePage->exporting();
        $pageNow = max(1, (int)$fenyePage->pageNow);
        $count = 0;
        $counted = $this->fetch_rows($sql2);
        if ($counted !== null) {
            $count = $counted ? (int)reset($counted[0]) : 0;
        } else {
            $fenyePage->error = $this->error;
        }
        $pageCount = (int)ceil($count / $pageSize);
        if ($pageCount > 0 && $pageNow > $pageCount) {
            $pageNow = $pageCount;
        }
        $limit = '/\s+limit\s+-?\d+\s*,\s*-?\d+\s*$/i';
        $order = $this->order_clause((string)$sql1, $fenyePage);
        if ($order !== '' || $exporting || preg_match($limit, (string)$sql1)) {
            $sql1 = preg_replace($limit, '', (string)$sql1) . $order
                . ($exporting ? '' : ' limit ' . (($pageNow - 1) * $pageSize) . ',' . $pageSize);
        }
        if ($exporting) {
            $rows = $count > 0 ? $this->stream_rows($sql1) : [];
        } else {
            $rows = $count > 0 ? $this->fetch_rows($sql1) : [];
        }
        if ($rows === null) {
            $rows = [];
            $fenyePage->error = $this->error;
        }
        $fenyePage->pageNow = $pageNow;
        $fenyePage->pageSize = $pageSize;
        $fenyePage->rowCount = $count;
        $fenyePage->pageCount = $pageCount;
        $fenyePage->res_array = $rows;
        if (method_exists($fenyePage, 'build')) {
            $fenyePage->build();
        }
    }

    /* 表的列名（按表中顺序）与主键列。查询失败时返回 null。 */
    public function table_columns(string $table): ?array
    {
        if (!velmora_is_sql_name($table)) {
            return ['columns' => [], 'key' => []];
        }
        $rows = $this->query_prepared('SELECT COLUMN_NAME, COLUMN_KEY FROM information_schema.COLUMNS'
            . ' WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = ? ORDER BY ORDINAL_POSITION', [$table]);
        if ($rows === null) {
            return null;
        }
        $columns = [];
        $key = [];
        foreach ($rows as $row) {
            $columns[] = (string)$row['COLUMN_NAME'];
            if ($row['COLUMN_KEY'] === 'PRI') {
                $key[] = (string)$row['COLUMN_NAME'];
            }
        }
        return ['columns' => $columns, 'key' => $key];
    }

    /*
     * 排序子句：请求的字段对应查询表中的列时按它排序（主键作为第二排序，保证翻页稳定）。
     * 字段说明给出列名与字段名不同的列。
     */
    private function order_clause(string $sql1, $fenyePage): string
    {
        $sort = method_exists($fenyePage, 'requestedSort') ? $fenyePage->requestedSort() : null;
        if ($sort === null || !preg_match('/^\s*select\s+.+?\s+from\s+(?:`((?:[^`]|``)+)`|([A-Za-z0-9_$]+))\s/is', $sql1, $m)) {
            return '';
        }
        $table = $this->table_columns(($m[1] ?? '') !== '' ? str_replace('``', '`', $m[1]) : $m[2]);
        if ($table === null) {
            $fenyePage->error = $this->error;
            return '';
        }
        $column = $sort['column'];
        $class = PHP_SAPI === 'cli' ? null : velmora_controller_class();
        foreach ((array)(($class !== null ? velmora_class_fields($class) : null)['fields'] ?? []) as $field) {
            if (is_array($field) && ($field['name'] ?? null) === $sort['column'] && is_string($field['column'] ?? null)) {
                $column = $field['column'];
            }
        }
        if (!in_array($column, $table['columns'], true)) {
            return '';
        }
        $fenyePage->sortColumn = $sort['column'];
        $fenyePage->sortDesc = (bool)$sort['desc'];
        $dir = $sort['desc'] ? ' desc' : ' asc';
        $quote = function (string $name): string {
            return '`' . str_replace('`', '``', $name) . '`';
        };
        $order = ' order by ' . $quote($column) . $dir;
        foreach ($table['key'] as $key) {
            if ($key !== $column) {
                $order .= ', ' . $quote($key) . $dir;
            }
        }
        return $order;
    }

    /*
     * 框架自带页面使用的预处理查询：参数按顺序绑定为字符串。返回全部记录；
     * 任何一步（准备、绑定、执行、取结果）失败时返回 null，原因在 error 与 errno 中，并写入日志。
     */
    public function query_prepared(string $sql, array $params = []): ?array
    {
        $stmt = $this->run_prepared($sql, $params);
        if ($stmt === null) {
            return null;
        }
        try {
            // 死锁等错误可能在取结果时才报告。
            $res = $stmt->get_result();
            if (!($res instanceof mysqli_result)) {
                $this->fail_statement($stmt, $sql);
                return null;
            }
            $rows = $res->fetch_all(MYSQLI_ASSOC);
            $res->free();
            $stmt->close();
            return $rows;
        } catch (Throwable $e) {
            $this->fail_thrown($e, $sql);
            return null;
        }
    }

    /* 预处理的修改语句，返回受影响的行数；失败时返回 -1。 */
    public function execute_prepared(string $sql, array $params = []): int
    {
        $stmt = $this->run_prepared($sql, $params);
        if ($stmt === null) {
            return -1;
        }
        $n = (int)$stmt->affected_rows;
        $stmt->close();
        return $n;
    }

    public function close_connect()
    {
        if ($this->conn !== null) {
            try {
                $this->conn->close();
            } catch (Throwable $e) {
                // 已经关闭
            }
            $this->conn = null;
        }
    }

    private function run_prepared(string $sql, array $params): ?mysqli_stmt
    {
        for ($attempt = 1; ; $attempt++) {
            $stmt = $this->run_prepared_once($sql, $params);
            $kind = $stmt === null && !$this->inTransaction ? velmora_retry_kind($this->errno) : null;
            if ($kind === null) {
                return $stmt;
            }
            // 不在事务中的语句本身就是一个完整的事务，可以重来（见 alone）。
            if ($attempt >= VELMORA_TX_ATTEMPTS || ($kind === 'reconnect' && !$this->reconnect())) {
                return $this->give_up($attempt, false);
            }
            velmora_retry_pause($attempt);
        }
    }

    private function run_prepared_once(string $sql, array $params): ?mysqli_stmt
    {
        if (!$this->start_call()) {
            return null;
        }
        $stmt = null;
        try {
            $stmt = $this->conn->prepare($sql);
            if ($stmt === false) {
                $this->fail_from_server($sql, false);
                return null;
            }
            if ($params) {
                $values = array_map(function ($v) {
                    return $v === null ? null : (string)$v;
                }, array_values($params));
                if (!$stmt->bind_param(str_repeat('s', count($values)), ...$values)) {
                    $this->fail_statement($stmt, $sql);
                    return null;
                }
            }
            if (!$stmt->execute()) {
                $this->fail_statement($stmt, $sql);
                return null;
            }
            return $stmt;
        } catch (Throwable $e) {
            if ($stmt instanceof mysqli_stmt) {
                try {
                    $stmt->close();
                } catch (Throwable $ignored) {
                    // 已经关闭
                }
            }
            $this->fail_thrown($e, $sql);
            return null;
        }
    }

    /* 事务控制语句（START TRANSACTION、COMMIT、ROLLBACK）；失败时返回 false。 */
    private function run_control(string $sql): bool
    {
        if (!$this->start_call()) {
            return false;
        }
        try {
            if ($this->conn->query($sql) === false) {
                $this->fail_from_server($sql, false);
                return false;
            }
            return true;
        } catch (Throwable $e) {
            $this->fail_thrown($e, $sql);
            return false;
        }
    }

    /* 每次预处理调用之前：清除上一次的失败；没有连接时记下原因并返回 false。 */
    private function start_call(): bool
    {
        if ($this->conn === null) {
            if ($this->error === '') {
                $this->fail('数据库没有连接。', 'no connection', false);
            }
            return false;
        }
        $this->error = '';
        $this->errno = 0;
        return true;
    }

    private function fail_statement(mysqli_stmt $stmt, string $sql): void
    {
        $this->errno = (int)$stmt->errno;
        $detail = $stmt->errno ? $stmt->errno . ' ' . $stmt->error : 'no result';
        try {
            $stmt->close();
        } catch (Throwable $ignored) {
            // 已经关闭
        }
        $this->fail('数据库操作失败。', $detail . ' SQL: ' . $this->short($sql), false);
    }

    private function fail_thrown(Throwable $e, string $sql): void
    {
        $this->errno = $e instanceof mysqli_sql_exception ? (int)$e->getCode() : 0;
        $this->fail('数据库操作失败。', $e->getMessage() . ' SQL: ' . $this->short($sql), false);
    }

    private function fail_from_server(string $sql, bool $forUser = true): void
    {
        $errno = (int)$this->conn->errno;
        $this->errno = $errno;
        $reasons = [
            1062 => '已经存在相同编号（或唯一值）的记录。',
            1451 => '这条记录正被其他数据引用，不能删除或修改它的编号。',
            1452 => '所选的关联数据不存在。',
            1406 => '输入的内容超出了允许的长度。',
            1048 => '有必填的项目没有填写。',
            1364 => '有必填的项目没有填写。',
            1366 => '输入的值格式不正确，或包含无法保存的字符。',
            1265 => '输入的值格式不正确。',
            1292 => '日期或数字的格式不正确。',
            1264 => '输入的数字超出了允许的范围。',
            1064 => '提交的数据不完整或格式不正确。',
            1146 => '数据表不存在，请先导入建表脚本。',
            1054 => '数据表的结构与程序不一致，请重新导入建表脚本。',
        ];
        $reason = $reasons[$errno] ?? '数据库操作失败。';
        if ($errno === 1062) {
            $reason = velmora_duplicate_reason((string)$this->conn->error) ?? $reason;
        }
        // 可以重来的失败由事务决定是否告诉用户（重来成功时用户不必知道）。
        $this->fail($reason,
            $errno . ' ' . $this->conn->error . ' SQL: ' . $this->short($sql), $forUser && velmora_retry_kind($errno) === null);
    }

    /*
     * 记录失败：原因写入错误日志；修改数据失败时把原因留给 /error.php。
     * 可以重来的失败（死锁、连接中断等）先不写日志，重来成功就不是错误；放弃时（$final）才写。
     */
    private function fail(string $reason, string $detail, bool $forUser = true, bool $final = false): void
    {
        $this->error = $reason;
        if (!$final && velmora_retry_kind($this->errno) !== null) {
            $this->pending = $detail;
            return;
        }
        error_log(velmora_log_text('[SqlHelper] ' . $detail));
        if ($forUser) {
            $this->remember_failure();
        }
    }

    private function remember_failure(): void
    {
        if ($this->error !== '' && session_status() === PHP_SESSION_ACTIVE) {
            velmora_remember_reason($this->error);
        }
    }

    private function short($sql): string
    {
        $sql = preg_replace('/\s+/', ' ', (string)$sql);
        return strlen($sql) > 500 ? substr($sql, 0, 500) . '...' : $sql;
    }
}
