<?php
/*
 * 分页对象。控制器设置 pageNow、pageSize、gotoUrl，
 * SqlHelper::execute_dql_fenye() 填入当前页的记录、记录总数、总页数，并生成导航条。
 *
 * 导航条的链接带上 action=query、pageNow 和当前的查询条件（取用户输入的原始值），
 * 所以翻页时查询条件保持不变。
 *
 * 排序与每页条数由请求参数 sort、order、pageSize 决定（控制器不用改动）：
 * SqlHelper::execute_dql_fenye() 只在 sort 是该表真实的列名时才按它排序，
 * 确认后的列名记在 $sortColumn 中；pageSize 只接受 $pageSizes 中的值。
 * 请求参数 export=csv 时取出全部符合条件的记录（用于导出）。
 *
 * 查询推迟到页面第一次读取结果时（见 defer()）：查看、添加、修改一条记录的页面也经过
 * 分页查询，但不读取列表，就不必统计整张表、取出第一页。
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
    /** 可以选择的每页条数 */
    public $pageSizes = [5, 10, 20, 50];
    /** 用户还没有选择每页条数时的条数 */
    public $defaultPageSize = 10;
    /** 当前排序的列（已确认是表中的列），空字符串表示不排序 */
    public $sortColumn = '';
    /** 是否倒序 */
    public $sortDesc = false;

    /** 推迟的查询；null 表示结果已经填好（或从未推迟） */
    private $loader = null;
    /** 推迟期间暂存的属性值 */
    private $held = [];
    private const RESULTS = ['pageNow', 'pageSize', 'rowCount', 'pageCount', 'res_array', 'navigate',
        'error', 'sortColumn', 'sortDesc'];

    /*
     * 推迟查询：结果属性暂时移开，第一次读取其中任何一个时才执行 $load（它填入结果）。
     */
    public function defer(callable $load): void
    {
        $this->loader = $load;
        foreach (self::RESULTS as $name) {
            $this->held[$name] = $this->$name;
            unset($this->$name);
        }
    }

    /* 执行推迟的查询（若有）。 */
    public function load(): void
    {
        $load = $this->loader;
        if ($load === null) {
            return;
        }
        $this->loader = null;
        foreach ($this->held as $name => $value) {
            $this->$name = $value;
        }
        $this->held = [];
        $load();
    }

    public function __get($name)
    {
        if ($this->loader !== null && in_array($name, self::RESULTS, true)) {
            $this->load();
            return $this->$name;
        }
        trigger_error('Undefined property: FenyePage::$' . $name, E_USER_NOTICE);
        return null;
    }

    public function __isset($name)
    {
        if ($this->loader !== null && in_array($name, self::RESULTS, true)) {
            $this->load();
            return isset($this->$name);
        }
        return false;
    }

    private function rawParam(string $name): string
    {
        $raw = $GLOBALS['VELMORA_RAW'] ?? ['get' => $_GET, 'post' => $_POST];
        $v = $raw['post'][$name] ?? ($raw['get'][$name] ?? '');
        return is_scalar($v) ? trim((string)$v) : '';
    }

    /* 请求中选择的每页条数；不在可选范围内时返回 null（沿用控制器设定的值）。 */
    public function requestedPageSize(): ?int
    {
        $v = $this->rawParam('pageSize');
        foreach ($this->pageSizes as $size) {
            if ($v === (string)$size) {
                return (int)$size;
            }
        }
        return null;
    }

    /*
     * 本次查询的每页条数：请求中选择的条数（记在会话中，同一列表在本次登录中沿用），
     * 否则会话中记下的条数，否则默认条数。
     */
    public function chosenPageSize(): int
    {
        $size = $this->requestedPageSize();
        if ($size !== null) {
            if (session_status() === PHP_SESSION_ACTIVE) {
                $_SESSION['velmora_page_size'][$this->gotoUrl] = $size;
            }
            return $size;
        }
        $kept = $_SESSION['velmora_page_size'][$this->gotoUrl] ?? null;
        return in_array($kept, $this->pageSizes, true) ? $kept : $this->defaultPageSize;
    }

    /* 请求中的排序列与方向；列名尚未确认，只能交给 SqlHelper 对照表结构检查。 */
    public function requestedSort(): ?array
    {
        $column = $this->rawParam('sort');
        if ($column === '' || strlen($column) > 64) {
            return null;
        }
        return ['column' => $column, 'desc' => strtolower($this->rawParam('order')) === 'desc'];
    }

    /* 是否在导出：需要全部记录而不是一页。 */
    public function exporting(): bool
    {
        return $this->rawParam('export') === 'csv';
    }

    /* 排序与每页条数的参数（只有确认过的值），翻页、查询和导出时都保留。 */
    public function viewParams(): array
    {
        $params = [];
        if ($this->sortColumn !== '') {
            $params['sort'] = $this->sortColumn;
            $params['order'] = $this->sortDesc ? 'desc' : 'asc';
        }
        $size = $this->requestedPageSize();
        if ($size !== null) {
            $params['pageSize'] = $size;
        }
        return $params;
    }

    private function url(array $query): string
    {
        return $this->gotoUrl . '?' . http_build_query($query, '', '&', PHP_QUERY_RFC3986);
    }

    /* 按某列排序的链接：第一次点击升序，再点击当前升序的列则降序；回到第一页。 */
    public function sortUrl(string $column): string
    {
        $desc = $this->sortColumn === $column && !$this->sortDesc;
        $query = array_merge(['action' => 'query'], $this->keptParams(), $this->viewParams(),
            ['sort' => $column, 'order' => $desc ? 'desc' : 'asc']);
        return $this->url($query);
    }

    /* 列标题：可点击排序，当前排序的列带箭头。 */
    public function sortLink(string $column, string $label): string
    {
        $mark = '';
        $class = 'sort';
        if ($this->sortColumn === $column) {
            $mark = $this->sortDesc ? ' ▼' : ' ▲';
            $class .= $this->sortDesc ? ' desc' : ' asc';
        }
        return '<a class="' . $class . '" data-sort="' . htmlspecialchars($column, ENT_QUOTES, 'UTF-8') . '" href="'
            . htmlspecialchars($this->sortUrl($column), ENT_QUOTES, 'UTF-8') . '">'
            . htmlspecialchars($label, ENT_QUOTES, 'UTF-8') . $mark . '</a>';
    }

    /* 查询表单中的隐藏项：重新查询时保持排序。 */
    public function sortFields(): string
    {
        $html = '';
        foreach ($this->viewParams() as $name => $value) {
            if ($name !== 'pageSize') {
                $html .= '<input type="hidden" name="' . $name . '" value="'
                    . htmlspecialchars((string)$value, ENT_QUOTES, 'UTF-8') . '">';
            }
        }
        return $html;
    }

    /* 每页条数下拉框的选项。 */
    public function pageSizeOptions(): string
    {
        $sizes = $this->pageSizes;
        if (!in_array((int)$this->pageSize, $sizes, true)) {
            $sizes[] = (int)$this->pageSize;
            sort($sizes);
        }
        $html = '';
        foreach ($sizes as $size) {
            $sel = $size === (int)$this->pageSize ? ' selected' : '';
            $html .= '<option value="' . $size . '"' . $sel . '>' . $size . '</option>';
        }
        return $html;
    }

    /* 导出当前查询结果（全部页）的地址。 */
    public function exportUrl(): string
    {
        $query = array_merge(['action' => 'query'], $this->keptParams(), $this->viewParams(), ['export' => 'csv']);
        unset($query['pageSize']);
        return $this->url($query);
    }

    /* 导航链接需要保留的查询条件：参数名 => 原始值（of 为成员 => 主键）。 */
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
            if (in_array($name, ['action', 'pageNow', 'sort', 'order', 'pageSize', 'export', 'view'], true)) {
                continue;
            }
            if (isset($all[$name]) && is_scalar($all[$name]) && (string)$all[$name] !== '') {
                $kept[$name] = (string)$all[$name];
            }
        }
        // 只列出引用某条记录的行时保留这个限定。
        $class = function_exists('velmora_controller_class') ? velmora_controller_class() : null;
        $of = $class !== null ? velmora_parent_filter($class) : [];
        if ($of) {
            $kept['of'] = $of;
        }
        return $kept;
    }

    public function pageUrl(int $page): string
    {
        $query = array_merge(['action' => 'query', 'pageNow' => $page], $this->keptParams(), $this->viewParams());
        return $this->url($query);
    }

    /* 管理员：把列表当前查询条件下的记录交给一个用户（manage/owners.php）；其他人没有这个链接。 */
    private function ownersLink(): string
    {
        $class = function_exists('velmora_controller_class') && PHP_SAPI !== 'cli' ? velmora_controller_class() : null;
        if ($class === null || (int)$this->rowCount === 0 || !velmora_is_admin() || !empty(velmora_class_fields($class)['readOnly'])) {
            return '';
        }
        $kept = $this->keptParams();
        $query = ['class' => $class, 'scope' => 'list', 'f' => array_diff_key($kept, ['of' => true])];
        if (isset($kept['of'])) {
            $query['of'] = $kept['of'];
        }
        $url = velmora_url('/manage/owners.php') . '?' . http_build_query($query, '', '&', PHP_QUERY_RFC3986);
        return ' <a class="owners-link" href="' . htmlspecialchars($url, ENT_QUOTES, 'UTF-8') . '">设置这些记录的创建者</a>';
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
        $html .= '</span>' . $this->ownersLink() . '</div>';
        $this->navigate = $html;
        return $html;
    }
}
