<?php
/*
 * 记录很多的表的下拉框数据（多于 VELMORA_LOOKUP_LIST_MAX 条）。
 *
 * 控制器为每个引用的类取“全部记录”给下拉框；表很大时把它们都读出来、都写进页面既慢又没法用，
 * 这时 SqlHelper::execute_dql2 返回本类的对象，页面改用查找框（见 util/reference_field.php）。
 * 它仍可以像记录数组那样遍历、计数和按下标读取（这时才读出全部记录），
 * 按主键找显示文字只查所需的记录。
 */
require_once __DIR__ . '/../util/guard.php';

/* 下拉框最多列出的记录数，更多时改用查找框。 */
const VELMORA_LOOKUP_LIST_MAX = 200;

class LookupRows implements IteratorAggregate, Countable, ArrayAccess
{
    /* 记住的显示文字超过这么多条时清空重来，导出再多记录内存也不增长。 */
    private const KEPT_DISPLAYS = 20000;
    /* 成批查找时一条语句中的主键个数。 */
    private const BATCH_KEYS = 500;

    /** 成批查找期间（见 collect()）为 true：display() 只记下要找的主键 */
    private static $collecting = false;
    /** @var LookupRows[] 有待找主键的对象 */
    private static $waiting = [];

    /** 语句的各部分，见 velmora_lookup_shape() */
    public $shape;
    /** 读取全部记录的语句（已加上“只看本人记录”的条件） */
    private $sql;
    /** @var array|null 全部记录，读出之前为 null */
    private $all = null;
    /** 已知的显示文字：主键 => 文字，找不到的为 null */
    private $displays = [];
    /** 待成批查找的主键 */
    private $pending = [];
    /** @var SqlHelper|null */
    private $db = null;

    public function __construct(array $shape, string $sql)
    {
        $this->shape = $shape;
        $this->sql = $sql;
    }

    /*
     * 成批查找：$run 期间的 display() 只记下主键（返回 null），之后每个对象按主键一次查出
     * 所记下的全部显示文字。导出时先这样过一遍一批记录，再真正写出它们。
     * 返回 $run 是否用到了本类的对象。
     */
    public static function collect(callable $run): bool
    {
        self::$collecting = true;
        try {
            $run();
        } finally {
            self::$collecting = false;
        }
        $waiting = self::$waiting;
        self::$waiting = [];
        foreach ($waiting as $rows) {
            $rows->resolve();
        }
        return $waiting !== [];
    }

    /* 主键为 $value 的记录的显示文字；找不到时返回 null。 */
    public function display($value): ?string
    {
        $key = (string)$value;
        if (self::$collecting && $this->all === null) {
            $this->pending[$key] = true;
            self::$waiting[spl_object_id($this)] = $this;
            return null;
        }
        if (array_key_exists($key, $this->displays)) {
            return $this->displays[$key];
        }
        if ($this->all !== null) {
            return null;
        }
        $this->forget(1);
        $where = preg_match('/\swhere\s/i', $this->sql) ? ' and ' : ' where ';
        $rows = $this->db()->query_prepared($this->sql . $where . $this->shape['key'] . ' = ? limit 1', [$key]);
        $this->displays[$key] = $rows ? (string)$rows[0][$this->shape['displayName']] : null;
        return $this->displays[$key];
    }

    /* 一次查出记下的主键的显示文字（每 BATCH_KEYS 个一条语句）。 */
    private function resolve(): void
    {
        $keys = array_keys($this->pending);
        $this->pending = [];
        $this->forget(count($keys));
        $keys = array_values(array_filter($keys, function ($key) {
            return !array_key_exists((string)$key, $this->displays);
        }));
        $where = preg_match('/\swhere\s/i', $this->sql) ? ' and ' : ' where ';
        foreach (array_chunk($keys, self::BATCH_KEYS) as $chunk) {
            $chunk = array_map('strval', $chunk);
            $rows = $this->db()->query_prepared($this->sql . $where . $this->shape['key'] . ' in ('
                . implode(',', array_fill(0, count($chunk), '?')) . ')', $chunk);
            foreach ($chunk as $key) {
                $this->displays[$key] = null;
            }
            foreach ((array)$rows as $row) {
                $this->displays[(string)$row[$this->shape['keyName']]] = (string)$row[$this->shape['displayName']];
            }
        }
    }

    /* 再记住 $more 条就太多时先清空（全部记录已读出时不清）。 */
    private function forget(int $more): void
    {
        if ($this->all === null && count($this->displays) + $more > self::KEPT_DISPLAYS) {
            $this->displays = [];
        }
    }

    /* 全部记录（第一次用到时读出）。 */
    public function rows(): array
    {
        if ($this->all === null) {
            $this->all = $this->db()->query_prepared($this->sql) ?? [];
            foreach ($this->all as $row) {
                $this->displays[(string)$row[$this->shape['keyName']]] = (string)$row[$this->shape['displayName']];
            }
        }
        return $this->all;
    }

    public function getIterator(): Iterator
    {
        return new ArrayIterator($this->rows());
    }

    public function count(): int
    {
        return count($this->rows());
    }

    public function offsetExists($offset): bool
    {
        return isset($this->rows()[$offset]);
    }

    #[\ReturnTypeWillChange]
    public function offsetGet($offset)
    {
        return $this->rows()[$offset] ?? null;
    }

    public function offsetSet($offset, $value): void
    {
        $this->rows();
        if ($offset === null) {
            $this->all[] = $value;
        } else {
            $this->all[$offset] = $value;
        }
    }

    public function offsetUnset($offset): void
    {
        $this->rows();
        unset($this->all[$offset]);
    }

    private function db(): SqlHelper
    {
        if ($this->db === null) {
            $this->db = new SqlHelper();
        }
        return $this->db;
    }
}
