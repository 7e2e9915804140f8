<?php
/*
 * 数据库连接设置。部署时只需修改本文件。
 *
 * 说明：
 *  - host/port/user/password/database：MySQL（或 MariaDB）服务器的连接参数；
 *    socket 不为空时改用本机套接字连接，host 与 port 随之不用。
 *  - servers：数据库是集群（MariaDB Galera）时，其他节点的地址，按顺序列出，例如
 *    ['10.0.0.12', '10.0.0.13:3307']（不写端口时用 port）。上面的服务器连不上或没有就绪时依次改连它们。
 *  - charset：连接字符集，建议 utf8mb4。
 *  - table_prefix：建表时使用的表名前缀。留空（null）时从 phpbean 目录中
 *    实体类的注释里自动识别，识别不到时按 "t_"。建立在已有数据库上的项目中
 *    它只是程序自己的表（管理员、登录退避、角色与权限等）的前缀，数据表保持原名。
 *  - sql_mode：每次连接时设置的 SQL 模式。请保持严格模式（STRICT_TRANS_TABLES），
 *    并且不要包含 NO_BACKSLASH_ESCAPES，否则请求值的转义将不再可靠。
 *    设为空字符串表示沿用服务器的设置。
 *  - trusted_origins：除本站地址以外，还允许提交修改数据请求的来源，
 *    例如经反向代理访问时的外部地址 "https://example.com"。
 *  - trusted_proxies：转发请求的反向代理的地址（它连到本服务器时的 IP 地址），例如 ['127.0.0.1']。
 *    只有来自这些地址、带有 X-Forwarded-Proto: https 的请求才算作 HTTPS 请求，
 *    会话 Cookie 随之加上 Secure 标记。代理在 HTTPS 之后以 HTTP 转发时请填写。
 *  - session_idle：登录后无操作多少秒自动退出。
 *  - login_lock：同一账号连续登录失败 5 次（同一地址 20 次）后暂停登录的秒数，
 *    之后每次失败翻倍，最长 15 分钟。
 *  - app_title：页头显示的系统名称，留空时显示生成时的项目名称。
 *  - debug：为 true 时把 PHP 的错误直接显示在页面上（仅供开发时使用）。
 *
 * PHP 需开启输出缓冲（php.ini 中 output_buffering = 4096，Debian 与官方推荐配置的默认值）。
 */
return [
    'host'            => '127.0.0.1',
    'port'            => 3306,
    'socket'          => '',
    'user'            => 'root',
    'password'        => '',
    'servers'         => [],
    'database'        => 'velmora',
    'charset'         => 'utf8mb4',
    'table_prefix'    => null,
    'sql_mode'        => 'STRICT_TRANS_TABLES,NO_ZERO_IN_DATE,NO_ZERO_DATE,ERROR_FOR_DIVISION_BY_ZERO,NO_ENGINE_SUBSTITUTION',
    'trusted_origins' => [],
    'trusted_proxies' => [],
    'session_idle'    => 7200,
    'login_lock'      => 2,
    'app_title'       => '',
    'debug'           => false,
];
