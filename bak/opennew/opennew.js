/*
 * 在当前页上方打开一个浮动窗口（内嵌页面），用于添加或修改表单。
 *
 *   VelmoraOpen.open('StudentAction.php?action=query&view=add', '添加学生');
 *   VelmoraOpen.popup(url, 800, 600);       // 改用浏览器新窗口
 *
 * 窗口中的表单提交成功后 /ok.php 会调用父页面的 VelmoraOpen.done()：
 * 关闭浮动窗口并刷新父页面。父页面 body 上的 data-reload-url 属性给出刷新时
 * 打开的地址（避免重新提交查询表单），没有时直接刷新。
 */
(function () {
  'use strict';
  var current = null;

  function close(reload) {
    if (current) {
      current.parentNode.removeChild(current);
      current = null;
      document.removeEventListener('keydown', onKey);
    }
    if (reload) {
      var url = document.body.getAttribute('data-reload-url');
      // 相对地址按本页解析（调用者可能是浮动窗口中的页面）
      if (url) { window.location.href = new URL(url, document.baseURI).href; } else { window.location.reload(); }
    }
  }

  function onKey(e) {
    if (e.key === 'Escape') { close(false); }
  }

  function open(url, title, width, height) {
    close(false);
    var mask = document.createElement('div');
    mask.className = 'vo-mask';
    var box = document.createElement('div');
    box.className = 'vo-dialog';
    box.style.width = (width || 560) + 'px';
    box.style.height = (height || 520) + 'px';
    var head = document.createElement('div');
    head.className = 'vo-head';
    var caption = document.createElement('span');
    caption.textContent = title || '';
    var x = document.createElement('button');
    x.type = 'button';
    x.className = 'vo-close';
    x.title = '关闭';
    x.textContent = '×';
    x.onclick = function () { close(false); };
    head.appendChild(caption);
    head.appendChild(x);
    var frame = document.createElement('iframe');
    frame.className = 'vo-frame';
    frame.name = 'vo-frame';
    frame.src = url;
    box.appendChild(head);
    box.appendChild(frame);
    mask.appendChild(box);
    document.body.appendChild(mask);
    current = mask;
    document.addEventListener('keydown', onKey);
    return false;
  }

  function popup(url, width, height) {
    var w = width || 800, h = height || 600;
    var left = Math.max(0, (screen.width - w) / 2), top = Math.max(0, (screen.height - h) / 2);
    window.open(url, '_blank', 'width=' + w + ',height=' + h + ',left=' + left + ',top=' + top + ',resizable=yes,scrollbars=yes');
    return false;
  }

  window.VelmoraOpen = {
    open: open,
    popup: popup,
    close: close,
    done: function () { close(true); },
    isOpen: function () { return current !== null; }
  };
})();
