<?php
/* 防止列出目录内容。 */
header('Location: /index.php');
