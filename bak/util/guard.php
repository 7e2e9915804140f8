<?php
/*
 * 请求守卫。
 *
 * 每个控制器都先加载自己的业务层类，业务层类再加载 database/SqlHelper.class.php，
 * 而 SqlHelper.class.php 第一件事就是加载本文件；框架自带的页面也在最前面加载它。
 * 因此在任何控制器代码运行之前，这里已经完成了：
 *
 *  1. 输出缓冲：去掉 UTF-8 文件开头的 BOM，保证之后仍可发送跳转和 Cookie；
 *  2. 会话与登录检查：除登录页外，未登录的请求一律转到 /login.php；
 *     使用默认密码首次登录的管理员必须先修改密码；
 *     之后按用户的角色检查权限（见 rights.php），没有权限的请求回答 403 并写入日志；
 *  3. 来源检查：修改数据的请求（POST，以及 action 为 add、update、del 的请求）
 *     只接受来自本站页面的提交（检查 Origin 或 Referer 头），拒绝时记入错误日志；
 *  4. 请求值转义：$_GET、$_POST、$_REQUEST、$_COOKIE 中的每个值（逐层递归）
 *     按 MySQL 字符串常量的规则转义一次。业务层类用拼接的方式构造 SQL，
 *     值放在单引号中，转义后引号和反斜杠会原样存入数据库，无法提前结束引号；
 *  5. 数值检查：业务层 SQL 中不加引号的值（整型、浮点型、引用整型主键的外键）
 *     必须是数字，否则拒绝请求；
 *  6. 查询参数整理：分页导航链接用地址栏带回查询条件，这里补回到 $_POST 中，
 *     页码只接受正整数。
 *
 * 此外：含空字符或不是 UTF-8 的提交一律拒绝；修改密码后同一账号的其他会话失效；
 * 请求中保存的上传图片在操作失败时删除，被新图片替换或随记录删除的旧图片在成功后删除。
 *
 * 框架自带的页面在加载本文件之前定义 VELMORA_OWN_PAGE，它们使用预处理语句和原始值，
 * 不做第 4 至 6 步。转义前的原始值保存在 $GLOBALS['VELMORA_RAW'] 中，
 * 管理页面显示用户输入时请用 util.php 中的 req_raw() 取原始值。
 */

if (defined('VELMORA_GUARD_LOADED')) {
    return;
}
define('VELMORA_GUARD_LOADED', true);

require_once __DIR__ . '/settings.php';
require_once __DIR__ . '/cluster.php';
require_once __DIR__ . '/base_path.php';
require_once __DIR__ . '/escaping.php';
require_once __DIR__ . '/log.php';
require_once __DIR__ . '/respond.php';
require_once __DIR__ . '/session.php';
require_once __DIR__ . '/origin.php';
require_once __DIR__ . '/service_profile.php';
require_once __DIR__ . '/service_sql.php';
require_once __DIR__ . '/parent_filter.php';
require_once __DIR__ . '/field_types.php';
require_once __DIR__ . '/validation.php';
require_once __DIR__ . '/unique_keys.php';
require_once __DIR__ . '/pictures.php';
require_once __DIR__ . '/team_schema.php';
require_once __DIR__ . '/session_store.php';
require_once __DIR__ . '/row_key.php';
require_once __DIR__ . '/rights.php';
require_once __DIR__ . '/cascade.php';
require_once __DIR__ . '/links.php';
require_once __DIR__ . '/request_guard.php';

// 命令行下（维护脚本、检查脚本）只加载上面的函数，没有要处理的请求。
if (PHP_SAPI !== 'cli') {
    velmora_prefix_redirects();
    velmora_guard_request();
}
