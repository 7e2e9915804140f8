<?php
/*
 * 应用所在的网址路径。
 *
 * 应用可以放在网站根目录，也可以放在子目录中（例如 /var/www/html/school/，用 /school/ 访问）。
 * 子目录从请求本身得出：执行的脚本相对应用根目录的路径，与网址中脚本路径的结尾相同，
 * 去掉这段结尾就是应用的网址前缀。页面中的链接、表单、样式表与跳转都用 velmora_url() 生成；
 * 生成的控制器跳转到 /ok.php、/error.php 这类根路径时，发送前在这里补上前缀。
 */

/* 应用的网址前缀：放在网站根目录时为空字符串，否则为 "/school" 这样的路径（不以 / 结尾）。 */
function velmora_base(): string
{
    static $base = null;
    if ($base !== null) {
        return $base;
    }
    $base = velmora_base_from(
        (string)($_SERVER['SCRIPT_NAME'] ?? ''),
        (string)($_SERVER['SCRIPT_FILENAME'] ?? ''),
        velmora_root()
    );
    return $base;
}

/* 由网址中的脚本路径、脚本文件与应用根目录得出前缀；对不上时按根目录处理。 */
function velmora_base_from(string $scriptName, string $scriptFile, string $root): string
{
    $file = $scriptFile !== '' ? realpath($scriptFile) : false;
    $root = realpath($root);
    if ($file === false || $root === false) {
        return '';
    }
    $file = str_replace('\\', '/', $file);
    $root = rtrim(str_replace('\\', '/', $root), '/');
    if (strncmp($file, $root . '/', strlen($root) + 1) !== 0) {
        return '';
    }
    $relative = substr($file, strlen($root));
    $scriptName = str_replace('\\', '/', $scriptName);
    if (substr($scriptName, -strlen($relative)) !== $relative) {
        return '';
    }
    $base = rtrim(substr($scriptName, 0, -strlen($relative)), '/');
    // 只接受普通的路径段：前缀会写进跳转头与页面。
    return preg_match('#^(/[^/\x00-\x20"\'<>\\\\?\#%]+)*$#', $base) ? $base : '';
}

/* 应用内的地址：$path 以 / 开头，相对应用根目录。 */
function velmora_url(string $path): string
{
    return velmora_base() . $path;
}

/* 以 / 开头、指向本站根路径的跳转地址补上应用的前缀（已带前缀或指向其他网站的不变）。 */
function velmora_located(string $location, string $base): string
{
    if ($base === '' || $location === '' || $location[0] !== '/' || strncmp($location, '//', 2) === 0) {
        return $location;
    }
    if ($location === $base || strncmp($location, $base . '/', strlen($base) + 1) === 0) {
        return $location;
    }
    return $base . $location;
}

/* 响应头发出之前检查跳转地址：生成的控制器写的是根路径。 */
function velmora_prefix_redirects(): void
{
    header_register_callback(function (): void {
        $base = velmora_base();
        foreach (headers_list() as $line) {
            if (stripos($line, 'Location:') === 0) {
                $location = trim(substr($line, 9));
                $fixed = velmora_located($location, $base);
                if ($fixed !== $location) {
                    header('Location: ' . $fixed, true);
                }
            }
        }
    });
}
