SELECT `key`, `grade-name` FROM `order` ORDER BY 1; SELECT clubId, `gr``oup`, mentor FROM `club``house` ORDER BY 1;
