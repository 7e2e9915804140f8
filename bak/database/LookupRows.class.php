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
    /* 逐条查找显示文字的次数超过它时，改为一次读出全部记录（例如导出时）。 */
    private const SINGLE_LOOKUPS = 100;

    /** 语句的各部分，见 velmora_lookup_shape() */
    public $shape;
    /** 读取全部记录的语句（已加上“只看本人记录”的条件） */
    private $sql;
    /** @var array|null 全部记录，读出之前为 null */
    private $all = null;
    /** 已知的显示文字：主键 => 文字，找不到的为 null */
    private $displays = [];
    /** @var SqlHelper|null */
    private $db = null;

    public function __construct(array $shape, string $sql)
    {
        $this->shape = $shape;
        $this->sql = $sql;
    }

    /* 主键为 $value 的记录的显示文字；找不到时返回 null。 */
    public function display($value): ?string
    {
        $key = (string)$value;
        if ($this->all === null && !array_key_exists($key, $this->displays) && count($this->displays) >= self::SINGLE_LOOKUPS) {
            $this->rows();
        }
        if ($this->all !== null) {
            return $this->displays[$key] ?? null;
        }
        if (!array_key_exists($key, $this->displays)) {
            $where = preg_match('/\swhere\s/i', $this->sql) ? ' and ' : ' where ';
            $rows = $this->db()->query_prepared($this->sql . $where . $this->shape['key'] . ' = ? limit 1', [$key]);
            $this->displays[$key] = $rows ? (string)$rows[0][$this->shape['displayName']] : null;
        }
        return $this->displays[$key];
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
