<?php
/*
 * 分页对象。控制器设置 pageNow、pageSize、gotoUrl，
 * SqlHelper::execute_dql_fenye() 填入当前页的记录、记录总数、总页数，并生成导航条。
 *
 * 导航条的链接带上 action=query、pageNow 和当前的查询条件（取用户输入的原始值），
 * 所以翻页时查询条件保持不变。
 */
class FenyePage
{
    /** 当前页码，从 1 开始 */
    public $pageNow = 1;
    /** 每页记录数 */
    public $pageSize = 10;
    /** 导航链接指向的地址，例如 StudentAction.php */
    public $gotoUrl = '';
    /** 符合条件的记录总数 */
    public $rowCount = 0;
    /** 总页数 */
    public $pageCount = 0;
    /** 当前页的记录，每条是以列名为键的数组 */
    public $res_array = [];
    /** 导航条的 HTML */
    public $navigate = '';
    /** 查询出错时的原因 */
    public $error = '';
    /** 导航中显示的页码个数 */
    public $pageWindow = 10;

    /* 导航链接需要保留的查询条件：参数名 => 原始值。 */
    public function keptParams(): array
    {
        $raw = $GLOBALS['VELMORA_RAW'] ?? ['get' => $_GET, 'post' => $_POST];
        $all = array_merge((array)$raw['get'], (array)$raw['post']);
        $names = function_exists('velmora_search_fields') ? velmora_search_fields() : null;
        if ($names === null) {
            $names = array_keys($all);
        }
        $kept = [];
        foreach ($names as $name) {
            if ($name === 'action' || $name === 'pageNow') {
                continue;
            }
            if (isset($all[$name]) && is_scalar($all[$name]) && (string)$all[$name] !== '') {
                $kept[$name] = (string)$all[$name];
            }
        }
        return $kept;
    }

    public function pageUrl(int $page): string
    {
        $query = array_merge(['action' => 'query', 'pageNow' => $page], $this->keptParams());
        return $this->gotoUrl . '?' . http_build_query($query, '', '&', PHP_QUERY_RFC3986);
    }

    /* 生成导航条：首页 上一页 页码 下一页 末页，以及记录数与页数。 */
    public function build(): string
    {
        $now = max(1, (int)$this->pageNow);
        $count = max(0, (int)$this->pageCount);
        $link = function (int $page, string $text, string $class = '') {
            $url = htmlspecialchars($this->pageUrl($page), ENT_QUOTES, 'UTF-8');
            $cls = $class !== '' ? ' class="' . $class . '"' : '';
            return '<a href="' . $url . '"' . $cls . '>' . $text . '</a>';
        };
        $span = function (string $text, string $class) {
            return '<span class="' . $class . '">' . $text . '</span>';
        };
        $html = '<div class="pager">';
        if ($count > 1) {
            $html .= $now > 1 ? $link(1, '首页') . $link($now - 1, '上一页') : $span('首页', 'disabled') . $span('上一页', 'disabled');
            $window = max(1, (int)$this->pageWindow);
            $first = max(1, $now - intdiv($window, 2));
            $last = min($count, $first + $window - 1);
            $first = max(1, $last - $window + 1);
            for ($p = $first; $p <= $last; $p++) {
                $html .= $p === $now ? $span((string)$p, 'current') : $link($p, (string)$p);
            }
            $html .= $now < $count ? $link($now + 1, '下一页') . $link($count, '末页') : $span('下一页', 'disabled') . $span('末页', 'disabled');
        }
        $html .= '<span class="summary">共 ' . (int)$this->rowCount . ' 条记录';
        if ($count > 0) {
            $html .= '，第 ' . $now . '/' . $count . ' 页';
        }
        $html .= '</span></div>';
        $this->navigate = $html;
        return $html;
    }
}
