Sleep 100;
