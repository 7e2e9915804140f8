/*
 * 列表的列：“列”按钮下可以选择显示哪些列，每个用户、每个列表分别记在本浏览器中；
 * 操作列总是显示。没有选择过时显示生成的列表中的全部列。
 */
(function () {
  'use strict';

  function storageKey() {
    var meta = document.querySelector('meta[name=velmora-user]');
    return 'velmora-columns:' + (meta ? meta.content : '') + ':' + window.location.pathname;
  }

  function load() {
    try {
      var saved = JSON.parse(window.localStorage.getItem(storageKey()) || '[]');
      return Array.isArray(saved) ? saved : [];
    } catch (e) {
      return [];
    }
  }

  function save(hidden) {
    try {
      window.localStorage.setItem(storageKey(), JSON.stringify(hidden));
    } catch (e) {
      // 存不下时只在本页生效
    }
  }

  /* 表头各列：[{name, label, index}]，不含操作列 */
  function columnsOf(table) {
    var head = table.tHead && table.tHead.rows[0];
    if (!head) { return []; }
    var sample = table.querySelector('tbody tr:not(.empty-row)');
    var list = [];
    Array.prototype.forEach.call(head.cells, function (th, i) {
      var cell = sample && sample.cells.length === head.cells.length ? sample.cells[i] : null;
      if ((cell && cell.classList.contains('ops')) || (i === head.cells.length - 1 && th.textContent.trim() === '操作')) { return; }
      var sort = th.querySelector('[data-sort]');
      var name = (cell && cell.getAttribute('data-col')) || (sort && sort.getAttribute('data-sort')) || th.textContent.trim();
      list.push({ name: name, label: th.textContent.replace(/[▲▼]/g, '').trim(), index: i });
    });
    return list;
  }

  function apply(table, columns, hidden) {
    var width = table.tHead.rows[0].cells.length;
    Array.prototype.forEach.call(table.rows, function (tr) {
      if (tr.cells.length !== width) { return; }
      columns.forEach(function (c) { tr.cells[c.index].hidden = hidden.indexOf(c.name) >= 0; });
    });
  }

  function chooser(table, columns, hidden) {
    var box = document.createElement('details');
    box.className = 'columns-chooser';
    box.id = 'columns';
    var summary = document.createElement('summary');
    summary.className = 'btn plain';
    summary.textContent = '列';
    box.appendChild(summary);
    var panel = document.createElement('div');
    panel.className = 'columns-panel';
    columns.forEach(function (c) {
      var label = document.createElement('label');
      var check = document.createElement('input');
      check.type = 'checkbox';
      check.value = c.name;
      check.checked = hidden.indexOf(c.name) < 0;
      label.appendChild(check);
      label.appendChild(document.createTextNode(' ' + c.label));
      panel.appendChild(label);
    });
    panel.addEventListener('change', function (e) {
      var boxes = panel.querySelectorAll('input[type=checkbox]');
      var now = [];
      Array.prototype.forEach.call(boxes, function (b) { if (!b.checked) { now.push(b.value); } });
      if (now.length === boxes.length) { // 至少留一列
        e.target.checked = true;
        now.splice(now.indexOf(e.target.value), 1);
      }
      save(now);
      apply(table, columns, now);
    });
    box.appendChild(panel);
    return box;
  }

  document.addEventListener('DOMContentLoaded', function () {
    var table = document.querySelector('.page[id$="-list"] table.grid');
    var place = document.querySelector('.page[id$="-list"] .page-title .actions');
    if (!table || !place || !table.tHead) { return; }
    var columns = columnsOf(table);
    if (columns.length < 2) { return; }
    var hidden = load().filter(function (name) {
      return columns.some(function (c) { return c.name === name; });
    });
    if (hidden.length === columns.length) { hidden = []; }
    apply(table, columns, hidden);
    place.insertBefore(chooser(table, columns, hidden), place.firstChild);
  });
})();
