/*
 * 查找框（引用的表记录很多时代替下拉框）：
 * <div class="lookup" data-lookup="地址"><input role="combobox" ...><input type="hidden" name=...>
 * <div aria-live="polite"></div></div>；候选列表（role=listbox）在第一次用到时加上。
 * 输入文字后向 data-lookup 的地址（加上 &q=文字）取候选记录；↑↓ 选择，回车确定，Esc 关闭。
 * 选定的记录的主键写进隐藏项随表单提交；改动文字后必须重新选择。
 */
(function () {
  'use strict';

  var WAIT_MS = 200;

  function parts(input) {
    var box = input.closest('.lookup');
    var list = box.querySelector('[role=listbox]');
    if (!list) {
      list = document.createElement('div');
      list.id = input.id + '-list';
      list.className = 'lookup-list';
      list.setAttribute('role', 'listbox');
      list.setAttribute('aria-label', '候选记录');
      list.hidden = true;
      box.insertBefore(list, input.nextSibling);
      input.setAttribute('aria-controls', list.id);
    }
    return {
      box: box,
      input: input,
      hidden: box.querySelector('input[type=hidden]'),
      list: list,
      status: box.querySelector('[aria-live]')
    };
  }

  function options(p) { return p.list.querySelectorAll('[role=option]'); }

  function close(p) {
    p.list.hidden = true;
    p.input.setAttribute('aria-expanded', 'false');
    p.input.removeAttribute('aria-activedescendant');
  }

  function mark(p, index) {
    var all = options(p);
    Array.prototype.forEach.call(all, function (o, i) { o.setAttribute('aria-selected', i === index ? 'true' : 'false'); });
    if (all[index]) {
      p.input.setAttribute('aria-activedescendant', all[index].id);
      all[index].scrollIntoView({ block: 'nearest' });
    }
  }

  function active(p) {
    var all = options(p);
    for (var i = 0; i < all.length; i++) {
      if (all[i].getAttribute('aria-selected') === 'true') { return i; }
    }
    return -1;
  }

  function choose(p, option) {
    p.input.value = option.textContent;
    p.hidden.value = option.getAttribute('data-value');
    p.input.setCustomValidity('');
    close(p);
    p.status.textContent = '已选择 ' + option.textContent;
  }

  function show(p, answer) {
    p.list.textContent = '';
    (answer.items || []).forEach(function (item, i) {
      var o = document.createElement('div');
      o.setAttribute('role', 'option');
      o.id = p.input.id + '-opt-' + i;
      o.setAttribute('aria-selected', 'false');
      o.setAttribute('data-value', item.value);
      o.textContent = item.text;
      p.list.appendChild(o);
    });
    var n = options(p).length;
    p.list.hidden = n === 0;
    p.input.setAttribute('aria-expanded', n ? 'true' : 'false');
    p.status.textContent = n ? (n + ' 条候选' + (answer.more ? '，输入更多文字可以缩小范围' : '')) : '没有找到';
  }

  function search(p) {
    var url = p.box.getAttribute('data-lookup') + '&q=' + encodeURIComponent(p.input.value);
    var asked = p.input.value;
    fetch(url, { credentials: 'same-origin', headers: { Accept: 'application/json' } })
      .then(function (r) { return r.ok ? r.json() : Promise.reject(new Error(String(r.status))); })
      .then(function (answer) { if (p.input.value === asked) { show(p, answer); } })
      .catch(function () { p.status.textContent = '无法取得候选记录，请稍后再试'; });
  }

  var timer = null;
  document.addEventListener('input', function (e) {
    var input = e.target;
    if (!input.matches || !input.matches('.lookup input[role=combobox]')) { return; }
    var p = parts(input);
    p.hidden.value = '';
    // 留空表示不选（查询条件为“全部”）；有文字却没有选定记录时不能提交。
    input.setCustomValidity(input.value.trim() === '' ? '' : '请从列表中选择一条记录');
    clearTimeout(timer);
    timer = setTimeout(function () { search(p); }, WAIT_MS);
  });

  document.addEventListener('keydown', function (e) {
    var input = e.target;
    if (!input.matches || !input.matches('.lookup input[role=combobox]')) { return; }
    var p = parts(input);
    var n = options(p).length;
    var open = !p.list.hidden;
    if (e.key === 'ArrowDown' || e.key === 'ArrowUp') {
      e.preventDefault();
      if (!open) { search(p); return; }
      var i = active(p);
      mark(p, e.key === 'ArrowDown' ? (i + 1) % n : (i <= 0 ? n - 1 : i - 1));
    } else if (e.key === 'Enter' && open && active(p) >= 0) {
      e.preventDefault();
      choose(p, options(p)[active(p)]);
    } else if (e.key === 'Escape' && open) {
      e.preventDefault();
      e.stopPropagation();
      close(p);
    }
  }, true);

  document.addEventListener('mousedown', function (e) {
    var option = e.target.closest ? e.target.closest('.lookup [role=option]') : null;
    if (option) {
      e.preventDefault();
      choose(parts(option.closest('.lookup').querySelector('input[role=combobox]')), option);
    }
  });

  document.addEventListener('focusout', function (e) {
    var input = e.target;
    if (input.matches && input.matches('.lookup input[role=combobox]')) { close(parts(input)); }
  });
})();
