<?php
/*
 * 图片上传类。
 *
 *   $upload = new upFiles($_FILES['photo'], '../upload', 2048000, array('jpg', 'png'));
 *   $upload->upload();
 *   $pic = $upload->getSaveFileInfo();   // $pic['path'] 为传入的目录，$pic['savename'] 为保存的文件名
 *
 * upload() 依次检查：确实是通过 HTTP 上传的文件、大小不超过限制、扩展名（不区分大小写）
 * 在允许的列表中、文件内容确实是图片，并且内容的类型也在允许的列表中。
 * 文件以随机生成的名字保存，从不使用客户端提供的文件名。保存的文件登记在 util/pictures.php 中，
 * 本次请求以失败结束时删除。
 * 检查不通过时不保存任何文件，浏览器转到 /error.php 显示原因，本次请求到此结束，
 * 所以后面修改数据库的代码不会执行。
 */
require_once __DIR__ . '/guard.php';
require_once __DIR__ . '/pictures.php';

class upFiles
{
    public $file;
    public $upload_path;
    public $max_size;
    public $allow_type;
    /** 保存后的文件名 */
    public $savename = '';
    /** 检查不通过的原因 */
    public $error = '';
    /** 为 false 时检查不通过只返回 false，不跳转（供自己编写的页面使用） */
    public $redirectOnError = true;

    /* 图片类型与保存时使用的扩展名 */
    private static $types = [
        IMAGETYPE_JPEG => 'jpg',
        IMAGETYPE_PNG => 'png',
        IMAGETYPE_GIF => 'gif',
        IMAGETYPE_BMP => 'bmp',
        IMAGETYPE_WEBP => 'webp',
    ];

    public function __construct($file, $upload_path, $max_size, $allow_type)
    {
        $this->file = $file;
        $this->upload_path = $upload_path;
        $this->max_size = (int)$max_size;
        $this->allow_type = array_map(function ($t) {
            return strtolower(ltrim((string)$t, '.'));
        }, (array)$allow_type);
    }

    public function upload()
    {
        $tmp = $this->check();
        if ($tmp === null) {
            return $this->refuse();
        }
        $dir = rtrim((string)$this->upload_path, '/\\');
        if (!is_dir($dir) && !@mkdir($dir, 0755, true)) {
            $this->error = '上传目录不存在且无法创建。';
            return $this->refuse('mkdir ' . $dir);
        }
        $ext = $tmp['ext'];
        for ($i = 0; $i < 5; $i++) {
            $name = date('Ymd') . bin2hex(random_bytes(12)) . '.' . $ext;
            if (!file_exists($dir . '/' . $name) && !file_exists($dir . '/' . $name . '.php')) {
                break;
            }
        }
        // 应用自己的上传目录中的图片受保护地保存，只经 manage/file.php 按记录的权限取得（见 pictures.php）。
        $guarded = realpath($dir) === realpath(velmora_root() . '/upload');
        $file = $dir . '/' . $name . ($guarded ? '.php' : '');
        $bytes = $guarded ? @file_get_contents($this->file['tmp_name']) : null;
        $saved = $guarded ? is_string($bytes) && velmora_store_picture($file, $bytes)
            : @move_uploaded_file($this->file['tmp_name'], $file) && @chmod($file, 0644);
        if (!$saved) {
            $this->error = '保存上传的图片失败，请检查上传目录的写权限。';
            return $this->refuse('move_uploaded_file to ' . $dir);
        }
        // 之后添加或修改记录失败时，这张图片随之删除。
        velmora_saved_picture($file);
        $this->savename = $name;
        return true;
    }

    public function getSaveFileInfo()
    {
        return [
            'path' => $this->upload_path,
            'savename' => $this->savename,
            'size' => isset($this->file['size']) ? (int)$this->file['size'] : 0,
        ];
    }

    /* 检查上传的文件，通过时返回 ['ext' => 保存用的扩展名]，否则设置 error 并返回 null。 */
    private function check(): ?array
    {
        $f = $this->file;
        if (!is_array($f) || !isset($f['tmp_name'], $f['name'], $f['error'])
            || !is_string($f['tmp_name']) || !is_string($f['name'])) {
            $this->error = '没有收到上传的文件。';
            return null;
        }
        $limitText = $this->limitText();
        switch ((int)$f['error']) {
            case UPLOAD_ERR_OK:
                break;
            case UPLOAD_ERR_INI_SIZE:
            case UPLOAD_ERR_FORM_SIZE:
                $this->error = '图片太大，最大只能上传 ' . $limitText . '。';
                return null;
            case UPLOAD_ERR_NO_FILE:
                $this->error = '没有选择要上传的图片。';
                return null;
            case UPLOAD_ERR_PARTIAL:
                $this->error = '图片只上传了一部分，请重新上传。';
                return null;
            default:
                $this->error = '服务器无法接收上传的文件（错误代码 ' . (int)$f['error'] . '）。';
                return null;
        }
        if (!is_uploaded_file($f['tmp_name'])) {
            $this->error = '没有收到上传的文件。';
            return null;
        }
        $size = (int)@filesize($f['tmp_name']);
        if ($size <= 0) {
            $this->error = '上传的文件是空的。';
            return null;
        }
        if ($this->max_size > 0 && $size > $this->max_size) {
            $this->error = '图片太大，最大只能上传 ' . $limitText . '。';
            return null;
        }
        $ext = strtolower(pathinfo($f['name'], PATHINFO_EXTENSION));
        $allowed = implode('、', $this->allow_type);
        if ($ext === '' || !in_array($ext, $this->allow_type, true)) {
            $this->error = '不允许上传这种类型的文件，只能上传 ' . $allowed . ' 格式的图片。';
            return null;
        }
        $info = @getimagesize($f['tmp_name']);
        $type = is_array($info) ? (int)$info[2] : 0;
        if (!isset(self::$types[$type]) || (int)$info[0] <= 0 || (int)$info[1] <= 0
            || !$this->decodes($f['tmp_name'], (int)$info[0], (int)$info[1])) {
            $this->error = '上传的文件不是有效的图片。';
            return null;
        }
        $real = self::$types[$type];
        $realAllowed = in_array($real, $this->allow_type, true)
            || ($real === 'jpg' && in_array('jpeg', $this->allow_type, true));
        if (!$realAllowed) {
            $this->error = '不允许上传这种类型的图片，只能上传 ' . $allowed . ' 格式的图片。';
            return null;
        }
        return ['ext' => $real];
    }

    /* 有 GD 扩展时把图片完整解码一次，确认内容确实是图片（过大的图片只检查文件头）。 */
    private function decodes(string $path, int $w, int $h): bool
    {
        if (!function_exists('imagecreatefromstring') || $w * $h > 40000000) {
            return true;
        }
        $data = @file_get_contents($path);
        if ($data === false) {
            return false;
        }
        $img = @imagecreatefromstring($data);
        if ($img === false) {
            // GD 不支持的格式（例如未编入 BMP 支持）仍以文件头为准
            return !in_array(self::$types[(int)@getimagesize($path)[2]] ?? '', ['jpg', 'png', 'gif'], true);
        }
        imagedestroy($img);
        return true;
    }

    private function limitText(): string
    {
        $b = $this->max_size;
        if ($b >= 1024 * 1024 && $b % (1024 * 1024) === 0) {
            return ($b / 1024 / 1024) . ' MB';
        }
        return rtrim(rtrim(number_format($b / 1024, 1, '.', ''), '0'), '.') . ' KB';
    }

    private function refuse(string $detail = '')
    {
        $name = is_array($this->file) && isset($this->file['name']) && is_string($this->file['name']) ? $this->file['name'] : '';
        velmora_log('拒绝上传 ' . $name . '：' . $this->error . ($detail !== '' ? ' [' . $detail . ']' : ''));
        if ($this->redirectOnError) {
            velmora_fail($this->error);
        }
        return false;
    }
}
