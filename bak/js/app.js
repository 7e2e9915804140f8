/* 页面上通用的小功能 */
(function () {
  'use strict';

  /* 删除前确认：<a href="..." data-confirm="确定要删除吗？"> */
  document.addEventListener('click', function (e) {
    var el = e.target.closest ? e.target.closest('[data-confirm]') : null;
    if (el && !window.confirm(el.getAttribute('data-confirm'))) {
      e.preventDefault();
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
