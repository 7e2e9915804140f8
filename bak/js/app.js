/* 页面上通用的小功能 */
(function () {
  'use strict';

  /* 删除前确认：<a href="..." data-confirm="确定要删除吗？">，或 <form data-confirm="..."> 中的按钮 */
  document.addEventListener('click', function (e) {
    var el = e.target.closest ? e.target.closest('[data-confirm]') : null;
    if (el && !window.confirm(el.getAttribute('data-confirm'))) {
      e.preventDefault();
    }
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

  /* 改变选择后立即提交所在的表单：<select data-submit> */
  document.addEventListener('change', function (e) {
    var el = e.target;
    if (el.matches && el.matches('select[data-submit]') && el.form) {
      el.form.submit();
    }
  });

  /* 框架页：点击左侧菜单时标出当前项 */
  document.addEventListener('click', function (e) {
    var a = e.target.closest ? e.target.closest('.sidebar a') : null;
    if (!a) { return; }
    var all = document.querySelectorAll('.sidebar a');
    for (var i = 0; i < all.length; i++) { all[i].classList.remove('active'); }
    a.classList.add('active');
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
