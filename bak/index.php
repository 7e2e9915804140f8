<?php
/*
 * 系统框架页：顶部标题栏、左侧菜单、右侧内容区。
 * 菜单在运行时生成：controller 目录中当前用户可以查看的每个 {Class}Action.php 一项，按模型中类的顺序，
 * 名称取 phpbean/{Class}.class.php 头注释中的中文名称，链接到该类的查询。
 */
define('VELMORA_OWN_PAGE', true);
require_once __DIR__ . '/util/util.php';

$entities = velmora_entities();
$menu = [];
$controllers = glob(__DIR__ . '/controller/*Action.php') ?: [];
sort($controllers, SORT_STRING);
foreach ($controllers as $file) {
    if (!preg_match('/^([A-Za-z_][A-Za-z0-9_]*)Action\.php$/', basename($file), $m)) {
        continue;
    }
    $class = $m[1];
    if (!velmora_may($class, 'view')) {
        continue;
    }
    $menu[] = [
        'label' => $entities[$class]['friend'] ?? $class,
        'url' => velmora_url('/controller/' . rawurlencode($class) . 'Action.php?action=query'),
        'class' => $class,
    ];
}
usort($menu, function (array $a, array $b): int {
    return [velmora_class_order($a['class']), $a['class']] <=> [velmora_class_order($b['class']), $b['class']];
});
$title = velmora_app_title();
page_begin($title, 'frame-body');
?>
<header class="topbar">
  <img class="logo" src="<?= h(velmora_url('/images/logo.svg')) ?>" alt="">
  <span class="title"><?= h($title) ?></span>
  <button type="button" class="menu-toggle" id="menu-toggle" aria-controls="menu" aria-expanded="false">菜单</button>
  <div class="user">
    <span id="current-user">当前用户：<?= h($_SESSION['velmora_admin_name'] ?? '') ?></span>
    <a href="<?= h(velmora_url('/changePassword.php')) ?>" target="main">修改密码</a>
    <form class="logout" method="post" action="<?= h(velmora_url('/logout.php')) ?>" target="_top"><button type="submit" class="link" id="logout">退出</button></form>
  </div>
</header>
<div class="frame-main">
  <nav class="sidebar" id="menu">
    <h3>系统</h3>
    <a href="<?= h(velmora_url('/desk.php')) ?>" target="main" class="active">首页</a>
    <?php if (velmora_is_admin()): ?>
    <a href="<?= h(velmora_url('/manage/users.php')) ?>" target="main" id="menu-users">用户管理</a>
    <a href="<?= h(velmora_url('/manage/roles.php')) ?>" target="main" id="menu-roles">角色管理</a>
    <a href="<?= h(velmora_url('/manage/changes.php')) ?>" target="main" id="menu-changes">操作记录</a>
    <a href="<?= h(velmora_url('/manage/trash.php')) ?>" target="main" id="menu-trash">回收站</a>
    <a href="<?= h(velmora_url('/manage/owners.php')) ?>" target="main" id="menu-owners">记录的创建者</a>
    <?php endif; ?>
    <h3>数据管理</h3>
    <?php if (!$menu): ?><div class="empty">还没有生成任何模块</div><?php endif; ?>
    <?php foreach ($menu as $item): ?>
    <a href="<?= h($item['url']) ?>" target="main" data-class="<?= h($item['class']) ?>"><?= h($item['label']) ?>管理</a>
    <?php endforeach; ?>
    <h3>帮助</h3>
    <a href="<?= h(velmora_url('/about.html')) ?>" target="main">关于</a>
  </nav>
  <iframe class="content-frame" name="main" id="main" src="<?= h(velmora_url('/desk.php')) ?>" title="内容"></iframe>
</div>
<?php page_end();
