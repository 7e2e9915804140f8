<?php
// Run by manage_pages.php after its login, with its request helpers: rows of the stock places
// (keyed by warehouse and bin together) are shown, added, edited and deleted by their keys; the
// tags linked to a product are set from the tag's form and from the product's, and shown on
// both detail views.

// Expects a redirect to the page that says the change was saved.
function expect_saved(array $answer, string $what): void
{
    expect_redirect($answer, '/ok.php', $what);
}

// The body of a page answered 200 that holds every text of $texts and none of $absent.
function page(string $path, array $texts, array $absent = []): string
{
    [$status, , $body] = request('GET', $path);
    foreach ($texts as $text) {
        if ($status !== 200 || strpos($body, $text) === false) {
            fail("$path answered $status without \"$text\"\n" . substr($body, 0, 3000));
        }
    }
    foreach ($absent as $text) {
        if (strpos($body, $text) !== false) {
            fail("$path shows \"$text\"");
        }
    }
    return $body;
}

$stock = '/controller/stockAction.php';
$seeded = 'warehouse=' . rawurlencode('North,A\\1') . '&binNo=1';
page("$stock?action=query", ['North,A\\1', htmlspecialchars("view=detail&$seeded")]);
page("$stock?action=query&view=detail&$seeded", ['<dd data-col="amount">3</dd>']);
page("$stock?action=query&view=edit&$seeded", ['name="stock[warehouse]" value="North,A\\1"', 'id="f-binNo" value="1" readonly']);

$row = fn(string $warehouse, string $bin, string $amount) => ['action' => 'update',
    'stock' => ['warehouse' => $warehouse, 'binNo' => $bin, 'product_id' => '1', 'amount' => $amount]];
expect_saved(request('POST', "$stock", $row('North,A\\1', '1', '4')), 'edit the seeded stock place');
page("$stock?action=query&view=detail&$seeded", ['<dd data-col="amount">4</dd>']);
// Two places of one warehouse: changing or deleting one leaves the other, as all keys address a row.
expect_saved(request('POST', "$stock", ['action' => 'add'] + $row('South', '2', '7')), 'add a stock place');
expect_saved(request('POST', "$stock", ['action' => 'add'] + $row('South', '3', '5')), 'add a second stock place');
expect_saved(request('POST', "$stock", $row('South', '2', '9')), 'edit the added stock place');
page("$stock?action=query&view=detail&warehouse=South&binNo=2", ['<dd data-col="amount">9</dd>']);
page("$stock?action=query&view=detail&warehouse=South&binNo=3", ['<dd data-col="amount">5</dd>']);
expect_saved(request('POST', "$stock?action=del&warehouse=South&binNo=2", ['action' => 'del']), 'delete the added stock place');
page("$stock?action=query&view=detail&warehouse=South&binNo=2", ['没有找到这条记录']);
page("$stock?action=query&view=detail&warehouse=South&binNo=3", ['<dd data-col="amount">5</dd>']);
// Back from the trash, found again by both keys.
$trash = page('/manage/trash.php?class=stock', ['title="South,2"']);
preg_match('/data-trash="(\d+)"/', $trash, $m) || fail('no row in the trash');
expect_redirect(request('POST', '/manage/trash.php?class=stock', ['op' => 'restore', 'id' => $m[1]]),
    '/manage/trash.php?class=stock', 'restore the stock place');
page('/manage/trash.php?class=stock', ['记录已恢复。']);
page("$stock?action=query&view=detail&warehouse=South&binNo=2", ['<dd data-col="amount">9</dd>']);
// Deleted again and its keys taken by a new row: the trash refuses to restore it.
expect_saved(request('POST', "$stock?action=del&warehouse=South&binNo=2", ['action' => 'del']), 'delete the restored stock place');
expect_saved(request('POST', "$stock", ['action' => 'add'] + $row('South', '2', '1')), 'add a stock place under the same keys');
$trash = page('/manage/trash.php?class=stock', ['title="South,2"']);
preg_match('/data-trash="(\d+)"/', $trash, $m) || fail('no row in the trash');
request('POST', '/manage/trash.php?class=stock', ['op' => 'restore', 'id' => $m[1]]);
page('/manage/trash.php?class=stock', ['编号为“South,2”的记录已经存在，不能恢复。']);
page("$stock?action=query", ['共 3 条记录']);

// A tag added with its product ticked, then the product's tags chosen on the product's form.
$tag = '/controller/tagAction.php';
$product = '/controller/productAction.php';
page("$tag?action=query&view=add", ['name="velmora_links[product_tag][]"', '>A-1</option>']);
expect_saved(request('POST', $tag, ['action' => 'add', 'tag' => ['id' => '0', 'label' => '促销'],
    'velmora_links_shown' => ['product_tag' => '1'], 'velmora_links' => ['product_tag' => ['1']]]), 'add a tag linked to a product');
page("$product?action=query&view=detail&id=1", ['<dd data-links="product_tag"><ul class="links"><li>促销</li><li>新品</li></ul>']);
page("$product?action=query&view=edit&id=1", ['<option value="1" selected>新品</option>', '<option value="2" selected>促销</option>']);
expect_saved(request('POST', $product, ['action' => 'update', 'product' => ['id' => '1', 'sku' => 'A-1', 'title' => '铅笔',
    'description' => '一支', 'price' => '1.50', 'stock' => '3', 'category_id' => '1', 'status' => 'on'],
    'velmora_links_shown' => ['product_tag' => '1'], 'velmora_links' => ['product_tag' => ['2']]]), 'choose the product\'s tags');
page("$product?action=query&view=detail&id=1", ['<li>促销</li>'], ['<li>新品</li>']);
page("$tag?action=query&view=detail&id=2", ['<dd data-links="product_tag"><ul class="links"><li>A-1</li></ul>']);
page("$tag?action=query&view=detail&id=1", ['<dd data-links="product_tag">无</dd>']);
echo "pages: rows found by all their keys; links set from both sides\n";
