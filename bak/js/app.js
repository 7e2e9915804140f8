/* 页面上通用的小功能 */
(function () {
  'use strict';

  /* 应用的网址前缀（应用可以放在子目录中）：本脚本位于 {前缀}/js/app.js */
  var appBase = (function () {
    var me = document.currentScript;
    var path = me ? new URL(me.src, location.href).pathname : '/js/app.js';
    return path.replace(/\/js\/app\.js$/, '');
  })();

  /* 在框架页的内容区中时，页面自己的管理菜单（.admin-nav）不显示：框架页已有菜单与退出 */
  if (window.self !== window.top) { document.documentElement.classList.add('in-frame'); }

  /*
   * 删除前确认：<a href="..." data-confirm="确定要删除吗？">，或 <form data-confirm="..."> 中的按钮。
   * 删除一条记录的表单（action=del）先问服务器随它一起删除或清空引用的记录，写进确认的文字；
   * 确认后带上服务器给的凭据提交；不能删除时直接提交，由服务器说明原因。问不到时照常确认，由服务器给出确认页面。
   */
  function cascadeUrl(form) {
    var target = new URL(form.getAttribute('action'), location.href);
    var m = /([A-Za-z_][A-Za-z0-9_]*)Action\.php$/.exec(target.pathname);
    if (!m || target.searchParams.get('action') !== 'del') { return null; }
    target.searchParams.delete('action');
    return appBase + '/manage/cascade.php?cascadeOf=' + encodeURIComponent(m[1]) + '&' + target.searchParams.toString();
  }

  document.addEventListener('click', function (e) {
    var el = e.target.closest ? e.target.closest('[data-confirm]') : null;
    if (!el) { return; }
    var url = el.tagName === 'FORM' && window.fetch && e.target.closest('button[type=submit]') ? cascadeUrl(el) : null;
    if (!url) {
      if (!window.confirm(el.getAttribute('data-confirm'))) { e.preventDefault(); }
      return;
    }
    e.preventDefault();
    var question = el.getAttribute('data-confirm');
    fetch(url, { credentials: 'same-origin', headers: { Accept: 'application/json' } })
      .then(function (r) { return r.json(); })
      .catch(function () { return {}; })
      .then(function (answer) {
        // 不能删除时不必确认：服务器在删除之前拒绝，并说明原因。
        if (!answer.refusal && !window.confirm(question + (answer.text ? '\n\n' + answer.text : ''))) { return; }
        if (answer.token) {
          var input = document.createElement('input');
          input.type = 'hidden';
          input.name = 'cascade';
          input.value = answer.token;
          el.appendChild(input);
        }
        el.submit();
      });
  });

  /* 在浮动窗口中打开：<a href="..." data-dialog="标题">；没有脚本时按普通链接打开 */
  document.addEventListener('click', function (e) {
    var a = e.target.closest ? e.target.closest('a[data-dialog]') : null;
    if (!a || !window.VelmoraOpen || e.defaultPrevented) { return; }
    e.preventDefault();
    var narrow = window.innerWidth < 600;
    window.VelmoraOpen.open(a.getAttribute('href'), a.getAttribute('data-dialog'),
      narrow ? window.innerWidth - 16 : 640, narrow ? window.innerHeight - 16 : Math.min(640, window.innerHeight - 40));
  });

  /* 角色的权限表：表头的勾选框勾选整列（一项权限），类名旁的勾选整行（一个类） */
  document.addEventListener('change', function (e) {
    var box = e.target;
    if (!box.matches || !box.matches('input[data-tick]')) { return; }
    var scope = box.getAttribute('data-tick') === 'right'
      ? box.closest('table').querySelectorAll('tbody input[data-right="' + box.getAttribute('data-right') + '"]')
      : box.closest('tr').querySelectorAll('input[data-right]');
    Array.prototype.forEach.call(scope, function (input) { input.checked = box.checked; });
  });

  /* 改变选择后立即提交所在的表单：<select data-submit> */
  document.addEventListener('change', function (e) {
    var el = e.target;
    if (el.matches && el.matches('select[data-submit]') && el.form) {
      el.form.submit();
    }
  });

  /* 框架页的窄屏菜单：“菜单”按钮展开或收起，选了一项后收起 */
  function foldMenu(open) {
    var button = document.getElementById('menu-toggle');
    if (!button) { return; }
    document.body.classList.toggle('menu-open', open);
    button.setAttribute('aria-expanded', open ? 'true' : 'false');
  }
  document.addEventListener('click', function (e) {
    if (e.target.closest && e.target.closest('#menu-toggle')) {
      foldMenu(!document.body.classList.contains('menu-open'));
    }
  });

  /* 框架页：点击左侧菜单时标出当前项 */
  document.addEventListener('click', function (e) {
    var a = e.target.closest ? e.target.closest('.sidebar a') : null;
    if (!a) { return; }
    foldMenu(false);
    var all = document.querySelectorAll('.sidebar a');
    for (var i = 0; i < all.length; i++) { all[i].classList.remove('active'); }
    a.classList.add('active');
  });

  /* 返回上一页：<a href="..." data-history-back>（没有上一页时按链接打开） */
  document.addEventListener('click', function (e) {
    var a = e.target.closest ? e.target.closest('a[data-history-back]') : null;
    if (a && window.history.length > 1) {
      e.preventDefault();
      window.history.back();
    }
  });

  /*
   * 各框架页面打开后的处理（页面中不写内联脚本，内容安全策略只允许本文件这样的脚本文件）：
   *  - 登录页出现在内容区中（会话已过期）时，整个窗口转到登录页；
   *  - 操作失败的页面在浮动窗口中时，“回到首页”改为关闭窗口；
   *  - 操作成功的页面在浮动窗口中时关闭窗口并刷新列表，否则稍后返回发起操作的页面。
   */
  /* 窄屏时列表每行显示成卡片：每格带上它的列名（取自表头） */
  function labelGridCells() {
    Array.prototype.forEach.call(document.querySelectorAll('table.grid'), function (table) {
      var head = table.querySelector('tr');
      if (!head || !head.querySelector('th')) { return; }
      var names = Array.prototype.map.call(head.cells, function (th) { return th.textContent.trim(); });
      Array.prototype.forEach.call(table.querySelectorAll('tr'), function (tr) {
        if (tr === head) { return; }
        Array.prototype.forEach.call(tr.cells, function (td, i) {
          if (names[i] && !td.classList.contains('ops') && tr.cells.length === names.length) {
            td.setAttribute('data-label', names[i]);
          }
        });
      });
    });
  }

  document.addEventListener('DOMContentLoaded', function () {
    labelGridCells();
    var body = document.body;
    var p = window.parent;
    var inDialog = p && p !== window && p.VelmoraOpen && p.VelmoraOpen.isOpen();
    if (body.classList.contains('login-body') && window.top !== window.self) {
      window.top.location.href = appBase + '/login.php';
      return;
    }
    var home = document.getElementById('home');
    if (home && document.getElementById('reason') && inDialog) {
      home.textContent = '关闭';
      home.removeAttribute('target');
      home.addEventListener('click', function (e) { e.preventDefault(); p.VelmoraOpen.close(false); });
    }
    if (document.getElementById('saved')) {
      if (inDialog) {
        setTimeout(function () { p.VelmoraOpen.done(); }, 600);
        return;
      }
      var back = document.getElementById('back');
      if (back) {
        document.getElementById('countdown').textContent = '数据已保存，马上返回……';
        setTimeout(function () { window.location.href = back.href; }, 800);
      }
    }
  });

  /* 选择图片后在表单中预览：<input type="file" data-preview="imgId"> */
  document.addEventListener('change', function (e) {
    var input = e.target;
    if (!input.matches || !input.matches('input[type=file][data-preview]')) { return; }
    var img = document.getElementById(input.getAttribute('data-preview'));
    if (img && input.files && input.files[0] && window.URL) {
      img.src = window.URL.createObjectURL(input.files[0]);
    }
  });
})();
