SELECT `key`, `grade-name` FROM `order` ORDER BY 1; SELECT clubId, `function`, mentor FROM `my-club` ORDER BY 1;
