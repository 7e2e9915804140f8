<?php
/*
 * 从 CSV 文件导入一个类的记录：manage/import.php?class=类
 *  1. 选择文件后先试导入：列出将要添加、修改的记录（按主键）和不能导入的行及原因，什么也不写入；
 *  2. 确认后全部行在一个事务中写入（见 util/csv_import_write.php）；
 *  3. 不能导入的行可以下载为 CSV 文件（最后一列为原因），改好后再导入。
 * 需要对该类的添加或修改权限。文件在试导入与确认之间保存在会话中。
 */
define('VELMORA_OWN_PAGE', true);
require_once __DIR__ . '/../database/SqlHelper.class.php';
require_once __DIR__ . '/../util/util.php';
require_once __DIR__ . '/../util/csv_import.php';
require_once __DIR__ . '/../util/csv_import_write.php';

/* 上传的文件最大字节数。 */
const IMPORT_MAX_BYTES = 2 * 1024 * 1024;

$class = req_raw_string('class');
$fields = preg_match('/^[A-Za-z_][A-Za-z0-9_]*$/', $class) ? velmora_class_fields($class) : null;
if ($fields === null || !is_file(__DIR__ . '/../controller/' . $class . 'Action.php')) {
    velmora_refuse(404, '没有这个模块。');
}
if (!velmora_may($class, 'add') && !velmora_may($class, 'edit')) {
    velmora_forbid($class . ' 导入');
}
$friend = (string)($fields['friend'] ?? $class);
$step = req_raw_string('step');
$kept = $_SESSION['velmora_import'] ?? null;
$keptText = is_array($kept) && ($kept['class'] ?? '') === $class && hash_equals((string)$kept['token'], req_raw_string('token'))
    ? (string)$kept['text'] : null;
$error = '';
$plan = null;
$written = false;
$db = new SqlHelper();

if ($step === 'check' && $_SERVER['REQUEST_METHOD'] === 'POST') {
    $file = $_FILES['csv'] ?? null;
    if (!is_array($file) || ($file['error'] ?? UPLOAD_ERR_NO_FILE) === UPLOAD_ERR_NO_FILE) {
        $error = '请选择要导入的 CSV 文件。';
    } elseif ($file['error'] !== UPLOAD_ERR_OK || $file['size'] > IMPORT_MAX_BYTES) {
        $error = '文件没有上传成功，或超过了 ' . (IMPORT_MAX_BYTES >> 20) . ' MB。';
    } else {
        $keptText = (string)file_get_contents($file['tmp_name']);
        $_SESSION['velmora_import'] = ['class' => $class, 'token' => bin2hex(random_bytes(16)), 'text' => $keptText];
        $kept = $_SESSION['velmora_import'];
    }
} elseif ($step !== '' && $keptText === null) {
    $error = '没有找到试导入的文件（可能已经导入或已过期），请重新选择文件。';
}

if ($error === '' && $keptText !== null && $step !== '') {
    $plan = new CsvImportPlan($class, $db);
    $plan->check($keptText);
    $error = $plan->error;
}
if ($plan !== null && $error === '' && $step === 'refused') {
    $lines = array_map(function (array $r): array {
        return array_merge($r['cells'], [$r['reason']]);
    }, $plan->refused);
    csv_send($friend . '-不能导入', array_merge($plan->headings, ['原因']), $lines);
}
if ($plan !== null && $error === '' && $step === 'commit' && !empty($kept['done'])) {
    $error = '这个文件已经导入过了。';
} elseif ($plan !== null && $error === '' && $step === 'commit' && $_SERVER['REQUEST_METHOD'] === 'POST') {
    $writer = new CsvImportWriter($plan);
    $written = $writer->write($db);
    $error = $writer->error;
    if ($written) {
        $_SESSION['velmora_import']['done'] = true;
        velmora_log('用户 ' . ($_SESSION['velmora_admin_name'] ?? '') . ' 导入 ' . $class . '：添加 ' . count($plan->adds)
            . ' 条，修改 ' . count($plan->updates) . ' 条');
    }
}
$db->close_connect();
$token = (string)($kept['token'] ?? '');
$listUrl = velmora_url('/controller/' . rawurlencode($class) . 'Action.php') . '?action=query';
$here = velmora_url('/manage/import.php') . '?class=' . rawurlencode($class);

page_begin('导入' . $friend, 'manage');
?>
<div class="page" id="import-page">
  <div class="page-title"><h2>导入<?= h($friend) ?></h2>
    <span class="actions"><a class="btn plain" href="<?= h($listUrl) ?>">返回列表</a></span></div>
  <?php if ($error !== ''): ?><div class="alert error" id="import-error"><?= h($error) ?></div><?php endif; ?>
  <?php if ($written): ?>
  <div class="alert ok" id="import-done">导入完成：添加 <?= count($plan->adds) ?> 条，修改 <?= count($plan->updates) ?> 条记录<?= $plan->refused ? '；' . count($plan->refused) . ' 行没有导入' : '' ?>。</div>
  <?php endif; ?>
  <?php if ($plan !== null && $plan->error === ''): ?>
    <?php if (!$written): ?>
  <div class="alert info" id="import-summary">试导入（还没有写入）：将添加 <?= count($plan->adds) ?> 条，修改 <?= count($plan->updates) ?> 条记录；<?= count($plan->refused) ?> 行不能导入。<?= $plan->unchanged ? ' <span id="import-unchanged">' . $plan->unchanged . ' 条与表中相同，不必修改。</span>' : '' ?><?= $plan->ignored ? ' 没有导入的列：' . h(implode('、', $plan->ignored)) . '。' : '' ?></div>
    <?php foreach (['add' => ['将添加的记录', $plan->adds], 'update' => ['将修改的记录', $plan->updates]] as $kind => [$title, $rows]): if (!$rows) { continue; } ?>
  <h3><?= h($title) ?></h3>
  <div class="grid-wrap"><table class="grid" id="import-<?= $kind ?>"><thead><tr><th scope="col">行</th><th scope="col"><?= h($plan->label_of((string)$fields['key'])) ?></th><?php if ($kind === 'update'): ?><th scope="col">修改的字段（原值 → 新值）</th><?php endif; ?></tr></thead><tbody>
      <?php foreach ($rows as $r): ?><tr><td><?= (int)$r['line'] ?></td><td><?= h($r['key'] !== '' ? $r['key'] : '（由数据库编号）') ?></td><?php if ($kind === 'update'): ?><td class="changes"><?php foreach ((array)($r['changes'] ?? []) as $name => [$before, $after]): ?><div data-field="<?= h($name) ?>"><?= h($plan->label_of((string)$name)) ?>：<del><?= h($before ?? '（空）') ?></del> → <ins><?= h($after ?? '（空）') ?></ins></div><?php endforeach; ?></td><?php endif; ?></tr><?php endforeach; ?>
  </tbody></table></div>
    <?php endforeach; ?>
  <?php endif; ?>
  <?php if ($plan->refused): ?>
  <h3>不能导入的行</h3>
  <div class="grid-wrap"><table class="grid" id="import-refused"><thead><tr><th scope="col">行</th><th scope="col">原因</th></tr></thead><tbody>
    <?php foreach ($plan->refused as $r): ?><tr><td><?= (int)$r['line'] ?></td><td><?= h($r['reason']) ?></td></tr><?php endforeach; ?>
  </tbody></table></div>
  <p><a class="btn plain" id="import-refused-csv" href="<?= h($here . '&step=refused&token=' . rawurlencode($token)) ?>">下载不能导入的行（CSV）</a></p>
  <?php endif; ?>
  <?php if (!$written && ($plan->adds || $plan->updates)): ?>
  <form method="post" action="<?= h($here) ?>" class="panel" id="import-commit">
    <input type="hidden" name="step" value="commit"><input type="hidden" name="token" value="<?= h($token) ?>">
    <button type="submit">确认导入</button> <span class="hint">全部行一起写入；任何一行失败时都不写入。</span>
  </form>
  <?php endif; ?>
  <?php endif; ?>
  <form method="post" action="<?= h($here) ?>" enctype="multipart/form-data" class="panel" id="import-form">
    <input type="hidden" name="step" value="check">
    <div class="form-row"><label for="import-file">CSV 文件</label><div class="field"><input type="file" id="import-file" name="csv" accept=".csv,text/csv" required>
      <span class="hint">与导出的文件格式相同：第一行为列标题，UTF-8 编码（有没有 BOM 都可以），不超过 <?= IMPORT_MAX_BYTES >> 20 ?> MB。</span></div></div>
    <div class="form-actions"><button type="submit">试导入</button></div>
  </form>
</div>
<?php page_end();
