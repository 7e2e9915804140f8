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
  var current = null;   // 遮罩层
  var closer = null;    // 窗口上的关闭按钮
  var opener = null;    // 打开窗口前有焦点的元素，关闭后焦点回到这里
  var hidden = [];      // 窗口打开期间不可操作（inert）的页面内容

  // 可以用 Tab 到达的元素
  function focusables(doc) {
    return Array.prototype.filter.call(doc.querySelectorAll('a[href], button, input, select, textarea, [tabindex]'), function (el) {
      return !el.disabled && el.tabIndex >= 0 && el.type !== 'hidden' && el.getClientRects().length > 0;
    });
  }

  function frameDocument() {
    try { return current.querySelector('iframe').contentDocument; } catch (e) { return null; }
  }

  function close(reload) {
    if (current) {
      current.parentNode.removeChild(current);
      current = null;
      closer = null;
      document.removeEventListener('keydown', onKey);
      hidden.forEach(function (el) { el.inert = false; });
      hidden = [];
      if (!reload && opener && opener.isConnected) { opener.focus(); }
      opener = null;
    }
    if (reload) {
      var url = document.body.getAttribute('data-reload-url');
      // 相对地址按本页解析（调用者可能是浮动窗口中的页面）
      if (url) { window.location.href = new URL(url, document.baseURI).href; } else { window.location.reload(); }
    }
  }

  // 本页上的按键：Esc 关闭；在关闭按钮上按 Tab 进入窗口中的页面，焦点不离开窗口
  function onKey(e) {
    if (e.key === 'Escape') { e.preventDefault(); close(false); return; }
    if (e.key !== 'Tab') { return; }
    var doc = frameDocument();
    var items = doc ? focusables(doc) : [];
    e.preventDefault();
    if (items.length) { (e.shiftKey ? items[items.length - 1] : items[0]).focus(); } else if (closer) { closer.focus(); }
  }

  // 窗口中页面上的按键：Esc 关闭；从第一个或最后一个元素 Tab 出去时回到关闭按钮
  function onFrameKey(e) {
    if (e.key === 'Escape') { e.preventDefault(); close(false); return; }
    if (e.key !== 'Tab' || !closer) { return; }
    var items = focusables(e.currentTarget);
    var edge = e.shiftKey ? items[0] : items[items.length - 1];
    if (!items.length || e.target === edge) { e.preventDefault(); closer.focus(); }
  }

  function onFrameLoad() {
    var doc = frameDocument();
    if (!doc || !current) { return; }
    doc.addEventListener('keydown', onFrameKey);
    var items = focusables(doc);
    // 焦点不带动滚动：第一个可聚焦的元素可能在长页面的底部，页面应从顶部开始。
    if (items.length) { items[0].focus({ preventScroll: true }); }
    if (doc.defaultView) { doc.defaultView.scrollTo(0, 0); }
  }

  function open(url, title, width, height) {
    close(false);
    opener = document.activeElement;
    var mask = document.createElement('div');
    mask.className = 'vo-mask';
    var box = document.createElement('div');
    box.className = 'vo-dialog';
    box.setAttribute('role', 'dialog');
    box.setAttribute('aria-modal', 'true');
    box.setAttribute('aria-labelledby', 'vo-caption');
    box.style.width = (width || 560) + 'px';
    box.style.height = (height || 520) + 'px';
    var head = document.createElement('div');
    head.className = 'vo-head';
    var caption = document.createElement('span');
    caption.id = 'vo-caption';
    caption.textContent = title || '';
    var x = document.createElement('button');
    x.type = 'button';
    x.className = 'vo-close';
    x.title = '关闭';
    x.setAttribute('aria-label', '关闭');
    x.textContent = '×';
    x.onclick = function () { close(false); };
    head.appendChild(caption);
    head.appendChild(x);
    var frame = document.createElement('iframe');
    frame.className = 'vo-frame';
    frame.name = 'vo-frame';
    frame.title = title || '';
    frame.addEventListener('load', onFrameLoad);
    frame.src = url;
    box.appendChild(head);
    box.appendChild(frame);
    mask.appendChild(box);
    Array.prototype.forEach.call(document.body.children, function (el) {
      if (!el.inert) { el.inert = true; hidden.push(el); }
    });
    document.body.appendChild(mask);
    current = mask;
    closer = x;
    x.focus();
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
