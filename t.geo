Include StrCat("pa", "rt.geo");
